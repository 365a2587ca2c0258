// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/ActivationWatcher.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>

ActivationWatcher::ActivationWatcher(QWidget* window)
    : QObject(window)
    , m_window(window)
{
    window->installEventFilter(this);
}

bool ActivationWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window || event->type() != QEvent::ActivationChange)
        return false;
    if (!m_window->isActiveWindow()) {
        QTimer::singleShot(0, this, [this] {
            QWidget* active = QApplication::activeWindow();
            if (active && active != m_window && !qobject_cast<QDialog*>(active))
                m_visitedOtherWindow = true;
        });
        return false;
    }
    if (m_first || m_visitedOtherWindow) {
        m_first = false;
        m_visitedOtherWindow = false;
        QTimer::singleShot(0, this, &ActivationWatcher::activated);
    }
    return false;
}
