// SPDX-License-Identifier: GPL-3.0-or-later
// The chart window: what it draws of converted CSVs, its exports, and the ways
// the main window opens it.
#include <QApplication>
#include <QChart>
#include <QDateTimeAxis>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QTableWidget>
#include <QTest>
#include <QValueAxis>
#include <QXmlStreamReader>
#include <algorithm>
#include <random>

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
        QCOMPARE(menu->actions().size(), 2);
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
};

std::unique_ptr<QObject> MakeChartTest() {
    return std::make_unique<ChartTest>();
}

}  // namespace tarnimex::test

#include "chart_test.moc"
