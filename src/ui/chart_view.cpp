// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/chart_view.h"

#include <QMouseEvent>
#include <QWheelEvent>

namespace tarnimex {

namespace {

constexpr double kZoomPerWheelStep = 1.25;
constexpr int kPanPixels = 40;

}  // namespace

TChartView::TChartView(QChart* chart) : QChartView(chart) {
    setRubberBand(QChartView::RectangleRubberBand);
    setRenderHint(QPainter::Antialiasing);
}

void TChartView::wheelEvent(QWheelEvent* event) {
    const double factor = event->angleDelta().y() > 0 ? kZoomPerWheelStep : 1.0 / kZoomPerWheelStep;
    const QRectF area = chart()->plotArea();
    const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    QRectF zoomed(0, 0, area.width() / factor, area.height() / factor);
    zoomed.moveCenter(at + (area.center() - at) / factor);
    chart()->zoomIn(zoomed);
    event->accept();
}

void TChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        panFrom_ = event->position();
        panning_ = true;
        return event->accept();
    }
    QChartView::mousePressEvent(event);
}

void TChartView::mouseMoveEvent(QMouseEvent* event) {
    if (panning_) {
        const QPointF delta = event->position() - panFrom_;
        chart()->scroll(-delta.x(), delta.y());
        panFrom_ = event->position();
        return event->accept();
    }
    QChartView::mouseMoveEvent(event);
}

void TChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        panning_ = false;
        return event->accept();
    }
    // The right button would zoom out of a rubber-band view: Home resets instead.
    if (event->button() == Qt::RightButton) return event->ignore();
    QChartView::mouseReleaseEvent(event);
}

bool MoveChartByKey(QChart* chart, int key) {
    switch (key) {
        case Qt::Key_Left:
            chart->scroll(-kPanPixels, 0);
            return true;
        case Qt::Key_Right:
            chart->scroll(kPanPixels, 0);
            return true;
        case Qt::Key_Up:
            chart->scroll(0, kPanPixels);
            return true;
        case Qt::Key_Down:
            chart->scroll(0, -kPanPixels);
            return true;
        case Qt::Key_Plus:
            chart->zoom(kZoomPerWheelStep);
            return true;
        case Qt::Key_Minus:
            chart->zoom(1.0 / kZoomPerWheelStep);
            return true;
        default:
            return false;
    }
}

}  // namespace tarnimex
