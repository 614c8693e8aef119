// SPDX-License-Identifier: GPL-3.0-or-later
// How the time charts are moved about: the wheel zooms around the cursor, a
// dragged rectangle zooms into it, the middle button pans, and the arrow,
// plus and minus keys scroll and zoom. The chart window and the monitor
// window both use it.
#pragma once

#include <QtCharts/QChartView>

namespace tarnimex {

class TChartView : public QChartView {
  public:
    explicit TChartView(QChart* chart);

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QPointF panFrom_;
    bool panning_ = false;
};

// Scrolls or zooms the chart for an arrow, plus or minus key; false for
// any other key.
bool MoveChartByKey(QChart* chart, int key);

}  // namespace tarnimex
