// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/path_names.h"
#include "report/test_report.h"
#include "settings/limits_file.h"
#include "settings/options.h"
#include "ui/chart_view.h"
#include "ui/timing_chart.h"

namespace tarnimex {

namespace {

constexpr const char* kTimingNames[] = {"MTIE", "TDEV"};

// A chart point's x back as the CSV's date-time value.
double DateTime(const ChartPoint& p) {
    return p.x / kMsPerDay + kDaysFrom1899To1970;
}

}  // namespace

TChartWindow::TChartWindow(double alarmStep, QWidget* parent)
    : QWidget(parent), alarmStep_(alarmStep) {
    setWindowTitle("Tarnimex chart");
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1100, 760);

    timeChart_ = NewTimeChart(alarmStep_, alarmLines_);
    timeView_ = new TChartView(timeChart_);

    histogramChart_ = NewHistogramChart();
    histogramView_ = new QChartView(histogramChart_);
    histogramView_->setRenderHint(QPainter::Antialiasing);
    lowerCharts_ = new QTabWidget;
    lowerCharts_->addTab(histogramView_, "Histogram");
    for (std::size_t k = 0; k < timingViews_.size(); ++k) {
        timingViews_[k] = new QChartView;
        timingViews_[k]->setRenderHint(QPainter::Antialiasing);
        lowerCharts_->addTab(timingViews_[k], kTimingNames[k]);
    }

    table_ = new QTableWidget(0, 10);
    table_->setHorizontalHeaderLabels(
        {"CSV", "Rows", "Mean", "Std. dev.", "Min", "Max", "Median", "95%", "99%", "Alarm rows"});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(table_, &QTableWidget::currentCellChanged, this, &TChartWindow::ShowTiming);

    // Rich text of its own making; the names in it are escaped.
    verdict_ = new QLabel;
    verdict_->setTextFormat(Qt::RichText);
    verdict_->setWordWrap(true);
    verdict_->hide();
    auto* figures = new QWidget;
    auto* figuresLayout = new QVBoxLayout(figures);
    figuresLayout->setContentsMargins(0, 0, 0, 0);
    figuresLayout->addWidget(verdict_);
    figuresLayout->addWidget(table_, 1);

    auto* bottom = new QSplitter(Qt::Horizontal);
    bottom->addWidget(lowerCharts_);
    bottom->addWidget(figures);
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
    auto* report = new QPushButton("Save report\u2026");
    auto* limits = new QPushButton("Limits file\u2026");
    limitsName_ = new QLabel;
    limitsName_->setTextFormat(Qt::PlainText);
    connect(report, &QPushButton::clicked, this, &TChartWindow::SaveReportFromDialog);
    connect(limits, &QPushButton::clicked, this, &TChartWindow::ChooseLimitsFile);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset);
    buttons->addWidget(exportButton);
    buttons->addWidget(copy);
    buttons->addWidget(report);
    buttons->addSpacing(12);
    buttons->addWidget(limits);
    buttons->addWidget(limitsName_, 1);
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

    LimitsDialog = std::make_unique<TOpenDialog>();
    LimitsDialog->NameFilters = {"Limits (*.ini)", "All (*)"};
    // The tester's limits stay from one chart, and one run, to the next.
    UseLimitsFile(QString::fromStdString(LoadChartLimitsFile()));
}

TChartWindow::~TChartWindow() = default;

bool TChartWindow::AddCsv(const QString& path, QString& error, std::optional<ConvertedLog> log) {
    ErrorSeries series;
    if (!ReadErrorSeries(path, series_.size(), series, error)) return false;
    lines_.push_back(AddErrorSeries(timeChart_, series));
    // The figures --summary gives, here over the CSV's rows.
    StatisticsAccumulator accumulator;
    for (const ChartPoint& p : series.points) accumulator.Add(DateTime(p), p.y, true, alarmStep_);
    figures_.push_back({path, accumulator.Result(), std::move(log), {}});
    series_.push_back(std::move(series));
    Measure();
    ShowHistogram();
    ShowStatistics();
    ShowVerdict();
    ShowTiming();
    ResetZoom();
    return true;
}

void TChartWindow::Measure() {
    const double warmUp = limits_ ? limits_->warmUp : 0;
    for (std::size_t i = 0; i < figures_.size(); ++i) {
        Figures& f = figures_[i];
        if (f.log) {
            f.judged = f.log->statistics;
            continue;
        }
        f.judged = f.rows;
        TimingSeries timing(warmUp);
        for (const ChartPoint& p : series_[i].points) timing.Add(DateTime(p), p.y, true);
        f.judged.metrics = timing.Compute(f.rows.usualStep);
    }
}

std::optional<Verdict> TChartWindow::Judge(std::size_t i) const {
    const Figures& f = figures_[i];
    if (!limits_ || !f.judged.metrics || (f.log && f.log->warmUp != limits_->warmUp))
        return std::nullopt;
    return JudgeLog(*limits_, f.judged, *f.judged.metrics);
}

std::size_t TChartWindow::CurrentSeries() const {
    const int row = table_->currentRow();
    return row > 0 && row < SeriesCount() ? static_cast<std::size_t>(row) : 0;
}

