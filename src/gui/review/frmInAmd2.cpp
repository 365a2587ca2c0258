// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/review/frmInAmd2.h"

#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/app/Twips.h"
#include "core/app/WaitCursor.h"
#include "core/history/Finalisation.h"
#include "core/lines/LineChecks.h"
#include "core/lines/LineRegistration.h"
#include "core/lines/LinesModel.h"
#include "gui/review/frmRirekiLine.h"
#include "gui/widgets/ActivationWatcher.h"
#include "gui/widgets/CommitEditor.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/EnterAsTab.h"
#include "gui/widgets/FinalisedMark.h"
#include "gui/widgets/GridColumns.h"
#include "gui/widgets/InputMethodGuard.h"
#include "gui/widgets/LookupCombo.h"
#include "gui/widgets/Named.h"
#include "gui/widgets/OthersWatcher.h"
#include "gui/widgets/WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

frmInAmd2::frmInAmd2(AppState& state, QDate settlementDate, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_lines(new LinesModel(this))
{
    setObjectName(QStringLiteral("frmInAmd2"));
    setWindowTitle(QStringLiteral("棚　卸　表　訂　正"));
    m_lines->setDatabase(&state.DatabaseConnection);
    // A file opened read-only is looked at, not corrected.
    m_lines->setEditable(!state.DatabaseConnection.isReadOnly());
    buildControls();
    EnterAsTab::install(this);
    connect(new ActivationWatcher(this), &ActivationWatcher::activated, this, &frmInAmd2::checkCategories);
    connect(new OthersWatcher(m_state.DatabaseConnection, this), &OthersWatcher::othersChanged, this,
            &frmInAmd2::followOthers);
    connect(m_lines, &LinesModel::editRefused, this,
            [this](const QString& message) { m_state.prompter.notice(message, Prompter::Icon::Exclamation); });

    placeWorkingWindow(this, state.settings);
    DTPicker1->setDate(settlementDate);
    refreshStatusLine();
    connect(DTPicker1, &QDateEdit::dateChanged, this, &frmInAmd2::refreshStatusLine);
}

void frmInAmd2::buildControls()
{
    auto* Frame1 = named(new QGroupBox(this), "Frame1");
    DTPicker1 = makeDatePicker(Frame1);
    dbcNouhin = named(new LookupCombo(LookupModel::Kind::AnyCategory, m_state, Frame1), "dbcNouhin");
    dbcNouhin->setToolTip(QStringLiteral("検索する仕入先名の文字列を入力してください。"));
    dbcNouhin->setMinimumWidth(240);
    Text2 = named(new QLineEdit(Frame1), "Text2");
    Text2->setReadOnly(true);
    Text2->setFocusPolicy(Qt::NoFocus);
    Text2->setMaximumWidth(80);
    dbcNouhin->setIdBox(Text2);
    dbcShohin = named(new LookupCombo(LookupModel::Kind::Product, m_state, Frame1), "dbcShohin");
    dbcShohin->setOpensInputMethod(false);
    Command1 = named(new QPushButton(QStringLiteral("検索開始(&F)"), Frame1), "Command1");
    Command5 = named(new QPushButton(QStringLiteral("Command5"), Frame1), "Command5");
    Command1->setVisible(false);
    Command5->setVisible(false);
    Command4 = named(new QPushButton(QStringLiteral("すべての棚卸(&A)"), Frame1), "Command4");
    Command4->setToolTip(QStringLiteral("決算日を含むすべての棚卸を表示"));
    Command2 = named(new QPushButton(QStringLiteral("単価未入力の棚卸(&T)"), Frame1), "Command2");
    Text1 = named(new QLineEdit(Frame1), "Text1");
    Text1->setReadOnly(true);
    Text1->setFocusPolicy(Qt::NoFocus);

    auto* criteria = new QGridLayout(Frame1);
    criteria->addWidget(namedLabel("Label3", QStringLiteral("決算日(&Y)"), DTPicker1, Frame1), 0, 0);
    // Whether the date's lines can be corrected at all shows beside it.
    m_mark = new FinalisedMark(Frame1);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(DTPicker1);
    dateRow->addWidget(m_mark);
    dateRow->addStretch();
    criteria->addLayout(dateRow, 0, 1);
    criteria->addWidget(Command4, 0, 3);
    criteria->addWidget(namedLabel("Label7", QStringLiteral("項目/分類名(&N)"), dbcNouhin, Frame1), 1, 0);
    criteria->addWidget(dbcNouhin, 1, 1);
    criteria->addWidget(namedLabel("Label2", QStringLiteral("項目ID"), Text2, Frame1), 1, 2, Qt::AlignRight);
    criteria->addWidget(Text2, 1, 3);
    criteria->addWidget(namedLabel("Label6", QStringLiteral("品名(&I)"), dbcShohin, Frame1), 2, 0);
    criteria->addWidget(dbcShohin, 2, 1);
    criteria->addWidget(Command2, 2, 3);
    criteria->addWidget(Text1, 3, 0, 1, 4);
    criteria->setColumnStretch(1, 1);

    auto* Frame2 = named(new QGroupBox(this), "Frame2");
    dgdSub = named(new QTableView(Frame2), "dgdSub");
    dgdSub->setModel(m_lines);
    setUpLineGrid(dgdSub,
                  QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                      | QAbstractItemView::AnyKeyPressed);
    layOutColumns(dgdSub, WholeLineTwips, WholeLineAmountColumn);
    takesNumbersOnlyInNumberCells(dgdSub);
    Command3 = named(new QPushButton(QStringLiteral("更新(&U)"), Frame2), "Command3");
    cmdMasterCancel = named(new QPushButton(QStringLiteral("削除(&D)"), Frame2), "cmdMasterCancel");
    cmdRireki = named(new QPushButton(QStringLiteral("履歴(&R)"), Frame2), "cmdRireki");
    cmdRireki->setToolTip(QStringLiteral("選択している棚卸の変更履歴を表示します。"));
    for (QPushButton* b : { Command1, Command2, Command3, Command4, Command5, cmdMasterCancel, cmdRireki })
        b->setAutoDefault(false);
    // The same from the line's own menu in the grid.
    dgdSub->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(dgdSub, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = dgdSub->indexAt(at);
        if (!index.isValid())
            return;
        dgdSub->setCurrentIndex(index);
        QMenu menu(this);
        connect(menu.addAction(QStringLiteral("履歴(&R)")), &QAction::triggered, this, &frmInAmd2::showHistory);
        menu.exec(dgdSub->viewport()->mapToGlobal(at));
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRireki);
    buttons->addStretch();
    buttons->addWidget(Command3);
    buttons->addWidget(cmdMasterCancel);
    auto* grid = new QVBoxLayout(Frame2);
    grid->addWidget(dgdSub);
    grid->addLayout(buttons);

    auto* page = new QVBoxLayout(this);
    page->addWidget(Frame1);
    page->addWidget(Frame2, 1);
    resize(980, 640);

    connect(Command1, &QPushButton::clicked, this, &frmInAmd2::searchCategory);
    connect(Command5, &QPushButton::clicked, this, &frmInAmd2::searchProduct);
    connect(Command4, &QPushButton::clicked, this, &frmInAmd2::searchAll);
    connect(Command2, &QPushButton::clicked, this, &frmInAmd2::searchWithoutUnitPrice);
    connect(Command3, &QPushButton::clicked, this, &frmInAmd2::update);
    connect(cmdMasterCancel, &QPushButton::clicked, this, &frmInAmd2::deleteLine);
    connect(cmdRireki, &QPushButton::clicked, this, &frmInAmd2::showHistory);

    // The combos drive the searches; clearing the other combo's text starts no search of its own.
    auto clear = [this](LookupCombo* combo) {
        m_clearingText = true;
        combo->setText(QString());
        m_clearingText = false;
    };
    connect(dbcNouhin, &LookupCombo::pressed, this, [this, clear] {
        clear(dbcShohin);
        searchCategory();
    });
    connect(dbcNouhin, &LookupCombo::chosen, this, [this, clear] {
        clear(dbcShohin);
        searchCategory();
    });
    connect(dbcShohin, &LookupCombo::pressed, this, [this, clear] {
        clear(dbcNouhin);
        searchProduct();
    });
    connect(dbcShohin, &QComboBox::editTextChanged, this, [this, clear] {
        if (m_clearingText)
            return;
        clear(dbcNouhin);
        searchProduct();
    });
}

bool frmInAmd2::hasLines() const
{
    return m_lines->rowCount() > 0;
}

void frmInAmd2::setEditButtons(bool enabled)
{
    enabled = enabled && !m_state.DatabaseConnection.isReadOnly();
    Command3->setEnabled(enabled);
    cmdMasterCancel->setEnabled(enabled);
}

void frmInAmd2::followOthers()
{
    refreshStatusLine();
    chooseAgainInPlace(dgdSub, [this] { m_lines->reselect(); });
}

void frmInAmd2::refreshStatusLine()
{
    Text1->setText(statusLineText(m_state.DatabaseConnection, DTPicker1->date()));
    m_mark->showDate(m_state.DatabaseConnection, DTPicker1->date());
}

void frmInAmd2::list(const LineSelection& selection)
{
    commitEdit(); // a cell being edited is written before the grid shows something else
    // A search that cannot be read must not pass for one that found nothing.
    if (!m_lines->select(selection))
        m_state.prompter.notice(QStringLiteral("データベースの接続に失敗しました。"));
}

void frmInAmd2::checkCategories()
{
    const QDate date = DTPicker1->date();
    std::optional<int> marked;
    {
        WaitCursor hourglass;
        dbcNouhin->refreshList();
        marked = markLinesWithoutCategory(m_state.DatabaseConnection, date);
    }
    if (marked.value_or(0) > 0) {
        list(LineSelections::marked(date));
        setEditButtons(true);
        if (m_state.prompter.ask(
                QStringLiteral("表示された棚卸は、項目/分類が設定されていません。項目IDを「０」に変更しますか？"))) {
            QString error;
            if (const auto moved = moveMarkedLinesToNoCategory(m_state.DatabaseConnection, date, &error))
                list(*moved);
            else if (!error.isEmpty()) // a finalised date: the lines stay as they were filed
                m_state.prompter.notice(error, Prompter::Icon::Exclamation);
            dgdSub->scrollToTop();
        }
    }
    restoreArrowCursor();
}

void frmInAmd2::searchCategory()
{
    if (Text2->text().isEmpty()) {
        dbcNouhin->setFocus();
        return;
    }
    list(LineSelections::ofCategory(DTPicker1->date(), Text2->text().toInt()));
    setEditButtons(hasLines());
}

void frmInAmd2::searchProduct()
{
    list(LineSelections::ofProduct(m_state.DatabaseConnection, DTPicker1->date(), dbcShohin->text()));
    setEditButtons(hasLines());
}

void frmInAmd2::searchAll()
{
    list(LineSelections::all());
    setEditButtons(hasLines());
    if (hasLines())
        refreshStatusLine();
}

void frmInAmd2::searchWithoutUnitPrice()
{
    list(LineSelections::withoutUnitPrice(DTPicker1->date()));
}

void frmInAmd2::update()
{
    commitEdit();
    refreshStatusLine();
}

void frmInAmd2::deleteLine()
{
    if (!hasLines())
        return;
    const QModelIndex current = dgdSub->currentIndex();
    const int row = current.isValid() ? current.row() : 0;
    // A line of a finalised date is refused before anything is asked.
    if (refuseFinalised(row))
        return;
    if (!m_state.prompter.ask(QStringLiteral("表示中のレコードを削除します。よろしいですか。")))
        return;
    if (!::deleteLine(m_state.DatabaseConnection, m_lines->lineId(row))) {
        if (refuseFinalised(row)) // finalised meanwhile, by another copy or the command line
            return;
        m_state.prompter.notice(
            QStringLiteral("データ削除中にエラーが発生しました。再度データの取消を行ってください。"));
        cmdMasterCancel->setEnabled(true);
        return;
    }
    m_lines->removeListedRow(row); // the other lines listed stay as they are
    if (hasLines()) {
        dgdSub->setCurrentIndex(m_lines->index(std::min(row, m_lines->rowCount() - 1), 3));
        refreshStatusLine();
    } else {
        cmdMasterCancel->setEnabled(false);
        refreshStatusLine();
    }
}

void frmInAmd2::showHistory()
{
    const QModelIndex current = dgdSub->currentIndex();
    const int lineId = current.isValid() ? m_lines->lineId(current.row()) : 0;
    if (lineId == 0) {
        m_state.prompter.notice(QStringLiteral("履歴を表示する棚卸を選択してください。"));
        return;
    }
    // An edit still open is part of the history to be shown.
    commitEdit();
    frmRirekiLine::showFor(m_state, lineId, this);
}

bool frmInAmd2::refuseFinalised(int row)
{
    // The listed lines may be of any date (全件): the date is the row's own.
    QDate date;
    for (int c = 0; c < m_lines->columnCount(); ++c) {
        if (m_lines->headerData(c, Qt::Horizontal).toString() == u"日付")
            date = DateText::fromText(m_lines->index(row, c).data().toString());
    }
    const std::optional<Finalisation::DateLock> lock = Finalisation::lockOf(m_state.DatabaseConnection, date);
    if (!lock)
        return false;
    m_state.prompter.notice(Finalisation::refusal(*lock), Prompter::Icon::Exclamation);
    return true;
}

void frmInAmd2::commitEdit()
{
    // Edits reach the table as each cell is left; an editor still open is left now.
    commitOpenEditor(dgdSub);
}

void frmInAmd2::closeEvent(QCloseEvent* event)
{
    commitEdit();
    dgdSub->hide();
    QDialog::closeEvent(event);
}
