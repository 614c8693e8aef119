// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/timing_chart.h"

#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <QScatterSeries>
#include <algorithm>
#include <cmath>

namespace tarnimex {

namespace {

const QColor kMetricColour(0x1f, 0x77, 0xb4);
const QColor kMaskColour(0xd6, 0x27, 0x28);

// A logarithmic axis over whole decades around low .. high.
QLogValueAxis* DecadeAxis(const QString& title, double low, double high) {
    auto* axis = new QLogValueAxis;
    axis->setTitleText(title);
    axis->setBase(10);
    axis->setLabelFormat("%g");
    const double from = std::pow(10.0, std::floor(std::log10(low)));
    double to = std::pow(10.0, std::ceil(std::log10(high)));
    if (to <= from) to = from * 10;
    axis->setRange(from, to);
    axis->setMinorTickCount(8);
    return axis;
}

}  // namespace

QChart* NewTimingChart(const QString& name, const std::vector<TimingPoint>& points,
                       const LimitMask& mask) {
    auto* chart = new QChart;
    chart->setTitle(name);
    auto* line = new QLineSeries;
    line->setName(name);
    line->setPen(QPen(kMetricColour, 1.5));
    auto* dots = new QScatterSeries;
    dots->setColor(kMetricColour);
    dots->setBorderColor(kMetricColour);
    dots->setMarkerSize(6);
    double tauLow = INFINITY, tauHigh = -INFINITY, low = INFINITY, high = -INFINITY;
    const auto take = [&](double tau, double value) {
        tauLow = std::min(tauLow, tau);
        tauHigh = std::max(tauHigh, tau);
        low = std::min(low, value);
        high = std::max(high, value);
    };
    for (const TimingPoint& p : points) {
        if (!(p.tau > 0 && p.value > 0)) continue;
        line->append(p.tau, p.value);
        dots->append(p.tau, p.value);
        take(p.tau, p.value);
    }
    QLineSeries* limit = nullptr;
    if (!mask.points.empty()) {
        limit = new QLineSeries;
        limit->setName(name + " mask");
        limit->setPen(QPen(kMaskColour, 1.5, Qt::DashLine));
        // The mask is flat beyond its ends: drawn over the metric's intervals too.
        std::vector<double> taus;
        for (const LimitMask::Point& p : mask.points) taus.push_back(p.tau);
        for (const TimingPoint& p : points) taus.push_back(p.tau);
        std::sort(taus.begin(), taus.end());
        taus.erase(std::unique(taus.begin(), taus.end()), taus.end());
        for (const double tau : taus) {
            const double value = mask.At(tau);
            if (!(tau > 0 && value > 0)) continue;
            limit->append(tau, value);
            take(tau, value);
        }
    }
    if (!(tauLow <= tauHigh)) take(1, 1);  // nothing to show: one empty decade
    auto* tauAxis = DecadeAxis("Observation interval \u03c4 (s)", tauLow, tauHigh);
    auto* valueAxis = DecadeAxis(name + " (s)", low, high);
    chart->addAxis(tauAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    for (QAbstractSeries* series : std::initializer_list<QAbstractSeries*>{line, limit, dots}) {
        if (series == nullptr) continue;
        chart->addSeries(series);
        series->attachAxis(tauAxis);
        series->attachAxis(valueAxis);
    }
    chart->legend()->markers(dots).first()->setVisible(false);
    return chart;
}

}  // namespace tarnimex
