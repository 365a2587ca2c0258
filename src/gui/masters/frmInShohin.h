// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "gui/masters/MasterScreen.h"

class QPushButton;
class QRadioButton;

// "品名情報": the products, listed by name or by ID. The list can also be written to a
// spreadsheet (Command3) and filled by the product import (Command1).
class frmInShohin : public MasterScreen
{
    Q_OBJECT
public:
    explicit frmInShohin(AppState& state, QWidget* parent = nullptr);

    // The screen was closed for the product import, which its opener shows next.
    bool importWanted() const { return m_importWanted; }

private:
    QRadioButton* Option1;
    QRadioButton* Option2;
    QPushButton* Command3;
    QPushButton* Command1;
    bool m_importWanted = false;
};
