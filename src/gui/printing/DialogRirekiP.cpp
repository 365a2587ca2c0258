// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/DialogRirekiP.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/WaitCursor.h"
#include "core/history/HistorySheet.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/Named.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>

DialogRirekiP::DialogRirekiP(AppState& state, const ChangeHistory::Filter& filter, const QString& conditions,
                             QWidget* parent)
    : PrintDialogFrame(state, QStringLiteral("変更履歴印刷"), parent)
    , m_filter(filter)
    , m_conditions(conditions)
{
    setObjectName(QStringLiteral("DialogRirekiP"));
    DTPicker1 = makeDatePicker(this);
    DTPicker1->setDate(filter.date);
    Text1 = named(new QLineEdit(conditions.isEmpty() ? QStringLiteral("（すべての変更）") : conditions, this), "Text1");
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::NoFocus);
    Text1->setMinimumWidth(360);
    QGridLayout* rows = form();
    rows->addWidget(namedLabel("Label1", QStringLiteral("決算日(&D)"), DTPicker1, this), 0, 0);
    rows->addWidget(DTPicker1, 0, 1, Qt::AlignLeft);
    rows->addWidget(namedLabel("Label2", QStringLiteral("検索条件"), Text1, this), 1, 0);
    rows->addWidget(Text1, 1, 1);
    rows->setColumnStretch(1, 1);
    loadFrame();
    // The offsets place the continuous form only.
    offsetGroup()->setEnabled(false);
}

ChangeHistory::Filter DialogRirekiP::filter() const
{
    ChangeHistory::Filter f = m_filter;
    f.date = DTPicker1->date();
    return f;
}

bool DialogRirekiP::prepare(Output)
{
    std::optional<qint64> entries;
    {
        WaitCursor hourglass;
        entries = ChangeHistory::count(m_state.DatabaseConnection, filter());
    }
    if (!entries) {
        m_state.prompter.notice(QStringLiteral("変更履歴を読み込めませんでした。"));
        return false;
    }
    if (*entries == 0) {
        m_state.prompter.notice(QStringLiteral("該当する変更履歴はありません。決算日と検索条件を確認してください。"));
        return false;
    }
    m_entries = *entries;
    return true;
}

int DialogRirekiP::pageCount() const
{
    return HistorySheet::pageCount(m_entries);
}

SheetPrinted DialogRirekiP::draw(PageSurface& surface)
{
    return HistorySheet::draw(surface, m_state.DatabaseConnection, filter(), m_conditions, m_state.PrinterFont);
}

QString DialogRirekiP::documentTitle() const
{
    return HistorySheet::documentTitle(DTPicker1->date());
}

QString DialogRirekiP::documentName() const
{
    return QStringLiteral("変更履歴");
}
