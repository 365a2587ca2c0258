// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/StocktakingSheet.h"

#include <QDate>
#include <QDialog>

class AppState;
class FinalisedMark;
class QComboBox;
class QDateEdit;
class QPushButton;

// "棚卸の確定": the stocktaking sheet of a settlement date printed in the chosen layout into a
// PDF that is kept in the business file, and the date locked. 確定(&K) runs the checks the
// sheet's print runs (lines whose category is gone are offered the move to 未区分 first), then
// the finalising with the window of long work over the pages; the dialog closes when the date
// is finalised and stays open, as it was, when a check stops it.
class DialogKakutei : public QDialog
{
    Q_OBJECT
public:
    DialogKakutei(AppState& state, QDate settlementDate, QWidget* parent = nullptr);

    QDate date() const;
    StocktakingSheet::Layout layout() const;

protected:
    void done(int result) override;

private:
    void finalise();

    AppState& m_state;
    QDateEdit* DTPicker1;
    QComboBox* Combo1;
    FinalisedMark* m_mark;
    QPushButton* cmdKakutei;
    QPushButton* cmdCancel;
};
