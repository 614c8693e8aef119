// SPDX-License-Identifier: GPL-3.0-or-later
// Files dropped on the window: logs fill the file box, settings files switch
// the settings (save to the old file, then load the new one).
#include <QFile>
#include <QLabel>
#include <QStandardPaths>
#include <QTest>

#include "settings/options.h"
#include "settings/settings_location.h"
#include "ui/dropped_names.h"
#include "ui/ui_test_classes.h"
#include "ui/ui_test_support.h"

namespace tarnimex::test {

class DropTest : public QObject {
    Q_OBJECT
  private slots:
    void twoLogsReplaceTheFileBox() {
        TempWorkspace workspace;
        TestFormMain form;
        form.Open();
        form.LabeledEditFilename->setText("/old/one.nmea");
        Drop(form, {workspace.Path("a.nmea"), workspace.Path("b.log")});
        QCOMPARE(form.LabeledEditFilename->text(),
                 workspace.Path("a.nmea") + ";" + workspace.Path("b.log"));
        QCOMPARE(QString::fromStdString(IniFileName), workspace.Path("tarnimex.ini"));
        QVERIFY(form.errors.empty());
    }

    void capitalisedSettingsFileAloneSwitchesSettings() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("Other.INI"),
                  SettingsFile({"KeyText=$GNTXT", "UseLimit=1", "SymbolOfAlarm=##"}));
        TestFormMain form;
        form.Open();
        form.LabeledEditFilename->setText("/old/one.nmea");
        form.LabeledEditSecKey->setText("typed before the drop");

        Drop(form, {workspace.Path("Other.INI")});

        QVERIFY(form.errors.empty());
        QCOMPARE(QString::fromStdString(IniFileName), workspace.Path("Other.INI"));
        QCOMPARE(form.LabeledEditKey->text(), QString("$GNTXT"));
        QVERIFY(form.CheckBoxLimit->isChecked());
        QVERIFY(form.LabeledEditTimeDiff->isEnabled());
        QCOMPARE(SymbolOfAlarm, std::string("##"));
        QCOMPARE(form.LabeledEditFilename->text(), QString());
        // The old file received the settings as they were before the drop.
        TestFormMain reader;
        IniFileName = workspace.PathStd("tarnimex.ini");
        LoadOptions(reader, RegionalFormat{});
        QCOMPARE(reader.LabeledEditSecKey->text(), QString("typed before the drop"));
    }

    void logSettingsLogKeepsBothLogs() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("lab.ini"), SettingsFile({"SecKeyText=LAB delay"}));
        TestFormMain form;
        form.Open();
        form.LabeledEditKey->setText("$GPZZZ");

        Drop(form, {workspace.Path("first.nmea"), workspace.Path("lab.ini"),
                    workspace.Path("second.nmea")});

        QCOMPARE(form.LabeledEditFilename->text(),
                 workspace.Path("first.nmea") + ";" + workspace.Path("second.nmea"));
        QCOMPARE(QString::fromStdString(IniFileName), workspace.Path("lab.ini"));
        QCOMPARE(form.LabeledEditSecKey->text(), QString("LAB delay"));
        // A key missing from the new file keeps the value just saved.
        QCOMPARE(form.LabeledEditKey->text(), QString("$GPZZZ"));
        QVERIFY(ReadFile(workspace.Path("tarnimex.ini")).size() > 2);
    }

    // The settings file cannot be placed: the drop ends with the error shown,
    // the settings file in use and the file box unchanged, and no later name
    // of the drop taken.
    void unusableSettingsFileStopsTheDrop() {
        TempWorkspace workspace;
        workspace.BlockPerUserFolder();
        TestFormMain form;
        form.Open();
        form.LabeledEditFilename->setText("/kept.nmea");

        Drop(form, {workspace.Path("a.nmea"), workspace.Path("missing-folder/x.ini"),
                    workspace.Path("late.ini")});

        QCOMPARE(form.errors.size(), std::size_t{1});
        QVERIFY2(form.errors[0].starts_with("Cannot create : "), form.errors[0].c_str());
        QCOMPARE(QString::fromStdString(IniFileName), workspace.Path("tarnimex.ini"));
        QCOMPARE(form.LabeledEditFilename->text(), QString("/kept.nmea"));
        QVERIFY(ReadFile(workspace.Path("tarnimex.ini")).size() > 2);  // saved before the switch
        QVERIFY(!Exists(workspace.Path("late.ini")));
    }

    // A drop on any control goes to the window: an edit does not take the
    // files' URLs as text. The file box takes a list of any length.
    void dropsOnControlsAndLongLists() {
        TempWorkspace workspace;
        WriteFile(workspace.Path("other.ini"), SettingsFile({"KeyText=$GNTXT"}));
        TestFormMain form;
        form.Open();
        Drop(form, {workspace.Path("other.ini")}, form.LabeledEditSecKey);
        QCOMPARE(QString::fromStdString(IniFileName), workspace.Path("other.ini"));
        QCOMPARE(form.LabeledEditKey->text(), QString("$GNTXT"));
        QCOMPARE(form.LabeledEditSecKey->text(), QString("RMC delay"));
        QStringList logs;
        for (int i = 0; i < 500; ++i) logs << workspace.Path(QString(80, 'x') + QString::number(i));
        Drop(form, logs, form.LabeledEditFilename);
        QCOMPARE(form.LabeledEditFilename->text(), logs.join(";"));
        QVERIFY(form.LabeledEditFilename->text().size() > 32767);
    }

    // Names and system messages are shown as written, never as markup; the
    // file dialog keeps no settings file of its own.
    void namesArePlainTextAndTheDialogKeepsNoSettings() {
        TempWorkspace workspace;
        TestFormMain form;
        form.FormCreate();
        form.TFormMain::SetStatus("/data/<b>x</b>.nmea");
        QCOMPARE(form.LabelProg->textFormat(), Qt::PlainText);
        const auto box = form.ErrorBox("Can not Open: <i>a</i>", "<b>reason</b>");
        for (QLabel* label : box->findChildren<QLabel*>()) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
        }
        const QString conf =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            "/QtProject.conf";
        QFile::remove(conf);
        form.UseOpenDialog<ScriptedOpenDialog>().answer = QStringList{workspace.Path("a.nmea")};
        form.ButtonBrowseClick();
        QCOMPARE(form.LabeledEditFilename->text(), workspace.Path("a.nmea"));
        QVERIFY2(!QFile::exists(conf), qPrintable(conf));
    }

    void settingsExtensionRules() {
        QVERIFY(IsSettingsFileName("/a/b.ini"));
        QVERIFY(IsSettingsFileName("/a/B.InI"));
        QVERIFY(!IsSettingsFileName("/a/b.ini.nmea"));
        QVERIFY(!IsSettingsFileName("/a/b.inix"));
        // A dotted folder and a file without extension: a log, not settings.
        QVERIFY(!IsSettingsFileName("/logs.ini/capture"));
        QCOMPARE(FileExtension("/logs.d/capture"), std::string_view());
        QCOMPARE(FolderPart("/logs/a.nmea"), std::string("/logs/"));
        QCOMPARE(FolderPart("a.nmea"), std::string());
    }
};

std::unique_ptr<QObject> MakeDropTest() {
    return std::make_unique<DropTest>();
}

}  // namespace tarnimex::test

#include "drop_test.moc"
