// SPDX-License-Identifier: GPL-3.0-or-later
// The test report of one log, timed: the log is converted first (every
// report a row, the usual keys), its timing metrics taken from the CSV, and
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

#include "conversion/conversion_run.h"
#include "conversion/output/csv_read_back.h"
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
        test::FakeHost host;
        host.alarmStep = 50;
        Converter converter(host, RegionalFormat{}, TextEncoding{});
        input.statistics = converter.ConvertFile(input.logPath, input.csvPath).statistics;
        CsvRows rows;
        std::string error;
        if (!ReadCsvFile(input.csvPath, rows, error)) throw std::runtime_error(error);
        if (argc == 4) {
            input.limits = ReadLimitsFile(argv[3]);
            input.limitsFile = argv[3];
        }
        TimingSeries series(input.limits ? input.limits->warmUp : 0);
        for (const CsvRow& row : rows.rows) series.Add(row.time, row.delay, true);
        input.metrics = series.Compute(input.statistics.usualStep);
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
