// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The main window's entry to counting from phones: the window that serves the counting page
// for the date of the main window while it is open.

#include "gui/phones/DialogPhones.h"
#include "gui/shell/frmAMain.h"

#include <QDateEdit>

void frmAMain::openPhones()
{
    // One server at a time: a second choice of the menu brings the window forward.
    if (m_phones) {
        m_phones->raise();
        m_phones->activateWindow();
        return;
    }
    auto* window = new DialogPhones(m_state, DTPicker1->date(), this);
    if (!window->start()) {
        delete window;
        return;
    }
    m_phones = window;
    window->show();
}
