// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QtCharts/QChartView>
#include <algorithm>
#include <cmath>
#include <tuple>

#include "conversion/output/csv_read_back.h"
#include "conversion/statistics/statistics.h"
#include "ui/open_dialog.h"

namespace tarnimex {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr double kDaysFrom1899To1970 = 25569;  // the CSV's day 0 is 1899-12-30
// A step this many usual steps long leaves a break in the line.
constexpr double kGapFactor = 1.5;
constexpr int kHistogramBins = 60;
constexpr double kZoomPerWheelStep = 1.25;
constexpr int kPanPixels = 40;
// The alarm step joins the view when the error comes within this share of it.
constexpr double kAlarmStepNear = 0.5;
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

// The time chart's view: the wheel zooms around the cursor, the middle button pans.
class TChartView : public QChartView {
  public:
    using QChartView::QChartView;

  protected:
    void wheelEvent(QWheelEvent* event) override {
        const double factor =
            event->angleDelta().y() > 0 ? kZoomPerWheelStep : 1.0 / kZoomPerWheelStep;
        const QRectF area = chart()->plotArea();
        const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
        QRectF zoomed(0, 0, area.width() / factor, area.height() / factor);
        zoomed.moveCenter(at + (area.center() - at) / factor);
        chart()->zoomIn(zoomed);
        event->accept();
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::MiddleButton) {
            panFrom_ = event->position();
            panning_ = true;
            return event->accept();
        }
        QChartView::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (panning_) {
            const QPointF delta = event->position() - panFrom_;
            chart()->scroll(-delta.x(), delta.y());
            panFrom_ = event->position();
            return event->accept();
        }
        QChartView::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::MiddleButton) {
            panning_ = false;
            return event->accept();
        }
        // The right button would zoom out of a rubber-band view: Home resets instead.
        if (event->button() == Qt::RightButton) return event->ignore();
        QChartView::mouseReleaseEvent(event);
    }

  private:
    QPointF panFrom_;
    bool panning_ = false;
};

TChartWindow::TChartWindow(double alarmStep, QWidget* parent)
    : QWidget(parent), alarmStep_(alarmStep) {
    setWindowTitle("Tarnimex chart");
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1100, 760);

    timeChart_ = new QChart;
    timeChart_->setTitle("Time error");
    auto* timeAxis = new QDateTimeAxis;
    timeAxis->setFormat("yyyy-MM-dd\nhh:mm:ss");
    timeAxis->setTitleText("RMC time (UTC)");
    auto* errorAxis = new QValueAxis;
    errorAxis->setTitleText("Time error (s)");
    // Ticks on round numbers from 0, whatever the range.
    errorAxis->setTickType(QValueAxis::TicksDynamic);
    errorAxis->setTickAnchor(0);
    errorAxis->setLabelFormat("%g");
    timeChart_->addAxis(timeAxis, Qt::AlignBottom);
    timeChart_->addAxis(errorAxis, Qt::AlignLeft);
    for (int i = 0; i < 2; ++i) {
        alarmLines_[i] = new QLineSeries;
        alarmLines_[i]->setName(QString("Alarm step \u00b1%1 s").arg(alarmStep_));
        alarmLines_[i]->setPen(QPen(kAlarmColour, 1, Qt::DashLine));
        Attach(timeChart_, alarmLines_[i]);
    }
    timeChart_->legend()->markers(alarmLines_[1]).first()->setVisible(false);
    if (alarmStep_ <= 0) {
        for (QLineSeries* line : alarmLines_) line->setVisible(false);
        timeChart_->legend()->markers(alarmLines_[0]).first()->setVisible(false);
    }
    timeView_ = new TChartView(timeChart_);
    timeView_->setRubberBand(QChartView::RectangleRubberBand);
    timeView_->setRenderHint(QPainter::Antialiasing);

    histogramChart_ = new QChart;
    histogramChart_->setTitle("Time error histogram");
    histogramChart_->legend()->hide();
    auto* binAxis = new QValueAxis;
    binAxis->setTitleText("Time error (s)");
    auto* countAxis = new QValueAxis;
    countAxis->setTitleText("Reports");
    histogramChart_->addAxis(binAxis, Qt::AlignBottom);
    histogramChart_->addAxis(countAxis, Qt::AlignLeft);
    histogramView_ = new QChartView(histogramChart_);
    histogramView_->setRenderHint(QPainter::Antialiasing);

    table_ = new QTableWidget(0, 10);
    table_->setHorizontalHeaderLabels(
        {"CSV", "Rows", "Mean", "Std. dev.", "Min", "Max", "Median", "95%", "99%", "Alarm rows"});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* bottom = new QSplitter(Qt::Horizontal);
    bottom->addWidget(histogramView_);
    bottom->addWidget(table_);
    bottom->setSizes({430, 670});
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(timeView_);
    splitter->addWidget(bottom);
    splitter->setSizes({440, 240});
    picture_ = splitter;

    auto* reset = new QPushButton("Reset zoom");
    auto* exportButton = new QPushButton("Export\u2026");
    auto* copy = new QPushButton("Copy");
    connect(reset, &QPushButton::clicked, this, &TChartWindow::ResetZoom);
    connect(exportButton, &QPushButton::clicked, this, &TChartWindow::ExportFromDialog);
    connect(copy, &QPushButton::clicked, this, &TChartWindow::CopyToClipboard);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset);
    buttons->addWidget(exportButton);
    buttons->addWidget(copy);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter);

    // Zooming moves the axis many times in a row; the thinning follows once.
    redrawTimer_ = new QTimer(this);
    redrawTimer_->setSingleShot(true);
    redrawTimer_->setInterval(0);
    connect(redrawTimer_, &QTimer::timeout, this, &TChartWindow::Redraw);
    connect(timeAxis, &QDateTimeAxis::rangeChanged, this, &TChartWindow::ScheduleRedraw);
    connect(timeChart_, &QChart::plotAreaChanged, this, &TChartWindow::ScheduleRedraw);
}

