// SPDX-License-Identifier: GPL-3.0-or-later
// tarnimex-convert --summary: the text block, the JSON line, the warning about
// unreadable report fields, and JSON strings of any bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "cli/cli_run.h"
#include "cli/cli_summary.h"
#include "support/frames.h"
#include "support/scratch_folder.h"

namespace tarnimex {
namespace {

namespace fs = std::filesystem;

std::string Report(const std::string& time, const std::string& delay) {
    return test::ReportLine("2023/07/05 12:00:" + time, delay);
}

class Summary : public test::ScratchFolderTest {
  protected:
    void SetUp() override {
        ScratchFolderTest::SetUp();
        // One stretch over the alarm step, gaps of 4 s and 2 s (usual step 1 s), a
        // step back, one unreadable date-time and one unreadable delay; a UBX
        // frame that checks out and a MediaTek frame that does not.
        std::ofstream(dir_ / "a.nmea", std::ios::binary)
            << Report("00.000", "0.1") << test::Ubx(1, 7, "\x01\x02\x03")
            << test::Mtk("\x05\x06", false) << Report("01.000", "60.25") << Report("02.000", "-70")
            << Report("03.000", "x") << Report("07.000", "0.3") << Report("99.000", "0.2")
            << Report("06.500", "0.2") << Report("08.500", "0.1");
        std::ofstream(dir_ / "none.nmea", std::ios::binary) << "$GPGGA,1\r\n";
    }
    int Run(std::vector<std::string> args) {
        for (const char* option : {"--date-order=ymd", "--date-sep=/",
                                   "--time-sep=:", "--decimal-sep=.", "--decimals=3"})
            args.insert(args.begin(), option);
        std::ostringstream out, err;
        const int status = RunCli(args, out, err, false);
        out_ = out.str();
        err_ = err.str();
        return status;
    }
    std::string Log(const char* name) { return (dir_ / name).string(); }
    // A log's name as a JSON string holds it: Windows' "\" doubled.
    static std::string InJson(std::string name) {
        for (std::size_t i = 0; (i = name.find('\\', i)) != std::string::npos; i += 2)
            name.insert(i, 1, '\\');
        return name;
    }
    std::string out_, err_;
};

TEST_F(Summary, JsonLineAfterEachLog) {
    const std::string a = Log("a.nmea");
    const std::string none = Log("none.nmea");
    ASSERT_EQ(Run({"--quiet", "--summary=json", a, none}), 3);  // one log had no report
    EXPECT_EQ(
        out_,
        "{\"log\":\"" + InJson(a) +
            "\",\"reports\":8,\"rows\":8,\"mean\":-1.2642857142857138,\"stddev\":"
            "34.885657248110626,\"median\":0.2,\"p95\":42.26499999999996,\"p99\":56.65299999999997,"
            "\"min\":-70,"
            "\"min_time\":\"2023-07-05T12:00:02Z\",\"max\":60.25,\"max_time\":"
            "\"2023-07-05T12:00:01Z\",\"alarm_stretches\":1,\"alarm_total_s\":1,\"alarm_longest_"
            "s\":1,"
            "\"gaps\":2,\"gap_total_s\":4,\"gap_longest_s\":3,\"backward_steps\":1,"
            "\"unreadable_times\":1,\"unreadable_delays\":1,\"lines\":9,"
            "\"frames\":{\"ubx\":1,\"sirf\":0,\"mtk\":0},"
            "\"damaged_frames\":{\"ubx\":0,\"sirf\":0,\"mtk\":1},\"delays\":7,"
            "\"usual_step_s\":1,\"alarm_list\":[{\"start\":\"2023-07-05T12:00:01Z\","
            "\"end\":\"2023-07-05T12:00:02Z\",\"peak\":-70}],\"gap_list\":[{\"start\":"
            "\"2023-07-05T12:00:03Z\",\"end\":\"2023-07-05T12:00:07Z\"},{\"start\":"
            "\"2023-07-05T12:00:06.5Z\",\"end\":\"2023-07-05T12:00:08.5Z\"}],"
            "\"gap_list_complete\":true,"
            // Six reports count, in segments of 3, 1, 1 and 1 (usual step 1 s);
            // TDEV(1 s) = |-70 - 2 * 60.25 + 0.1| / sqrt(6).
            "\"metrics\":{\"warm_up_s\":0,\"reports\":6,\"tau0_s\":1,\"max_abs\":70,"
            "\"pk_pk\":130.25,\"mtie\":[{\"tau_s\":1,\"s\":130.25},{\"tau_s\":2,\"s\":130.25}],"
            "\"tdev\":[{\"tau_s\":1,\"s\":77.73047450431952}]}}\n"
            "{\"log\":\"" +
            InJson(none) +
            "\",\"reports\":0,\"rows\":0,\"mean\":null,\"stddev\":null,\"median\":null,"
            "\"p95\":null,\"p99\":null,\"min\":null,\"min_time\":null,\"max\":null,\"max_time\":"
            "null,\"alarm_stretches\":0,\"alarm_total_s\":0,\"alarm_longest_s\":0,\"gaps\":0,"
            "\"gap_total_s\":0,\"gap_longest_s\":0,\"backward_steps\":0,\"unreadable_times\":0,"
            "\"unreadable_delays\":0,\"lines\":2,"
            "\"frames\":{\"ubx\":0,\"sirf\":0,\"mtk\":0},"
            "\"damaged_frames\":{\"ubx\":0,\"sirf\":0,\"mtk\":0},\"delays\":0,\"usual_step_s\":0,"
            "\"alarm_list\":[],"
            "\"gap_list\":[],\"gap_list_complete\":true,\"metrics\":{\"warm_up_s\":0,"
            "\"reports\":0,\"tau0_s\":0,\"max_abs\":null,\"pk_pk\":null,\"mtie\":[],"
            "\"tdev\":[]}}\n");
    EXPECT_EQ(err_, "tarnimex-convert: warning: " + a +
                        ": 1 report date-time and 1 delay could not be read and count as 0\n");
    // Scripts read it on any machine: neither the regional format nor the CSV's
    // decimals change it.
    const std::string json = out_;
    ASSERT_EQ(
        Run({"--date-sep=.", "--time-sep=.", "--decimals=0", "--quiet", "--summary=json", a, none}),
        3);
    EXPECT_EQ(out_, json);
}

TEST_F(Summary, TextBlockAfterTheStatusLines) {
    const std::string a = Log("a.nmea");
    // The option takes no separate value: the next argument stays a log.
    ASSERT_EQ(Run({"--summary", a}), 0);
    EXPECT_EQ(out_, a + "\nOutput..\nCompleted:  Max=60.25Sec.  Min=-70Sec.  Output=8/9Lines\n" +
                        "Statistics of " + a +
                        "\n"
                        "  8 reports, 8 rows, 9 lines; unreadable: 1 date-time, 1 delay\n"
                        "  delay (s): mean -1.264286, stddev 34.885657, median 0.2, p95 "
                        "42.265, p99 56.653\n"
                        "  smallest -70 at 2023/07/05 12:00:02.000, largest 60.25 at "
                        "2023/07/05 12:00:01.000\n"
                        "  alarm stretches: 1, 1 s in all, longest 1 s\n"
                        "  gaps: 2 (usual step 1 s), 4 s missing in all, longest 3 s; "
                        "backward steps: 1\n"
                        "  frames removed: UBX 1, SiRF 0, MediaTek 0; damaged, left in the "
                        "text: UBX 0, SiRF 0, MediaTek 1\n");
    EXPECT_EQ(Run({"--summary=xml", a}), 2);
    EXPECT_EQ(err_.substr(0, err_.find('\n')),
              "tarnimex-convert: --summary takes text or json, not \"xml\"");
}

TEST_F(Summary, MetricsAndVerdictAgreeInJsonAndText) {
    const std::string a = Log("a.nmea");
    const std::string none = Log("none.nmea");
    // One scalar limit that holds and one that does not, a mask over two τ.
    std::ofstream(dir_ / "l.ini") << "[Limits]\nMaxAbsTimeError=70\nPeakToPeak=100\n"
                                     "MTIE=1:200, 2:100\nTDEV=1:1\n";
    const std::string limits = Log("l.ini");
    ASSERT_EQ(Run({"--quiet", "--summary=json", "--limits", limits, a}), 4);
    const std::string json = out_;
    ASSERT_EQ(Run({"--quiet", "--summary", "--limits", limits, a}), 4);
    const std::string text = out_;

    // The text's lines as the JSON's figures give them.
    const auto g = [](const std::string& number) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.6g", std::stod(number));
        return std::string(buffer);
    };
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(json, m,
                          std::regex("\"metrics\":\\{\"warm_up_s\":0,\"reports\":(\\d+),"
                                     "\"tau0_s\":([^,]+),\"max_abs\":([^,]+),\"pk_pk\":"
                                     "([^,]+),\"mtie\":\\[(.*?)\\],\"tdev\":\\[(.*?)\\]\\}")))
        << json;
    std::string expected = "  timing after a warm-up of 0 s: " + m[1].str() + " reports, tau0 " +
                           g(m[2]) + " s, largest |time error| " + g(m[3]) + " s, peak-to-peak " +
                           g(m[4]) + " s\n";
    const std::regex point("\\{\"tau_s\":([^,]+),\"s\":([^}]+)\\}");
    for (const auto& [name, list] :
         {std::pair{"MTIE", m[5].str()}, std::pair{"TDEV", m[6].str()}}) {
        expected += std::string("  ") + name + " (s) at tau";
        for (auto p = std::sregex_iterator(list.begin(), list.end(), point);
             p != std::sregex_iterator(); ++p) {
            expected +=
                std::string(p->position() == 0 ? " " : ", ") + g((*p)[1]) + " s: " + g((*p)[2]);
        }
        expected += "\n";
    }
    // The verdict line holds every failed check with the JSON's exact figures.
    expected += "Verdict: FAIL: ";
    const std::regex check(
        "\\{\"name\":\"(\\w+)\",(?:\"tau_s\":([^,]+),)?\"limit\":([^,]+),\"value\":([^,]+),"
        "\"pass\":(true|false)\\}");
    int checks = 0;
    const char* separator = "";
    for (auto c = std::sregex_iterator(json.begin(), json.end(), check);
         c != std::sregex_iterator(); ++c, ++checks) {
        if ((*c)[5] == "true") continue;
        expected += separator + (*c)[1].str() +
                    ((*c)[2].matched ? "(" + (*c)[2].str() + " s)" : "") + " " + (*c)[4].str() +
                    " > " + (*c)[3].str();
        separator = "; ";
    }
    expected += "\n";
    EXPECT_EQ(checks, 5) << "one per scalar limit, one per τ of a mask";
    EXPECT_NE(json.find("\"verdict\":{\"pass\":false,"), std::string::npos);
    EXPECT_TRUE(text.ends_with(expected)) << text << "\n---\n" << expected;

