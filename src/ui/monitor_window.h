// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor window: one receiver watched live through a serial port or a
// TCP stream, recorded as tarnimex-monitor records it (logs cut at round UTC
// times, each converted to its CSV when it closes, reconnecting every
// second). It shows the time error of the last minutes as a chart that can be
// scrolled back and zoomed as in the chart window, the current delay in large
// figures, the statistics and the verdict against the chart's limits file,
// an alarm light that beeps when an alarm starts, and a list of events.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversion/conversion_host.h"
#include "conversion/statistics/verdict.h"
#include "live/live_session.h"
#include "platform/regional_format.h"
#include "ui/error_charts.h"

class QChart;
class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tarnimex {

class LiveInput;
class TChartView;

class TMonitorWindow : public QWidget, public LiveEvents {
    Q_OBJECT
  public:
    // The span the chart follows while it shows the latest reports.
    static constexpr double kFollowMs = 5 * 60 * 1000;
    // Points kept for the chart: twelve days at a report a second.
    static constexpr std::size_t kKeptPoints = std::size_t{1} << 20;
    static constexpr int kKeptEvents = 10000;

    // settings: the key, second key, alarm step and the CSVs' settings, read
    // when a watch starts; they must outlive the window.
    explicit TMonitorWindow(ConversionSettingsSource& settings,
                            RegionalFormat regional = RegionalFormatFromUserLocale(),
                            QWidget* parent = nullptr);
    ~TMonitorWindow() override;

    // Sets the controls to a source as tarnimex-monitor names it
    // ("serial:PORT[@BAUD]", "tcp:HOST:PORT", "file:PATH").
    void SetSource(const QString& text);
    // The source the controls name, in the same form.
    QString SourceText() const;
    // Starts watching the source the controls name; false, with the reason
    // shown, when it cannot.
    bool Start();
    // Stops watching: the current log is closed and its CSV written.
    void Stop();
    bool Watching() const { return input_ != nullptr; }
    // The chart follows the latest reports again.
    void FollowLatest();
    // A report on the chart (date-time value and delay); ignored without either.
    void ShowReport(double time, std::optional<double> delay);

    // What the window shows, for tests.
    QRadioButton* SerialChoice;
    QComboBox* Ports;
    QComboBox* Baud;
    QRadioButton* TcpChoice;
    QLineEdit* Address;
    QLineEdit* Folder;
    QPushButton* StartButton;
    QPushButton* StopButton;
    QPushButton* FollowButton;
    QLabel* DelayLabel;
    QLabel* AlarmLight;
    QLabel* StatisticsLabel;
    QLabel* VerdictLabel;
    QListWidget* Events;
    QChart* TimeChart() const { return chart_; }
    const LiveSession* Session() const { return session_.get(); }
    // Points drawn in the current view, over all segments.
    std::vector<ChartPoint> DrawnPoints() const;

    // LiveEvents
    void Connected(LiveSession& session) override;
    void Lost(LiveSession& session, const std::string& reason) override;
    void Report(LiveSession& session, double time, std::optional<double> delay) override;
    void AlarmStarted(LiveSession& session, double time, double delay) override;
    void AlarmEnded(LiveSession& session, const AlarmStretch& stretch) override;
    void LogOpened(LiveSession& session, const std::string& path) override;
    void LogClosed(LiveSession& session, const std::string& path, const LogResult& result) override;
    void RecordingFailed(LiveSession& session, const std::string& message) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // A message box; tests record it instead.
    virtual void ShowError(const QString& text);

  private:
    void NewChart();
    void ListPorts();
    void ChooseFolder();
    void Tick();
    void ShowFigures();
    void ShowVerdict();
    void AddEvent(const QString& text, bool alarm = false);
    void Redraw();
    void ScheduleRedraw();
    void RangeChanged();
    void LoadChoices();
    void SaveChoices();
    void UpdateButtons();

    ConversionSettingsSource& settings_;
    RegionalFormat regional_;
    double alarmStep_ = 0;
    std::optional<TimingLimits> limits_;
    QString limitsProblem_;
    std::unique_ptr<LiveSession> session_;
    std::unique_ptr<LiveInput> input_;
    QTimer* tick_;
    QTimer* portsTimer_;
    QTimer* redrawTimer_;
    int ticksToVerdict_ = 0;

    QChart* chart_ = nullptr;
    TChartView* view_;
    std::array<QLineSeries*, 2> alarmLines_{};
    std::vector<ErrorSeries> series_;  // one: the reports kept
    std::vector<ErrorSeriesLines> lines_;
    bool following_ = true;
    bool settingRange_ = false;  // the window moves the axis, not the user
};

}  // namespace tarnimex
