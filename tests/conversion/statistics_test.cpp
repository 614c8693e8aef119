// SPDX-License-Identifier: GPL-3.0-or-later
// A log's statistics against a plain reference computed from the whole list of
// reports: sorted delays, every step, every stretch.
#include "conversion/statistics/statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>

#include "conversion/conversion_run.h"
#include "conversion/reports/sentence.h"
#include "conversion/reports/time_stamp.h"

#include "support/fake_host.h"
#include "support/files.h"
#include "support/frames.h"
#include "support/report_series.h"
#include "support/scratch_folder.h"

namespace tarnimex {
namespace {

namespace fs = std::filesystem;

using test::At;
using test::kDay;
using test::Report;

double Percentile(const std::vector<double>& sorted, double p) {
    const double h = static_cast<double>(sorted.size() - 1) * p;
    const auto low = static_cast<std::size_t>(h);
    const double fraction = h - static_cast<double>(low);
    return fraction > 0 ? sorted[low] + fraction * (sorted[low + 1] - sorted[low]) : sorted[low];
}

std::int64_t Ms(double time) {
    return std::llround(time * kDay * 1000.0);
}

LogStatistics Reference(const std::vector<Report>& reports, double alarmStep) {
    LogStatistics s;
    s.reports = static_cast<std::int64_t>(reports.size());
    std::vector<double> delays;
    for (const Report& r : reports) {
        if (!r.time) ++s.unreadableTimes;
        if (!r.delay) {
            ++s.unreadableDelays;
            continue;
        }
        if (delays.empty() || *r.delay < s.min) s.min = *r.delay, s.minTime = r.time;
        if (delays.empty() || *r.delay > s.max) s.max = *r.delay, s.maxTime = r.time;
        delays.push_back(*r.delay);
    }
    s.delays = static_cast<std::int64_t>(delays.size());
    if (!delays.empty()) {
        long double sum = 0;
        for (double d : delays) sum += d;
        s.mean = static_cast<double>(sum / delays.size());
        long double squares = 0;
        for (double d : delays) squares += (d - s.mean) * (d - s.mean);
        s.stddev = std::sqrt(static_cast<double>(squares / delays.size()));
        std::sort(delays.begin(), delays.end());
        s.median = Percentile(delays, 0.5);
        s.p95 = Percentile(delays, 0.95);
        s.p99 = Percentile(delays, 0.99);
    }

    std::optional<AlarmStretch> open;
    auto close = [&] {
        ++s.alarmStretches;
        const double length =
            open->start ? static_cast<double>(Ms(open->end) - Ms(open->start)) / 1000 : 0;
        s.alarmTotal += length;
        s.alarmLongest = std::max(s.alarmLongest, length);
        if (s.alarmList.size() < LogStatistics::kListed) s.alarmList.push_back(*open);
        open.reset();
    };
    for (const Report& r : reports) {
        const double delay = r.delay.value_or(0);
        if (!(alarmStep > 0 && std::fabs(delay) > alarmStep)) {
            if (open) close();
            continue;
        }
        if (!open) open = AlarmStretch{0, 0, delay};
        if (std::fabs(delay) > std::fabs(open->peak)) open->peak = delay;
        if (r.time) {
            if (!open->start) open->start = r.time;
            open->end = r.time;
        }
    }
    if (open) close();

    std::vector<std::pair<double, std::int64_t>> steps;  // start, step in ms
    double previous = 0;
    for (const Report& r : reports) {
        if (!r.time) continue;
        if (!s.firstTime) s.firstTime = r.time;
        s.lastTime = r.time;
        if (previous) {
            const std::int64_t step = Ms(r.time) - Ms(previous);
            if (step > 0) steps.emplace_back(previous, step);
            if (step < 0) ++s.backwardSteps;
        }
        previous = r.time;
    }
    if (!steps.empty()) {
        std::vector<double> sorted;
        for (const auto& step : steps) sorted.push_back(static_cast<double>(step.second));
        std::sort(sorted.begin(), sorted.end());
        const double usual = Percentile(sorted, 0.5);
        s.usualStep = usual / 1000;
        for (const auto& [start, step] : steps) {
            if (static_cast<double>(step) <= 1.5 * usual) continue;
            ++s.gaps;
            s.gapTotal += (static_cast<double>(step) - usual) / 1000;
            s.gapLongest = std::max(s.gapLongest, (static_cast<double>(step) - usual) / 1000);
            if (s.gapList.size() < LogStatistics::kListed)
                s.gapList.push_back({start, start + static_cast<double>(step) / kDay / 1000});
        }
    }
    return s;
}

// Percentiles come from 1 ms bins: within half a bin of the exact order statistics.
constexpr double kBin = 0.0005 + 1e-9;

void ExpectMatches(const LogStatistics& got, const LogStatistics& want) {
    EXPECT_EQ(got.reports, want.reports);
    EXPECT_EQ(got.unreadableTimes, want.unreadableTimes);
    EXPECT_EQ(got.unreadableDelays, want.unreadableDelays);
    EXPECT_EQ(got.delays, want.delays);
    EXPECT_NEAR(got.mean, want.mean, 1e-9 * (1 + std::fabs(want.mean)));
    EXPECT_NEAR(got.stddev, want.stddev, 1e-9 * (1 + want.stddev));
    EXPECT_NEAR(got.median, want.median, kBin);
    EXPECT_NEAR(got.p95, want.p95, kBin);
    EXPECT_NEAR(got.p99, want.p99, kBin);
    EXPECT_EQ(got.min, want.min);
    EXPECT_EQ(got.minTime, want.minTime);
    EXPECT_EQ(got.max, want.max);
    EXPECT_EQ(got.maxTime, want.maxTime);
    EXPECT_EQ(got.alarmStretches, want.alarmStretches);
    EXPECT_NEAR(got.alarmTotal, want.alarmTotal, 1e-6);
    EXPECT_EQ(got.alarmLongest, want.alarmLongest);
    ASSERT_EQ(got.alarmList.size(), want.alarmList.size());
    for (std::size_t i = 0; i < got.alarmList.size(); ++i) {
        EXPECT_EQ(got.alarmList[i].start, want.alarmList[i].start) << i;
        EXPECT_EQ(got.alarmList[i].end, want.alarmList[i].end) << i;
        EXPECT_EQ(got.alarmList[i].peak, want.alarmList[i].peak) << i;
    }
    EXPECT_EQ(got.firstTime, want.firstTime);
    EXPECT_EQ(got.lastTime, want.lastTime);
    EXPECT_EQ(got.usualStep, want.usualStep);
    EXPECT_EQ(got.gaps, want.gaps);
    EXPECT_NEAR(got.gapTotal, want.gapTotal, 1e-6 * (1 + want.gapTotal));
    EXPECT_DOUBLE_EQ(got.gapLongest, want.gapLongest);
    EXPECT_EQ(got.backwardSteps, want.backwardSteps);
    EXPECT_TRUE(got.gapListComplete);
    ASSERT_EQ(got.gapList.size(), want.gapList.size());
    for (std::size_t i = 0; i < got.gapList.size(); ++i) {
        EXPECT_EQ(Ms(got.gapList[i].start), Ms(want.gapList[i].start)) << i;
        EXPECT_EQ(Ms(got.gapList[i].end), Ms(want.gapList[i].end)) << i;
    }
}

LogStatistics Accumulate(const std::vector<Report>& reports, double alarmStep) {
    StatisticsAccumulator accumulator;
    for (const Report& r : reports)
        accumulator.Add(r.time, r.delay.value_or(0), r.delay.has_value(), alarmStep);
    return accumulator.Result();
}

// Reports one second apart from the given delays; nullopt is unreadable.
std::vector<Report> Seconds(std::initializer_list<std::optional<double>> delays) {
    std::vector<Report> reports;
    for (const auto& d : delays) reports.push_back({At(static_cast<double>(reports.size())), d});
    return reports;
}

TEST(Statistics, HandMadeLogsMatchTheReference) {
    const auto none = std::nullopt;
    // Legend: what the log shows; its reports; the alarm step.
    const struct {
        const char* what;
        std::vector<Report> reports;
        double alarmStep;
    } cases[] = {
        {"one report", Seconds({0.123}), 50},
        {"no readable delay", Seconds({none, none}), 50},
        {"stretches, one open at the end", Seconds({10, 60, -70, 20, 55, 51}), 50},
        {"at the step is not over", Seconds({50, 50.001, 50, -50}), 50},
        {"an unreadable delay ends a stretch", Seconds({60, none, 60}), 50},
        {"alarms off", Seconds({60, 70}), 0},
        {"gaps, backward and zero steps, unreadable times",
         {{At(0), 1},
          {At(1), 2},
          {At(2), 3},
          {At(12), 4},
          {0, 5},
          {At(13), 6},
          {At(10), 7},
          {At(10), 8},
          {At(11.5), 9},
          {At(12.5), none},
          {At(100), 0},
          {At(20000.125), 0}},
         50},
        {"a stretch without readable times", {{0, 60}, {0, 70}, {At(5), 1}}, 50},
        {"delays beyond 1000 s", Seconds({-5000, 1e20, 0.25, 2000, -1e-3}), 0},
        {"hourly reports, some late (long steps are counted by the second)",
         {{At(0), 0}, {At(3600), 0}, {At(7200), 0}, {At(10801), 0}, {At(25000), 0}},
         50},
        {"an even count of steps", Seconds({0, 0, 0}), 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectMatches(Accumulate(c.reports, c.alarmStep), Reference(c.reports, c.alarmStep));
    }
}

TEST(Statistics, RandomLogsMatchTheReference) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        std::vector<Report> reports;
        double t = 0;
        std::normal_distribution<double> noise(0.2, round == 3 ? 300.0 : 0.05);
        for (int i = 0; i < 200000; ++i) {
            const unsigned kind = static_cast<unsigned>(rng() % 1000);
            // Mostly 1 s (with millisecond jitter in round 1), now and then a
            // gap, a step back or a repeat.
            t += kind < 5 ? static_cast<double>(rng() % 600) : kind < 7 ? -3 : kind < 9 ? 0 : 1;
            if (i == 1000) t += 7200.125;
            if (round == 1) t += static_cast<double>(rng() % 5) / 1000;
            const double scale = std::pow(10.0, static_cast<double>(rng() % 4 + 3));
            double delay = std::round(noise(rng) * scale) / scale;
            if (kind % 97 == 0) delay += 60;
            std::optional<double> read = delay;
            if (kind == 500) read.reset();
            reports.push_back({kind == 501 ? 0 : At(t), read});
        }
        ExpectMatches(Accumulate(reports, 50), Reference(reports, 50));
    }
}

TEST(Statistics, SteadilyGrowingStepsKeepTheGapListExact) {
    // Every step is the longest so far: the candidates overflow and are halved.
    std::vector<Report> reports;
    double t = 0;
    for (int i = 0; i < 100000; ++i) {
        t += 1 + i / 1000.0;
        reports.push_back({At(t), 0.1});
    }
    const LogStatistics got = Accumulate(reports, 50);
    ExpectMatches(got, Reference(reports, 50));
    EXPECT_EQ(got.gapList.size(), LogStatistics::kListed);
}

// Whole conversions: the statistics the run hands to its host.
class RunStatistics : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        ScratchFolderTest::SetUp();
        host_.fields[HostField::MaxStep] = "9.5";
    }

    const LogStatistics& Convert(const fs::path& log) {
        finished_.clear();
        converter_.ConvertFiles(log.string());
        return converter_.LastStatistics();
    }

    // The reports of a conversion without Limiting, read back from its CSV.
    std::vector<Report> FromCsv(const fs::path& log) {
        std::istringstream csv(test::ReadFile(CsvFileName(log.string())));
        std::vector<Report> reports;
        std::string line;
        std::getline(csv, line);
        while (std::getline(csv, line)) {
            SentenceFields fields;
            SplitSentence(line, fields);
            reports.push_back({ParseTimeStamp(fields[1], kYmd), ReadFloat(fields[3])});
        }
        return reports;
    }

    const RegionalFormat kYmd{DateOrder::YMD, "/", ":", "."};
    class Host : public test::FakeHost {
      public:
        explicit Host(std::vector<LogStatistics>& finished) : finished_(finished) {}
        void LogFinished(const LogStatistics& s) override { finished_.push_back(s); }

      private:
        std::vector<LogStatistics>& finished_;
    };
    std::vector<LogStatistics> finished_;
    Host host_{finished_};
    Converter converter_{host_, kYmd, TextEncoding{"ANSI_X3.4-1968", false}};
};

