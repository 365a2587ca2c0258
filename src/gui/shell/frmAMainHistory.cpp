// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The main window's way to the change history of its settlement date (棚卸表 → 変更履歴).

#include "core/app/AppState.h"
#include "core/app/WaitCursor.h"
#include "gui/review/frmRireki.h"
#include "gui/shell/frmAMain.h"

#include <QDateEdit>

void frmAMain::openHistory()
{
    // The history is there for a date whose lines are all gone as well: no check for lines.
    std::unique_ptr<frmRireki> history;
    {
        WaitCursor hourglass;
        history = std::make_unique<frmRireki>(m_state, DTPicker1->date(), this);
    }
    history->exec();
}
