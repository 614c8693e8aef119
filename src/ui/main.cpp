// SPDX-License-Identifier: GPL-3.0-or-later
// The program a user starts: the window over the conversion and the settings.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/console.h"
#include "platform/display.h"
#include "ui/chart_command.h"
#include "ui/form_main.h"

namespace {

constexpr const char* kUsage =
    "Usage: tarnimex [FILE...]\n"
    "  or:  tarnimex --chart CSV... [--alarm-step S] [--export FILE]\n"
    "  or:  tarnimex --monitor [SOURCE]\n"
    "Opens the window that writes beside each receiver log a CSV of its reported\n"
    "time errors. The FILEs named arrive as if dropped on the window: logs fill its\n"
    "file box, a settings file (.ini) switches the settings, CSVs alone open their\n"
    "chart.\n"
    "\n"
    "  --chart CSV...       the chart of converted CSVs, in its own window\n"
    "  --alarm-step S       with --chart: the dashed alarm line, in seconds\n"
    "                       (default 50)\n"
    "  --export FILE        with --chart: draw the chart into FILE (.png or .svg)\n"
    "                       without a window, and end\n"
    "  --monitor [SOURCE]   the monitor window alone, watching SOURCE at once:\n"
    "                       serial:PORT[@BAUD] or tcp:HOST:PORT, as tarnimex-monitor\n"
    "                       names it; without it, the last port or address chosen\n"
    "  --help, --version\n"
    "\n"
    "Exit status of --export: 0 written, 1 a CSV or the picture could not be read\n"
    "or written, 2 usage error.\n"
    "\n"
    "tarnimex-convert converts the same logs from the command line.\n";

// Answered before Qt starts, so that it needs no display.
int Answer(const char* text) {
    return std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
}

bool Given(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

// An exported chart is drawn without being shown, so it needs no display; a
// window does, and without one Qt would abort before a word could be said.
// Returns false when there is nothing to show the window on.
bool ChoosePlatform(int argc, char** argv) {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (chosen != nullptr && *chosen != '\0') return true;
    const bool exports = Given(argc, argv, "--chart") && Given(argc, argv, "--export");
    if (!exports && tarnimex::HasDisplay()) return true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return exports;
}

int Run(int argc, char** argv) {
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
    if (arguments.contains("--monitor")) {
        // The main window stays hidden; its settings are the monitor's.
        if (arguments.size() > 2 || arguments.first() != "--monitor") {
            std::fputs("tarnimex: --monitor takes at most one SOURCE\n", stderr);
            return 2;
        }
        FormMain.FormActivate();
        FormMain.ShowMonitor(arguments.value(1));
        return application.exec();
    }
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

}  // namespace

int main(int argc, char** argv) {
    // Qt's warnings go to standard error, which must not be a CSV.
    tarnimex::OpenStandardDescriptors();
    if (Given(argc, argv, "--help")) return Answer(kUsage);
    if (Given(argc, argv, "--version")) return Answer("tarnimex " TARNIMEX_VERSION_TEXT "\n");
    if (!ChoosePlatform(argc, argv)) {
        std::fputs(
            "tarnimex: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY "
            "is set).\ntarnimex-convert converts logs and tarnimex --chart FILE.csv --export "
            "FILE.png draws a chart without one.\n",
            stderr);
        return 1;
    }
    tarnimex::RemoveTemporaryFilesOnTermination();
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        // No window can be trusted to show it any more.
        std::fputs("tarnimex: out of memory\n", stderr);
        return 1;
    }
}
