// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/masters/frmTani.h"

namespace {

const MasterScreenLayout Layout {
    "frmTani",
    QStringLiteral("数量単位情報"),
    MasterTable::units(),
    MasterOrder::ById,
    "txtName",
    QStringLiteral("数量単位(&K)"),
    QStringLiteral("削除(&D)"),
    { 1000, 2400 },
    MasterScreenLayout::UpdateFailure::WriteFailure,
    QSize(440, 440),
};

} // namespace

frmTani::frmTani(AppState& state, QWidget* parent)
    : MasterScreen(state, Layout, parent)
{ }
