// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the window test class the first argument names (each has its own ctest
// entry), or every class without one; the rest of the arguments go to Qt Test.
// The process fails when any class run fails, or when none has the name.
#include <QApplication>
#include <QTest>
#include <cstdio>
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
    suites.push_back(tarnimex::test::MakeMonitorWindowTest());
    std::vector<char*> args(argv, argv + argc);
    QString only;
    if (args.size() > 1 && args[1][0] != '-') {
        only = args[1];
        args.erase(args.begin() + 1);
    }
    int run = 0;
    int failed = 0;
    for (const auto& suite : suites) {
        if (!only.isEmpty() && QString(suite->metaObject()->className()).section("::", -1) != only)
            continue;
        ++run;
        failed += QTest::qExec(suite.get(), static_cast<int>(args.size()), args.data()) != 0;
    }
    if (run == 0) std::fprintf(stderr, "No window test class is named %s\n", qPrintable(only));
    return run > 0 && failed == 0 ? 0 : 1;
}
