// SPDX-License-Identifier: GPL-3.0-or-later
// The chart window: what it draws of converted CSVs, its exports, and the ways
// the main window opens it.
#include <QApplication>
#include <QChart>
#include <QDateTimeAxis>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QValueAxis>
#include <QXmlStreamReader>
#include <algorithm>
#include <random>

#include "settings/options.h"
#include "ui/chart_thinning.h"
#include "ui/chart_window.h"
#include "ui/ui_test_classes.h"
#include "ui/ui_test_support.h"

namespace tarnimex::test {

namespace {

QList<TChartWindow*> ChartWindows() {
    QList<TChartWindow*> charts;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* chart = qobject_cast<TChartWindow*>(widget)) charts.append(chart);
    }
    return charts;
}

void CloseCharts() {
    for (TChartWindow* chart : ChartWindows()) delete chart;
}

// Converts a log of these delays with the window and gives its CSV's path.
QString ConvertedCsv(TestFormMain& form, const TempWorkspace& workspace, const QString& name,
                     const std::vector<double>& delays) {
    WriteFile(workspace.Path(name + ".nmea"), ReportLog(delays));
    form.LabeledEditFilename->setText(workspace.Path(name + ".nmea"));
    form.ButtonConvertClick();
    return workspace.Path(name + ".csv");
}

// A chart window that records its error boxes.
class TestChartWindow : public TChartWindow {
  public:
    using TChartWindow::TChartWindow;
    void ShowError(const QString& text) override { errors.append(text); }
    QStringList errors;
};

}  // namespace

class ChartTest : public QObject {
    Q_OBJECT
  private slots:
    void thinningKeepsEveryColumnsExtremesAndBreaksAtGaps() {
        // Not std::mt19937: the static Qt for Windows has its own copy of that
        // engine's refill, compiled on the assumption that it keeps registers
        // a copy from this file need not keep, and the linker keeps just one.
        std::minstd_rand random(7);
        std::normal_distribution<double> noise(0, 1);
        std::vector<ChartPoint> points;
        for (int i = 0; i < 100000; ++i) points.push_back({double(i), noise(random)});
        points[4321].y = 50;  // a one-report spike
        points[98765].y = -40;
        for (ChartPoint& p : points) {
            if (p.x >= 60000) p.x += 5000;  // reports missing for 5000 steps
        }
        const int columns = 500;
        const double from = 0, to = points.back().x;
        const auto segments = ThinToColumns(points, from, to, columns, 1.5 * UsualStep(points));
        QCOMPARE(segments.size(), std::size_t(2));
        std::size_t drawn = 0;
        for (const ChartSegment& segment : segments) drawn += segment.size();
        QVERIFY(drawn <= std::size_t(4 * columns + 8));
        // Each column's lowest and highest point is drawn.
        const double width = (to - from) / columns;
        for (int c = 0; c < columns; ++c) {
            double low = INFINITY, high = -INFINITY, drawnLow = INFINITY, drawnHigh = -INFINITY;
            for (const ChartPoint& p : points) {
                if (static_cast<int>((p.x - from) / width) != c) continue;
                low = std::min(low, p.y), high = std::max(high, p.y);
            }
            for (const ChartSegment& segment : segments) {
                for (const ChartPoint& p : segment) {
                    if (static_cast<int>((p.x - from) / width) != c) continue;
                    drawnLow = std::min(drawnLow, p.y), drawnHigh = std::max(drawnHigh, p.y);
                }
            }
            QCOMPARE(drawnLow, low);
            QCOMPARE(drawnHigh, high);
        }
    }

