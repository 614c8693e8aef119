// SPDX-License-Identifier: GPL-3.0-or-later
// Browse: the chosen files fill the file box, the folder is remembered, a
// cancelled dialog changes nothing, and the dialog appears centred over the
// window inside the work area, then moves freely.
#include <QTest>

#include "ui/dialog_placement.h"
#include "ui/monitor_work_area.h"
#include "ui/ui_test_classes.h"
#include "ui/ui_test_support.h"

namespace tarnimex::test {

namespace {

// Runs the real dialog without a person: looks at it where it was placed,
// shows it, moves it, and cancels it.
class ShownOpenDialog : public TOpenDialog {
  public:
    QRect placed;
    QPoint afterMove;
    QStringList filters;
    bool native = true;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;

  protected:
    std::optional<QStringList> Run(QFileDialog& dialog) override {
        filters = dialog.nameFilters();
        native = !dialog.testOption(QFileDialog::DontUseNativeDialog);
        mode = dialog.fileMode();
        dialog.show();
        QTest::qWait(20);
        placed = dialog.frameGeometry();
        dialog.move(3, 4);
        QTest::qWait(20);
        afterMove = dialog.frameGeometry().topLeft();
        dialog.reject();
        return std::nullopt;
    }
};

}  // namespace

class OpenDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void placementExamples() {
        const Rect area{0, 0, 1920, 1040};
        const Rect window{100, 100, 720, 272};
        DialogPlace place = CentreDialog(area, window, 800, 600);
        QCOMPARE(place.left, 10);
        QCOMPARE(place.top, 0);  // centred at -114, raised to the top
        place = CentreDialog(area, window, 800, 1200);
        QCOMPARE(place.top, -160);  // the bottom edge wins
        place = CentreDialog(area, window, 2000, 300);
        QCOMPARE(place.left, -80);  // the right edge wins
        place = CentreDialog(area, Rect{1000, 900, 1620, 1072}, 400, 300);
        QCOMPARE(place.left, 1110);
        QCOMPARE(place.top, 740);  // pulled up off the bottom
        place = CentreDialog(Rect{-1280, 0, 0, 1024}, Rect{-900, 300, -280, 472}, 400, 300);
        QCOMPARE(place.left, -790);  // a monitor left of the primary one
        QCOMPARE(place.top, 236);
    }

    void browseFillsTheFileBoxAndRemembersTheFolder() {
        TempWorkspace workspace;
        TestFormMain form;
        form.FormCreate();
        ScriptedOpenDialog& dialog = form.UseOpenDialog<ScriptedOpenDialog>();
        const QString first = workspace.Path("logs/a.nmea");
        QVERIFY(QDir().mkpath(workspace.Path("logs")));
        dialog.answer = QStringList{first, workspace.Path("logs/b.nmea"), "/elsewhere/c.log"};
        const QString shown = first + ";" + workspace.Path("logs/b.nmea") + ";" +
                              QDir::toNativeSeparators("/elsewhere/c.log");

        form.ButtonBrowseClick();
        QCOMPARE(form.LabeledEditFilename->text(), shown);

        dialog.answer = std::nullopt;  // cancelled
        form.ButtonBrowseClick();
        QCOMPARE(dialog.directory, workspace.Path("logs"));
        QCOMPARE(form.LabeledEditFilename->text(), shown);

        form.ButtonBrowseClick();
        QCOMPARE(dialog.directory, workspace.Path("logs"));  // still the first file's folder
        QCOMPARE(dialog.runs, 3);
    }

    void dialogIsCentredInsideTheWorkAreaAndThenMovesFreely() {
        TempWorkspace workspace;
        TestFormMain form;
        form.Open();
        ShownOpenDialog& dialog = form.UseOpenDialog<ShownOpenDialog>();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();

        form.move(area.center().x() - form.width() / 2, area.top() + 150);
        form.ButtonBrowseClick();
        QVERIFY(area.contains(dialog.placed));
        QVERIFY(qAbs(dialog.placed.center().x() - form.frameGeometry().center().x()) <= 1);
        QCOMPARE(dialog.afterMove, QPoint(3, 4));
        QVERIFY(!dialog.native);
        QCOMPARE(dialog.mode, QFileDialog::ExistingFiles);
        QCOMPARE(dialog.filters, TOpenDialog::kNameFilters);

        // At the top-left corner the centred place lies above and left of the
        // screen: the dialog is pulled in.
        form.move(area.topLeft());
        form.ButtonBrowseClick();
        QCOMPARE(dialog.placed.top(), area.top());
        QCOMPARE(dialog.placed.left(),
                 qMax(area.left(), (form.frameGeometry().width() - dialog.placed.width()) / 2 +
                                       form.frameGeometry().left()));
        QVERIFY(form.LabeledEditFilename->text().isEmpty());
    }
};

std::unique_ptr<QObject> MakeOpenDialogTest() {
    return std::make_unique<OpenDialogTest>();
}

}  // namespace tarnimex::test

#include "open_dialog_test.moc"
