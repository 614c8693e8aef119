// SPDX-License-Identifier: GPL-3.0-or-later
// Convert from the window: a real log to its CSV, Escape and closing during a
// long run, commands arriving during a run, and the run's failures.
#include <QKeyEvent>
#include <QTest>

#include "settings/options.h"
#include "settings/settings_location.h"
#include "support/frames.h"
#include "ui/ui_test_classes.h"
#include "ui/ui_test_support.h"

namespace tarnimex::test {

namespace {

// Counts the Escape presses that reach a control.
class EscapeCounter : public QObject {
  public:
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            ++count;
        }
        return false;
    }
};

constexpr int kLongLogLines = 120000;  // six progress points

QByteArray LongLog() {
    return ReportLog(std::vector<double>(kLongLogLines, 0.25));
}

bool IsProgress(const std::string& status) {
    return status.ends_with("Lines)");
}

const char* kBom = "\xEF\xBB\xBF";

}  // namespace

class ConvertTest : public QObject {
    Q_OBJECT
  private slots:
    void convertsARealLog() {
        TempWorkspace workspace;
        const QString log = workspace.Path("capture.nmea");
        WriteFile(log, QByteArray::fromStdString("$GPRMC,123456.00,A*00\r\n" +
                                                 ReportLine("2023/07/05 12:34:56.000", "0.123")));
        TestFormMain form;
        form.Open();
        form.LabeledEditFilename->setText(log);

        QTest::mouseClick(form.ButtonConvert, Qt::LeftButton);

        QVERIFY(form.errors.empty());
        QCOMPARE(ReadFile(workspace.Path("capture.csv")),
                 QByteArray(kBom) +
                     "RMC time,UTC time,Time error,Count,Max,Min\r\n"
                     "2023/07/05 12:34:56,2023/07/05 12:34:55.877,0.123,1,0.123,0.123\r\n");
        QCOMPARE(form.LabelProg->text(),
                 QString("Completed:  Max=0.123Sec.  Min=0.123Sec.  Output=1/3Lines"));
        QCOMPARE(form.statuses.front(), log.toStdString());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!form.Converting());
    }

    // Escape reaches the run at its next look at the events; the log's CSV is
    // not written, the next log is not started, and the key still reaches the
    // focused control.
    void escapeAbortsALongRun() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("long.nmea"), LongLog());
        WriteFile(workspace.Path("next.nmea"), ReportLog({0.1, 0.2}));
        TestFormMain form;
        form.Open();
        EscapeCounter counter;
        form.LabeledEditFilename->installEventFilter(&counter);
        form.LabeledEditFilename->setText(workspace.Path("long.nmea") + ";" +
                                          workspace.Path("next.nmea"));
        int progress = 0;
        form.onStatus = [&](const std::string& status) {
            if (IsProgress(status) && ++progress == 1) {
                QCoreApplication::postEvent(
                    form.LabeledEditFilename,
                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            }
        };

        form.ButtonConvertClick();

        QCOMPARE(progress, 1);
        QCOMPARE(form.LabelProg->text(), QString("Aborted by user!"));
        QVERIFY(!Exists(workspace.Path("long.csv")));
        QVERIFY(!Exists(workspace.Path("next.csv")));
        for (const std::string& status : form.statuses) {
            QVERIFY(status.find("next.nmea") == std::string::npos);
        }
        QCOMPARE(counter.count, 1);
        QVERIFY(!QApplication::overrideCursor());
    }

    void escapeWhileIdleDoesNotStopTheNextRun() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("a.nmea"), ReportLog({0.1, 0.3}));
        TestFormMain form;
        form.Open();
        form.LabeledEditFilename->setText(workspace.Path("a.nmea"));
        QTest::keyClick(form.LabeledEditFilename, Qt::Key_Escape);
        QVERIFY(AbortRequested);
        form.ButtonConvertClick();
        QVERIFY(Exists(workspace.Path("a.csv")));
        QVERIFY(form.LabelProg->text().startsWith("Completed:"));
    }

    void closingDuringARunSavesTheSettings() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("long.nmea"), LongLog());
        TestFormMain form;
        form.Open();
        form.LabeledEditFilename->setText(workspace.Path("long.nmea"));
        form.LabeledEditTimeDiff->setText("0.7");
        form.onStatus = [&](const std::string& status) {
            if (IsProgress(status)) QMetaObject::invokeMethod(&form, "close", Qt::QueuedConnection);
        };

        form.ButtonConvertClick();

        QVERIFY(!form.isVisible());
        QCOMPARE(form.LabelProg->text(), QString("Aborted by user!"));
        QVERIFY(!Exists(workspace.Path("long.csv")));
        TestFormMain reader;
        LoadOptions(reader, RegionalFormat{});
        QCOMPARE(reader.LabeledEditTimeDiff->text(), QString("0.7"));
    }

    // Convert, Browse and drops arriving during a run are refused: no nested
    // run, no dialog, no switch of the settings; the run itself goes on.
    void commandsDuringARunAreRefused() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("long.nmea"), LongLog());
        WriteFile(workspace.Path("other.nmea"), ReportLog({0.1}));
        WriteFile(workspace.Path("other.ini"), SettingsFile({"KeyText=$XXTXT"}));
        TestFormMain form;
        form.Open();
        ScriptedOpenDialog& browse = form.UseOpenDialog<ScriptedOpenDialog>();
        browse.answer = QStringList{workspace.Path("other.nmea")};
        form.LabeledEditFilename->setText(workspace.Path("long.nmea"));
        bool tried = false;
        form.onStatus = [&](const std::string& status) {
            if (!IsProgress(status) || tried) return;
            tried = true;
            form.LabeledEditFilename->setText(workspace.Path("other.nmea"));
            QTest::mouseClick(form.ButtonConvert, Qt::LeftButton);
            QTest::mouseClick(form.ButtonBrowse, Qt::LeftButton);
            Drop(form, {workspace.Path("other.ini")});
            form.WMDropFiles({workspace.Path("other.ini")});
        };

        form.ButtonConvertClick();

        QVERIFY(tried);
        QVERIFY(form.LabelProg->text().startsWith("Completed:"));
        QVERIFY(Exists(workspace.Path("long.csv")));
        QVERIFY(!Exists(workspace.Path("other.csv")));
        QCOMPARE(browse.runs, 0);
        QCOMPARE(form.refusals, 4);  // each heard, the drop too
        QCOMPARE(QString::fromStdString(IniFileName), workspace.Path("tarnimex.ini"));
        QCOMPARE(form.LabeledEditKey->text(), QString("$GPTXT"));
        QVERIFY(form.errors.empty());
    }

    // A CSV that cannot be written ends the run with an error box; the window
    // goes on and converts the next time.
    void unwritableCsvIsShownAndTheWindowGoesOn() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("a.nmea"), ReportLog({0.1}));
        WriteFile(workspace.Path("b.nmea"), ReportLog({0.2}));
        QVERIFY(QDir().mkdir(workspace.Path("a.csv")));  // a folder where the CSV goes
        TestFormMain form;
        form.Open();
        form.LabeledEditFilename->setText(workspace.Path("a.nmea") + ";" +
                                          workspace.Path("b.nmea"));

        form.ButtonConvertClick();

        QCOMPARE(form.errors.size(), std::size_t{1});
        QVERIFY2(form.errors[0].find("a.csv") != std::string::npos, form.errors[0].c_str());
        QCOMPARE(form.LabelProg->text(), QString("Output.."));
        QVERIFY(!Exists(workspace.Path("b.csv")));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!form.Converting());

        form.LabeledEditFilename->setText(workspace.Path("b.nmea"));
        form.ButtonConvertClick();
        QVERIFY(Exists(workspace.Path("b.csv")));
    }

    void missingLogIsReportedAndTheRunGoesOn() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("b.nmea"), ReportLog({0.2}));
        TestFormMain form;
        form.Open();
        form.LabeledEditFilename->setText(workspace.Path("gone.nmea") + ";" +
                                          workspace.Path("b.nmea"));
        form.ButtonConvertClick();
        QCOMPARE(form.errors.size(), std::size_t{1});
        QVERIFY(form.errors[0].starts_with("Can not Open: " + workspace.PathStd("gone.nmea")));
        QVERIFY(Exists(workspace.Path("b.csv")));
    }
};

std::unique_ptr<QObject> MakeConvertTest() {
    return std::make_unique<ConvertTest>();
}

}  // namespace tarnimex::test

#include "convert_test.moc"
