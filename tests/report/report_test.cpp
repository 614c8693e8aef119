// SPDX-License-Identifier: GPL-3.0-or-later
// The test report of a generated series judged against limits: the HTML is
// well-formed and self-contained, its figures are the input's at the printed
// precision, the PDF opens, and the index links every log's report.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "conversion/io_errors.h"
#include "conversion/reports/time_stamp.h"
#include "report/test_report.h"
#include "support/scratch_folder.h"

namespace tarnimex {
namespace {

using namespace std::chrono;
namespace fs = std::filesystem;

// 2026-12-10 08:00:00 UTC as a date-time value (days since 1899-12-30).
const double kStart = (sys_days{2026y / 12 / 10} - sys_days{1899y / 12 / 30}).count() + 8.0 / 24;
constexpr double kAlarmStep = 0.05;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Whether printed (a figure, with " s" after it or not) is value at the
// precision printed: at most kReportDigits significant digits, within half
// a unit of the last.
::testing::AssertionResult SameAsPrinted(const std::string& printed, double value) {
    const std::string number = printed.substr(0, printed.find(' '));
    const std::string mantissa = number.substr(0, number.find('e'));
    int digits = 0;
    bool leading = true;
    for (const char c : mantissa) {
        if (c < '0' || c > '9') continue;
        if (c != '0') leading = false;
        if (!leading) ++digits;
    }
    const double read = std::stod(number);
    const double unit =
        read == 0 ? 0 : std::pow(10.0, std::floor(std::log10(std::fabs(read))) - (digits - 1));
    if (digits <= kReportDigits && std::fabs(read - value) <= unit / 2 * (1 + 1e-12))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << printed << "\" is not " << value;
}

// Every element with a data-key, in document order: its key and text.
std::vector<std::pair<std::string, std::string>> Figures(const std::string& html) {
    std::vector<std::pair<std::string, std::string>> figures;
    QXmlStreamReader xml(QByteArray::fromStdString(html));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QString key = xml.attributes().value("data-key").toString();
        if (!key.isEmpty())
            figures.emplace_back(
                key.toStdString(),
                xml.readElementText(QXmlStreamReader::IncludeChildElements).toStdString());
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line "
                                 << xml.lineNumber();
    return figures;
}

class Report : public test::ScratchFolderTest {
  protected:
    // An hour a second apart: a slow wave, a burst over the alarm step and a
    // gap of ten reports; its CSV holds every report.
    void SetUp() override {
        ScratchFolderTest::SetUp();
        log_ = Path("station 1.nmea");
        csv_ = Path("station 1.csv");
        std::ofstream(log_, std::ios::binary) << "abc";
        std::ofstream csv(csv_, std::ios::binary);
        csv << "RMC time,UTC time,Time error,Count,Max,Min\r\n";
        TimeStampWriter writer(RegionalFormat{}, 0);
        std::vector<char> room(writer.MaxLength());
        StatisticsAccumulator statistics;
        TimingSeries series;
        for (int i = 0; i < 3600; ++i) {
            if (i >= 2000 && i < 2010) continue;
            const double time = kStart + i / 86400.0;
            const double delay =
                (i >= 1000 && i < 1005) ? 0.08 : 0.001 + 0.002 * std::sin(i / 100.0);
            statistics.Add(time, delay, true, kAlarmStep);
            series.Add(time, delay, true);
            const std::string at(room.data(), writer.Write(room.data(), time));
            csv << at << ',' << at << ',' << delay << "\r\n";
        }
        csv.close();
        input_.logPath = log_;
        input_.csvPath = csv_;
        input_.statistics = statistics.Result();
        input_.statistics.log = log_;
        input_.metrics = series.Compute(input_.statistics.usualStep);
        TimingLimits limits;
        limits[ScalarLimit::kMaxAbsTimeError] = 0.05;
        limits[ScalarLimit::kMean] = 0.01;
        limits.mtie.points = {{1, 0.01}, {100, 0.1}};
        limits.tdev.points = {{1, 0.001}, {1000, 0.01}};
        input_.limits = limits;
        input_.verdict = JudgeLog(limits, input_.statistics, input_.metrics);
        input_.limitsFile = "limits.ini";
        input_.alarmStep = kAlarmStep;
        input_.settings = {{"Key", "$GPRMC"}, {"Regional format", "YMD / : ."}};
        input_.version = "1.0.0";
        input_.madeAt = sys_days{2026y / 12 / 11} + 9h;
    }

