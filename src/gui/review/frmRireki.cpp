// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/review/frmRireki.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/Twips.h"
#include "core/app/WaitCursor.h"
#include "core/history/HistoryListModel.h"
#include "core/history/HistorySearch.h"
#include "core/history/HistorySheet.h"
#include "core/rules/TextRules.h"
#include "gui/printing/DialogRirekiP.h"
#include "gui/review/frmRirekiLine.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/EnterAsTab.h"
#include "gui/widgets/GridColumns.h"
#include "gui/widgets/InputMethodGuard.h"
#include "gui/widgets/Named.h"
#include "gui/widgets/WindowPlacement.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// 日時, 端末, 種類, ID, 品名, 金額; 内容 takes the rest of the grid's width.
const QList<int> ColumnTwips = { 2100, 1900, 1000, 800, 2600, 1200 };

} // namespace

frmRireki::frmRireki(AppState& state, QDate settlementDate, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_entries(new HistoryListModel(this))
{
    setObjectName(QStringLiteral("frmRireki"));
    setWindowTitle(QStringLiteral("変　更　履　歴"));
    m_entries->setDatabase(&state.DatabaseConnection);
    buildControls();
    EnterAsTab::install(this);
    placeWorkingWindow(this, state.settings);
    DTPicker1->setDate(settlementDate);
    search();
    connect(DTPicker1, &QDateEdit::dateChanged, this, &frmRireki::search);
}

void frmRireki::buildControls()
{
    auto* Frame1 = named(new QGroupBox(this), "Frame1");
    DTPicker1 = makeDatePicker(Frame1);
    // A date typed digit by digit is searched when it is finished, not at every digit.
    DTPicker1->setKeyboardTracking(false);
    txtName = named(new QLineEdit(Frame1), "txtName");
    txtName->setToolTip(QStringLiteral("品名に含まれる文字列を入力してください。"));
    txtMinAmount = named(new QLineEdit(Frame1), "txtMinAmount");
    txtMaxAmount = named(new QLineEdit(Frame1), "txtMaxAmount");
    txtFrom = named(new QLineEdit(Frame1), "txtFrom");
    txtUntil = named(new QLineEdit(Frame1), "txtUntil");
    for (QLineEdit* box : { txtMinAmount, txtMaxAmount }) {
        box->setAlignment(Qt::AlignRight);
        box->setMaximumWidth(140);
        takesNumbersOnly(box);
    }
    for (QLineEdit* box : { txtFrom, txtUntil }) {
        box->setPlaceholderText(QStringLiteral("yyyy/MM/dd hh:mm"));
        box->setMaximumWidth(180);
        takesNumbersOnly(box);
    }
    txtFrom->setToolTip(QStringLiteral("この日時から後の変更を表示します。"));
    txtUntil->setToolTip(QStringLiteral("この日時までの変更を表示します（日付だけのときはその日の終わりまで）。"));
    Command1 = named(new QPushButton(QStringLiteral("検索開始(&F)"), Frame1), "Command1");

    auto range = [Frame1](const char* name, QLineEdit* from, QLineEdit* to) {
        auto* row = new QHBoxLayout;
        row->addWidget(from);
        row->addWidget(named(new QLabel(QStringLiteral("～"), Frame1), name));
        row->addWidget(to);
        row->addStretch();
        return row;
    };
    auto* criteria = new QGridLayout(Frame1);
    criteria->addWidget(namedLabel("Label3", QStringLiteral("決算日(&D)"), DTPicker1, Frame1), 0, 0);
    criteria->addWidget(DTPicker1, 0, 1, Qt::AlignLeft);
    criteria->addWidget(namedLabel("Label1", QStringLiteral("品名(&I)"), txtName, Frame1), 1, 0);
    criteria->addWidget(txtName, 1, 1);
    criteria->addWidget(namedLabel("Label2", QStringLiteral("価格(&K)"), txtMinAmount, Frame1), 2, 0);
    criteria->addLayout(range("Label5", txtMinAmount, txtMaxAmount), 2, 1);
    criteria->addWidget(namedLabel("Label4", QStringLiteral("日時(&T)"), txtFrom, Frame1), 3, 0);
    criteria->addLayout(range("Label6", txtFrom, txtUntil), 3, 1);
    criteria->addWidget(Command1, 3, 2);
    criteria->setColumnStretch(1, 1);

    auto* Frame2 = named(new QGroupBox(this), "Frame2");
    dgdRireki = named(new QTableView(Frame2), "dgdRireki");
    dgdRireki->setModel(m_entries);
    setUpLineGrid(dgdRireki);
    dgdRireki->setWordWrap(false);
    dgdRireki->horizontalHeader()->setStretchLastSection(true);
    layOutColumns(dgdRireki, ColumnTwips);
    auto* grid = new QVBoxLayout(Frame2);
    grid->addWidget(dgdRireki);

    auto* Picture1 = named(new QWidget(this), "Picture1");
    Text1 = named(new QLineEdit(Picture1), "Text1");
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::NoFocus);
    Command2 = named(new QPushButton(QStringLiteral("印　刷(&P)"), Picture1), "Command2");
    Command3 = named(new QPushButton(QStringLiteral("Excel(&E)"), Picture1), "Command3");
    for (QPushButton* b : { Command1, Command2, Command3 })
        b->setAutoDefault(false);
    auto* bottom = new QHBoxLayout(Picture1);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(Text1, 1);
    bottom->addWidget(Command2);
    bottom->addWidget(Command3);

    auto* page = new QVBoxLayout(this);
    page->addWidget(Frame1);
    page->addWidget(Frame2, 1);
    page->addWidget(Picture1);
    resize(1100, 660);

    setTabOrder(DTPicker1, txtName);
    setTabOrder(txtName, txtMinAmount);
    setTabOrder(txtMinAmount, txtMaxAmount);
    setTabOrder(txtMaxAmount, txtFrom);
    setTabOrder(txtFrom, txtUntil);
    setTabOrder(txtUntil, Command1);
    setTabOrder(Command1, dgdRireki);
    setTabOrder(dgdRireki, Command2);
    setTabOrder(Command2, Command3);

    connect(Command1, &QPushButton::clicked, this, &frmRireki::search);
    connect(Command2, &QPushButton::clicked, this, &frmRireki::print);
    connect(Command3, &QPushButton::clicked, this, &frmRireki::exportEntries);
    connect(dgdRireki, &QTableView::doubleClicked, this, &frmRireki::showLine);
}

