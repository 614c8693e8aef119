// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart_command.h"

#include <QMessageBox>
#include <cstdio>

#include "conversion/reports/sentence.h"
#include "settings/conversion_settings.h"
#include "settings/settings_location.h"
#include "ui/chart_window.h"

namespace tarnimex {

namespace {

void Say(const QString& text) {
    std::fprintf(stderr, "tarnimex: %s\n", text.toLocal8Bit().constData());
}

}  // namespace

bool AsksForChart(const QStringList& arguments) {
    return arguments.contains("--chart");
}

int RunChartCommand(const QStringList& arguments) {
    QStringList files;
    QString exportPath;
    double alarmStep = kDefaultSettings.alarmStep;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool valued = argument == "--export" || argument == "--alarm-step";
        if (valued && i + 1 == arguments.size()) {
            Say(argument + " needs a value");
            return 2;
        }
        if (argument == "--chart") continue;
        if (argument == "--export") {
            exportPath = arguments[++i];
        } else if (argument == "--alarm-step") {
            const auto step = ReadFloat(arguments[++i].toStdString());
            if (!step) {
                Say("--alarm-step takes seconds, not \"" + arguments[i] + "\"");
                return 2;
            }
            alarmStep = *step;
        } else {
            files.append(argument);
        }
    }
    if (files.isEmpty()) {
        Say("--chart needs one or more CSV files");
        return 2;
    }
    if (exportPath.isEmpty()) {
        // The window remembers its limits file in the settings file; a picture
        // drawn for a script depends on nothing but its arguments.
        try {
            IniFileName = GetIniFileName("");
        } catch (const std::exception&) {
        }
    }
    auto* window = new TChartWindow(alarmStep);
    int status = 0;
    for (const QString& file : files) {
        QString error;
        if (window->AddCsv(file, error)) continue;
        status = 1;
        if (exportPath.isEmpty())
            QMessageBox::warning(window, "Tarnimex", error);
        else
            Say(error);
    }
    if (exportPath.isEmpty()) {
        window->show();
        return -1;
    }
    QString error;
    if (window->SeriesCount() > 0 && !window->Export(exportPath, error)) {
        Say(error);
        status = 1;
    }
    delete window;
    return status;
}

}  // namespace tarnimex
