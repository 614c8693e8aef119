// SPDX-License-Identifier: GPL-3.0-or-later
// The settings around the window's life: loaded on the first activation only,
// applied to the controls and the window's place, saved when it closes, and a
// settings file that cannot be placed at start-up.
#include <QTest>

#include "settings/options.h"
#include "settings/settings_location.h"
#include "ui/ui_test_classes.h"
#include "ui/ui_test_support.h"

namespace tarnimex::test {

class SettingsWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void loadedOnTheFirstActivationOnly() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("tarnimex.ini"), SettingsFile({"KeyText=$GPAAA"}));
        TestFormMain form;
        form.FormCreate();
        QCOMPARE(form.LabeledEditKey->text(), QString("$GPTXT"));  // not during creation
        QCOMPARE(AlarmStep, 0.0);

        form.ShowActive();
        QCOMPARE(form.LabeledEditKey->text(), QString("$GPAAA"));
        QCOMPARE(AlarmStep, 50.0);
        QCOMPARE(SymbolOfAlarm, std::string("!!"));

        WriteFile(workspace.Path("tarnimex.ini"), SettingsFile({"KeyText=$GPBBB"}));
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(form.LabeledEditKey->text(), QString("$GPAAA"));
    }

    void useLimitEnablesTheThresholdsWithoutAClick() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("tarnimex.ini"),
                  SettingsFile({"UseLimit=1", "TimeDiff=0.5", "SecondDec=3"}));
        TestFormMain form;
        form.Open();
        QVERIFY(form.CheckBoxLimit->isChecked());
        QVERIFY(form.LabeledEditTimeDiff->isEnabled());
        QVERIFY(form.LabeledEditMaxStep->isEnabled());
        QVERIFY(form.LabeledEditMaxStep->EditLabel()->isEnabled());
        QCOMPARE(form.LabeledEditTimeDiff->text(), QString("0.5"));
        QCOMPARE(form.FieldText(HostField::SecDec), std::string("2"));
    }

    void storedPlaceAndCentring() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("tarnimex.ini"), SettingsFile({"MainTop=10", "MainLeft=20"}));
        TestFormMain placed;
        placed.Open();
        QCOMPARE(placed.frameGeometry().topLeft(), QPoint(20, 10));

        // A place off every screen is pulled back into the work area.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        WriteFile(workspace.Path("tarnimex.ini"), SettingsFile({"MainTop=5000", "MainLeft=-900"}));
        TestFormMain pulled;
        pulled.Open();
        QCOMPARE(pulled.frameGeometry().bottom(), area.bottom());
        QCOMPARE(pulled.frameGeometry().left(), area.left());
    }

    void closingSavesTheSettings() {
        TempWorkspace workspace;
        TestFormMain form;
        form.Open();
        form.LabeledEditSecKey->setText("GGA delay");
        form.ComboBoxSecDec->setCurrentIndex(2);
        form.move(30, 40);
        QTest::mouseClick(form.ButtonExit, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QVERIFY(AbortRequested);

        TestFormMain reader;
        reader.Open();
        QCOMPARE(reader.LabeledEditSecKey->text(), QString("GGA delay"));
        QCOMPARE(reader.ComboBoxSecDec->currentIndex(), 2);
        QCOMPARE(reader.frameGeometry().topLeft(), QPoint(30, 40));
    }

    // A window whose settings never loaded holds only its design values:
    // closing it must not write them over the user's settings.
    void closingBeforeAnyLoadKeepsTheSettingsFile() {
        TempWorkspace workspace;
        const QByteArray stored = SettingsFile({"KeyText=$GPAAA", "UseLimit=1"});
        WriteFile(workspace.Path("tarnimex.ini"), stored);
        TestFormMain form;
        form.FormCreate();
        form.close();
        QCOMPARE(ReadFile(workspace.Path("tarnimex.ini")), stored);
    }

    // The settings file cannot be placed at start-up: the error is shown and
    // the window still opens, fixed in size and taking drops.
    void startUpWithoutASettingsFile() {
        TempWorkspace workspace;
        SetExecutablePathForTesting(workspace.PathStd("missing/tarnimex"));
        workspace.BlockPerUserFolder();
        TestFormMain form;
        form.FormCreate();
        QCOMPARE(form.errors.size(), std::size_t{1});
        QVERIFY2(form.errors[0].starts_with("Cannot create : "), form.errors[0].c_str());
        QCOMPARE(form.windowTitle(), QString("Tarnimex Ver1.00"));
        QCOMPARE(form.maximumSize(), QSize(604, 134));
        QVERIFY(form.acceptDrops());
        QVERIFY(IniFileName.empty());
    }
};

std::unique_ptr<QObject> MakeSettingsWindowTest() {
    return std::make_unique<SettingsWindowTest>();
}

}  // namespace tarnimex::test

#include "settings_window_test.moc"
