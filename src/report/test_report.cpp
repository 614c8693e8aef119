// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/test_report.h"

#include <QBuffer>
#include <QByteArray>
#include <QChart>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>
#include <array>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <tuple>

#include "conversion/io_errors.h"
#include "conversion/reports/time_stamp.h"
#include "platform/path_names.h"
#include "platform/safe_file.h"
#include "ui/error_charts.h"
#include "ui/timing_chart.h"

namespace tarnimex {

namespace {

constexpr std::size_t kListedInReport = 20;  // alarm stretches and gaps listed
const QSize kTimeChartSize(1000, 420);
const QSize kChartSize(640, 400);
const QColor kLimitColour(0xff, 0x7f, 0x0e);
const char* const kPictures[] = {"time", "histogram", "mtie", "tdev"};

// A picture's PNG bytes by its name; a picture that could not be drawn is
// left out and its reason kept instead.
struct Pictures {
    std::map<std::string, QByteArray> png;
    std::string missing;  // why the time chart and histogram are not there
};

std::string Escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// ISO 8601 UTC as the receivers report in UTC, to the millisecond as
// --summary=json writes it; "-" for none.
std::string IsoDateTime(double value) {
    static const RegionalFormat kIso{DateOrder::YMD, "-", ":", "."};
    TimeStampWriter writer(kIso, -1);
    std::vector<char> room(writer.MaxLength());
    std::string text(room.data(), writer.Write(room.data(), value));
    if (value == 0 || text.empty()) return "-";
    text[text.find(' ')] = 'T';
    return text + "Z";
}

std::string Count(std::int64_t n) {
    return std::to_string(n);
}

// One table row of a label and a figure; key names the figure for readers
// of the HTML (the tests), as --summary=json names it.
std::string Row(std::string_view label, std::string_view key, const std::string& value) {
    std::string row = "<tr><th>" + Escape(label) + "</th><td";
    if (!key.empty()) row += " data-key=\"" + std::string(key) + "\"";
    return row + ">" + Escape(value) + "</td></tr>\n";
}

std::string Seconds(double value) {
    return ReportNumber(value) + " s";
}

// A delay figure: none when no delay was readable, as the JSON's null.
std::string Delay(const LogStatistics& s, double value) {
    return s.delays > 0 ? Seconds(value) : "-";
}

QByteArray DrawPng(QChart* chart, QSize size, const std::function<void()>& laidOut = {}) {
    QGraphicsScene scene;
    scene.addItem(chart);  // the scene owns the chart from here
    chart->resize(size);
    // The legend follows its series through posted events.
    QCoreApplication::processEvents();
    if (laidOut) {
        // Lines drawn to the plot area's width, which is known only now.
        laidOut();
        QCoreApplication::processEvents();
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Dashed lines at plus and minus level over the time chart's range.
void AddLevel(QChart* chart, const QString& name, double level) {
    auto* axis = qobject_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal).first());
    const double from = static_cast<double>(axis->min().toMSecsSinceEpoch());
    const double to = static_cast<double>(axis->max().toMSecsSinceEpoch());
    for (const double y : {level, -level}) {
        auto* line = new QLineSeries;
        line->setName(name);
        line->setPen(QPen(kLimitColour, 1.5, Qt::DashDotLine));
        line->append(from, y);
        line->append(to, y);
        chart->addSeries(line);
        for (QAbstractAxis* a : chart->axes()) line->attachAxis(a);
        if (y < 0) chart->legend()->markers(line).first()->setVisible(false);
    }
}

Pictures DrawPictures(const ReportInput& input) {
    Pictures pictures;
    std::vector<ErrorSeries> series(1);
    QString error;
    if (input.csvPath.empty()) {
        pictures.missing = "No CSV was written for this log.";
    } else if (!ReadErrorSeries(QString::fromStdString(input.csvPath), 0, series[0], error)) {
        pictures.missing = error.toStdString();
    } else {
        std::array<QLineSeries*, 2> alarmLines;
        QChart* chart = NewTimeChart(input.alarmStep, alarmLines);
        std::vector<ErrorSeriesLines> lines{AddErrorSeries(chart, series[0])};
        std::optional<double> teLimit;
        if (input.limits) teLimit = input.limits->scalar[0];
        if (FitTimeChart(chart, series, {input.alarmStep, teLimit.value_or(0)})) {
            if (teLimit)
                AddLevel(chart,
                         QString("|TE| limit \u00b1%1 s")
                             .arg(QString::fromStdString(ReportNumber(*teLimit))),
                         *teLimit);
            pictures.png["time"] = DrawPng(chart, kTimeChartSize, [&] {
                DrawTimeChart(chart, alarmLines, input.alarmStep, series, lines);
            });
            QChart* histogram = NewHistogramChart();
            FillHistogram(histogram, series);
            pictures.png["histogram"] = DrawPng(histogram, kChartSize);
        } else {
            delete chart;
            pictures.missing = "The CSV holds no rows to draw.";
        }
    }
    const LimitMask none;
    pictures.png["mtie"] = DrawPng(
        NewTimingChart("MTIE", input.metrics.mtie, input.limits ? input.limits->mtie : none),
        kChartSize);
    pictures.png["tdev"] = DrawPng(
        NewTimingChart("TDEV", input.metrics.tdev, input.limits ? input.limits->tdev : none),
        kChartSize);
    return pictures;
}

struct LogFacts {
    std::int64_t size = 0;
    std::string sha256;
};

// The log's size and digest, read in blocks however large it is.
LogFacts ReadLogFacts(const std::string& path) {
    QFile file(QString::fromStdString(path));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file) ||
        file.error() != QFileDevice::NoError)
        throw IoError("Cannot read \"" + path + "\": " + file.errorString().toStdString());
    return {file.size(), hash.result().toHex().toStdString()};
}

