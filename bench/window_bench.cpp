// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-run timing of a conversion started from the window, beside the same log
// through tarnimex-convert: the window adds its status updates and event pumps,
// and the 500 ms pause it makes after each log.
//
// Usage: tarnimex-bench-window LOG   (runs on the offscreen platform when no
// QT_QPA_PLATFORM is set; the CSV is written beside LOG)
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

#include "ui/form_main.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LOG\n", argv[0]);
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    tarnimex::TFormMain form;
    form.FormCreate();
    form.LabeledEditFilename->setText(QString::fromLocal8Bit(argv[1]));
    QElapsedTimer timer;
    timer.start();
    form.ButtonConvertClick();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("%.3f s in the window (500 ms pause included): %s\n", seconds,
                form.LabelProg->text().toLocal8Bit().constData());
    return 0;
}
