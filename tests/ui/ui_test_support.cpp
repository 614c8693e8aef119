// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ui_test_support.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include "settings/settings_location.h"
#include "support/frames.h"

namespace tarnimex::test {

TestFormMain::TestFormMain() : TFormMain(RegionalFormat{}, TextEncoding{}) {}

TestFormMain::~TestFormMain() = default;

void TestFormMain::ShowError(const std::string& text, const std::string& detail) {
    errors.push_back(detail.empty() ? text : text + "\n" + detail);
}

void TestFormMain::SetStatus(const std::string& text) {
    TFormMain::SetStatus(text);
    statuses.push_back(text);
    if (onStatus) onStatus(text);
}

void TestFormMain::ShowActive() {
    show();
    activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(this));
}

TempWorkspace::TempWorkspace() {
    SetExecutablePathForTesting(Path("tarnimex").toStdString());
}

TempWorkspace::~TempWorkspace() {
    if (oldAppData_) {
        if (oldAppData_->isNull()) {
            qunsetenv("APPDATA");
        } else {
            qputenv("APPDATA", *oldAppData_);
        }
    }
    SetExecutablePathForTesting("");
    IniFileName.clear();
    AlarmStep = 0;
    SymbolOfAlarm.clear();
    AbortRequested = false;
}

QString TempWorkspace::Path(const QString& name) const {
    // In the system's own form, as the window shows names.
    return QDir::toNativeSeparators(dir_.filePath(name));
}

void TempWorkspace::BlockPerUserFolder() {
    WriteFile(Path("plain-file"), "x");
    oldAppData_ = qgetenv("APPDATA");
    qputenv("APPDATA", Path("plain-file").toLocal8Bit());
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

bool Exists(const QString& path) {
    return QFile::exists(path);
}

QByteArray ReportLog(const std::vector<double>& delays) {
    QByteArray log;
    for (std::size_t i = 0; i < delays.size(); ++i) {
        const std::string delay = QString("%1").arg(delays[i]).toStdString();
        log += QByteArray::fromStdString(
            ReportLine(ReportTime(12 * 3600 + static_cast<int>(i)), delay));
    }
    return log;
}

QByteArray SettingsFile(const QStringList& lines) {
    return ("[Option]\r\n" + lines.join("\r\n") + "\r\n").toLatin1();
}

void Drop(QWidget& window, const QStringList& paths, QWidget* under, Qt::KeyboardModifiers keys) {
    // As a file manager offers them: the files' URLs, and the same as text.
    QMimeData data;
    QList<QUrl> urls;
    QStringList texts;
    for (const QString& path : paths) {
        urls << QUrl::fromLocalFile(path);
        texts << urls.back().toString();
    }
    data.setUrls(urls);
    data.setText(texts.join("\n"));
    // Delivered to the window system's window, which hands it on to the
    // control under the cursor, or to the nearest parent that takes drops.
    window.winId();
    QWindow* target = window.windowHandle();
    const QPoint at =
        under ? under->mapTo(&window, under->rect().center()) : window.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, keys);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, keys);
    QCoreApplication::sendEvent(target, &drop);
}

std::optional<QStringList> ScriptedOpenDialog::Run(QFileDialog& dialog) {
    ++runs;
    directory = QDir::toNativeSeparators(dialog.directory().absolutePath());
    if (inspect) inspect(dialog);
    return answer;
}

}  // namespace tarnimex::test
