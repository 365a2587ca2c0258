// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/StocktakingSheet.h"
#include "gui/printing/PrintDialogFrame.h"

#include <QDate>

class CategoryChoice;
class QComboBox;
class QDateEdit;
class QLineEdit;

// "棚　卸　表　印刷": the stocktaking sheet of one settlement date, all categories or one, in
// one of the three layouts. Lines whose category is gone are offered a move to 未区分 first;
// when what was printed does not add up to every line of the date, the correction screen is
// wanted next (correctionWanted(), for whoever opened the dialog).
class DialogTanaMoto1 : public PrintDialogFrame
{
    Q_OBJECT
public:
    DialogTanaMoto1(AppState& state, QDate settlementDate, QWidget* parent = nullptr);

    bool correctionWanted() const { return m_correction; }
    QDate date() const;

protected:
    bool prepare(Output output) override;
    int pageCount() const override;
    SheetPrinted draw(PageSurface& surface) override;
    void printed() override;
    QString documentTitle() const override;
    QString documentName() const override;
    void done(int result) override;

private:
    void buildControls(QDate settlementDate);
    void enableByLayout();
    // The continuous form prints every category; false when one category was chosen with it.
    bool layoutAllowsChoice();
    StocktakingSheet::Layout layout() const;

    std::optional<StocktakingSheet::Document> m_document;
    StocktakingSheet::Printed m_printed;
    bool m_correction = false;

    QComboBox* Combo1;
    CategoryChoice* Frame1;
    QLineEdit* Text1;
    QDateEdit* DTPicker1;
};
