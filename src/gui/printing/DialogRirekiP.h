// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/history/ChangeHistory.h"
#include "gui/printing/PrintDialogFrame.h"

class QDateEdit;
class QLineEdit;

// "変更履歴印刷": the entries the history screen found, printed on A4 to a printer, into the
// preview or into a PDF file. The search comes with it and is printed under the title; the
// date can be changed here. The dialog stays open after printing.
class DialogRirekiP : public PrintDialogFrame
{
    Q_OBJECT
public:
    DialogRirekiP(AppState& state, const ChangeHistory::Filter& filter, const QString& conditions,
                  QWidget* parent = nullptr);

protected:
    bool prepare(Output output) override;
    int pageCount() const override;
    SheetPrinted draw(PageSurface& surface) override;
    QString documentTitle() const override;
    QString documentName() const override;

private:
    ChangeHistory::Filter filter() const;

    ChangeHistory::Filter m_filter;
    QString m_conditions;
    qint64 m_entries = 0;

    QDateEdit* DTPicker1;
    QLineEdit* Text1; // the search, in words
};
