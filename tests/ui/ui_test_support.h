// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the window tests: a window that records its error boxes and
// status texts, settings kept in a temporary folder, logs, drops and a file
// dialog answered without a person.
#pragma once

#include <QFileDialog>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/form_main.h"
#include "ui/open_dialog.h"

namespace tarnimex::test {

class TestFormMain : public TFormMain {
  public:
    TestFormMain();
    // Out of line: one object file owns the destructor's thunks (MinGW's
    // link-time optimisation rejects copies of them from every test file).
    ~TestFormMain() override;

    void ShowError(const std::string& text, const std::string& detail) override;
    void SetStatus(const std::string& text) override;
    void RefuseDuringRun() override { ++refusals; }

    // Shows the window and waits until it is active, so that its first
    // activation has loaded the settings.
    void ShowActive();
    // FormCreate, then ShowActive: the window as the user first sees it.
    void Open() {
        FormCreate();
        ShowActive();
    }
    // A dialog of this kind in place of the file dialog, owned by the window.
    template <class Dialog>
    Dialog& UseOpenDialog() {
        auto owned = std::make_unique<Dialog>();
        Dialog& dialog = *owned;
        OpenDialog1 = std::move(owned);
        return dialog;
    }

    std::vector<std::string> errors;
    std::vector<std::string> statuses;
    int refusals = 0;
    std::function<void(const std::string&)> onStatus;
};

// A temporary folder that stands in for the executable's folder, so that the
// default settings file lies there.
class TempWorkspace {
  public:
    TempWorkspace();
    ~TempWorkspace();

    // The full name of a file in the folder, with the system's separators.
    QString Path(const QString& name) const;
    std::string PathStd(const QString& name) const { return Path(name).toStdString(); }
    // The per-user settings folder, where the settings go when the executable's
    // folder cannot take them, made unusable until the workspace goes: APPDATA
    // names a plain file.
    void BlockPerUserFolder();

  private:
    QTemporaryDir dir_;
    std::optional<QByteArray> oldAppData_;  // set while the per-user folder is blocked
};

void WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);
bool Exists(const QString& path);

// A log of report sentences ("$GPTXT,...,RMC delay,<time>,<delay>"), one per
// line, seconds counting up from 12:00:00 on 5 July 2023.
QByteArray ReportLog(const std::vector<double>& delays);

// A settings file in the 8-bit profile format, section Option.
QByteArray SettingsFile(const QStringList& lines);

// Drops the files on the window as the desktop would, over the control under
// (the window's centre when none), with these keys held.
void Drop(QWidget& window, const QStringList& paths, QWidget* under = nullptr,
          Qt::KeyboardModifiers keys = Qt::NoModifier);

// A Browse dialog answered by the test: it records how it was prepared and
// returns the scripted choice.
class ScriptedOpenDialog : public TOpenDialog {
  public:
    std::optional<QStringList> answer;
    std::function<void(QFileDialog&)> inspect;
    int runs = 0;
    QString directory;

  protected:
    std::optional<QStringList> Run(QFileDialog& dialog) override;
};

}  // namespace tarnimex::test
