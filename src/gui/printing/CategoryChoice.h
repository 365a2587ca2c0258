// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QGroupBox>
#include <optional>

class AppState;
class LookupCombo;
class QLabel;
class QLineEdit;
class QRadioButton;

// The choice of the print dialogs that print by category: every category ("Option2"), or
// one ("Option1") looked up by name in "dbcNouhin", its 項目ID shown in "Text3". The
// look-up is enabled only for one category.
class CategoryChoice : public QGroupBox
{
    Q_OBJECT
public:
    CategoryChoice(AppState& state, const QString& lookupCaption, QWidget* parent = nullptr);

    bool all() const;
    void chooseAll();
    // The 項目ID of the one category; nullopt when none is chosen.
    std::optional<int> chosenCategory() const;

Q_SIGNALS:
    // The user chose to print one category.
    void oneChosen();

private:
    void enableLookup();

    QRadioButton* Option1;
    QRadioButton* Option2;
    QLabel* Label10;
    LookupCombo* dbcNouhin;
    QLineEdit* Text3;
};
