// SPDX-License-Identifier: GPL-3.0-or-later
// The window's commands: start-up, Browse, drops, Convert, Escape and closing.
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <vector>

#include "report/test_report.h"
#include "settings/limits_file.h"
#include "settings/settings_location.h"
#include "ui/chart_window.h"
#include "ui/dropped_names.h"
#include "ui/form_main.h"
#include "ui/monitor_window.h"

namespace tarnimex {

namespace {

QStringList LocalFiles(const QMimeData* data) {
    QStringList names;
    if (!data || !data->hasUrls()) return names;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) names << url.toLocalFile();
    }
    return names;
}

}  // namespace

// A run shares the reader and its parameters with any run it would start, and
// its settings must not change under it: Convert, Browse and drops arriving
// while it runs are refused with a beep. Escape and closing still work.
void TFormMain::RefuseDuringRun() {
    QApplication::beep();
}

// Settings that were never loaded are the window's design values, not the
// user's: saving them would overwrite the user's settings file.
void TFormMain::SaveSettings() {
    if (!FirstActivate) SaveOptions(*this, regional_);
}

void TFormMain::FormActivate() {
    if (!FirstActivate) return;
    FirstActivate = false;
    LoadOptions(*this, regional_);
}

void TFormMain::ButtonBrowseClick() {
    if (Converting()) return RefuseDuringRun();
    try {
        OpenDialog1->FileName.clear();
        if (!OpenDialog1->Execute(*this)) return;
        OpenDialog1->InitialDir = FolderPart(OpenDialog1->FileName);
        LabeledEditFilename->setText(QString::fromStdString(JoinFileNames(OpenDialog1->Files)));
    } catch (const std::exception& error) {
        ShowError(error.what(), "");
    }
}

void TFormMain::WMDropFiles(const QStringList& names) {
    if (Converting()) return RefuseDuringRun();
    // A drop of converted CSVs only asks for their chart.
    const bool allCsv =
        !names.isEmpty() && std::all_of(names.begin(), names.end(), [](const QString& name) {
            return name.endsWith(".csv", Qt::CaseInsensitive);
        });
    if (allCsv) return ShowChart(names);
    std::vector<std::string> logs;
    try {
        for (const QString& dropped : names) {
            // Names are UTF-8 inside the program (Qt 6 takes file names on
            // POSIX as UTF-8 too); the system's separators, as browsing gives.
            const std::string name = QDir::toNativeSeparators(dropped).toStdString();
            if (IsSettingsFileName(name)) {
                SaveSettings();
                IniFileName = GetIniFileName(name);
                LoadOptions(*this, regional_);
                FirstActivate = false;  // the window now shows loaded settings
            } else {
                logs.push_back(name);
            }
        }
    } catch (const std::exception& error) {
        // The rest of the drop is not taken and the file box keeps its text.
        ShowError(error.what(), "");
        return;
    }
    LabeledEditFilename->setText(QString::fromStdString(JoinFileNames(logs)));
}

void TFormMain::ShowChart(const QStringList& csvs, const std::vector<ConvertedLog>& logs) {
    // The alarm step as the settings give it, 0 (no line) before they load.
    auto* chart = new TChartWindow(AlarmStep());
    for (qsizetype i = 0; i < csvs.size(); ++i) {
        QString error;
        std::optional<ConvertedLog> log;
        if (static_cast<std::size_t>(i) < logs.size()) log = logs[static_cast<std::size_t>(i)];
        if (!chart->AddCsv(csvs[i], error, std::move(log))) ShowError(error.toStdString(), "");
    }
    if (chart->SeriesCount() == 0) {
        delete chart;
        return;
    }
    chart->show();
    chart->activateWindow();
}

void TFormMain::ReportOfLogs(const QStringList& logs) {
    if (Converting()) return RefuseDuringRun();
    // The metrics leave out the warm-up of the chart's limits file; a faulty
    // one is told of when the chart opens.
    double warmUp = 0;
    try {
        const std::string limits = LoadChartLimitsFile();
        if (!limits.empty()) warmUp = ReadLimitsFile(limits).warmUp;
    } catch (const std::exception&) {
    }
    std::vector<std::string> names;
    for (const QString& log : logs) names.push_back(QDir::toNativeSeparators(log).toStdString());
    ConversionSettings fields{FieldText(HostField::Key),
                              FieldText(HostField::SecKey),
                              FieldText(HostField::SecDec),
                              EditText(HostField::TimeDiff),
                              EditText(HostField::MaxStep),
                              LimitChecked(),
                              AlarmStep(),
                              SymbolOfAlarm()};
    reported_.emplace();
    converter_.CollectTimingMetrics(warmUp);
    try {
        converter_.ConvertFiles(JoinFileNames(names));
    } catch (const std::exception& error) {
        SetBusyCursor(false);
        ShowError(error.what(), "");
    }
    converter_.CollectTimingMetrics(std::nullopt);
    QStringList csvs;
    std::vector<ConvertedLog> converted;
    for (auto& [csv, log] : *reported_) {
        log.warmUp = warmUp;
        log.settings = ReportSettings(fields, regional_);
        csvs.append(csv);
        converted.push_back(std::move(log));
    }
    reported_.reset();
    if (!csvs.isEmpty()) ShowChart(csvs, converted);
}

