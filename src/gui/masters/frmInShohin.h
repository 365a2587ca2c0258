// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "gui/masters/MasterScreen.h"

class QLineEdit;
class QPushButton;
class QRadioButton;

// "品名情報": the products, listed by name or by ID, each with its first JAN code. The list
// can also be written to a spreadsheet (Command3) and filled by the product import
// (Command1); a product's codes are edited in their own window (cmdCodes), and a product is
// found by a code or a part of its name typed or scanned into txtSearch.
class frmInShohin : public MasterScreen
{
    Q_OBJECT
public:
    explicit frmInShohin(AppState& state, QWidget* parent = nullptr);

    // The screen was closed for the product import, which its opener shows next.
    bool importWanted() const { return m_importWanted; }

private:
    void search();
    void editCodes();

    QRadioButton* Option1;
    QRadioButton* Option2;
    QPushButton* Command3;
    QPushButton* Command1;
    QLineEdit* txtSearch;
    QPushButton* cmdCodes;
    bool m_importWanted = false;
};
