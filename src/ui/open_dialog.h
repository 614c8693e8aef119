// SPDX-License-Identifier: GPL-3.0-or-later
// The file-open dialog of Browse: several logs at once, NMEA files listed
// first, opened in the folder of the previous choice and placed centred over
// the main window before it is shown; after that it moves freely.
#pragma once

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

class QFileDialog;
class QWidget;

namespace tarnimex {

// Qt's file dialog keeps a history and its last folder in a settings file of
// its own; the program's only settings file is its own, and a dialog's folder
// is remembered for the run only. Call before any file dialog.
void KeepFileDialogSettingsAway();

class TOpenDialog {
  public:
    static const QStringList kNameFilters;

    virtual ~TOpenDialog() = default;

    // Shows the dialog modally over owner. True when the user chose files:
    // Files then holds their full names in the dialog's order and FileName the
    // first of them. A cancelled dialog changes nothing.
    bool Execute(QWidget& owner);

    QStringList NameFilters = kNameFilters;  // the first is selected
    std::string FileName;
    std::string InitialDir;  // empty: wherever the dialog starts by itself
    std::vector<std::string> Files;

  protected:
    // Runs the prepared, placed dialog and returns the chosen files, or nothing
    // when it was cancelled. Tests answer here in place of a person.
    virtual std::optional<QStringList> Run(QFileDialog& dialog);
};

}  // namespace tarnimex