void frmRireki::search()
{
    const HistorySearch::Input input { DTPicker1->date(),    txtName->text(), txtMinAmount->text(),
                                       txtMaxAmount->text(), txtFrom->text(), txtUntil->text() };
    HistorySearch::Refusal refusal;
    const std::optional<ChangeHistory::Filter> filter = HistorySearch::filterOf(input, &refusal);
    if (!filter) {
        m_state.prompter.notice(refusal.message, Prompter::Icon::Exclamation);
        QLineEdit* box = refusal.box == HistorySearch::Box::MinAmount ? txtMinAmount
            : refusal.box == HistorySearch::Box::MaxAmount            ? txtMaxAmount
            : refusal.box == HistorySearch::Box::From                 ? txtFrom
                                                                      : txtUntil;
        box->setFocus();
        box->selectAll();
        return;
    }
    bool read = false;
    {
        WaitCursor hourglass;
        read = m_entries->select(*filter);
    }
    m_conditions = HistorySearch::conditionText(input);
    showFound();
    dgdRireki->scrollToTop();
    // An empty list must not pass for a date without changes when nothing could be read.
    if (!read)
        m_state.prompter.notice(QStringLiteral("変更履歴を読み込めませんでした。"));
}

void frmRireki::showFound()
{
    const qint64 found = m_entries->found();
    Text1->setText(QStringLiteral("該当する変更　%1 件").arg(TextRules::formatAmount(double(found))));
    Command2->setEnabled(found > 0);
    Command3->setEnabled(found > 0);
}

void frmRireki::print()
{
    if (m_entries->found() == 0)
        return;
    DialogRirekiP(m_state, m_entries->filter(), m_conditions, this).exec();
}

void frmRireki::exportEntries()
{
    if (m_entries->found() > 0)
        HistoryExport::exportEntries(m_state, m_entries->filter());
}

void frmRireki::showLine(const QModelIndex& index)
{
    const ChangeHistory::Entry* entry = m_entries->entry(index.row());
    if (!entry || entry->lineId == 0)
        return;
    frmRirekiLine::showFor(m_state, entry->lineId, this);
}