bool TChartWindow::UseLimitsFile(const QString& path) {
    if (path.isEmpty()) {
        limits_.reset();
    } else {
        try {
            limits_ = ReadLimitsFile(path.toStdString());
        } catch (const std::exception& e) {
            ShowError(QString::fromStdString(e.what()));
            return false;
        }
    }
    limitsPath_ = path;
    limitsName_->setText(path.isEmpty() ? "No limits" : QFileInfo(path).fileName());
    limitsName_->setToolTip(path);
    // Opening a chart changes nothing in the settings file; a choice does.
    if (path.toStdString() != LoadChartLimitsFile()) SaveChartLimitsFile(path.toStdString());
    Measure();
    ShowVerdict();
    ShowTiming();
    return true;
}

void TChartWindow::ChooseLimitsFile() {
    if (!LimitsDialog->Execute(*this)) return;
    LimitsDialog->InitialDir = FolderPart(LimitsDialog->FileName);
    UseLimitsFile(QString::fromStdString(LimitsDialog->FileName));
}

void TChartWindow::ShowVerdict() {
    const bool judged = limits_ && !series_.empty();
    verdict_->setVisible(judged);
    if (!judged) return;
    QStringList lines;
    for (std::size_t i = 0; i < series_.size(); ++i) {
        const Figures& f = figures_[i];
        const std::optional<Verdict> verdict = Judge(i);
        QString line = series_.size() > 1
                           ? "<span style=\"color:" + series_[i].color.name() + "\">" +
                                 series_[i].name.toHtmlEscaped() + "</span>: "
                           : QString();
        if (verdict) {
            line += "<b style=\"color:" + VerdictColour(*verdict) + "\">" +
                    QString::fromStdString(VerdictLine(*verdict, ReportNumber)).toHtmlEscaped() +
                    "</b>";
        } else {
            line += QString(
                        "Not judged: the log's metrics leave out %1 s of warm-up, the "
                        "limits file %2 s; make the report of the log again")
                        .arg(f.log->warmUp)
                        .arg(limits_->warmUp);
        }
        if (!f.log) line += QString(" <i>(%1)</i>").arg(kRowsNote);
        lines.append(line);
    }
    verdict_->setText(lines.join("<br/>"));
}

QChart* TChartWindow::MtieChart() const {
    return timingViews_[0]->chart();
}

void TChartWindow::ShowTiming() {
    if (figures_.size() != series_.size() || series_.empty()) return;
    const std::size_t i = CurrentSeries();
    const Figures& f = figures_[i];
    const TimingMetrics none;
    const TimingMetrics& metrics = f.judged.metrics ? *f.judged.metrics : none;
    const LimitMask noMask;
    for (std::size_t k = 0; k < timingViews_.size(); ++k) {
        const LimitMask& mask = !limits_ ? noMask : k == 0 ? limits_->mtie : limits_->tdev;
        QChart* chart = NewTimingChart(kTimingNames[k], k == 0 ? metrics.mtie : metrics.tdev, mask);
        QString title = kTimingNames[k];
        if (series_.size() > 1) title += " of " + series_[i].name;
        if (!f.log) title += QString(" \u2013 ") + kRowsNote;
        chart->setTitle(title);
        // The pane is wider than high: the legend beside the plot leaves it room.
        chart->legend()->setAlignment(Qt::AlignRight);
        QChart* old = timingViews_[k]->chart();
        timingViews_[k]->setChart(chart);
        delete old;
    }
}

bool TChartWindow::SaveReport(const QString& path, QString& error) {
    if (series_.empty()) return false;
    const std::size_t i = CurrentSeries();
    const Figures& f = figures_[i];
    ReportInput input;
    input.logPath = f.log ? f.log->statistics.log : f.csv.toStdString();
    input.csvPath = f.csv.toStdString();
    input.statistics = f.judged;
    input.metrics = f.judged.metrics.value_or(TimingMetrics{});
    input.verdict = Judge(i);
    if (input.verdict) {
        input.limits = limits_;
        input.limitsFile = limitsPath_.toStdString();
    } else if (limits_ && f.log) {
        input.note = "Not judged: the log's metrics leave out " + ReportNumber(f.log->warmUp) +
                     " s of warm-up, the limits file " + limitsPath_.toStdString() + " " +
                     ReportNumber(limits_->warmUp) + " s.";
    }
    if (!f.log)
        input.note = std::string(kRowsNote) + " of the CSV, not from every report of its log.";
    input.alarmStep = alarmStep_;
    if (f.log) input.settings = f.log->settings;
    input.version = TARNIMEX_VERSION_TEXT;
    input.madeAt = std::chrono::system_clock::now();
    try {
        WriteLogReportFile(input, path.toStdString());
    } catch (const std::exception& e) {
        error = QString::fromStdString(e.what());
        return false;
    }
    return true;
}

void TChartWindow::SaveReportFromDialog() {
    KeepFileDialogSettingsAway();
    const QString name =
        QFileInfo(figures_.empty() ? QString() : figures_[CurrentSeries()].csv).completeBaseName();
    const QString path = QFileDialog::getSaveFileName(this, "Save report", name + ".report.html",
                                                      "HTML report (*.html);;PDF report (*.pdf)");
    if (path.isEmpty()) return;
    QString error;
    if (!SaveReport(path, error)) ShowError(error);
}

void TChartWindow::ShowError(const QString& text) {
    QMessageBox::warning(this, "Tarnimex", text);
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
        const LogStatistics& f = figures_[static_cast<std::size_t>(row)].rows;
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
    if (!Export(path, error)) ShowError(error);
}

void TChartWindow::CopyToClipboard() {
    QApplication::clipboard()->setPixmap(picture_->grab());
}

void TChartWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) return ResetZoom();
    if (!MoveChartByKey(timeChart_, event->key())) QWidget::keyPressEvent(event);
}

}  // namespace tarnimex
