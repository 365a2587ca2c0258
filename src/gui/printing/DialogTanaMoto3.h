// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/SheetLayout.h"
#include "gui/printing/PrintDialogFrame.h"

#include <QDate>
#include <optional>

class QDateEdit;
class QLineEdit;

// The summary sheet of a settlement date, by category or by product, as the summary list
// hands it over: the title (the window's caption and the printed title) and the heading of
// the name column, which tells the kind. The dialog stays open after printing.
class DialogTanaMoto3 : public PrintDialogFrame
{
    Q_OBJECT
public:
    DialogTanaMoto3(AppState& state, QDate settlementDate, const QString& title, const QString& heading,
                    QWidget* parent = nullptr);

    QDate date() const;

protected:
    bool prepare(Output output) override;
    int pageCount() const override;
    SheetPrinted draw(PageSurface& surface) override;
    QString documentTitle() const override;
    QString documentName() const override;

private:
    std::optional<SheetDocument> m_document;

    QDateEdit* DTPicker1;
    QLineEdit* Text3; // the title
    QLineEdit* Text4; // the heading of the name column
};