TEST_F(RunStatistics, EveryReportCountsWithOrWithoutLimiting) {
    std::string bytes = "$GPGGA,noise\r\n";
    for (int s = 0; s < 40; ++s) {
        const std::string delay = s >= 10 && s < 14 ? "60.5" : s == 20 ? "x" : "0.1";
        char time[48];
        std::snprintf(time, sizeof time, "2023/07/05 12:00:%02d.000", s + (s >= 30 ? 15 : 0));
        bytes += test::ReportLine(s == 25 ? "2023/13/05 12:00:00" : time, delay);
    }
    const fs::path log = dir_ / "a.nmea";
    test::WriteFile(log, bytes);
    const LogStatistics all = Convert(log);
    ASSERT_EQ(finished_.size(), 1u);
    const std::vector<Report> reports = FromCsv(log);
    ExpectMatches(all, Reference(reports, 50));
    EXPECT_EQ(all.rows, 40);
    EXPECT_EQ(all.lines, 42) << "41 lines and the read that meets the end";
    EXPECT_EQ(all.unreadableTimes, 1);
    EXPECT_EQ(all.unreadableDelays, 1);
    EXPECT_EQ(all.alarmStretches, 1);
    EXPECT_EQ(all.alarmTotal, 3);
    EXPECT_EQ(all.gaps, 2) << "the unreadable date-time leaves a step of 2 s";
    EXPECT_EQ(all.gapTotal, 16);
    EXPECT_FALSE(all.metrics) << "kept only when asked for";

    host_.limit = true;
    converter_.CollectTimingMetrics(0);
    const LogStatistics limited = Convert(log);
    EXPECT_LT(limited.rows, all.rows);
    ExpectMatches(limited, all);
    ASSERT_TRUE(limited.metrics);
    EXPECT_EQ(limited.metrics->reports, 38) << "every report whose date-time and delay read";
    EXPECT_EQ(limited.metrics->maxAbsTimeError, 60.5);
    EXPECT_TRUE(finished_.back().metrics == limited.metrics) << "the host gets them";
}

TEST_F(RunStatistics, LogsWithoutReportsAreFinishedToo) {
    const fs::path log = dir_ / "empty.nmea";
    test::WriteFile(log, "$GPGGA,noise\r\n");
    EXPECT_EQ(Convert(log).reports, 0);
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].lines, 2);
    Convert(dir_ / "missing.nmea");
    EXPECT_TRUE(finished_.empty()) << "a log that cannot be opened has no statistics";
}

TEST_F(RunStatistics, GeneratorLog) {
#ifndef TARNIMEX_GEN_LOG
    GTEST_SKIP() << "the log generator is built with the benchmarks";
#else
    const fs::path log = dir_ / "generated.log";
    const std::string command =
        std::string(TARNIMEX_GEN_LOG) + " --days 0.5 --seed 9 -o " + log.string();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const LogStatistics& got = Convert(log);
    ExpectMatches(got, Reference(FromCsv(log), 50));
    EXPECT_GT(got.alarmStretches, 0) << "the generator's delays go over the alarm step";
#endif
}

}  // namespace
}  // namespace tarnimex
