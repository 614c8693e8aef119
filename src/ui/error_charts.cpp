// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/error_charts.h"

#include <QChart>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <tuple>

#include "conversion/output/csv_read_back.h"

namespace tarnimex {

namespace {

// A step this many usual steps long leaves a break in the line.
constexpr double kGapFactor = 1.5;
constexpr int kHistogramBins = 60;
// A level joins the view when the error comes within this share of it.
constexpr double kLevelNear = 0.5;
constexpr double kMargin = 0.05;  // of the error's range, above and below
constexpr int kTicks = 6;         // about as many on the error axis

const QColor kPalette[] = {QColor(0x1f, 0x77, 0xb4), QColor(0x2c, 0xa0, 0x2c),
                           QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                           QColor(0x17, 0xbe, 0xcf), QColor(0xbc, 0xbd, 0x22)};
const QColor kAlarmColour(0xd6, 0x27, 0x28);

// 1, 2 or 5 times a power of ten, at least step.
double NiceStep(double step) {
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    for (double nice : {1.0, 2.0, 5.0}) {
        if (nice * power >= step) return nice * power;
    }
    return 10 * power;
}

QValueAxis* ValueAxis(QChart* chart, Qt::Orientation orientation) {
    const auto axes = chart->axes(orientation);
    return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis*>(axes.first());
}

QDateTimeAxis* TimeAxis(QChart* chart) {
    return qobject_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal).first());
}

void Attach(QChart* chart, QAbstractSeries* series) {
    chart->addSeries(series);
    for (QAbstractAxis* axis : chart->axes()) series->attachAxis(axis);
}

}  // namespace

QString VerdictColour(const Verdict& verdict) {
    switch (verdict.outcome) {
        case Verdict::Outcome::kPass:
            return "#1a7f37";
        case Verdict::Outcome::kFail:
            return "#c62828";
        case Verdict::Outcome::kNoData:
            break;
    }
    return "#666666";
}

bool ReadErrorSeries(const QString& path, std::size_t i, ErrorSeries& series, QString& error) {
    CsvRows rows;
    std::string why;
    if (!ReadCsvFile(path.toStdString(), rows, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    series.name = QFileInfo(path).fileName();
    series.color = kPalette[i % std::size(kPalette)];
    series.points.clear();
    series.alarms.clear();
    series.points.reserve(rows.rows.size());
    for (const CsvRow& row : rows.rows) {
        const ChartPoint point{(row.time - kDaysFrom1899To1970) * kMsPerDay, row.delay};
        series.points.push_back(point);
        if (row.alarm) series.alarms.push_back(point);
    }
    // Logs may step back in time; the line is drawn in time order.
    const auto byX = [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; };
    std::stable_sort(series.points.begin(), series.points.end(), byX);
    std::stable_sort(series.alarms.begin(), series.alarms.end(), byX);
    series.gapStep = kGapFactor * UsualStep(series.points);
    return true;
}

QChart* NewTimeChart(double alarmStep, std::array<QLineSeries*, 2>& alarmLines) {
    auto* chart = new QChart;
    chart->setTitle("Time error");
    auto* timeAxis = new QDateTimeAxis;
    timeAxis->setFormat("yyyy-MM-dd\nhh:mm:ss");
    timeAxis->setTitleText("RMC time (UTC)");
    auto* errorAxis = new QValueAxis;
    errorAxis->setTitleText("Time error (s)");
    // Ticks on round numbers from 0, whatever the range.
    errorAxis->setTickType(QValueAxis::TicksDynamic);
    errorAxis->setTickAnchor(0);
    errorAxis->setLabelFormat("%g");
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(errorAxis, Qt::AlignLeft);
    for (QLineSeries*& line : alarmLines) {
        line = new QLineSeries;
        line->setName(QString("Alarm step \u00b1%1 s").arg(alarmStep));
        line->setPen(QPen(kAlarmColour, 1, Qt::DashLine));
        Attach(chart, line);
    }
    chart->legend()->markers(alarmLines[1]).first()->setVisible(false);
    if (alarmStep <= 0) {
        for (QLineSeries* line : alarmLines) line->setVisible(false);
        chart->legend()->markers(alarmLines[0]).first()->setVisible(false);
    }
    return chart;
}

ErrorSeriesLines AddErrorSeries(QChart* chart, const ErrorSeries& series) {
    ErrorSeriesLines drawn;
    drawn.marks = new QScatterSeries;
    drawn.marks->setName(series.name + " alarm rows");
    drawn.marks->setColor(kAlarmColour);
    drawn.marks->setBorderColor(kAlarmColour);
    drawn.marks->setMarkerSize(7);
    Attach(chart, drawn.marks);
    chart->legend()->markers(drawn.marks).first()->setVisible(false);
    return drawn;
}

bool FitTimeChart(QChart* chart, const std::vector<ErrorSeries>& series,
                  const std::vector<double>& levels) {
    double xMin = INFINITY, xMax = -INFINITY, yMin = INFINITY, yMax = -INFINITY;
    for (const ErrorSeries& s : series) {
        if (s.points.empty()) continue;
        xMin = std::min(xMin, s.points.front().x);
        xMax = std::max(xMax, s.points.back().x);
        for (const ChartPoint& p : s.points) {
            yMin = std::min(yMin, p.y);
            yMax = std::max(yMax, p.y);
        }
    }
    if (!(xMin <= xMax)) return false;
    for (const double level : levels) {
        if (level > 0 && yMax > kLevelNear * level) yMax = std::max(yMax, level);
        if (level > 0 && yMin < -kLevelNear * level) yMin = std::min(yMin, -level);
    }
    if (xMax == xMin) xMax = xMin + 1000;
    const double margin = yMax > yMin ? (yMax - yMin) * kMargin : 1;
    chart->zoomReset();
    QValueAxis* errorAxis = ValueAxis(chart, Qt::Vertical);
    errorAxis->setRange(yMin - margin, yMax + margin);
    SpaceErrorTicks(chart);
    TimeAxis(chart)->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(xMin), Qt::UTC),
                              QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(xMax), Qt::UTC));
    return true;
}

