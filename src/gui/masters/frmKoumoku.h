// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "gui/masters/MasterScreen.h"

// "項目/分類情報": the categories. Category 0 (lines without a category) is never listed.
// Lines keep the ID of a category that is deleted; after a deletion, closing says so and
// the opener shows the correction screen, where such lines are put right.
class frmKoumoku : public MasterScreen
{
    Q_OBJECT
public:
    explicit frmKoumoku(AppState& state, QWidget* parent = nullptr);

    bool categoryDeleted() const { return m_categoryDeleted; }

protected:
    void recordDeleted() override { m_categoryDeleted = true; }
    void closing() override;

private:
    bool m_categoryDeleted = false;
};