std::string OutcomeText(const ReportInput& input) {
    if (!input.verdict) return "NOT JUDGED";
    switch (input.verdict->outcome) {
        case Verdict::Outcome::kPass:
            return "PASS";
        case Verdict::Outcome::kFail:
            return "FAIL";
        case Verdict::Outcome::kNoData:
            break;
    }
    return "NO DATA";
}

std::string OutcomeClass(const ReportInput& input) {
    const std::string text = OutcomeText(input);
    return text == "PASS" ? "pass" : text == "FAIL" ? "fail" : "none";
}

std::string MadeAt(std::chrono::system_clock::time_point at) {
    const std::time_t t = std::chrono::system_clock::to_time_t(at);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &t);
#else
    gmtime_r(&t, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// Inline, so that the file needs nothing beside it; QTextDocument (the PDF)
// reads the same subset.
constexpr const char* kStyle = R"(
body { font-family: 'DejaVu Sans', Arial, sans-serif; font-size: 10pt; color: #222; }
h1 { font-size: 16pt; margin-bottom: 4pt; }
h2 { font-size: 13pt; margin-top: 14pt; border-bottom: 1px solid #999; }
p.verdict { font-size: 30pt; font-weight: bold; margin: 6pt 0; }
.pass { color: #1a7f37; }
.fail { color: #c62828; }
.none { color: #666; }
table { border-collapse: collapse; margin: 4pt 0; }
th, td { border: 1px solid #bbb; padding: 2pt 6pt; text-align: left; }
td { text-align: right; }
td.text { text-align: left; }
th { background: #eee; font-weight: normal; }
.sha { font-family: 'DejaVu Sans Mono', monospace; font-size: 8pt; }
footer, p.footer { margin-top: 16pt; color: #666; font-size: 8pt; }
)";

std::string Head(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>" +
           Escape(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
}

std::string Footer(const ReportInput& input) {
    return "<p class=\"footer\">Made by tarnimex " + Escape(input.version) + " on " +
           MadeAt(input.madeAt) + ".</p>\n</body>\n</html>\n";
}

std::string ChecksTable(const Verdict& verdict) {
    if (verdict.checks.empty()) return "";
    std::string html =
        "<table class=\"checks\">\n<tr><th>Check</th><th>Limit</th><th>Measured</th>"
        "<th>Margin</th><th>Result</th></tr>\n";
    for (const VerdictCheck& c : verdict.checks) {
        std::string name = c.name;
        if (c.tau) name += " (\u03c4 = " + Seconds(*c.tau) + ")";
        html += "<tr class=\"check\"><td class=\"text\">" + Escape(name) +
                "</td><td data-key=\"limit\">" + ReportNumber(c.limit) +
                "</td><td data-key=\"value\">" + ReportNumber(c.value) +
                "</td><td data-key=\"margin\">" + ReportNumber(c.limit - c.value) +
                "</td><td class=\"text " + (c.pass ? "pass\">pass" : "fail\">FAIL") +
                "</td></tr>\n";
    }
    return html + "</table>\n";
}

// image gives a picture's src from its name and PNG bytes.
std::string LogHtml(
    const ReportInput& input, const LogFacts& facts, const Pictures& pictures,
    const std::function<std::string(const std::string&, const QByteArray&)>& image) {
    const LogStatistics& s = input.statistics;
    const TimingMetrics& m = input.metrics;
    const std::string name = Utf8FromPath(PathFromUtf8(input.logPath).filename());
    std::string html = Head("Test report: " + name);
    html += "<h1>Test report: " + Escape(name) + "</h1>\n";
    html += "<p class=\"verdict " + OutcomeClass(input) + "\" data-key=\"verdict\">" +
            OutcomeText(input) + "</p>\n";
    if (input.verdict)
        html += ChecksTable(*input.verdict);
    else
        html += "<p>No limits file was given: the log was not judged.</p>\n";
    if (!input.note.empty()) html += "<p class=\"note\">" + Escape(input.note) + "</p>\n";

    html += "<h2>Log</h2>\n<table>\n";
    html += Row("Name", "", name);
    html += Row("Path", "", input.logPath);
    html += Row("Size", "size", Count(facts.size) + " bytes");
    html += "<tr><th>SHA-256</th><td class=\"sha\" data-key=\"sha256\">" + facts.sha256 +
            "</td></tr>\n";
    html += Row("First report", "first_time", IsoDateTime(s.firstTime));
    html += Row("Last report", "last_time", IsoDateTime(s.lastTime));
    html += Row(
        "Duration", "duration",
        s.firstTime != 0
            ? Seconds(static_cast<double>(DateTimeMs(s.lastTime) - DateTimeMs(s.firstTime)) / 1000)
            : "-");
    html += Row("Reports", "reports", Count(s.reports));
    html += Row("Counted for the timing metrics", "metrics_reports", Count(m.reports));
    html += Row("Warm-up", "warm_up", Seconds(input.limits ? input.limits->warmUp : 0));
    html += Row("Lines", "lines", Count(s.lines));
    html += Row("CSV rows", "rows", Count(s.rows));
    html += "</table>\n";

    html += "<h2>Settings</h2>\n<table>\n";
    for (const auto& [label, value] : input.settings) html += Row(label, "", value);
    html += Row("Alarm step", "alarm_step", Seconds(input.alarmStep));
    html += Row("Limits file", "", input.limitsFile.empty() ? "none" : input.limitsFile);
    html += "</table>\n";

    html += "<h2>Statistics</h2>\n<table>\n";
    html += Row("Readable delays", "delays", Count(s.delays));
    html += Row("Mean", "mean", Delay(s, s.mean));
    html += Row("Standard deviation \u03c3", "stddev", Delay(s, s.stddev));
    html += Row("Min", "min", Delay(s, s.min));
    html += Row("Min at", "min_time", s.delays > 0 ? IsoDateTime(s.minTime) : "-");
    html += Row("Median", "median", Delay(s, s.median));
    html += Row("95th percentile", "p95", Delay(s, s.p95));
    html += Row("99th percentile", "p99", Delay(s, s.p99));
    html += Row("Max", "max", Delay(s, s.max));
    html += Row("Max at", "max_time", s.delays > 0 ? IsoDateTime(s.maxTime) : "-");
    html += Row("Max |TE|", "max_abs_time_error", m.reports > 0 ? Seconds(m.maxAbsTimeError) : "-");
    html += Row("Peak-to-peak", "peak_to_peak", m.reports > 0 ? Seconds(m.peakToPeak) : "-");
    html += Row("Usual step", "usual_step_s", Seconds(s.usualStep));
    html += Row("Unreadable date-times", "unreadable_times", Count(s.unreadableTimes));
    html += Row("Unreadable delays", "unreadable_delays", Count(s.unreadableDelays));
    html += "</table>\n";

    html += "<h2>Alarm stretches</h2>\n<table>\n";
    html += Row("Stretches", "alarm_stretches", Count(s.alarmStretches));
    html += Row("Total", "alarm_total_s", Seconds(s.alarmTotal));
    html += Row("Longest", "alarm_longest_s", Seconds(s.alarmLongest));
    html += "</table>\n";
    if (!s.alarmList.empty()) {
        html += "<table class=\"list\">\n<tr><th>Start</th><th>End</th><th>Peak</th></tr>\n";
        for (std::size_t i = 0; i < s.alarmList.size() && i < kListedInReport; ++i) {
            const AlarmStretch& a = s.alarmList[i];
            html += "<tr class=\"alarm\"><td data-key=\"start\">" + IsoDateTime(a.start) +
                    "</td><td data-key=\"end\">" + IsoDateTime(a.end) +
                    "</td><td data-key=\"peak\">" + Seconds(a.peak) + "</td></tr>\n";
        }
        html += "</table>\n";
        if (s.alarmStretches > static_cast<std::int64_t>(kListedInReport))
            html += "<p>The first " + Count(kListedInReport) + " of " + Count(s.alarmStretches) +
                    " are listed.</p>\n";
    }

    html += "<h2>Gaps</h2>\n<table>\n";
    html += Row("Gaps", "gaps", Count(s.gaps));
    html += Row("Missing time", "gap_total_s", Seconds(s.gapTotal));
    html += Row("Longest", "gap_longest_s", Seconds(s.gapLongest));
    html += Row("Backward steps", "backward_steps", Count(s.backwardSteps));
    html += "</table>\n";
    if (!s.gapList.empty()) {
        html +=
            "<table class=\"list\">\n<tr><th>Last report before</th><th>First report "
            "after</th></tr>\n";
        for (std::size_t i = 0; i < s.gapList.size() && i < kListedInReport; ++i) {
            const ReportGap& g = s.gapList[i];
            html += "<tr class=\"gap\"><td data-key=\"start\">" + IsoDateTime(g.start) +
                    "</td><td data-key=\"end\">" + IsoDateTime(g.end) + "</td></tr>\n";
        }
        html += "</table>\n";
        if (s.gaps > static_cast<std::int64_t>(kListedInReport))
            html += "<p>The first " + Count(kListedInReport) + " of " + Count(s.gaps) +
                    " are listed.</p>\n";
    }

    html +=
        "<h2>Binary frames</h2>\n<table>\n<tr><th>Kind</th><th>Removed (check holds)</th>"
        "<th>Damaged (check fails)</th></tr>\n";
    for (const auto& [kind, removed, damaged] :
         {std::tuple{"UBX", s.frames.removed.ubx, s.frames.damaged.ubx},
          std::tuple{"SiRF binary", s.frames.removed.sirf, s.frames.damaged.sirf},
          std::tuple{"MediaTek binary", s.frames.removed.mtk, s.frames.damaged.mtk}}) {
        html += std::string("<tr><th>") + kind + "</th><td data-key=\"frames\">" + Count(removed) +
                "</td><td data-key=\"damaged_frames\">" + Count(damaged) + "</td></tr>\n";
    }
    html += "</table>\n";

    html += "<h2>Charts</h2>\n";
    if (!pictures.missing.empty()) html += "<p>" + Escape(pictures.missing) + "</p>\n";
    for (const char* picture : kPictures) {
        const auto png = pictures.png.find(picture);
        if (png == pictures.png.end()) continue;
        const int width =
            std::string_view(picture) == "time" ? kTimeChartSize.width() : kChartSize.width();
        html += "<p><img src=\"" + image(picture, png->second) + "\" width=\"" +
                std::to_string(width * 2 / 3) + "\" alt=\"" + picture + " chart\"/></p>\n";
    }
    return html + Footer(input);
}

void Write(const std::string& path, std::string_view bytes) {
    WriteFileAtomically(path, bytes, Durability::kCached);
}

// The folder is made when missing.
std::string InDir(const std::string& dir, const std::string& name) {
    std::error_code error;
    std::filesystem::create_directories(PathFromUtf8(dir), error);
    if (error) throw FileError(dir, error.message());
    return Utf8FromPath(PathFromUtf8(dir) / PathFromUtf8(name));
}

}  // namespace

std::string ReportNumber(double value) {
    if (!std::isfinite(value)) return "-";
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                   std::chars_format::general, kReportDigits)
                         .ptr;
    std::string text(buffer, end);
    return text == "-0" ? "0" : text;
}

namespace {

std::string HtmlReport(const ReportInput& input, const LogFacts& facts, const Pictures& pictures) {
    return LogHtml(input, facts, pictures, [](const std::string&, const QByteArray& png) {
        return "data:image/png;base64," + png.toBase64().toStdString();
    });
}

// The PDF lays out the same HTML, its pictures given as the document's resources.
QByteArray PdfReport(const ReportInput& input, const LogFacts& facts, const Pictures& pictures) {
    QTextDocument document;
    document.setHtml(QString::fromStdString(
        LogHtml(input, facts, pictures,
                [](const std::string& name, const QByteArray&) { return "picture:" + name; })));
    for (const auto& [name, png] : pictures.png)
        document.addResource(QTextDocument::ImageResource,
                             QUrl(QString::fromStdString("picture:" + name)),
                             QImage::fromData(png, "PNG"));
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(QString::fromStdString("Test report: " + ReportBaseName(input.logPath)));
        writer.setCreator(QString::fromStdString("tarnimex " + input.version));
        document.print(&writer);
    }
    return pdf;
}

void Write(const std::string& path, const QByteArray& bytes) {
    Write(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace

ReportFiles WriteLogReport(const ReportInput& input, const std::string& dir) {
    const LogFacts facts = ReadLogFacts(input.logPath);
    const Pictures pictures = DrawPictures(input);
    ReportFiles files;
    files.html = InDir(dir, ReportBaseName(input.logPath) + ".html");
    files.pdf = InDir(dir, ReportBaseName(input.logPath) + ".pdf");
    Write(files.html, HtmlReport(input, facts, pictures));
    Write(files.pdf, PdfReport(input, facts, pictures));
    return files;
}

void WriteLogReportFile(const ReportInput& input, const std::string& path) {
    const LogFacts facts = ReadLogFacts(input.logPath);
    const Pictures pictures = DrawPictures(input);
    if (QString::fromStdString(path).endsWith(".pdf", Qt::CaseInsensitive))
        Write(path, PdfReport(input, facts, pictures));
    else
        Write(path, HtmlReport(input, facts, pictures));
}

void WriteReportIndex(const std::vector<ReportInput>& inputs, const std::string& dir) {
    std::string html = Head("Test reports");
    html +=
        "<h1>Test reports</h1>\n<table>\n<tr><th>Log</th><th>Verdict</th><th>Reports</th>"
        "<th>Max |TE| (s)</th><th>Peak-to-peak (s)</th><th>Mean (s)</th><th>\u03c3 (s)</th>"
        "<th>Alarm stretches</th><th>Gaps</th><th>Report</th></tr>\n";
    for (const ReportInput& input : inputs) {
        const LogStatistics& s = input.statistics;
        const std::string base = ReportBaseName(input.logPath);
        const std::string href =
            QUrl::toPercentEncoding(QString::fromStdString(base + ".html")).toStdString();
        const auto delay = [&](double v) { return s.delays > 0 ? ReportNumber(v) : "-"; };
        const auto metric = [&](double v) {
            return input.metrics.reports > 0 ? ReportNumber(v) : "-";
        };
        html +=
            "<tr class=\"log\"><td class=\"text\">" +
            Escape(Utf8FromPath(PathFromUtf8(input.logPath).filename())) +
            "</td><td class=\"text " + OutcomeClass(input) + "\" data-key=\"verdict\">" +
            OutcomeText(input) + "</td><td data-key=\"reports\">" + Count(s.reports) +
            "</td><td data-key=\"max_abs_time_error\">" + metric(input.metrics.maxAbsTimeError) +
            "</td><td data-key=\"peak_to_peak\">" + metric(input.metrics.peakToPeak) +
            "</td><td data-key=\"mean\">" + delay(s.mean) + "</td><td data-key=\"stddev\">" +
            delay(s.stddev) + "</td><td data-key=\"alarm_stretches\">" + Count(s.alarmStretches) +
            "</td><td data-key=\"gaps\">" + Count(s.gaps) + "</td><td class=\"text\"><a href=\"" +
            Escape(href) + "\">HTML</a> <a href=\"" +
            Escape(QUrl::toPercentEncoding(QString::fromStdString(base + ".pdf")).toStdString()) +
            "\">PDF</a></td></tr>\n";
    }
    html += "</table>\n";
    html += inputs.empty() ? "</body>\n</html>\n" : Footer(inputs.front());
    Write(InDir(dir, "index.html"), html);
}

}  // namespace tarnimex
