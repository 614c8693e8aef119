// SPDX-License-Identifier: GPL-3.0-or-later
// The test report of one log, timed: the log is converted first (every
// report a row, the usual keys) with its timing metrics, and
// then the report's HTML and PDF and the index are made into OUTDIR, which
// alone is timed. Also makes the example report of the documentation.
//
// Usage: tarnimex-bench-report LOG OUTDIR [LIMITS.ini]
//        (offscreen when no QT_QPA_PLATFORM is set)
#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <stdexcept>

#include "conversion/conversion_run.h"
#include "report/test_report.h"
#include "settings/limits_file.h"
#include "support/fake_host.h"

int main(int argc, char** argv) {
    using namespace tarnimex;
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s LOG OUTDIR [LIMITS.ini]\n", argv[0]);
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    try {
        ReportInput input;
        input.logPath = argv[1];
        input.csvPath =
            std::string(argv[2]) + "/" + std::filesystem::path(argv[1]).stem().string() + ".csv";
        if (argc == 4) {
            input.limits = ReadLimitsFile(argv[3]);
            input.limitsFile = argv[3];
        }
        test::FakeHost host;
        host.alarmStep = 50;
        Converter converter(host, RegionalFormat{}, TextEncoding{});
        converter.CollectTimingMetrics(input.limits ? input.limits->warmUp : 0);
        input.statistics = converter.ConvertFile(input.logPath, input.csvPath).statistics;
        if (!input.statistics.metrics) throw std::runtime_error("the log has no reports");
        input.metrics = *input.statistics.metrics;
        if (input.limits) input.verdict = JudgeLog(*input.limits, input.statistics, input.metrics);
        input.alarmStep = host.alarmStep;
        input.settings = {{"Key", host.fields[HostField::Key]},
                          {"Second key", host.fields[HostField::SecKey]},
                          {"Regional format", "year/month/day hh:mm:ss.sss"}};
        input.version = TARNIMEX_VERSION_TEXT;
        input.madeAt = std::chrono::system_clock::now();

        QElapsedTimer timer;
        timer.start();
        const ReportFiles files = WriteLogReport(input, argv[2]);
        WriteReportIndex({input}, argv[2]);
        std::printf("%lld reports: HTML, PDF and index in %.0f ms (%s)\n",
                    static_cast<long long>(input.statistics.reports),
                    static_cast<double>(timer.nsecsElapsed()) / 1e6, files.html.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
