// SPDX-License-Identifier: GPL-3.0-or-later
// Runs every window test class; the process fails when any of them fails.
#include <QApplication>
#include <QTest>
#include <memory>
#include <vector>

#include "ui/ui_test_classes.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::vector<std::unique_ptr<QObject>> suites;
    suites.push_back(tarnimex::test::MakeLayoutTest());
    suites.push_back(tarnimex::test::MakeDropTest());
    suites.push_back(tarnimex::test::MakeConvertTest());
    suites.push_back(tarnimex::test::MakeSettingsWindowTest());
    suites.push_back(tarnimex::test::MakeOpenDialogTest());
    suites.push_back(tarnimex::test::MakeChartTest());
    int failed = 0;
    for (const auto& suite : suites) failed += QTest::qExec(suite.get(), argc, argv) != 0;
    return failed == 0 ? 0 : 1;
}
