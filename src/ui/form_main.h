// SPDX-License-Identifier: GPL-3.0-or-later
// The program's one window: the conversion's inputs, the status line and the
// commands Browse, Convert and Exit. It hosts the conversion run and is the
// window that the settings load and save.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "conversion/conversion_run.h"
#include "settings/options.h"
#include "ui/chart_window.h"
#include "ui/labeled_edit.h"
#include "ui/open_dialog.h"

namespace tarnimex {

class TMonitorWindow;

// The width a list's text has inside its frame and arrow.
int ListFieldWidth(const QComboBox* list);

class TFormMain : public QWidget,
                  public ConversionSettingsSource,
                  public StatusSink,
                  public EventPump,
                  public OptionsWindow {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 604;
    static constexpr int kClientHeight = 134;

    explicit TFormMain(RegionalFormat regional = RegionalFormatFromUserLocale(),
                       TextEncoding encoding = TextEncodingFromUserLocale());
    ~TFormMain() override;

    // Controls, owned by the window.
    TLabeledEdit* LabeledEditFilename;
    TLabeledEdit* LabeledEditKey;
    TLabeledEdit* LabeledEditSecKey;
    QLabel* Label1;
    QComboBox* ComboBoxSecDec;
    QCheckBox* CheckBoxLimit;
    TLabeledEdit* LabeledEditTimeDiff;
    TLabeledEdit* LabeledEditMaxStep;
    QPushButton* ButtonBrowse;
    QPushButton* ButtonConvert;
    QPushButton* ButtonExit;
    QLabel* LabelProg;

    // Replaceable so that tests can answer the dialogs.
    std::unique_ptr<TOpenDialog> OpenDialog1;
    std::unique_ptr<TOpenDialog> OpenCsvDialog;  // "Open CSV in chart..."

    // True until the first activation has loaded the settings.
    bool FirstActivate = true;

    bool Converting() const { return converter_.Running(); }

    // Handlers. Each shows an error that escapes it in an error box and returns.
    void FormCreate();
    void FormActivate();
    void ButtonBrowseClick();
    void WMDropFiles(const QStringList& names);
    // The chart of converted CSVs in a window of its own; logs[i], when
    // given, is what the conversion of csvs[i] knew of its log.
    void ShowChart(const QStringList& csvs, const std::vector<ConvertedLog>& logs = {});
    // Converts the logs as Convert does, with their timing metrics, and shows
    // the chart of their CSVs judged by every report of the logs.
    void ReportOfLogs(const QStringList& logs);
    // The monitor window, converting by this window's settings; with a
    // source, watching it at once.
    TMonitorWindow* ShowMonitor(const QString& source = {});
    // The window's context menu: the chart of the last CSV, or of CSVs chosen,
    // the report of logs chosen, and the monitor.
    std::unique_ptr<QMenu> CreateContextMenu();
    void ButtonConvertClick();
    void ButtonExitClick();
    void CheckBoxLimitClick();
    void ApplicationEvents1ShortCut(int key);
    bool FormCloseQuery();
    void FormClose();

    // ConversionSettingsSource: the input fields, read live during a run.
    std::string FieldText(HostField field) override;
    void SetFieldText(HostField field, const std::string& text) override;
    bool LimitChecked() override;
    double AlarmStep() override;
    std::string SymbolOfAlarm() override;
    // StatusSink: the status line and error boxes.
    void SetStatus(const std::string& text) override;
    void LogFinished(const LogStatistics& statistics) override;
    void ShowError(const std::string& text, const std::string& detail) override;
    // The box ShowError shows.
    std::unique_ptr<QMessageBox> ErrorBox(const std::string& text, const std::string& detail);
    // EventPump
    void ProcessEvents() override;
    void SetBusyCursor(bool busy) override;
    void Pause500ms() override;

    // OptionsWindow
    std::string EditText(HostField edit) override;
    void SetEditText(HostField edit, const std::string& text) override;
    int SecDecIndex() override;
    void SetSecDecIndex(int index) override;
    void SetLimitChecked(bool checked) override;
    Rect OuterRect() override;
    void SetTop(int top) override;
    void SetLeft(int left) override;
    Rect GetWorkArea() override;

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // A command that arrives while a conversion runs: a beep, nothing else.
    virtual void RefuseDuringRun();

  private:
    void CreateControls();
    void SaveSettings();
    TLabeledEdit* Edit(HostField edit) const;

    RegionalFormat regional_;
    Converter converter_;
    // During ReportOfLogs: each converted log's CSV and what its run knew.
    std::optional<std::vector<std::pair<QString, ConvertedLog>>> reported_;
    bool busyCursor_ = false;
};

}  // namespace tarnimex
