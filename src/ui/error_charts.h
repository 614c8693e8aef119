// SPDX-License-Identifier: GPL-3.0-or-later
// The time error charts of converted CSVs: the error against the RMC date-time
// with the alarm step, alarm rows and gaps, and the error's histogram. Built
// here so that the chart window and the test report draw the same pictures.
#pragma once

#include <QColor>
#include <QString>
#include <array>
#include <cstddef>
#include <vector>

#include "conversion/statistics/verdict.h"
#include "ui/chart_thinning.h"

class QChart;
class QLineSeries;
class QScatterSeries;

namespace tarnimex {

// The charts' x is milliseconds since 1970; a CSV's date-time counts days
// since 1899-12-30.
constexpr double kMsPerDay = 86400000.0;
constexpr double kDaysFrom1899To1970 = 25569;

// The colour a verdict is written in, as the test report writes it.
QString VerdictColour(const Verdict& verdict);

// One CSV's rows as the charts draw them.
struct ErrorSeries {
    QString name;
    QColor color;
    std::vector<ChartPoint> points;  // x: ms since 1970, y: seconds; sorted by x
    std::vector<ChartPoint> alarms;  // rows with an alarm mark
    double gapStep = 0;              // a longer step leaves a break in the line
};

// What a time chart draws one series with: a line a segment, reused from view
// to view, and the alarm rows' marks.
struct ErrorSeriesLines {
    std::vector<QLineSeries*> lines;
    QScatterSeries* marks = nullptr;
};

// The i-th CSV of a chart (its colour follows i); false, with the reason
// naming the file and line, when it cannot be read.
bool ReadErrorSeries(const QString& path, std::size_t i, ErrorSeries& series, QString& error);

// The time chart with its axes and the dashed alarm lines (hidden when the
// step is not above 0).
QChart* NewTimeChart(double alarmStep, std::array<QLineSeries*, 2>& alarmLines);
// Adds a series' alarm marks to the time chart.
ErrorSeriesLines AddErrorSeries(QChart* chart, const ErrorSeries& series);
// The axes over all of every series, and each level (a step or limit, drawn
// at plus and minus) when the error comes near it; false when there are no
// points to fit.
bool FitTimeChart(QChart* chart, const std::vector<ErrorSeries>& series,
                  const std::vector<double>& levels);
// About six ticks on round numbers over the error axis's range, which a zoom
// leaves with a tick interval made for another.
void SpaceErrorTicks(QChart* chart);
// Thins every series to the plot area's columns over the time axis's range.
void DrawTimeChart(QChart* chart, const std::array<QLineSeries*, 2>& alarmLines, double alarmStep,
                   const std::vector<ErrorSeries>& series, std::vector<ErrorSeriesLines>& lines);

QChart* NewHistogramChart();
// The histogram of every series' error, each as the outline of its bars.
void FillHistogram(QChart* chart, const std::vector<ErrorSeries>& series);

}  // namespace tarnimex
