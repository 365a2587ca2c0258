// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/DialogTanaMoto3.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/printing/SummarySheet.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/Named.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>

DialogTanaMoto3::DialogTanaMoto3(AppState& state, QDate settlementDate, const QString& title, const QString& heading,
                                 QWidget* parent)
    : PrintDialogFrame(state, title, parent)
{
    setObjectName(QStringLiteral("DialogTanaMoto3"));
    DTPicker1 = makeDatePicker(this);
    DTPicker1->setDate(settlementDate);
    Text3 = named(new QLineEdit(title, this), "Text3");
    Text3->setVisible(false);
    Text4 = named(new QLineEdit(heading, this), "Text4");
    Text4->setVisible(false);
    QGridLayout* rows = form();
    rows->addWidget(namedLabel("Label1", QStringLiteral("決算日(&D)"), DTPicker1, this), 0, 0);
    rows->addWidget(DTPicker1, 0, 1);
    rows->setColumnStretch(2, 1);
    loadFrame();
    offsetGroup()->setEnabled(false);
}

QDate DialogTanaMoto3::date() const
{
    return DTPicker1->date();
}

bool DialogTanaMoto3::prepare(Output)
{
    m_document.reset();
    const std::optional<SummarySheet::By> by = SummarySheet::byHeading(Text4->text());
    if (!by)
        return false;
    QString problem;
    m_document = SummarySheet::load(m_state.DatabaseConnection, *by, date(), &problem);
    if (!m_document)
        m_state.prompter.notice(problem);
    return m_document.has_value();
}

int DialogTanaMoto3::pageCount() const
{
    return sheetPages(*m_document);
}

QString DialogTanaMoto3::documentName() const
{
    return QStringLiteral("集計表");
}

SheetPrinted DialogTanaMoto3::draw(PageSurface& surface)
{
    return drawSheet(surface, *m_document, SummarySheet::layout(Text3->text(), Text4->text()), m_state.PrinterFont);
}

QString DialogTanaMoto3::documentTitle() const
{
    return SummarySheet::documentTitle(Text3->text(), date());
}
