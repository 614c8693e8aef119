// SPDX-License-Identifier: GPL-3.0-or-later
// "tarnimex --chart FILE.csv... [--alarm-step S] [--export FILE.png|FILE.svg]":
// the chart of converted CSVs, in its window or, with --export, drawn offscreen
// into a picture file and the program ends (for scripts on machines without a
// display).
#pragma once

#include <QStringList>

namespace tarnimex {

// Whether the arguments ask for the chart.
bool AsksForChart(const QStringList& arguments);

// Runs it: with --export the exit status (0 written, 1 a CSV or the picture
// failed, 2 a usage error); otherwise -1 once the window shows, and the caller
// runs the event loop.
int RunChartCommand(const QStringList& arguments);

}  // namespace tarnimex
