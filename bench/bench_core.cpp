// SPDX-License-Identifier: GPL-3.0-or-later
// Micro-benchmarks of the conversion's hot routines, fast and reference reader
// side by side.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "conversion/input/log_reader.h"
#include "conversion/reports/sentence.h"
#include "conversion/reports/time_stamp.h"
#include "conversion/statistics/statistics.h"
#include "conversion/statistics/timing_metrics.h"
#include "support/frames.h"

namespace tarnimex {
namespace {

// An hour of 1 Hz epochs: six NMEA sentences, a report and a 100-byte binary frame.
std::string SampleLog() {
    std::string log;
    // A 92-byte UBX NAV-PVT frame whose checksum holds.
    const std::string frame = test::Ubx(0x01, 0x07, std::string(92, '\x11'));
    for (int s = 0; s < 3600; ++s) {
        log += frame;
        log += "$GPGGA,000001.00,4807.0384,N,01131.0009,E,1,09,1.06,545.7,M,47.9,M,,*55\r\n";
        log += "$GPRMC,000001.00,A,4807.0384,N,01131.0009,E,0.050,302.16,010624,,,A*62\r\n";
        log += "$GPGSA,A,3,03,06,09,13,15,16,17,18,20,,,,1.8,1.1,1.5*3F\r\n";
        log += "$GPGSV,3,1,12,03,30,160,32,05,00,316,,06,87,286,52,08,09,164,26*7B\r\n";
        log += "$GPVTG,302.16,T,,M,0.050,N,0.092,K,A*35\r\n";
        log += "$GPTXT,01,01,02,RMC delay,2024/06/01 00:00:01.000,0.241*51\r\n";
    }
    return log;
}

void ReadAll(benchmark::State& state, LogReader::Mode mode, bool skip) {
    const std::string log = SampleLog();
    for (auto _ : state) {
        LogReader reader(mode);
        reader.Open(std::make_unique<MemorySource>(log), static_cast<std::int64_t>(log.size()));
        std::size_t lines = 0;
        while (!reader.EndOfLog()) {
            const std::size_t skipped = skip ? reader.SkipLinesWithout("$GPTXT", 20000) : 0;
            if (skipped == 0) {
                benchmark::DoNotOptimize(reader.ReadLogLine());
                ++lines;
            }
            lines += skipped;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * log.size()));
}

void BM_ReaderReference(benchmark::State& state) {
    ReadAll(state, LogReader::Mode::Reference, false);
}
void BM_ReaderFast(benchmark::State& state) {
    ReadAll(state, LogReader::Mode::Fast, false);
}
void BM_ReaderFastSkipping(benchmark::State& state) {
    ReadAll(state, LogReader::Mode::Fast, true);
}
BENCHMARK(BM_ReaderReference);
BENCHMARK(BM_ReaderFast);
BENCHMARK(BM_ReaderFastSkipping);

void BM_SplitReport(benchmark::State& state) {
    const std::string line = "$GPTXT,01,01,02,RMC delay,2024/06/01 00:00:01.000,0.241*51";
    SentenceFields fields;
    int count = 0;
    for (auto _ : state) benchmark::DoNotOptimize(SplitReport(line, 6, fields, count));
}
BENCHMARK(BM_SplitReport);

void BM_ParseTimeStamp(benchmark::State& state) {
    const RegionalFormat regional;
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseTimeStamp("2024/06/01 00:00:01.250", regional));
}
BENCHMARK(BM_ParseTimeStamp);

void BM_ParseFloat(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ParseFloat("0.241"));
}
BENCHMARK(BM_ParseFloat);

void BM_WriteTimeStamp(benchmark::State& state) {
    TimeStampWriter writer(RegionalFormat{}, -1);
    char out[64];
    double value = 45444.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(writer.Write(out, value));
        value += 1.0 / 86400.0;
    }
}
BENCHMARK(BM_WriteTimeStamp);

// Four days of 1 Hz reports, the metrics' share of a long log's conversion: a
// random walk with noise, and a gap now and then that splits the segments.
constexpr int kFourDays = 4 * 86400;

struct FourDays {
    std::vector<double> times, delays;
    FourDays() {
        std::mt19937_64 rng(3);
        std::normal_distribution<double> noise(0, 1e-3);
        double walk = 0.2;
        for (int s = 0; s < kFourDays; ++s) {
            walk += noise(rng) / 30;
            const int second = s + (s > kFourDays / 3 ? 7 : 0) + (s > kFourDays / 2 ? 60 : 0);
            times.push_back(45444.5 + second / 86400.0);
            delays.push_back(walk + noise(rng));
        }
    }
    TimingSeries Series() const {
        TimingSeries series;
        for (std::size_t i = 0; i < times.size(); ++i) series.Add(times[i], delays[i], true);
        return series;
    }
};

void BM_TimingSeriesAdd(benchmark::State& state) {
    const FourDays log;
    for (auto _ : state) benchmark::DoNotOptimize(log.Series());
    state.SetItemsProcessed(state.iterations() * kFourDays);
}
BENCHMARK(BM_TimingSeriesAdd)->Unit(benchmark::kMillisecond);

void BM_TimingMetrics(benchmark::State& state) {
    const TimingSeries series = FourDays().Series();
    for (auto _ : state) benchmark::DoNotOptimize(series.Compute(1.0));
    state.SetItemsProcessed(state.iterations() * kFourDays);
}
BENCHMARK(BM_TimingMetrics)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnimex

BENCHMARK_MAIN();