TChartWindow::~TChartWindow() = default;

bool TChartWindow::AddCsv(const QString& path, QString& error) {
    CsvRows rows;
    std::string why;
    if (!ReadCsvFile(path.toStdString(), rows, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    Series series;
    series.name = QFileInfo(path).fileName();
    series.color = kPalette[series_.size() % std::size(kPalette)];
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
    series.marks = new QScatterSeries;
    series.marks->setName(series.name + " alarm rows");
    series.marks->setColor(kAlarmColour);
    series.marks->setBorderColor(kAlarmColour);
    series.marks->setMarkerSize(7);
    Attach(timeChart_, series.marks);
    timeChart_->legend()->markers(series.marks).first()->setVisible(false);
    series_.push_back(std::move(series));
    ShowHistogram();
    ShowStatistics();
    ResetZoom();
    return true;
}

void TChartWindow::ResetZoom() {
    double xMin = INFINITY, xMax = -INFINITY, yMin = INFINITY, yMax = -INFINITY;
    for (const Series& s : series_) {
        if (s.points.empty()) continue;
        xMin = std::min(xMin, s.points.front().x);
        xMax = std::max(xMax, s.points.back().x);
        for (const ChartPoint& p : s.points) {
            yMin = std::min(yMin, p.y);
            yMax = std::max(yMax, p.y);
        }
    }
    if (!(xMin <= xMax)) return;
    if (alarmStep_ > 0 && yMax > kAlarmStepNear * alarmStep_) yMax = std::max(yMax, alarmStep_);
    if (alarmStep_ > 0 && yMin < -kAlarmStepNear * alarmStep_) yMin = std::min(yMin, -alarmStep_);
    if (xMax == xMin) xMax = xMin + 1000;
    const double margin = yMax > yMin ? (yMax - yMin) * kMargin : 1;
    timeChart_->zoomReset();
    QValueAxis* errorAxis = ValueAxis(timeChart_, Qt::Vertical);
    errorAxis->setRange(yMin - margin, yMax + margin);
    errorAxis->setTickInterval(NiceStep((yMax - yMin + 2 * margin) / kTicks));
    TimeAxis(timeChart_)
        ->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(xMin), Qt::UTC),
                   QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(xMax), Qt::UTC));
    Redraw();
}

void TChartWindow::ScheduleRedraw() {
    redrawTimer_->start();
}

void TChartWindow::Redraw() {
    QDateTimeAxis* axis = TimeAxis(timeChart_);
    const double from = static_cast<double>(axis->min().toMSecsSinceEpoch());
    const double to = static_cast<double>(axis->max().toMSecsSinceEpoch());
    const int columns = std::max(1, static_cast<int>(timeChart_->plotArea().width()));
    for (Series& s : series_) {
        const std::vector<ChartSegment> segments =
            ThinToColumns(s.points, from, to, columns, s.gapStep);
        while (s.lines.size() < segments.size()) {
            auto* line = new QLineSeries;
            line->setName(s.name);
            line->setPen(QPen(s.color, 1.5));
            Attach(timeChart_, line);
            // One legend entry a CSV, however many segments its gaps make.
            if (!s.lines.empty()) timeChart_->legend()->markers(line).first()->setVisible(false);
            s.lines.push_back(line);
        }
        for (std::size_t i = 0; i < s.lines.size(); ++i) {
            QList<QPointF> points;
            if (i < segments.size()) {
                points.reserve(static_cast<qsizetype>(segments[i].size()));
                for (const ChartPoint& p : segments[i]) points.append({p.x, p.y});
            }
            s.lines[i]->replace(points);
        }
        QList<QPointF> marks;
        for (const ChartSegment& segment : ThinToColumns(s.alarms, from, to, columns, 0)) {
            for (const ChartPoint& p : segment) marks.append({p.x, p.y});
        }
        s.marks->replace(marks);
    }
    for (int i = 0; i < 2; ++i) {
        const double y = i == 0 ? alarmStep_ : -alarmStep_;
        alarmLines_[i]->replace(QList<QPointF>{{from, y}, {to, y}});
    }
}