    // No report counts: no verdict either way.
    ASSERT_EQ(Run({"--quiet", "--summary=json", "--limits", limits, none}), 3);
    EXPECT_TRUE(out_.ends_with(",\"verdict\":{\"pass\":null,\"checks\":[]}}\n")) << out_;
    ASSERT_EQ(Run({"--quiet", "--summary", "--limits", limits, none}), 3);
    EXPECT_TRUE(out_.ends_with("  timing after a warm-up of 0 s: 0 reports\nVerdict: no data\n"))
        << out_;
}

TEST(JsonString, AnyBytes) {
    // Legend: bytes; the JSON string.
    const struct {
        std::string bytes;
        std::string json;
    } cases[] = {
        {"plain /a b.nmea", "\"plain /a b.nmea\""},
        {"q\"b\\", "\"q\\\"b\\\\\""},
        {std::string("\n\t\x01\x1f\x7f", 5), "\"\\u000a\\u0009\\u0001\\u001f\\u007f\""},
        {std::string("\0", 1), "\"\\u0000\""},
        {"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
        {"\xC0\x80", "\"\\ufffd\\ufffd\""},                        // overlong
        {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},             // surrogate
        {"\xE2\x82", "\"\\ufffd\\ufffd\""},                        // cut short
        {"\xF4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},  // beyond U+10FFFF
        {"\xFF"
         "a",
         "\"\\ufffda\""},
    };
    for (const auto& c : cases) {
        std::string out;
        AppendJsonString(out, c.bytes);
        EXPECT_EQ(out, c.json) << c.json;
    }
}

}  // namespace
}  // namespace tarnimex
