// SPDX-License-Identifier: GPL-3.0-or-later
// The window as laid out: places, sizes, captions, initial contents, enabled
// states, tab order, caption and the Limiting switch.
#include <QTest>

#include "ui/version_text.h"
#include "ui_test_classes.h"
#include "ui_test_support.h"

namespace tarnimex::test {

namespace {

QWidget* Control(TFormMain& form, const QString& name) {
    const std::pair<const char*, QWidget*> controls[] = {
        {"LabeledEditFilename", form.LabeledEditFilename},
        {"LabeledEditKey", form.LabeledEditKey},
        {"LabeledEditSecKey", form.LabeledEditSecKey},
        {"Label1", form.Label1},
        {"ComboBoxSecDec", form.ComboBoxSecDec},
        {"CheckBoxLimit", form.CheckBoxLimit},
        {"LabeledEditTimeDiff", form.LabeledEditTimeDiff},
        {"LabeledEditMaxStep", form.LabeledEditMaxStep},
        {"ButtonBrowse", form.ButtonBrowse},
        {"ButtonConvert", form.ButtonConvert},
        {"ButtonExit", form.ButtonExit},
    };
    for (const auto& [controlName, widget] : controls) {
        if (name == controlName) return widget;
    }
    return nullptr;
}

QString CaptionOf(QWidget* widget) {
    if (auto* edit = qobject_cast<TLabeledEdit*>(widget)) return edit->EditLabel()->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    return {};
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT
  private slots:
    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("file") << "LabeledEditFilename" << QRect(104, 21, 390, 21) << "NMEA filename"
                              << "" << true;
        QTest::newRow("key") << "LabeledEditKey" << QRect(104, 55, 81, 21) << "Key sentence"
                             << "$GPTXT" << true;
        QTest::newRow("second key") << "LabeledEditSecKey" << QRect(264, 55, 81, 21) << "2nd Key"
                                    << "RMC delay" << true;
        QTest::newRow("decimals caption") << "Label1" << QRect(383, 59, 59, 13) << "Second dec."
                                          << "" << true;
        QTest::newRow("decimals") << "ComboBoxSecDec" << QRect(444, 55, 50, 22) << ""
                                  << "" << true;
        QTest::newRow("limiting") << "CheckBoxLimit" << QRect(32, 84, 81, 17) << "Limiting"
                                  << "" << true;
        QTest::newRow("threshold")
            << "LabeledEditTimeDiff" << QRect(248, 82, 40, 21) << "Threshold time (Sec.)"
            << "0.2" << false;
        QTest::newRow("max step") << "LabeledEditMaxStep" << QRect(454, 82, 40, 21)
                                  << "Max time step (Sec.)"
                                  << "10.0" << false;
        QTest::newRow("browse") << "ButtonBrowse" << QRect(504, 19, 75, 25) << "Browse"
                                << "" << true;
        QTest::newRow("convert") << "ButtonConvert" << QRect(504, 50, 75, 25) << "Convert"
                                 << "" << true;
        QTest::newRow("exit") << "ButtonExit" << QRect(504, 81, 75, 25) << "Exit"
                              << "" << true;
    }

    void controls() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        TempWorkspace workspace;
        TestFormMain form;
        form.FormCreate();
        QWidget* widget = Control(form, name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(CaptionOf(widget), caption);
        QCOMPARE(widget->isEnabled(), enabled);
        if (auto* edit = qobject_cast<TLabeledEdit*>(widget)) {
            QCOMPARE(edit->text(), text);
            // The caption ends 3 pixels before its edit, centred on it, and
            // is enabled with it.
            const QRect label = edit->EditLabel()->geometry();
            QCOMPARE(label.x() + label.width(), geometry.x() - 3);
            QCOMPARE(label.y(), geometry.y() + (geometry.height() - label.height()) / 2);
            QVERIFY(label.x() >= 0);
            QCOMPARE(edit->EditLabel()->isEnabled(), enabled);
        }
    }

