// SPDX-License-Identifier: GPL-3.0-or-later
// The program a user starts: the window over the conversion and the settings.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>

#include "platform/console.h"
#include "ui/chart_command.h"
#include "ui/form_main.h"

int main(int argc, char** argv) {
    // Qt's warnings go to standard error, which must not be a CSV.
    tarnimex::OpenStandardDescriptors();
    QApplication application(argc, argv);
    QApplication::setApplicationName("tarnimex");
    QApplication::setDesktopFileName("tarnimex");
    QApplication::setWindowIcon(QIcon(":/tarnimex-64.png"));

    const QStringList arguments = QApplication::arguments().mid(1);
    if (tarnimex::AsksForChart(arguments)) {
        const int status = tarnimex::RunChartCommand(arguments);
        return status >= 0 ? status : application.exec();
    }

    tarnimex::TFormMain FormMain;
    FormMain.FormCreate();
    // Files named on the command line ("Open with") arrive as a drop would.
    QStringList names;
    for (const QString& argument : arguments)
        names.append(QDir::toNativeSeparators(QFileInfo(argument).absoluteFilePath()));
    if (!names.isEmpty()) FormMain.WMDropFiles(names);
    FormMain.show();
    // The settings load on the first activation; ask for it, as not every
    // window manager activates a new window by itself.
    FormMain.activateWindow();
    return application.exec();
}
