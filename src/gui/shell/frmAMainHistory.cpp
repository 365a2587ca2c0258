// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The main window's way to the change history of its settlement date (棚卸表 → 変更履歴).

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/WaitCursor.h"
#include "gui/review/frmRireki.h"
#include "gui/shell/frmAMain.h"

#include <QDateEdit>

void frmAMain::openHistory()
{
    // A file of an earlier version opened read-only was not brought up to date: it has none.
    if (m_state.DatabaseConnection.isOpen() && !m_state.DatabaseConnection.hasHistory()) {
        m_state.prompter.notice(QStringLiteral("このファイルには変更履歴がありません。\r"
                                               "古い形式のファイルを読み取り専用で開いているため、"
                                               "変更履歴を記録できる形式になっていません。"));
        return;
    }
    // The history is there for a date whose lines are all gone as well: no check for lines.
    std::unique_ptr<frmRireki> history;
    {
        WaitCursor hourglass;
        history = std::make_unique<frmRireki>(m_state, DTPicker1->date(), this);
    }
    history->exec();
}