void SpaceErrorTicks(QChart* chart) {
    QValueAxis* errorAxis = ValueAxis(chart, Qt::Vertical);
    const double range = errorAxis->max() - errorAxis->min();
    if (range > 0) errorAxis->setTickInterval(NiceStep(range / kTicks));
}

void DrawTimeChart(QChart* chart, const std::array<QLineSeries*, 2>& alarmLines, double alarmStep,
                   const std::vector<ErrorSeries>& series, std::vector<ErrorSeriesLines>& lines) {
    QDateTimeAxis* axis = TimeAxis(chart);
    const double from = static_cast<double>(axis->min().toMSecsSinceEpoch());
    const double to = static_cast<double>(axis->max().toMSecsSinceEpoch());
    const int columns = std::max(1, static_cast<int>(chart->plotArea().width()));
    for (std::size_t k = 0; k < series.size(); ++k) {
        const ErrorSeries& s = series[k];
        ErrorSeriesLines& drawn = lines[k];
        const std::vector<ChartSegment> segments =
            ThinToColumns(s.points, from, to, columns, s.gapStep);
        while (drawn.lines.size() < segments.size()) {
            auto* line = new QLineSeries;
            line->setName(s.name);
            line->setPen(QPen(s.color, 1.5));
            Attach(chart, line);
            // One legend entry a CSV, however many segments its gaps make.
            if (!drawn.lines.empty()) chart->legend()->markers(line).first()->setVisible(false);
            drawn.lines.push_back(line);
        }
        for (std::size_t i = 0; i < drawn.lines.size(); ++i) {
            QList<QPointF> points;
            if (i < segments.size()) {
                points.reserve(static_cast<qsizetype>(segments[i].size()));
                for (const ChartPoint& p : segments[i]) points.append({p.x, p.y});
            }
            drawn.lines[i]->replace(points);
        }
        QList<QPointF> marks;
        for (const ChartSegment& segment : ThinToColumns(s.alarms, from, to, columns, 0)) {
            for (const ChartPoint& p : segment) marks.append({p.x, p.y});
        }
        drawn.marks->replace(marks);
    }
    for (int i = 0; i < 2; ++i) {
        const double y = i == 0 ? alarmStep : -alarmStep;
        alarmLines[static_cast<std::size_t>(i)]->replace(QList<QPointF>{{from, y}, {to, y}});
    }
}

QChart* NewHistogramChart() {
    auto* chart = new QChart;
    chart->setTitle("Time error histogram");
    chart->legend()->hide();
    auto* binAxis = new QValueAxis;
    binAxis->setTitleText("Time error (s)");
    auto* countAxis = new QValueAxis;
    countAxis->setTitleText("Reports");
    chart->addAxis(binAxis, Qt::AlignBottom);
    chart->addAxis(countAxis, Qt::AlignLeft);
    return chart;
}

void FillHistogram(QChart* chart, const std::vector<ErrorSeries>& series) {
    double low = INFINITY, high = -INFINITY;
    for (const ErrorSeries& s : series) {
        for (const ChartPoint& p : s.points) {
            low = std::min(low, p.y);
            high = std::max(high, p.y);
        }
    }
    chart->removeAllSeries();
    if (!(low <= high)) return;
    if (high == low) high = low + 1;
    const double width = (high - low) / kHistogramBins;
    double most = 0;
    for (const ErrorSeries& s : series) {
        std::vector<double> counts(kHistogramBins, 0);
        for (const ChartPoint& p : s.points) {
            const int bin = std::min(kHistogramBins - 1, static_cast<int>((p.y - low) / width));
            ++counts[static_cast<std::size_t>(bin)];
        }
        // The outline of the bars, so that several CSVs overlay readably.
        auto* outline = new QLineSeries;
        outline->setPen(QPen(s.color, 1.5));
        outline->append(low, 0);
        for (int b = 0; b < kHistogramBins; ++b) {
            outline->append(low + b * width, counts[static_cast<std::size_t>(b)]);
            outline->append(low + (b + 1) * width, counts[static_cast<std::size_t>(b)]);
            most = std::max(most, counts[static_cast<std::size_t>(b)]);
        }
        outline->append(high, 0);
        Attach(chart, outline);
    }
    for (const auto& [orientation, from, to] :
         {std::tuple{Qt::Horizontal, low, high},
          std::tuple{Qt::Vertical, 0.0, most * (1 + kMargin)}}) {
        QValueAxis* axis = ValueAxis(chart, orientation);
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(0);
        axis->setLabelFormat("%g");
        axis->setRange(from, to);
        axis->setTickInterval(NiceStep((to - from) / kTicks));
    }
}

}  // namespace tarnimex
