// SPDX-License-Identifier: GPL-3.0-or-later
// Chart timings on a converted CSV: opening it (reading, thinning, the first
// drawing) and redrawing after each of a run of zoom steps, painting included;
// then the monitor window's chart holding a day of reports, one a second:
// following the last minutes, and zoomed out to the whole day and back.
//
// Usage: tarnimex-bench-chart CSV   (offscreen when no QT_QPA_PLATFORM is set)
#include <QApplication>
#include <QChart>
#include <QElapsedTimer>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/chart_window.h"
#include "ui/form_main.h"
#include "ui/monitor_window.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CSV\n", argv[0]);
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    constexpr int kZoomSteps = 12;
    constexpr double kZoomFactor = 1.6;
    QElapsedTimer timer;
    timer.start();
    auto* chart = new tarnimex::TChartWindow(50);
    chart->show();
    QString error;
    if (!chart->AddCsv(QString::fromLocal8Bit(argv[1]), error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 1;
    }
    QApplication::processEvents();
    chart->grab();
    const double open = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    std::vector<double> redraws;
    for (int step = 0; step < 2 * kZoomSteps; ++step) {
        timer.restart();
        chart->TimeChart()->zoom(step < kZoomSteps ? kZoomFactor : 1 / kZoomFactor);
        QApplication::processEvents();
        chart->grab();
        redraws.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(redraws.begin(), redraws.end());
    std::printf(
        "open %.0f ms; redraw after a zoom step: median %.1f ms, slowest %.1f ms (%zu steps)\n",
        open, redraws[redraws.size() / 2], redraws.back(), redraws.size());
    delete chart;

    constexpr int kDay = 86400;
    tarnimex::TFormMain settings;
    auto* monitor = new tarnimex::TMonitorWindow(settings);
    monitor->show();
    for (int i = 0; i < kDay; ++i)
        monitor->ShowReport(45000 + i / static_cast<double>(kDay),
                            0.001 * std::sin(i / 600.0) + (i % 3600 == 0 ? 60 : 0));
    std::vector<double> follows;
    for (int step = 0; step < kZoomSteps; ++step) {
        timer.restart();
        monitor->FollowLatest();
        monitor->grab();
        follows.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::vector<double> days;
    for (int step = 0; step < 2 * kZoomSteps; ++step) {
        timer.restart();
        monitor->TimeChart()->zoom(step < kZoomSteps ? 1 / kZoomFactor : kZoomFactor);
        QApplication::processEvents();
        monitor->grab();
        days.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(follows.begin(), follows.end());
    std::sort(days.begin(), days.end());
    std::printf(
        "monitor with a day of reports: following median %.1f ms, slowest %.1f ms; zooming out "
        "to the day and back median %.1f ms, slowest %.1f ms\n",
        follows[follows.size() / 2], follows.back(), days[days.size() / 2], days.back());
    monitor->close();
    return 0;
}
