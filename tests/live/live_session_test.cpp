// SPDX-License-Identifier: GPL-3.0-or-later
// A live session on a clock of the test's: logs cut at round UTC times, a lost
// connection counted as an outage and a gap with a log of its own, alarms as
// they start and end, and every log's bytes and CSV.
#include "live/live_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/fake_host.h"
#include "support/frames.h"
#include "support/scratch_folder.h"

namespace tarnimex {
namespace {

using namespace std::chrono_literals;

LiveTime Utc(int day, int hour, int minute, double second) {
    using namespace std::chrono;
    return sys_days{year{2026} / December / day} + hours(hour) + minutes(minute) +
           duration_cast<system_clock::duration>(duration<double>(second));
}

TEST(LiveRecording, CutsAtRoundUtcTimes) {
    struct Row {
        const char* legend;
        LiveTime at;
        int period;
        LiveTime cut;
    };
    const Row rows[] = {
        {"hour", Utc(9, 13, 59, 58), 60, Utc(9, 14, 0, 0)},
        {"on the hour: the next one", Utc(9, 14, 0, 0), 60, Utc(9, 15, 0, 0)},
        {"day", Utc(9, 13, 59, 58), 1440, Utc(10, 0, 0, 0)},
        {"minutes from midnight", Utc(9, 0, 8, 0), 7, Utc(9, 0, 14, 0)},
        {"a period over midnight stops there", Utc(9, 23, 55, 0), 7, Utc(10, 0, 0, 0)},
    };
    for (const Row& row : rows) EXPECT_EQ(NextCut(row.at, row.period), row.cut) << row.legend;
    EXPECT_EQ(UtcStamp(Utc(9, 14, 0, 0.9)), "20261209T140000Z");
}

struct Events : LiveEvents {
    void AlarmStarted(LiveSession&, double, double delay) override {
        seen += "start " + std::to_string(delay) + ";";
    }
    void AlarmEnded(LiveSession&, const AlarmStretch& s) override {
        seen += "end " + std::to_string(s.peak) + ";";
    }
    void LogOpened(LiveSession&, const std::string& path) override { opened.push_back(path); }
    void LogClosed(LiveSession&, const std::string&, const LogResult& result) override {
        csvRows.push_back(result.statistics.rows);
    }
    std::string seen;
    std::vector<std::string> opened;
    std::vector<std::int64_t> csvRows;
};

class LiveSessionTest : public test::ScratchFolderTest {};

std::string Report(int second, double delay) {
    char fields[96];
    std::snprintf(fields, sizeof fields, "GPTXT,01,01,02,RMC delay,2026/12/09 13:59:%02d.000,%.6f",
                  second, delay);
    return test::Nmea(fields);
}

TEST_F(LiveSessionTest, CutsReconnectsAndConvertsEveryLog) {
    test::FakeHost host;
    Events events;
    RegionalFormat regional{DateOrder::YMD, "/", ":", "."};
    LiveSession session("ttyUSB0", host, regional, events,
                        LiveRecording{Path(""), 60, regional, TextEncoding{}});
    // A report split by the cut, and one by the reconnection: the first is
    // whole in the live statistics, the second is lost with the connection.
    const std::string before = Report(1, 0.0001) + test::Ubx(1, 7, "abc") + Report(2, 60.0) +
                               Report(3, 0.0002).substr(0, 20);
    const std::string after = Report(3, 0.0002).substr(20) + Report(4, 0.0003).substr(0, 9);
    const std::string reconnected = Report(30, 70.5) + Report(31, 0.0001);

    session.Connected(Utc(9, 13, 59, 58));
    session.Received(before, Utc(9, 13, 59, 59));
    session.Tick(Utc(9, 13, 59, 59.5));
    session.Received(after, Utc(9, 14, 0, 0.5));
    session.Lost("unplugged", Utc(9, 14, 0, 2));
    session.Tick(Utc(9, 14, 0, 3));
    session.Connected(Utc(9, 14, 0, 5));
    session.Received(reconnected, Utc(9, 14, 0, 6));
    session.Stop(Utc(9, 14, 0, 7));

    EXPECT_EQ(events.opened, (std::vector<std::string>{Path("ttyUSB0-20261209T135958Z.nmea"),
                                                       Path("ttyUSB0-20261209T140000Z.nmea"),
                                                       Path("ttyUSB0-20261209T140005Z.nmea")}));
    EXPECT_EQ(test::ReadFile(events.opened[0]), before);
    EXPECT_EQ(test::ReadFile(events.opened[1]), after);
    EXPECT_EQ(test::ReadFile(events.opened[2]), reconnected);
    // Each log's CSV by the offline conversion: the split report is in neither.
    EXPECT_EQ(events.csvRows, (std::vector<std::int64_t>{2, 0, 2}));
    EXPECT_TRUE(std::filesystem::exists(Path("ttyUSB0-20261209T140005Z.csv")));
    EXPECT_EQ(events.seen, "start 60.000000;end 60.000000;start 70.500000;end 70.500000;");

    const LiveFigures& figures = session.Figures();
    EXPECT_EQ(figures.outages, 1);
    EXPECT_EQ(figures.reports, 5);
    EXPECT_EQ(figures.largest, 70.5);
    LogStatistics statistics = session.Statistics();
    EXPECT_EQ(statistics.reports, 5);
    EXPECT_EQ(statistics.gaps, 1);  // 13:59:03 to 13:59:30
    EXPECT_EQ(statistics.alarmStretches, 2);
    EXPECT_EQ(statistics.frames.removed.ubx, 1);
    ASSERT_EQ(session.Recent().size(), 5u);
    EXPECT_EQ(session.Recent().back().delay, 0.0001);
}

}  // namespace
}  // namespace tarnimex
