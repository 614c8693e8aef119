// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <algorithm>
#include <cmath>

#include "conversion/statistics/statistics.h"
#include "ui/open_dialog.h"

namespace tarnimex {

namespace {

constexpr double kZoomPerWheelStep = 1.25;
constexpr int kPanPixels = 40;

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

    timeChart_ = NewTimeChart(alarmStep_, alarmLines_);
    timeView_ = new TChartView(timeChart_);
    timeView_->setRubberBand(QChartView::RectangleRubberBand);
    timeView_->setRenderHint(QPainter::Antialiasing);

    histogramChart_ = NewHistogramChart();
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
    connect(qobject_cast<QDateTimeAxis*>(timeChart_->axes(Qt::Horizontal).first()),
            &QDateTimeAxis::rangeChanged, this, &TChartWindow::ScheduleRedraw);
    connect(timeChart_, &QChart::plotAreaChanged, this, &TChartWindow::ScheduleRedraw);
}

TChartWindow::~TChartWindow() = default;

bool TChartWindow::AddCsv(const QString& path, QString& error) {
    ErrorSeries series;
    if (!ReadErrorSeries(path, series_.size(), series, error)) return false;
    lines_.push_back(AddErrorSeries(timeChart_, series));
    series_.push_back(std::move(series));
    ShowHistogram();
    ShowStatistics();
    ResetZoom();
    return true;
}

void TChartWindow::ResetZoom() {
    if (FitTimeChart(timeChart_, series_, {alarmStep_})) Redraw();
}

void TChartWindow::ScheduleRedraw() {
    redrawTimer_->start();
}

void TChartWindow::Redraw() {
    DrawTimeChart(timeChart_, alarmLines_, alarmStep_, series_, lines_);
}

std::vector<ChartPoint> TChartWindow::DrawnPoints(int i) const {
    std::vector<ChartPoint> points;
    for (const QLineSeries* line : lines_[static_cast<std::size_t>(i)].lines) {
        for (const QPointF& p : line->points()) points.push_back({p.x(), p.y()});
    }
    return points;
}

void TChartWindow::ShowHistogram() {
    FillHistogram(histogramChart_, series_);
}

void TChartWindow::ShowStatistics() {
    table_->setRowCount(static_cast<int>(series_.size()));
    for (int row = 0; row < static_cast<int>(series_.size()); ++row) {
        const ErrorSeries& s = series_[static_cast<std::size_t>(row)];
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