std::vector<ChartPoint> TChartWindow::DrawnPoints(int i) const {
    std::vector<ChartPoint> points;
    for (const QLineSeries* line : series_[static_cast<std::size_t>(i)].lines) {
        for (const QPointF& p : line->points()) points.push_back({p.x(), p.y()});
    }
    return points;
}

void TChartWindow::ShowHistogram() {
    double low = INFINITY, high = -INFINITY;
    for (const Series& s : series_) {
        for (const ChartPoint& p : s.points) {
            low = std::min(low, p.y);
            high = std::max(high, p.y);
        }
    }
    histogramChart_->removeAllSeries();
    if (!(low <= high)) return;
    if (high == low) high = low + 1;
    const double width = (high - low) / kHistogramBins;
    double most = 0;
    for (const Series& s : series_) {
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
        Attach(histogramChart_, outline);
    }
    for (const auto& [orientation, from, to] :
         {std::tuple{Qt::Horizontal, low, high},
          std::tuple{Qt::Vertical, 0.0, most * (1 + kMargin)}}) {
        QValueAxis* axis = ValueAxis(histogramChart_, orientation);
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(0);
        axis->setLabelFormat("%g");
        axis->setRange(from, to);
        axis->setTickInterval(NiceStep((to - from) / kTicks));
    }
}

void TChartWindow::ShowStatistics() {
    table_->setRowCount(static_cast<int>(series_.size()));
    for (int row = 0; row < static_cast<int>(series_.size()); ++row) {
        const Series& s = series_[static_cast<std::size_t>(row)];
        // The figures --summary gives, here over the CSV's rows.
        StatisticsAccumulator accumulator;
        for (const ChartPoint& p : s.points)
            accumulator.Add(p.x / kMsPerDay + kDaysFrom1899To1970, p.y, true, alarmStep_);
        const LogStatistics f = accumulator.Result();
        const QString cells[] = {s.name,
                                 QString::number(s.points.size()),
                                 QString::number(f.mean, 'g', 6),
                                 QString::number(f.stddev, 'g', 6),
                                 QString::number(f.min, 'g', 6),
                                 QString::number(f.max, 'g', 6),
                                 QString::number(f.median, 'g', 6),
                                 QString::number(f.p95, 'g', 6),
                                 QString::number(f.p99, 'g', 6),
                                 QString::number(s.alarms.size())};
        for (int column = 0; column < static_cast<int>(std::size(cells)); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column == 0) item->setForeground(s.color);
            table_->setItem(row, column, item);
        }
    }
}

bool TChartWindow::Export(const QString& path, QString& error) {
    picture_->ensurePolished();
    if (!isVisible()) {
        // Offscreen: lay the window and its charts out at their size first.
        setAttribute(Qt::WA_DontShowOnScreen);
        show();
        QApplication::processEvents();
        Redraw();
        QApplication::processEvents();
    }
    if (path.endsWith(".svg", Qt::CaseInsensitive)) {
        QSvgGenerator generator;
        generator.setFileName(path);
        generator.setSize(picture_->size());
        generator.setViewBox(picture_->rect());
        generator.setTitle("Tarnimex chart");
        QPainter painter;
        if (!painter.begin(&generator)) {
            error = "Cannot write \"" + path + "\".";
            return false;
        }
        picture_->render(&painter);
        painter.end();
        if (!QFileInfo(path).isFile()) {
            error = "Cannot write \"" + path + "\".";
            return false;
        }
        return true;
    }
    if (!picture_->grab().save(path, "PNG")) {
        error = "Cannot write \"" + path + "\".";
        return false;
    }
    return true;
}

void TChartWindow::ExportFromDialog() {
    KeepFileDialogSettingsAway();
    const QString path = QFileDialog::getSaveFileName(this, "Export chart", "chart.png",
                                                      "PNG image (*.png);;SVG drawing (*.svg)");
    if (path.isEmpty()) return;
    QString error;
    if (!Export(path, error)) QMessageBox::warning(this, "Tarnimex", error);
}

void TChartWindow::CopyToClipboard() {
    QApplication::clipboard()->setPixmap(picture_->grab());
}

void TChartWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Home:
            return ResetZoom();
        case Qt::Key_Left:
            return timeChart_->scroll(-kPanPixels, 0);
        case Qt::Key_Right:
            return timeChart_->scroll(kPanPixels, 0);
        case Qt::Key_Up:
            return timeChart_->scroll(0, kPanPixels);
        case Qt::Key_Down:
            return timeChart_->scroll(0, -kPanPixels);
        case Qt::Key_Plus:
            return timeChart_->zoom(kZoomPerWheelStep);
        case Qt::Key_Minus:
            return timeChart_->zoom(1.0 / kZoomPerWheelStep);
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace tarnimex
