// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/masters/frmKoumoku.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"

namespace {

const MasterScreenLayout Layout {
    "frmKoumoku",
    QStringLiteral("項目/分類情報"),
    MasterTable::categories(),
    MasterOrder::ById,
    "txtName",
    QStringLiteral("項目/分類名(&K)"),
    QStringLiteral("削除(&D)"),
    { 1000, 3800 },
    MasterScreenLayout::UpdateFailure::WriteFailure,
    QSize(520, 480),
};

} // namespace

frmKoumoku::frmKoumoku(AppState& state, QWidget* parent)
    : MasterScreen(state, Layout, parent)
{ }

void frmKoumoku::closing()
{
    if (m_categoryDeleted)
        m_state.prompter.notice(QStringLiteral("項目/分類が削除されましたので、棚卸表訂正を表示します。"));
}
