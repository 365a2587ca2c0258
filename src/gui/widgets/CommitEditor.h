// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QAbstractItemView>
#include <QApplication>

// A grid cell being edited gives its text to the model when it loses the focus; this
// makes it do so now, before the window acts on the model (a save, a search, closing).
inline void commitOpenEditor(QAbstractItemView* grid)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != grid && focus->isVisible() && grid->isAncestorOf(focus))
        grid->setFocus();
}
