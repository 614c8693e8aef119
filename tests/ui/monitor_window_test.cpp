// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor window: a receiver replayed through a pseudo-terminal pair
// (socat) is shown, judged and recorded; its choices are remembered beside
// the settings; bad choices are refused.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>

#include "live/live_session.h"
#include "settings/options.h"
#include "ui/monitor_window.h"
#include "ui/ui_test_classes.h"
#include "ui/ui_test_support.h"

namespace tarnimex::test {

namespace {

class TestMonitorWindow : public TMonitorWindow {
  public:
    using TMonitorWindow::TMonitorWindow;
    void ShowError(const QString& text) override { errors.append(text); }
    QStringList errors;
};

QString EventText(const TMonitorWindow& window) {
    QStringList rows;
    for (int i = 0; i < window.Events->count(); ++i) rows.append(window.Events->item(i)->text());
    return rows.join('\n');
}

}  // namespace

class MonitorWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void replayedPortShownJudgedAndRecorded() {
        const QString socat = QStandardPaths::findExecutable("socat");
        if (socat.isEmpty()) QSKIP("socat is not installed");
        TempWorkspace workspace;
        WriteFile(workspace.Path("limits.ini"), "[Limits]\nMaxAbsTimeError=10\n");
        WriteFile(workspace.Path("tarnimex.ini"),
                  SettingsFile({"AlarmStep=50"}) +
                      "[Chart]\r\nLimitsFile=" + workspace.Path("limits.ini").toUtf8() + "\r\n");
        QDir(workspace.Path("")).mkdir("rec");
        TestFormMain form;
        form.Open();
        QProcess pair;
        pair.start(socat, {"pty,raw,echo=0,link=" + workspace.Path("tty"),
                           "pty,raw,echo=0,link=" + workspace.Path("peer")});
        QTRY_VERIFY(Exists(workspace.Path("peer")));

        // Opened as the context menu opens it.
        form.CreateContextMenu()->actions().at(3)->trigger();
        TMonitorWindow* opened = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* monitor = qobject_cast<TMonitorWindow*>(widget)) opened = monitor;
        QVERIFY(opened != nullptr);
        delete opened;

        TestMonitorWindow window(form);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        window.SetSource("serial:" + workspace.Path("tty") + "@115200");
        window.Folder->setText(workspace.Path("rec"));
        QVERIFY(window.Start());
        QTRY_VERIFY(EventText(window).contains("Connected to tty"));

        const QByteArray sent = ReportLog({0.001, 0.002, 61.5, -0.003, 0.004});
        QFile peer(workspace.Path("peer"));
        QVERIFY(peer.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QCOMPARE(peer.write(sent), sent.size());
        QTRY_COMPARE(window.Session()->Figures().reports, 5);
        QTRY_COMPARE(window.DrawnPoints().size(), std::size_t{5});
        QCOMPARE(window.DelayLabel->text(), QString("0.004 s"));
        QVERIFY(EventText(window).contains("ALARM start at 2023-07-05 12:00:02 UTC, delay 61.5 s"));
        QVERIFY(EventText(window).contains("ALARM end at 2023-07-05 12:00:02 UTC, peak 61.5 s"));
        QTRY_VERIFY(window.StatisticsLabel->text().contains("Reports: 5"));
        QVERIFY(window.StatisticsLabel->text().contains("Alarm stretches: 1"));
        // An alarm that lasts lights the lamp.
        const QByteArray lasting = ReportLog({70, 80});
        QCOMPARE(peer.write(lasting), lasting.size());
        QTRY_COMPARE(window.AlarmLight->text(), QString("ALARM"));

        window.Stop();
        QVERIFY(!window.Watching());
        QVERIFY2(window.VerdictLabel->text().contains("Verdict: FAIL: MaxAbsTimeError 80 &gt; 10"),
                 qPrintable(window.VerdictLabel->text()));
        const QStringList logs = QDir(workspace.Path("rec")).entryList({"tty-*.nmea"});
        QCOMPARE(logs.size(), 1);
        const QString log = workspace.Path("rec/" + logs[0]);
        QCOMPARE(ReadFile(log), sent + lasting);
        QVERIFY(Exists(log.chopped(5) + ".csv"));
        QVERIFY(EventText(window).contains("CSV written: " + log.chopped(5) + ".csv"));
        pair.kill();
        pair.waitForFinished();
    }

    void choicesRememberedBesideTheSettings() {
        TempWorkspace workspace;
        const QByteArray options = SettingsFile({"KeyText=$GPAAA"});
        WriteFile(workspace.Path("tarnimex.ini"), options);
        TestFormMain form;
        form.Open();
        {
            TestMonitorWindow window(form);
            window.setAttribute(Qt::WA_DeleteOnClose, false);
            // Refused: nothing to watch, a folder that takes no file.
            window.TcpChoice->setChecked(true);
            QVERIFY(!window.Start());
            window.SetSource("serial:/dev/ttyTARNIMEX0@4800");
            window.Folder->setText(workspace.Path("missing"));
            QVERIFY(!window.Start());
            QCOMPARE(window.errors, QStringList({"Type the address as host:port.",
                                                 "Cannot record in " + workspace.Path("missing") +
                                                     ": no new file can be made there."}));
            window.SetSource("tcp:127.0.0.1:9");
            window.Folder->setText(workspace.Path(""));
            window.close();
        }
        QVERIFY(ReadFile(workspace.Path("tarnimex.ini")).startsWith(options));
        TestMonitorWindow again(form);
        again.setAttribute(Qt::WA_DeleteOnClose, false);
        QVERIFY(again.TcpChoice->isChecked());
        QCOMPARE(again.SourceText(), QString("tcp:127.0.0.1:9"));
        QCOMPARE(again.Folder->text(), workspace.Path(""));
        again.SerialChoice->setChecked(true);
        QCOMPARE(again.SourceText(), QString("serial:/dev/ttyTARNIMEX0@4800"));
    }
};

std::unique_ptr<QObject> MakeMonitorWindowTest() {
    return std::make_unique<MonitorWindowTest>();
}

}  // namespace tarnimex::test

#include "monitor_window_test.moc"
