// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/SheetLayout.h"
#include "gui/printing/PrintDialogFrame.h"

#include <QDate>
#include <optional>

class CategoryChoice;
class QDateEdit;

// "棚卸記入帳　　印刷": the count book, a form for the coming count made from the lines of an
// earlier stocktaking (all categories or one), with their names, units and unit prices and
// empty columns for the counter. It starts at today's date, so the earlier date is chosen
// first. A4 only: the offsets of the print play no part.
class DialogTanaMoto2 : public PrintDialogFrame
{
    Q_OBJECT
public:
    explicit DialogTanaMoto2(AppState& state, QWidget* parent = nullptr);

    QDate date() const;

protected:
    bool prepare(Output output) override;
    int pageCount() const override;
    SheetPrinted draw(PageSurface& surface) override;
    QString documentTitle() const override;
    QString documentName() const override;

private:
    std::optional<SheetDocument> m_document;

    CategoryChoice* Frame1;
    QDateEdit* DTPicker1;
};
