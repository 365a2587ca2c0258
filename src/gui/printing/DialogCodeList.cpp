// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/DialogCodeList.h"

#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Prompter.h"
#include "core/printing/CodeList.h"
#include "gui/printing/CategoryChoice.h"

#include <QGridLayout>
#include <QGroupBox>

DialogCodeList::DialogCodeList(AppState& state, QWidget* parent)
    : PrintDialogFrame(state, QStringLiteral("商品コード一覧表　印刷"), parent)
{
    setObjectName(QStringLiteral("DialogCodeList"));
    Frame1 = new CategoryChoice(m_state, QStringLiteral("項目/分類名(&K)"), this);
    form()->addWidget(Frame1, 0, 0, 1, 2);
    loadFrame();
    offsetGroup()->setEnabled(false);
}

bool DialogCodeList::prepare(Output)
{
    m_document.reset();
    const std::optional<int> category = Frame1->all() ? std::nullopt : Frame1->chosenCategory();
    if (!Frame1->all() && !category) {
        m_state.prompter.notice(QStringLiteral("項目/分類名が選択されていません。"));
        return false;
    }
    QString problem;
    m_document = CodeList::load(m_state.DatabaseConnection, m_state.clock.today(), category, &problem);
    if (!m_document)
        m_state.prompter.notice(problem);
    return m_document.has_value();
}

int DialogCodeList::pageCount() const
{
    return sheetPages(*m_document);
}

QString DialogCodeList::documentName() const
{
    return QStringLiteral("商品コード一覧表");
}

SheetPrinted DialogCodeList::draw(PageSurface& surface)
{
    return CodeList::draw(surface, *m_document, m_state.PrinterFont);
}

QString DialogCodeList::documentTitle() const
{
    return CodeList::documentTitle(m_document ? m_document->date : m_state.clock.today());
}