    void seriesAxesAndTableOfTwoCsvs() {
        TempWorkspace workspace;
        TestFormMain form;
        form.Open();  // the settings' alarm step marks the rows
        const QString a = ConvertedCsv(form, workspace, "a", {0.1, 0.2, 60, 70, 0.3});
        const QString b = ConvertedCsv(form, workspace, "b", {-0.5, 0.5});
        TChartWindow chart(50);
        QString error;
        QVERIFY(chart.AddCsv(a, error));
        QVERIFY(chart.AddCsv(b, error));
        QVERIFY(!chart.AddCsv(workspace.Path("a.nmea"), error));
        QVERIFY2(error.contains("a.nmea") && error.contains("line 1"), qPrintable(error));
        QCOMPARE(chart.SeriesCount(), 2);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QApplication::processEvents();
        QCOMPARE(chart.DrawnPoints(0).size(), std::size_t(5));
        QCOMPARE(chart.Table()->rowCount(), 2);
        QCOMPARE(chart.Table()->item(0, 9)->text(), QString("2"));  // alarm rows
        // The error axis holds every delay and the alarm step the data comes near.
        auto* errorAxis = qobject_cast<QValueAxis*>(chart.TimeChart()->axes(Qt::Vertical)[0]);
        QVERIFY(errorAxis->min() <= -0.5 && errorAxis->max() >= 70);
        auto* timeAxis = qobject_cast<QDateTimeAxis*>(chart.TimeChart()->axes(Qt::Horizontal)[0]);
        QCOMPARE(timeAxis->min().toUTC().toString("yyyy-MM-dd hh:mm:ss"),
                 QString("2023-07-05 12:00:00"));
        QCOMPARE(timeAxis->max().toUTC().toString("yyyy-MM-dd hh:mm:ss"),
                 QString("2023-07-05 12:00:04"));
        // Exports open as pictures.
        QVERIFY2(chart.Export(workspace.Path("chart.png"), error), qPrintable(error));
        QImage png(workspace.Path("chart.png"));
        QVERIFY(!png.isNull() && png.width() > 100);
        QVERIFY2(chart.Export(workspace.Path("chart.svg"), error), qPrintable(error));
        QFile svg(workspace.Path("chart.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&svg);
        while (!xml.atEnd()) xml.readNext();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(!chart.Export("/nonexistent/chart.png", error));
    }

    void mainWindowOpensTheChart() {
        TempWorkspace workspace;
        TestFormMain form;
        form.Open();
        auto menu = form.CreateContextMenu();
        QCOMPARE(menu->actions().size(), 4);
        QVERIFY(!menu->actions()[0]->isEnabled());  // no CSV written yet
        const QString csv = ConvertedCsv(form, workspace, "c", {0.1, 0.2});
        menu = form.CreateContextMenu();
        QVERIFY(menu->actions()[0]->isEnabled());
        menu->actions()[0]->trigger();
        QCOMPARE(ChartWindows().size(), 1);
        QCOMPARE(ChartWindows()[0]->SeriesCount(), 1);
        CloseCharts();
        // A drop of CSVs only opens them in the chart; the file box keeps its text.
        form.LabeledEditFilename->setText("kept");
        Drop(form, {csv, csv});
        QCOMPARE(ChartWindows().size(), 1);
        QCOMPARE(ChartWindows()[0]->SeriesCount(), 2);
        QCOMPARE(form.LabeledEditFilename->text(), QString("kept"));
        CloseCharts();
        Drop(form, {csv, workspace.Path("c.nmea")});
        QVERIFY(ChartWindows().isEmpty());
        QCOMPARE(form.LabeledEditFilename->text(), csv + ";" + workspace.Path("c.nmea"));
    }

    // The verdict against the limits file chosen, which the next chart takes
    // up from the settings file; a faulty file is shown and changes nothing.
    void verdictOfTheChosenLimitsFile() {
        TempWorkspace workspace;
        TestFormMain form;
        form.Open();
        const QString csv = ConvertedCsv(form, workspace, "v", {0.1, 0.2, 0.3});
        WriteFile(workspace.Path("pass.ini"), "[Limits]\nMaxAbsTimeError=0.5\n");
        WriteFile(workspace.Path("fail.ini"), "[Limits]\nMaxAbsTimeError=0.25\nMTIE=1:0.01\n");
        WriteFile(workspace.Path("bad.ini"), "[Limits]\nMTIE=1:0.1\nMaxTE=1\n");
        const QByteArray settings = ReadFile(workspace.Path("tarnimex.ini"));
        TestChartWindow chart(50);
        QString error;
        QVERIFY(chart.AddCsv(csv, error));
        QVERIFY(chart.VerdictLabel()->isHidden());  // no limits yet
        QCOMPARE(ReadFile(workspace.Path("tarnimex.ini")), settings);
        auto* dialog = new ScriptedOpenDialog;
        chart.LimitsDialog.reset(dialog);
        dialog->answer = QStringList{workspace.Path("pass.ini")};
        for (QPushButton* button : chart.findChildren<QPushButton*>())
            if (button->text().startsWith("Limits file")) button->click();
        const struct {
            const char* file;  // empty: chosen by the button above
            QStringList shown;
        } cases[] = {
            {"", {"color:#1a7f37", "Verdict: PASS", kRowsNote}},
            {"fail.ini",
             {"color:#c62828", "Verdict: FAIL: MaxAbsTimeError 0.3 &gt; 0.25; MTIE(1 s) "}},
            {"bad.ini", {"Verdict: FAIL"}},  // the previous limits stay
        };
        for (const auto& c : cases) {
            if (*c.file) chart.UseLimitsFile(workspace.Path(c.file));
            for (const QString& part : c.shown)
                QVERIFY2(chart.VerdictLabel()->text().contains(part),
                         qPrintable(c.file + (": " + chart.VerdictLabel()->text())));
        }
        QCOMPARE(chart.errors.size(), 1);
        QVERIFY2(chart.errors[0].contains("bad.ini") && chart.errors[0].contains("line 3") &&
                     chart.errors[0].contains("MaxTE"),
                 qPrintable(chart.errors[0]));
        QCOMPARE(QString::fromStdString(LoadChartLimitsFile()), workspace.Path("fail.ini"));
        TChartWindow next(50);
        QVERIFY(next.AddCsv(csv, error));
        QVERIFY(next.VerdictLabel()->text().contains("Verdict: FAIL"));
        // The report of what the window shows, by its name's suffix.
        QVERIFY2(chart.SaveReport(workspace.Path("v.html"), error), qPrintable(error));
        const QByteArray html = ReadFile(workspace.Path("v.html"));
        QVERIFY(html.contains("data-key=\"verdict\">FAIL<") && html.contains(kRowsNote));
        QVERIFY2(chart.SaveReport(workspace.Path("v.PDF"), error), qPrintable(error));
        QVERIFY(ReadFile(workspace.Path("v.PDF")).startsWith("%PDF"));
        QVERIFY(!chart.SaveReport(workspace.Path("none/v.html"), error));
        QVERIFY2(error.contains("none"), qPrintable(error));
    }

    // From a log the metrics count every report, not only the rows Limiting
    // kept: by the context menu and by a drop with Shift.
    void reportOfALogJudgesEveryReport() {
        TempWorkspace workspace;
        TestFormMain form;
        form.Open();
        form.CheckBoxLimit->setChecked(true);
        WriteFile(workspace.Path("r.nmea"), ReportLog({0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.9, 0.1}));
        auto& dialog = form.UseOpenDialog<ScriptedOpenDialog>();
        dialog.answer = QStringList{workspace.Path("r.nmea")};
        form.CreateContextMenu()->actions()[2]->trigger();
        Drop(form, {workspace.Path("r.nmea")}, nullptr, Qt::ShiftModifier);
        QCOMPARE(ChartWindows().size(), 2);
        for (TChartWindow* chart : ChartWindows()) {
            QCOMPARE(chart->SeriesCount(), 1);
            QVERIFY(chart->Table()->item(0, 1)->text().toInt() < 8);  // rows Limiting kept
            QCOMPARE(chart->MtieChart()->title(), QString("MTIE"));
            QString error;
            QVERIFY2(chart->SaveReport(workspace.Path("r.html"), error), qPrintable(error));
            const QByteArray html = ReadFile(workspace.Path("r.html"));
            QVERIFY(html.contains("data-key=\"metrics_reports\">8<") && !html.contains(kRowsNote));
        }
        CloseCharts();
        QCOMPARE(form.LabeledEditFilename->text(), QString());  // the file box is left alone
    }
};

std::unique_ptr<QObject> MakeChartTest() {
    return std::make_unique<ChartTest>();
}

}  // namespace tarnimex::test

#include "chart_test.moc"