    void windowAndStatusLine() {
        TempWorkspace workspace;
        TestFormMain form;
        form.FormCreate();
        QCOMPARE(form.windowTitle(), QString("Tarnimex Ver1.00"));
        QCOMPARE(form.size(), QSize(604, 134));
        QCOMPARE(form.minimumSize(), QSize(604, 134));
        QCOMPARE(form.maximumSize(), QSize(604, 134));
        QVERIFY(form.acceptDrops());
        for (QPushButton* button : {form.ButtonBrowse, form.ButtonConvert, form.ButtonExit}) {
            QVERIFY(!button->isDefault());
            QVERIFY(!button->autoDefault());
        }
        QCOMPARE(form.ComboBoxSecDec->isEditable(), false);
        QCOMPARE(form.ComboBoxSecDec->count(), 5);
        QCOMPARE(form.ComboBoxSecDec->itemText(0), QString("Auto"));
        QCOMPARE(form.ComboBoxSecDec->itemText(4), QString("3"));
        QCOMPARE(form.ComboBoxSecDec->currentIndex(), -1);
        QCOMPARE(form.FieldText(HostField::SecDec), std::string());
        QVERIFY(!form.CheckBoxLimit->isChecked());
        QCOMPARE(form.Label1->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        // Whatever face stands in for Tahoma, the fixed-width caption is not cut.
        QVERIFY(form.Label1->fontMetrics().horizontalAdvance(form.Label1->text()) <=
                form.Label1->width());
        QVERIFY(form.ComboBoxSecDec->fontMetrics().horizontalAdvance("Auto") <=
                ListFieldWidth(form.ComboBoxSecDec));

        QCOMPARE(form.LabelProg->text(), QString());
        QCOMPARE(form.LabelProg->pos(), QPoint(32, 108));
        QCOMPARE(form.LabelProg->height(), 13);
        form.SetStatus("Completed:  Max=0.35Sec.  Min=-0.02Sec.  Output=120/86401Lines");
        QCOMPARE(form.LabelProg->pos(), QPoint(32, 108));
        QCOMPARE(form.LabelProg->height(), 13);
        QCOMPARE(form.LabelProg->width(), form.LabelProg->sizeHint().width());
    }

    // Tab walks the controls in the stated order; with Limiting off it passes
    // over the two disabled edits.
    void tabOrder() {
        TempWorkspace workspace;
        TestFormMain form;
        form.FormCreate();
        form.ShowActive();
        const QList<QWidget*> all = {form.LabeledEditFilename, form.LabeledEditKey,
                                     form.LabeledEditSecKey,   form.ComboBoxSecDec,
                                     form.CheckBoxLimit,       form.LabeledEditTimeDiff,
                                     form.LabeledEditMaxStep,  form.ButtonBrowse,
                                     form.ButtonConvert,       form.ButtonExit};
        auto walk = [&] {
            QList<QWidget*> order;
            form.LabeledEditFilename->setFocus();
            for (int i = 0; i < all.size(); ++i) {
                order << QApplication::focusWidget();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            return order;
        };
        QList<QWidget*> withoutLimit = all;
        withoutLimit.removeAll(form.LabeledEditTimeDiff);
        withoutLimit.removeAll(form.LabeledEditMaxStep);
        withoutLimit << form.LabeledEditFilename << form.LabeledEditKey;
        QCOMPARE(walk(), withoutLimit);
        form.CheckBoxLimit->setChecked(true);
        QCOMPARE(walk(), all);
    }

    void limitingEnablesTheThresholds() {
        TempWorkspace workspace;
        TestFormMain form;
        form.FormCreate();
        QTest::mouseClick(form.CheckBoxLimit, Qt::LeftButton);
        QVERIFY(form.CheckBoxLimit->isChecked());
        for (TLabeledEdit* edit : {form.LabeledEditTimeDiff, form.LabeledEditMaxStep}) {
            QVERIFY(edit->isEnabled());
            QVERIFY(edit->EditLabel()->isEnabled());
        }
        QTest::mouseClick(form.CheckBoxLimit, Qt::LeftButton);
        for (TLabeledEdit* edit : {form.LabeledEditTimeDiff, form.LabeledEditMaxStep}) {
            QVERIFY(!edit->isEnabled());
            QVERIFY(!edit->EditLabel()->isEnabled());
        }
    }

    void versionText() {
        QCOMPARE(GetVersionText(0x00010002u), std::string("1.02"));
        QCOMPARE(GetVersionText(0x0001000Au), std::string("1.10"));
        QCOMPARE(GetVersionText(0x0002007Bu), std::string("2.123"));
        QCOMPARE(GetVersionText(0xFFFFFFFFu), std::string("65535.65535"));
        QCOMPARE(GetVersionText(), std::string("1.00"));
    }
};

std::unique_ptr<QObject> MakeLayoutTest() {
    return std::make_unique<LayoutTest>();
}

}  // namespace tarnimex::test

#include "layout_test.moc"
