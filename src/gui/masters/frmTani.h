// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "gui/masters/MasterScreen.h"

// "数量単位情報": the quantity units.
class frmTani : public MasterScreen
{
    Q_OBJECT
public:
    explicit frmTani(AppState& state, QWidget* parent = nullptr);
};