TMonitorWindow* TFormMain::ShowMonitor(const QString& source) {
    auto* monitor = new TMonitorWindow(*this, regional_);
    monitor->show();
    monitor->activateWindow();
    if (!source.isEmpty()) {
        monitor->SetSource(source);
        monitor->Start();
    }
    return monitor;
}

void TFormMain::LogFinished(const LogStatistics& statistics) {
    // A log with rows has its CSV written, and it is the last.
    if (reported_ && statistics.rows > 0 && statistics.metrics)
        reported_->emplace_back(QString::fromStdString(converter_.LastCsv()),
                                ConvertedLog{statistics, 0, {}});
}

std::unique_ptr<QMenu> TFormMain::CreateContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    QAction* last = menu->addAction("Chart of the last CSV", [this] {
        ShowChart({QString::fromStdString(converter_.LastCsv())});
    });
    last->setEnabled(!converter_.LastCsv().empty());
    menu->addAction("Open CSV in chart\u2026", [this] {
        if (!OpenCsvDialog->Execute(*this)) return;
        OpenCsvDialog->InitialDir = FolderPart(OpenCsvDialog->FileName);
        QStringList csvs;
        for (const std::string& file : OpenCsvDialog->Files)
            csvs.append(QString::fromStdString(file));
        ShowChart(csvs);
    });
    menu->addAction("Report of a log\u2026", [this] {
        if (!OpenDialog1->Execute(*this)) return;
        OpenDialog1->InitialDir = FolderPart(OpenDialog1->FileName);
        QStringList logs;
        for (const std::string& file : OpenDialog1->Files)
            logs.append(QString::fromStdString(file));
        ReportOfLogs(logs);
    });
    menu->addAction("Monitor a receiver\u2026", [this] { ShowMonitor(); });
    return menu;
}

void TFormMain::contextMenuEvent(QContextMenuEvent* event) {
    if (Converting()) return RefuseDuringRun();
    CreateContextMenu()->exec(event->globalPos());
}

void TFormMain::ButtonConvertClick() {
    if (Converting()) return RefuseDuringRun();
    const std::string list = LabeledEditFilename->text().toStdString();
    try {
        converter_.ConvertFiles(list);
    } catch (const std::exception& error) {
        SetBusyCursor(false);
        ShowError(error.what(), "");
    }
}

void TFormMain::ButtonExitClick() {
    close();
}

void TFormMain::CheckBoxLimitClick() {
    const bool on = CheckBoxLimit->isChecked();
    LabeledEditTimeDiff->setEnabled(on);
    LabeledEditMaxStep->setEnabled(on);
}

void TFormMain::ApplicationEvents1ShortCut(int key) {
    if (key == Qt::Key_Escape) AbortRequested = true;
}

bool TFormMain::FormCloseQuery() {
    AbortRequested = true;
    return true;
}

void TFormMain::FormClose() {
    SaveSettings();
}

bool TFormMain::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        try {
            FormActivate();
        } catch (const std::exception& error) {
            ShowError(error.what(), "");
        }
    }
    return QWidget::event(event);
}

// Sees every key pressed in this window before the focused control does, and
// lets it go on.
bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        ApplicationEvents1ShortCut(static_cast<QKeyEvent*>(event)->key());
    }
    return QWidget::eventFilter(watched, event);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    try {
        FormClose();
    } catch (const std::exception& error) {
        ShowError(error.what(), "");
    }
    event->accept();
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    // Taken during a run too, so that the drop is refused audibly like the
    // other commands.
    if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event) {
    const QStringList names = LocalFiles(event->mimeData());
    if (names.isEmpty()) return;
    event->acceptProposedAction();
    // Shift with logs alone asks for their report.
    const bool logsAlone = std::none_of(names.begin(), names.end(), [](const QString& name) {
        return name.endsWith(".csv", Qt::CaseInsensitive) || IsSettingsFileName(name.toStdString());
    });
    if (logsAlone && (event->modifiers() & Qt::ShiftModifier)) return ReportOfLogs(names);
    WMDropFiles(names);
}

}  // namespace tarnimex