    std::string log_, csv_;
    ReportInput input_;
};

TEST_F(Report, HtmlIsSelfContainedAndPrintsTheInputsFigures) {
    const ReportFiles files = WriteLogReport(input_, Path("out"));
    EXPECT_EQ(fs::path(files.html), fs::path(Path("out")) / "station 1.nmea.report.html");
    const std::string html = Slurp(files.html);

    // Nothing outside the file: every picture a PNG inside, no script, no link.
    for (const char* banned : {"http", "src=\"file", "<script", "<link", "@import"})
        EXPECT_EQ(html.find(banned), std::string::npos) << banned;
    for (std::size_t at = html.find("url("); at != std::string::npos;
         at = html.find("url(", at + 1))
        EXPECT_EQ(html.compare(at, 9, "url(data:"), 0);
    int pictures = 0;
    for (std::size_t at = html.find(" src=\""); at != std::string::npos;
         at = html.find(" src=\"", at + 1), ++pictures) {
        const std::string prefix = "data:image/png;base64,";
        ASSERT_EQ(html.compare(at + 6, prefix.size(), prefix), 0);
        const std::size_t from = at + 6 + prefix.size();
        EXPECT_FALSE(QImage::fromData(QByteArray::fromBase64(QByteArray::fromStdString(
                                          html.substr(from, html.find('"', from) - from))),
                                      "PNG")
                         .isNull());
    }
    EXPECT_EQ(pictures, 4);  // time chart, histogram, MTIE, TDEV

    std::multimap<std::string, std::string> figures;
    std::vector<std::string> checks;  // limit, value, margin of every check, in order
    for (const auto& [key, text] : Figures(html)) {
        figures.emplace(key, text);
        if (key == "limit" || key == "value" || key == "margin") checks.push_back(text);
    }
    const auto printed = [&](const std::string& key) {
        const auto found = figures.find(key);
        return found == figures.end() ? std::string("(none)") : found->second;
    };
    const LogStatistics& s = input_.statistics;
    const TimingMetrics& m = input_.metrics;
    EXPECT_EQ(printed("verdict"), "FAIL");  // the burst is over the |TE| limit
    EXPECT_EQ(printed("sha256"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(printed("size"), "3 bytes");
    EXPECT_EQ(printed("first_time"), "2026-12-10T08:00:00Z");
    EXPECT_EQ(printed("last_time"), "2026-12-10T08:59:59Z");
    EXPECT_EQ(printed("reports"), "3590");
    EXPECT_EQ(printed("alarm_stretches"), "1");
    EXPECT_EQ(printed("gaps"), "1");
    EXPECT_EQ(printed("start"), "2026-12-10T08:16:40Z");  // the stretch's
    // Legend: the figure's key; the input's value it prints.
    const std::pair<const char*, double> kFigures[] = {
        {"duration", 3599},
        {"mean", s.mean},
        {"stddev", s.stddev},
        {"min", s.min},
        {"median", s.median},
        {"p95", s.p95},
        {"p99", s.p99},
        {"max", s.max},
        {"max_abs_time_error", m.maxAbsTimeError},
        {"peak_to_peak", m.peakToPeak},
        {"alarm_step", kAlarmStep},
        {"alarm_total_s", s.alarmTotal},
        {"gap_total_s", s.gapTotal},
        {"peak", s.alarmList.at(0).peak},
    };
    for (const auto& [key, value] : kFigures)
        EXPECT_TRUE(SameAsPrinted(printed(key), value)) << key;
    ASSERT_EQ(checks.size(), 3 * input_.verdict->checks.size());
    for (std::size_t i = 0; i < input_.verdict->checks.size(); ++i) {
        const VerdictCheck& c = input_.verdict->checks[i];
        EXPECT_TRUE(SameAsPrinted(checks[3 * i], c.limit)) << c.name;
        EXPECT_TRUE(SameAsPrinted(checks[3 * i + 1], c.value)) << c.name;
        EXPECT_TRUE(SameAsPrinted(checks[3 * i + 2], c.limit - c.value)) << c.name;
    }
    EXPECT_NE(html.find("Made by tarnimex 1.0.0 on 2026-12-11T09:00:00Z"), std::string::npos);

    const std::string pdf = Slurp(files.pdf);
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    EXPECT_NE(pdf.find("%%EOF", pdf.size() - 16), std::string::npos);
#ifndef _WIN32
    // Windows has no poppler to open it with.
    QProcess pdfinfo;
    pdfinfo.start("pdfinfo", {QString::fromStdString(files.pdf)});
    ASSERT_TRUE(pdfinfo.waitForFinished()) << "pdfinfo (poppler-utils) is needed";
    const QString info = QString::fromUtf8(pdfinfo.readAllStandardOutput());
    EXPECT_EQ(pdfinfo.exitCode(), 0) << pdfinfo.readAllStandardError().toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+[1-9]"))) << info.toStdString();
#endif
}

TEST_F(Report, IndexLinksEveryLogsReport) {
    ReportInput unjudged = input_;
    unjudged.logPath = Path("second.nmea");
    std::ofstream(unjudged.logPath) << "$GPRMC\n";
    unjudged.limits.reset();
    unjudged.verdict.reset();
    unjudged.csvPath.clear();
    const std::string out = Path("out");
    for (const ReportInput& input : {input_, unjudged}) WriteLogReport(input, out);
    WriteReportIndex({input_, unjudged}, out);
    const std::string index = Slurp(out + "/index.html");
    const auto figures = Figures(index);
    std::vector<std::string> verdicts;
    for (const auto& [key, text] : figures)
        if (key == "verdict") verdicts.push_back(text);
    EXPECT_EQ(verdicts, (std::vector<std::string>{"FAIL", "NOT JUDGED"}));
    for (const char* report : {"station%201.nmea.report.html", "second.nmea.report.html"})
        EXPECT_NE(index.find(std::string("href=\"") + report + "\""), std::string::npos) << report;
    EXPECT_TRUE(QFile::exists(QString::fromStdString(out + "/second.nmea.report.pdf")));
    EXPECT_NE(Slurp(out + "/second.nmea.report.html").find("No CSV was written"),
              std::string::npos);
}

TEST_F(Report, UnreadableLogNamesItsPathAndWritesNothing) {
    input_.logPath = Path("gone.nmea");
    try {
        WriteLogReport(input_, Path("out"));
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find(input_.logPath), std::string::npos) << e.what();
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("out/gone.nmea.report.html"))));
}

}  // namespace
}  // namespace tarnimex

int main(int argc, char** argv) {
    // Charts are drawn without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
