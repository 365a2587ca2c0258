// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/EnterAsTab.h"

#include <QApplication>
#include <QKeyEvent>

EnterAsTab::EnterAsTab(QWidget* window)
    : QObject(window)
    , m_window(window)
{
    qApp->installEventFilter(this);
}

void EnterAsTab::install(QWidget* window)
{
    new EnterAsTab(window);
}

bool EnterAsTab::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || !m_window)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    auto* target = static_cast<QWidget*>(watched);
    if (target->window() != m_window)
        return false;
    // The Tab goes to the window itself, which moves the focus along its tab order; sent to
    // the focused control it could be taken for the control's own use (a date edit would
    // step to its next section instead).
    QCoreApplication::postEvent(m_window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
    return true;
}
