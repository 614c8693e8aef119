// SPDX-License-Identifier: GPL-3.0-or-later
// The chart window: the time error of one or more converted CSVs against the
// RMC date-time, the alarm step, alarm rows and gaps; a histogram of the error
// (beside it MTIE and TDEV) and each series' statistics below, under the
// verdict against the tester's limits file. Zoom with the wheel or a dragged
// rectangle, pan with the middle button or the arrow keys, Home resets; the
// view exports to PNG or SVG and copies to the clipboard, and a series' test
// report is saved as HTML or PDF.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversion/statistics/statistics.h"
#include "conversion/statistics/verdict.h"
#include "ui/chart_thinning.h"
#include "ui/error_charts.h"
#include "ui/open_dialog.h"

class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace tarnimex {

class TChartView;

// What the run that converted a log knew beyond its CSV, which with Limiting
// holds only some reports: the statistics and timing metrics of them all, and
// the settings it converted with.
struct ConvertedLog {
    LogStatistics statistics;                                   // with its metrics
    double warmUp = 0;                                          // seconds the metrics leave out
    std::vector<std::pair<std::string, std::string>> settings;  // as a report lists them
};

// The note on the metrics of a CSV alone.
inline constexpr const char* kRowsNote = "Metrics from the rows shown";

class TChartWindow : public QWidget {
    Q_OBJECT
  public:
    explicit TChartWindow(double alarmStep, QWidget* parent = nullptr);
    ~TChartWindow() override;

    // Adds the CSV as a series; false, with the reason naming the file and
    // line, when it cannot be read. Its verdict and report take the log's
    // figures when given, else those of the CSV's rows.
    bool AddCsv(const QString& path, QString& error, std::optional<ConvertedLog> log = {});
    // Judges every series against the limits of the file and remembers it in
    // the settings file; a file that cannot be read or is faulty is shown
    // (ShowError) and the previous limits stay. An empty path: no limits.
    bool UseLimitsFile(const QString& path);
    // The test report of the series the table has selected (the first when
    // none): PDF for a name ending in ".pdf", else HTML.
    bool SaveReport(const QString& path, QString& error);
    // All of every series, and the alarm step when the error comes near it.
    void ResetZoom();
    // The charts and the table as a picture: ".svg" gives SVG, anything else PNG.
    bool Export(const QString& path, QString& error);
    void CopyToClipboard();

    // What the window shows, for tests.
    QChart* TimeChart() const { return timeChart_; }
    QTableWidget* Table() const { return table_; }
    QLabel* VerdictLabel() const { return verdict_; }
    QChart* MtieChart() const;

    // Replaceable so that tests can answer it.
    std::unique_ptr<TOpenDialog> LimitsDialog;
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    // Points drawn for series i in the current view, over all its segments.
    std::vector<ChartPoint> DrawnPoints(int i) const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A message box; tests record it instead.
    virtual void ShowError(const QString& text);

  private:
    // Where a series' verdict and report take their figures from.
    struct Figures {
        QString csv;
        LogStatistics rows;  // of the CSV's rows: the table's
        std::optional<ConvertedLog> log;
        LogStatistics judged;  // the log's, or the rows' with their metrics
    };

    void Redraw();
    void ShowHistogram();
    void ShowStatistics();
    void ShowVerdict();
    void ShowTiming();
    // The judged figures of every series under the current warm-up.
    void Measure();
    // The verdict of series i; none when not judged (no limits, or a log's
    // metrics taken with another warm-up than the limits ask for).
    std::optional<Verdict> Judge(std::size_t i) const;
    std::size_t CurrentSeries() const;
    void ExportFromDialog();
    void ChooseLimitsFile();
    void SaveReportFromDialog();
    void ScheduleRedraw();

    double alarmStep_;
    QChart* timeChart_;
    TChartView* timeView_;
    QChart* histogramChart_;
    QChartView* histogramView_;
    QTabWidget* lowerCharts_;  // the histogram, MTIE, TDEV
    std::array<QChartView*, 2> timingViews_;
    QLabel* verdict_;
    QLabel* limitsName_;
    QTableWidget* table_;
    QWidget* picture_;  // what Export and Copy show
    std::array<QLineSeries*, 2> alarmLines_;
    QTimer* redrawTimer_;
    std::vector<ErrorSeries> series_;
    std::vector<ErrorSeriesLines> lines_;  // what each series is drawn with
    std::vector<Figures> figures_;
    std::optional<TimingLimits> limits_;
    QString limitsPath_;
};

}  // namespace tarnimex
