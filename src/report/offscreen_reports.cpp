// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/offscreen_reports.h"

#include <QApplication>

namespace tarnimex {

OffscreenReports::OffscreenReports() = default;
OffscreenReports::~OffscreenReports() = default;

namespace {

// The converter's output is its own: Qt's notes on the platform it runs on
// (no XDG_RUNTIME_DIR, font fallbacks) are left out, its errors kept.
void KeepQtErrors(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) qt_message_output(type, context, message);
}

}  // namespace

void OffscreenReports::StartQt() {
    if (application_ || QApplication::instance()) return;
    qInstallMessageHandler(KeepQtErrors);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // QApplication keeps a reference to both for its lifetime.
    static int argc = 1;
    static char name[] = "tarnimex-convert";
    static char* argv[] = {name, nullptr};
    application_ = std::make_unique<QApplication>(argc, argv);
}

ReportFiles OffscreenReports::WriteLog(const ReportInput& input, const std::string& dir) {
    StartQt();
    return WriteLogReport(input, dir);
}

void OffscreenReports::WriteIndex(const std::vector<ReportInput>& inputs, const std::string& dir) {
    StartQt();
    WriteReportIndex(inputs, dir);
}

}  // namespace tarnimex
