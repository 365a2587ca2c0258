// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/review/frmList.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/Twips.h"
#include "core/app/WaitCursor.h"
#include "core/export/SpreadsheetExport.h"
#include "core/history/Finalisation.h"
#include "core/lines/LineChecks.h"
#include "core/lines/LineRegistration.h"
#include "core/lines/LinesModel.h"
#include "gui/widgets/ActivationWatcher.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/EnterAsTab.h"
#include "gui/widgets/GridColumns.h"
#include "gui/widgets/Named.h"
#include "gui/widgets/OthersWatcher.h"
#include "gui/widgets/WindowPlacement.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

using SummaryViews::View;

namespace {

const QString ReadFailed = QStringLiteral("データベースの接続に失敗しました。");

// Column widths in twips of the views; 0 hides a column.
const QList<int> LineTwips = { 0, 1200, 3800, 1200, 600, 1200, 1200, 1200, 1200 };
constexpr int LineAmountColumn = 6;
const QList<int> TotalsTwips = { -1, 4200, 3000, 1200 };

} // namespace

frmList::frmList(AppState& state, QDate settlementDate, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_lines(new LinesModel(LinesModel::Listing::WithCategoryName, this))
    , m_checked(new LinesModel(this))
    , m_totals(new TotalsModel(this))
{
    setObjectName(QStringLiteral("frmList"));
    setWindowTitle(QStringLiteral("決算日別　棚卸集計表"));
    m_lines->setDatabase(&state.DatabaseConnection);
    m_checked->setDatabase(&state.DatabaseConnection);
    buildControls();
    EnterAsTab::install(this);
    placeWorkingWindow(this, state.settings);
    DTPicker1->setDate(settlementDate);
    Combo1->addItems(SummaryViews::names());
    Combo1->setCurrentIndex(int(View::AllLines));

    connect(new ActivationWatcher(this), &ActivationWatcher::activated, this, &frmList::showAllLines);
    connect(new OthersWatcher(m_state.DatabaseConnection, this), &OthersWatcher::othersChanged, this,
            &frmList::followOthers);
    connect(DTPicker1, &QDateEdit::dateChanged, this, [this] {
        refreshStatusLine();
        showChosenView();
    });
    connect(Combo1, &QComboBox::activated, this, &frmList::showChosenView);
    connect(Command1, &QPushButton::clicked, this, &frmList::showChosenView);
    connect(Command2, &QPushButton::clicked, this, &frmList::print);
    connect(Command3, &QPushButton::clicked, this, &frmList::exportLines);
}

void frmList::buildControls()
{
    auto* Frame1 = named(new QGroupBox(this), "Frame1");
    DTPicker1 = makeDatePicker(Frame1);
    // A date typed digit by digit is taken when it is finished, not at every digit: a
    // check writes its marks for the date it runs on.
    DTPicker1->setKeyboardTracking(false);
    Combo1 = named(new QComboBox(Frame1), "Combo1");
    Combo1->setMinimumContentsLength(24);
    Command1 = named(new QPushButton(QStringLiteral("検索開始(&F)"), Frame1), "Command1");

    auto* criteria = new QGridLayout(Frame1);
    criteria->addWidget(namedLabel("Label3", QStringLiteral("決算日(&D)"), DTPicker1, Frame1), 0, 0);
    criteria->addWidget(DTPicker1, 0, 1, Qt::AlignLeft);
    criteria->addWidget(namedLabel("Label4", QStringLiteral("集計項目(&Q)"), Combo1, Frame1), 1, 0);
    criteria->addWidget(Combo1, 1, 1);
    criteria->addWidget(Command1, 1, 2);
    criteria->setColumnStretch(3, 1);

    auto* Frame2 = named(new QGroupBox(this), "Frame2");
    dgdSub = named(new QTableView(Frame2), "dgdSub");
    setUpLineGrid(dgdSub);
    auto* grid = new QVBoxLayout(Frame2);
    grid->addWidget(dgdSub);

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

    // Passing messages of the list, such as a command that is not there yet.
    m_messages = named(new QStatusBar(this), "StatusBar1");
    m_messages->setSizeGripEnabled(false);

    auto* page = new QVBoxLayout(this);
    page->addWidget(Frame1);
    page->addWidget(Frame2, 1);
    page->addWidget(Picture1);
    page->addWidget(m_messages);
    resize(980, 640);

    setTabOrder(DTPicker1, Combo1);
    setTabOrder(Combo1, Command1);
    setTabOrder(Command1, dgdSub);
    setTabOrder(dgdSub, Command2);
    setTabOrder(Command2, Command3);
}

void frmList::refreshStatusLine()
{
    Text1->setText(statusLineText(m_state.DatabaseConnection, DTPicker1->date()));
}

void frmList::followOthers()
{
    refreshStatusLine();
    // The lines and the totals show the others' lines too; the checks, which mark lines, run
    // only when asked.
    switch (m_shown) {
    case View::AllLines:
    case View::WithoutUnitPrice:
        chooseAgainInPlace(dgdSub, [this] { m_lines->reselect(); });
        break;
    case View::CategoryTotals:
    case View::ProductTotals:
        chooseAgainInPlace(dgdSub, [this] {
            m_totals->select(m_state.DatabaseConnection,
                             m_shown == View::CategoryTotals ? TotalsModel::By::Category : TotalsModel::By::Product,
                             DTPicker1->date());
        });
        break;
    case View::CategoryCheck:
    case View::ProductCheck:
        break;
    }
}

void frmList::showAllLines()
{
    // Coming back to the list shows all lines of the date, and the combo says so.
    const QSignalBlocker quiet(Combo1);
    Combo1->setCurrentIndex(int(View::AllLines));
    showView(View::AllLines);
    refreshStatusLine();
    restoreArrowCursor();
}

void frmList::showChosenView()
{
    showView(SummaryViews::fromName(Combo1->currentText()));
}

void frmList::showView(View view)
{
    m_shown = view;
    m_messages->clearMessage();
    bool read = false;
    switch (view) {
    case View::AllLines:
    case View::WithoutUnitPrice:
        read = showLines(view == View::WithoutUnitPrice);
        break;
    case View::CategoryTotals:
        read = showTotals(TotalsModel::By::Category);
        break;
    case View::ProductTotals:
        read = showTotals(TotalsModel::By::Product);
        break;
    case View::CategoryCheck:
        read = checkCategories();
        break;
    case View::ProductCheck:
        read = checkProducts();
        break;
    }
    Command2->setEnabled(SummaryViews::canPrint(view));
    Command3->setEnabled(SummaryViews::canExport(view));
    restoreArrowCursor();
    // An empty list must not pass for a date without lines when nothing could be read.
    if (!read)
        m_state.prompter.notice(ReadFailed);
}

bool frmList::showLines(bool withoutUnitPrice)
{
    bool read = false;
    {
        WaitCursor hourglass;
        read = m_lines->select(CategorisedLines::ofDate(DTPicker1->date(), withoutUnitPrice));
    }
    dgdSub->setModel(m_lines);
    layOutColumns(dgdSub, LineTwips, LineAmountColumn);
    return read;
}

bool frmList::showTotals(TotalsModel::By by)
{
    bool read = false;
    {
        WaitCursor hourglass;
        read = m_totals->select(m_state.DatabaseConnection, by, DTPicker1->date());
    }
    dgdSub->setModel(m_totals);
    layOutColumns(dgdSub, TotalsTwips);
    return read;
}

void frmList::showChecked(const LineSelection& selection)
{
    const bool read = m_checked->select(selection);
    dgdSub->setModel(m_checked);
    layOutColumns(dgdSub, WholeLineTwips, WholeLineAmountColumn);
    dgdSub->scrollToTop();
    if (!read)
        m_state.prompter.notice(ReadFailed);
}

std::optional<int> frmList::check(std::optional<int> (*mark)(const Database&, QDate), const LineSelection& missing)
{
    const QDate date = DTPicker1->date();
    const Database& db = m_state.DatabaseConnection;
    // A file that cannot be written is looked at: the lines are found without marks.
    if (db.isReadOnly()) {
        showChecked(missing);
        return 0;
    }
    std::optional<int> marked;
    {
        WaitCursor hourglass;
        marked = mark(db, date);
    }
    if (marked)
        showChecked(LineSelections::marked(date));
    return marked;
}

bool frmList::checkCategories()
{
    const QDate date = DTPicker1->date();
    const std::optional<int> marked = check(markLinesWithoutCategory, LineSelections::missingCategory(date));
    if (!marked)
        return false;
    if (*marked == 0)
        return true;
    restoreArrowCursor();
    if (!m_state.prompter.ask(
            QStringLiteral("表示された棚卸は、項目/分類情報が設定されていません。項目IDを「０」に変更しますか？")))
        return true;
    QString error;
    const std::optional<LineSelection> moved = moveMarkedLinesToNoCategory(m_state.DatabaseConnection, date, &error);
    if (!moved && Finalisation::lockOf(m_state.DatabaseConnection, date)) {
        // A finalised date keeps its lines as filed: the marked lines stay listed, unmoved.
        m_state.prompter.notice(error, Prompter::Icon::Exclamation);
        return true;
    }
    if (!moved)
        return false;
    showChecked(*moved);
    return true;
}

bool frmList::checkProducts()
{
    return check(markLinesWithoutProduct, LineSelections::missingProduct(DTPicker1->date())).has_value();
}

void frmList::print()
{
    // All lines print as the stocktaking sheet, the totals as their summary sheet, each in its
    // own dialog once the list has closed.
    if (!SummaryViews::canPrint(m_shown))
        return;
    m_printWanted = m_shown;
    accept();
}

QDate frmList::date() const
{
    return DTPicker1->date();
}

void frmList::exportLines()
{
    SpreadsheetExport::exportLines(m_state, DTPicker1->date(), SummaryViews::name(m_shown));
}

void frmList::closeEvent(QCloseEvent* event)
{
    dgdSub->hide();
    QDialog::closeEvent(event);
}
