// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/DialogTanaMoto2.h"

#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Prompter.h"
#include "core/printing/CountBook.h"
#include "core/printing/SheetLayout.h"
#include "gui/printing/CategoryChoice.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/Named.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>

DialogTanaMoto2::DialogTanaMoto2(AppState& state, QWidget* parent)
    : PrintDialogFrame(state, QStringLiteral("棚卸記入帳　　印刷"), parent)
{
    setObjectName(QStringLiteral("DialogTanaMoto2"));
    DTPicker1 = makeDatePicker(this);
    DTPicker1->setDate(m_state.clock.today());
    Frame1 = new CategoryChoice(m_state, QStringLiteral("項目/分類名(&K)"), this);
    QGridLayout* rows = form();
    rows->addWidget(namedLabel("Label1", QStringLiteral("前期の棚卸日(&D)"), DTPicker1, this), 0, 0);
    rows->addWidget(DTPicker1, 0, 1);
    rows->addWidget(Frame1, 1, 0, 1, 2);
    loadFrame();
    offsetGroup()->setEnabled(false);
}

QDate DialogTanaMoto2::date() const
{
    return DTPicker1->date();
}

bool DialogTanaMoto2::prepare(Output)
{
    m_document.reset();
    const std::optional<int> category = Frame1->all() ? std::nullopt : Frame1->chosenCategory();
    if (!Frame1->all() && !category) {
        m_state.prompter.notice(QStringLiteral("項目/分類名が選択されていません。"));
        return false;
    }
    QString problem;
    m_document = CountBook::load(m_state.DatabaseConnection, date(), category, &problem);
    if (!m_document)
        m_state.prompter.notice(problem);
    return m_document.has_value();
}

int DialogTanaMoto2::pageCount() const
{
    return sheetPages(*m_document);
}

QString DialogTanaMoto2::documentName() const
{
    return QStringLiteral("棚卸記入帳");
}

SheetPrinted DialogTanaMoto2::draw(PageSurface& surface)
{
    return CountBook::draw(surface, *m_document, m_state.PrinterFont);
}

QString DialogTanaMoto2::documentTitle() const
{
    return CountBook::documentTitle(date());
}
