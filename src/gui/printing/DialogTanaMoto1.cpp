// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/DialogTanaMoto1.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/lines/LineChecks.h"
#include "core/printing/SheetText.h"
#include "gui/printing/CategoryChoice.h"
#include "gui/printing/SheetCategoryCheck.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/Named.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLineEdit>

using StocktakingSheet::Layout;

DialogTanaMoto1::DialogTanaMoto1(AppState& state, QDate settlementDate, QWidget* parent)
    : PrintDialogFrame(state, QStringLiteral("棚　卸　表　印刷"), parent)
{
    setObjectName(QStringLiteral("DialogTanaMoto1"));
    buildControls(settlementDate);
    loadFrame();
    enableByLayout();
}

void DialogTanaMoto1::buildControls(QDate settlementDate)
{
    DTPicker1 = makeDatePicker(this);
    DTPicker1->setDate(settlementDate);

    Combo1 = named(new QComboBox(this), "Combo1");
    for (Layout each : { Layout::Original, Layout::Simple, Layout::Hisago1151 })
        Combo1->addItem(StocktakingSheet::layoutName(each));
    const int stored = int(Combo1->findText(m_state.settings.value(Setting::DialogOutCombo1)));
    Combo1->setCurrentIndex(stored >= 0 ? stored : 0);

    Frame1 = new CategoryChoice(m_state, QStringLiteral("項目分類名(&K)"), this);

    // Receives the total of every line of the date for the comparison after printing.
    Text1 = named(new QLineEdit(this), "Text1");
    Text1->setVisible(false);

    QGridLayout* rows = form();
    rows->addWidget(namedLabel("Label1", QStringLiteral("決算日(&D)"), DTPicker1, this), 0, 0);
    rows->addWidget(DTPicker1, 0, 1);
    rows->addWidget(namedLabel("Label2", QStringLiteral("用紙(&M)"), Combo1, this), 1, 0);
    rows->addWidget(Combo1, 1, 1);
    rows->addWidget(Frame1, 2, 0, 1, 2);

    connect(Combo1, &QComboBox::currentTextChanged, this, [this] {
        layoutAllowsChoice();
        enableByLayout();
    });
    connect(Frame1, &CategoryChoice::oneChosen, this, &DialogTanaMoto1::layoutAllowsChoice);
}

QDate DialogTanaMoto1::date() const
{
    return DTPicker1->date();
}

Layout DialogTanaMoto1::layout() const
{
    return StocktakingSheet::layoutFromName(Combo1->currentText()).value_or(Layout::Original);
}

void DialogTanaMoto1::enableByLayout()
{
    // Only the continuous form is shifted on the paper.
    offsetGroup()->setEnabled(layout() == Layout::Hisago1151);
}

bool DialogTanaMoto1::layoutAllowsChoice()
{
    if (layout() != Layout::Hisago1151 || Frame1->all())
        return true;
    m_state.prompter.notice(QStringLiteral("この用紙は、項目/分類別に出力できません。"));
    Frame1->chooseAll();
    return false;
}

bool DialogTanaMoto1::prepare(Output)
{
    m_document.reset();
    const bool all = Frame1->all();
    if (all && !moveLinesWithoutCategoryAsked(m_state, date()))
        return false;
    const Database& db = m_state.DatabaseConnection;
    if (StocktakingSheet::lineCount(db, date()).value_or(0) == 0) {
        m_state.prompter.notice(QStringLiteral("該当する棚卸はありません。決算日を確認してください。"));
        return false;
    }
    std::optional<int> category;
    if (!all) {
        category = Frame1->chosenCategory();
        if (!category) {
            m_state.prompter.notice(QStringLiteral("項目/分類名が選択されていません。"));
            return false;
        }
    }
    m_document = StocktakingSheet::load(db, date(), category);
    if (!m_document) {
        m_state.prompter.notice(QStringLiteral("データベースの接続に失敗しました。"
                                               "データベースが使用可能になってから再度実行してください。"));
        return false;
    }
    return true;
}

int DialogTanaMoto1::pageCount() const
{
    return StocktakingSheet::pageCount(*m_document, layout());
}

QString DialogTanaMoto1::documentName() const
{
    return QStringLiteral("棚卸表");
}

SheetPrinted DialogTanaMoto1::draw(PageSurface& surface)
{
    m_printed = StocktakingSheet::draw(surface, *m_document, layout(), m_state.PrinterFont, offsetX(), offsetY());
    return m_printed;
}

void DialogTanaMoto1::printed()
{
    if (!Frame1->all())
        return;
    const std::optional<double> stored = StocktakingSheet::storedTotal(m_state.DatabaseConnection, date());
    Text1->setText(stored ? SheetText::amount(*stored) : QString());
    if (!stored || StocktakingSheet::totalsAgree(*stored, m_printed.total))
        return;
    m_state.prompter.notice(
        QStringLiteral("出力した棚卸表に出力漏れがあります。棚卸表「項目ID」の修正を行ってください。"));
    m_correction = true;
    done(Rejected);
}

QString DialogTanaMoto1::documentTitle() const
{
    return StocktakingSheet::documentTitle(date());
}

void DialogTanaMoto1::done(int result)
{
    m_state.settings.setValue(Setting::DialogOutCombo1, Combo1->currentText());
    PrintDialogFrame::done(result);
}
