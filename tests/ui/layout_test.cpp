// SPDX-License-Identifier: GPL-3.0-or-later
// The window as laid out: placement rules that hold in any face, defaults,
// window and status line, tab order, caption and the Limiting switch.
#include <QTest>

#include "ui/ui_test_classes.h"
#include "ui/ui_test_support.h"
#include "ui/version_text.h"

namespace tarnimex::test {

namespace {

QString CaptionOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    return {};
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT
  private slots:
    // Whatever face the system has: every control and caption lies inside the
    // window, none covers another, captions are not cut, and each edit's
    // caption ends 3 pixels before it, centred on it.
    void placementRules() {
        TempWorkspace workspace;
        TestFormMain form;
        form.FormCreate();
        QList<QWidget*> placed;
        for (QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child != form.LabelProg) placed << child;
        }
        QCOMPARE(placed.size(), 16);  // eleven controls and the five edits' captions
        for (QWidget* widget : placed) {
            QVERIFY2(form.rect().contains(widget->geometry()), qPrintable(widget->objectName()));
            for (QWidget* other : placed) {
                QVERIFY2(widget == other || !widget->geometry().intersects(other->geometry()),
                         qPrintable(CaptionOf(widget) + " / " + CaptionOf(other)));
            }
            const QString caption = CaptionOf(widget);
            const int room =
                qobject_cast<QAbstractButton*>(widget) ? widget->width() - 4 : widget->width();
            QVERIFY2(widget->fontMetrics().horizontalAdvance(caption) <= room, qPrintable(caption));
            if (auto* edit = qobject_cast<TLabeledEdit*>(widget)) {
                const QRect label = edit->EditLabel()->geometry();
                QCOMPARE(label.right() + 1, edit->x() - 3);
                QCOMPARE(label.y(), edit->y() + (edit->height() - label.height()) / 2);
            }
        }
        // The defaults a fresh window offers.
        QCOMPARE(form.LabeledEditKey->text(), QString("$GPTXT"));
        QCOMPARE(form.LabeledEditSecKey->text(), QString("RMC delay"));
        QCOMPARE(form.LabeledEditTimeDiff->text(), QString("0.2"));
        QCOMPARE(form.LabeledEditMaxStep->text(), QString("10.0"));
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
        // Whatever face stands in for Tahoma, the list's items are not cut.
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
        form.Open();
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
