// SPDX-License-Identifier: GPL-3.0-or-later
// The chart window: the time error of one or more converted CSVs against the
// RMC date-time, the alarm step, alarm rows and gaps; a histogram of the error
// and each series' statistics below. Zoom with the wheel or a dragged
// rectangle, pan with the middle button or the arrow keys, Home resets; the
// view exports to PNG or SVG and copies to the clipboard.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

#include "ui/chart_thinning.h"
#include "ui/error_charts.h"

class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
class QTableWidget;
class QTimer;

namespace tarnimex {

class TChartView;

class TChartWindow : public QWidget {
    Q_OBJECT
  public:
    explicit TChartWindow(double alarmStep, QWidget* parent = nullptr);
    ~TChartWindow() override;

    // Adds the CSV as a series; false, with the reason naming the file and
    // line, when it cannot be read.
    bool AddCsv(const QString& path, QString& error);
    // All of every series, and the alarm step when the error comes near it.
    void ResetZoom();
    // The charts and the table as a picture: ".svg" gives SVG, anything else PNG.
    bool Export(const QString& path, QString& error);
    void CopyToClipboard();

    // What the window shows, for tests.
    QChart* TimeChart() const { return timeChart_; }
    QTableWidget* Table() const { return table_; }
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    // Points drawn for series i in the current view, over all its segments.
    std::vector<ChartPoint> DrawnPoints(int i) const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Redraw();
    void ShowHistogram();
    void ShowStatistics();
    void ExportFromDialog();
    void ScheduleRedraw();

    double alarmStep_;
    QChart* timeChart_;
    TChartView* timeView_;
    QChart* histogramChart_;
    QChartView* histogramView_;
    QTableWidget* table_;
    QWidget* picture_;  // what Export and Copy show
    std::array<QLineSeries*, 2> alarmLines_;
    QTimer* redrawTimer_;
    std::vector<ErrorSeries> series_;
    std::vector<ErrorSeriesLines> lines_;  // what each series is drawn with
};

}  // namespace tarnimex
