// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/WindowPlacement.h"

#include "core/app/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

// Enough of the window's top edge (its title bar) lies on a screen to take hold of it.
bool reachable(const QRect& window, const QRect& screen)
{
    constexpr int Grip = 40;
    const QRect titleBar(window.topLeft(), QSize(window.width(), Grip));
    const QRect seen = titleBar.intersected(screen);
    return window.top() >= screen.top() && seen.width() >= std::min(Grip, window.width())
        && seen.height() >= std::min(Grip / 2, window.height());
}

// Squared distance from a point to a rectangle; 0 inside.
qint64 distance(const QPoint& p, const QRect& r)
{
    const qint64 dx = p.x() < r.left() ? r.left() - p.x() : (p.x() > r.right() ? p.x() - r.right() : 0);
    const qint64 dy = p.y() < r.top() ? r.top() - p.y() : (p.y() > r.bottom() ? p.y() - r.bottom() : 0);
    return dx * dx + dy * dy;
}

QPoint ontoNearestScreen(const QPoint& wanted, const QSize& size)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return wanted;
    const QRect window(wanted, size);
    for (const QScreen* screen : screens) {
        if (reachable(window, screen->availableGeometry()))
            return wanted;
    }
    const QPoint centre = window.center();
    const QScreen* nearest = *std::min_element(screens.cbegin(), screens.cend(), [&](QScreen* a, QScreen* b) {
        return distance(centre, a->geometry()) < distance(centre, b->geometry());
    });
    const QRect area = nearest->availableGeometry();
    // As close to the stored place as the screen allows; a window larger than the
    // screen keeps its top-left corner on it.
    const int x = std::max(area.left(), std::min(wanted.x(), area.right() + 1 - size.width()));
    const int y = std::max(area.top(), std::min(wanted.y(), area.bottom() + 1 - size.height()));
    return { x, y };
}

} // namespace

void placeWindow(QWidget* window, const Settings& settings, Setting left, Setting top)
{
    const QPoint wanted(twipsToPixels(settings.number(left), window->logicalDpiX()),
                        twipsToPixels(settings.number(top), window->logicalDpiY()));
    const QSize size = window->isVisible() ? window->frameGeometry().size() : window->sizeHint();
    window->move(ontoNearestScreen(wanted, size.expandedTo(QSize(1, 1))));
}

void placeWorkingWindow(QWidget* window, const Settings& settings)
{
    placeWindow(window, settings, Setting::frmLeft, Setting::frmTop);
}
