// SPDX-License-Identifier: GPL-3.0-or-later
// The window test classes, one per concern.
#pragma once

#include <QObject>
#include <memory>

namespace tarnimex::test {

std::unique_ptr<QObject> MakeLayoutTest();
std::unique_ptr<QObject> MakeDropTest();
std::unique_ptr<QObject> MakeConvertTest();
std::unique_ptr<QObject> MakeSettingsWindowTest();
std::unique_ptr<QObject> MakeOpenDialogTest();
std::unique_ptr<QObject> MakeChartTest();
std::unique_ptr<QObject> MakeMonitorWindowTest();

}  // namespace tarnimex::test
