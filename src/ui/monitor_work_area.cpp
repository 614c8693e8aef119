// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/monitor_work_area.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <vector>

namespace tarnimex {

namespace {

Rect FromQRect(const QRect& r) {
    return Rect{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

}  // namespace

Rect OuterRectOf(const QWidget& window) {
    return FromQRect(window.frameGeometry());
}

Rect GetWorkArea(const QWidget& window) {
    std::vector<Monitor> monitors;
    for (const QScreen* screen : QGuiApplication::screens()) {
        monitors.push_back({FromQRect(screen->geometry()), FromQRect(screen->availableGeometry())});
    }
    if (!monitors.empty()) return WorkAreaOfWindow(OuterRectOf(window), monitors);
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? FromQRect(primary->availableGeometry()) : Rect{};
}

}  // namespace tarnimex
