// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/open_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>

#include "ui/dialog_placement.h"
#include "ui/monitor_work_area.h"

namespace tarnimex {

// "*" rather than "*.*" for All: on this system a name need not have a dot.
const QStringList TOpenDialog::kNameFilters = {
    "NMEA (*.nmea *.nme *.log *.txt)", "Compressed logs (*.gz *.xz *.zst *.bz2)", "All (*)"};

namespace {

// The dialog has no frame before it is shown; its frame is taken to be as
// thick as the owner's, which the same window manager draws.
void PlaceOverOwner(QFileDialog& dialog, const QWidget& owner) {
    const QRect ownerFrame = owner.frameGeometry();
    const int frameWidth = ownerFrame.width() - owner.width();
    const int frameHeight = ownerFrame.height() - owner.height();
    const DialogPlace place =
        CentreDialog(GetWorkArea(owner), OuterRectOf(owner), dialog.width() + frameWidth,
                     dialog.height() + frameHeight);
    dialog.move(place.left, place.top);
}

}  // namespace

void KeepFileDialogSettingsAway() {
    // The dialog's settings go to a scratch folder that ends with the process.
    static QTemporaryDir scratch;
    static const bool moved = [] {
        // The dialog asks for the native format (an INI file here; on Windows
        // the registry, which no path moves).
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, scratch.path());
        return true;
    }();
    (void)moved;
}

bool TOpenDialog::Execute(QWidget& owner) {
    KeepFileDialogSettingsAway();
    QFileDialog dialog(&owner);
    dialog.setOption(QFileDialog::DontUseNativeDialog);  // a native one cannot be placed
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(NameFilters);
    dialog.selectNameFilter(NameFilters.front());
    dialog.setSizeGripEnabled(true);
    if (!InitialDir.empty()) dialog.setDirectory(QString::fromStdString(InitialDir));
    dialog.selectFile(QString::fromStdString(FileName));
    dialog.resize(dialog.sizeHint());
    PlaceOverOwner(dialog, owner);

    const std::optional<QStringList> chosen = Run(dialog);
    if (!chosen || chosen->isEmpty()) return false;
    Files.clear();
    for (const QString& name : *chosen) {
        Files.push_back(QDir::toNativeSeparators(name).toStdString());
    }
    FileName = Files.front();
    return true;
}

std::optional<QStringList> TOpenDialog::Run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedFiles();
}

}  // namespace tarnimex
