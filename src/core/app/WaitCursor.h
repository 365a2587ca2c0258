// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QCursor>
#include <QGuiApplication>

// True in a process that shows windows; the pointer exists only there.
inline bool hasPointer()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// The hourglass for the length of a scope. Nothing happens in a process without windows.
class WaitCursor
{
public:
    WaitCursor()
        : m_shown(hasPointer())
    {
        if (m_shown)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~WaitCursor()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool m_shown;
};

// Back to the arrow: a window that becomes active clears every hourglass left by its opener.
inline void restoreArrowCursor()
{
    if (!hasPointer())
        return;
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}
