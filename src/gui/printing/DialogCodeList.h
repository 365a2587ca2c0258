// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/SheetLayout.h"
#include "gui/printing/PrintDialogFrame.h"

#include <optional>

class CategoryChoice;

// "商品コード一覧表　印刷": the products' codes as bars, of all products or of those counted
// under one category, to scan from. It prints what `kotrina print codes` prints. A4 only: the
// offsets of the print play no part.
class DialogCodeList : public PrintDialogFrame
{
    Q_OBJECT
public:
    explicit DialogCodeList(AppState& state, QWidget* parent = nullptr);

protected:
    bool prepare(Output output) override;
    int pageCount() const override;
    SheetPrinted draw(PageSurface& surface) override;
    QString documentTitle() const override;
    QString documentName() const override;

private:
    std::optional<SheetDocument> m_document;

    CategoryChoice* Frame1;
};
