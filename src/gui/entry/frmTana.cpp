// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/entry/frmTana.h"

#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/app/Twips.h"
#include "core/app/WaitCursor.h"
#include "core/files/FailureCause.h"
#include "core/history/Finalisation.h"
#include "core/lines/LineRegistration.h"
#include "core/lines/LinesModel.h"
#include "core/rules/TextRules.h"
#include "gui/entry/ScannerKeys.h"
#include "gui/shell/frmTipA.h"
#include "gui/widgets/ActivationWatcher.h"
#include "gui/widgets/AmountColumn.h"
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
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString ConnectionFailed = QStringLiteral("データベースの接続に失敗しました。");

// The earlier lines the history grid shows at most, newest first.
constexpr int HistoryRows = 500;

QString numberText(const QVariant& value)
{
    return value.isNull() ? QString() : QString::number(value.toDouble(), 'g', 15);
}

} // namespace

frmTana::frmTana(AppState& state, QDate settlementDate, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_state(state)
    , m_lines(new LinesModel(this))
{
    setObjectName(QStringLiteral("frmTana"));
    setWindowTitle(QStringLiteral("棚　卸　表　入　力"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    setTabOrder();
    EnterAsTab::install(this);
    // After Enter-as-Tab, so that it sees a scanner's Enter first.
    new ScannerKeys(this, dbcShohin,
                    [this](const QString& text, bool fromScanner) { return takeCode(text, fromScanner); });
    connect(new ActivationWatcher(this), &ActivationWatcher::activated, this, &frmTana::onActivated);
    // The totals of the date follow the lines other stations register. The grid keeps this
    // station's own last line: that is the one 取消 takes back.
    connect(new OthersWatcher(state.DatabaseConnection, this), &OthersWatcher::othersChanged, this,
            &frmTana::refreshStatusLine);

    placeWorkingWindow(this, state.settings);

    DTPicker1->setDate(settlementDate);
    m_lines->setDatabase(&state.DatabaseConnection);
    reloadLines();
    refreshStatusLine();
    connect(DTPicker1, &QDateEdit::dateChanged, this, [this] {
        reloadLines();
        refreshStatusLine();
    });
}

QStringList frmTana::helpLines()
{
    return {
        QString(),
        QStringLiteral("■項目/分類情報の登録"),
        QString(),
        QStringLiteral("棚卸表入力時に自動的に入力されます。"),
        QStringLiteral(
            "項目IDは、入力順になりますので、項目/分類名の順番を揃えるには、事前に「項目/分類情報の登録 」を済ませま"
            "す。"),
        QString(),
        QString(),
        QStringLiteral("■品名情報登録"),
        QString(),
        QStringLiteral("棚卸表入力時に自動的に登録されます｡"),
        QStringLiteral(
            "エクセルで作成した品名情報をインポートすることで、品名情報（品名、数量単位、単価）が登録、更新できます。"),
        QString(),
        QStringLiteral(
            "エクセルで作成した棚卸表をインポートすることで、前回棚卸表および品名情報（品名、数量単位、単価）が登録、"
            "更新できます。"),
    };
}

void frmTana::buildControls()
{
    DTPicker1 = makeDatePicker(this);
    m_mark = new FinalisedMark(this);
    Command4 = named(new QPushButton(QStringLiteral("ﾍﾙﾌﾟ(&H)"), this), "Command4");
    Command1 = named(new QPushButton(QStringLiteral("閉じる(&X)"), this), "Command1");

    auto* Frame1 = named(new QGroupBox(this), "Frame1");
    dbcNouhin = named(new LookupCombo(LookupModel::Kind::Category, m_state, Frame1), "dbcNouhin");
    dbcNouhin->setToolTip(QStringLiteral("検索する項目分類名の文字列を入力してください。"));
    dbcShohin = named(new LookupCombo(LookupModel::Kind::Product, m_state, Frame1), "dbcShohin");
    dbcTani = named(new LookupCombo(LookupModel::Kind::Unit, m_state, Frame1), "dbcTani");
    Text1 = named(new QLineEdit(Frame1), "Text1");
    Text2 = named(new QLineEdit(Frame1), "Text2");
    for (QLineEdit* idBox : { Text1, Text2 }) {
        idBox->setReadOnly(true);
        idBox->setFocusPolicy(Qt::NoFocus);
        idBox->setMaximumWidth(80);
        idBox->setAlignment(Qt::AlignRight);
    }
    dbcNouhin->setIdBox(Text1);
    dbcShohin->setIdBox(Text2);
    txtCnt = named(new QLineEdit(Frame1), "txtCnt");
    txtTanka = named(new QLineEdit(Frame1), "txtTanka");
    txtMemo = named(new QLineEdit(Frame1), "txtMemo");
    for (QLineEdit* number : { txtCnt, txtTanka }) {
        number->setAlignment(Qt::AlignRight);
        takesNumbersOnly(number);
        number->installEventFilter(this);
        connect(number, &QLineEdit::textChanged, this, &frmTana::updateAddButton);
    }
    connect(dbcShohin, &QComboBox::editTextChanged, this, &frmTana::updateAddButton);
    cmdSubAdd = named(new QPushButton(QStringLiteral("入　力(&E)"), Frame1), "cmdSubAdd");

    auto* entry = new QGridLayout(Frame1);
    entry->addWidget(namedLabel("Label7", QStringLiteral("項目/分類名(&N)"), dbcNouhin, Frame1), 0, 0);
    entry->addWidget(dbcNouhin, 0, 1, 1, 3);
    entry->addWidget(Text1, 0, 4);
    entry->addWidget(namedLabel("Label6", QStringLiteral("品名(&I)"), dbcShohin, Frame1), 1, 0);
    entry->addWidget(dbcShohin, 1, 1, 1, 3);
    entry->addWidget(Text2, 1, 4);
    entry->addWidget(namedLabel("Label4", QStringLiteral("単位(&T)"), dbcTani, Frame1), 2, 0);
    entry->addWidget(dbcTani, 2, 1);
    entry->addWidget(namedLabel("Label8", QStringLiteral("数量(&Q)"), txtCnt, Frame1), 2, 2, Qt::AlignRight);
    entry->addWidget(txtCnt, 2, 3);
    entry->addWidget(namedLabel("Label11", QStringLiteral("単価(&G)"), txtTanka, Frame1), 3, 2, Qt::AlignRight);
    entry->addWidget(txtTanka, 3, 3);
    entry->addWidget(namedLabel("Label5", QStringLiteral("備考(&M)"), txtMemo, Frame1), 4, 0);
    entry->addWidget(txtMemo, 4, 1, 1, 3);
    entry->addWidget(cmdSubAdd, 4, 4);
    buildScanControls(entry, Frame1);
    entry->setColumnStretch(1, 2);
    entry->setColumnStretch(3, 1);
    dbcNouhin->setMinimumWidth(260);

    MSFlexGrid1 = named(new QTableWidget(0, 6, this), "MSFlexGrid1");
    MSFlexGrid1->setHorizontalHeaderLabels({ QStringLiteral("日付"), QStringLiteral("品名"), QStringLiteral("数量"),
                                             QStringLiteral("単位"), QStringLiteral("単価"), QStringLiteral("     ") });
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFlexGrid1->verticalHeader()->hide();
    const int dpi = logicalDpiX();
    const int historyWidths[] = { 1200, 3800, 1200, 600, 1200, 600 };
    for (int c = 0; c < 6; ++c)
        MSFlexGrid1->setColumnWidth(c, twipsToPixels(historyWidths[c], dpi));
    MSFlexGrid1->setMinimumHeight(110);
    connect(MSFlexGrid1, &QTableWidget::cellClicked, this, &frmTana::takeFromHistory);

    dgdSub = named(new QTableView(this), "dgdSub");
    dgdSub->setModel(m_lines);
    setUpLineGrid(dgdSub, QAbstractItemView::NoEditTriggers, false);
    for (int c : { 0, 1, 2 })
        dgdSub->setColumnHidden(c, true);
    dgdSub->setColumnWidth(3, twipsToPixels(3800, dpi));
    dgdSub->setColumnWidth(4, twipsToPixels(1200, dpi));
    dgdSub->setColumnWidth(5, twipsToPixels(1200, dpi));
    dgdSub->setColumnWidth(6, twipsToPixels(1600, dpi));
    dgdSub->setColumnWidth(7, amountColumnWidth(dgdSub, twipsToPixels(1600, dpi)));
    connect(dgdSub, &QTableView::clicked, this, [this] { cmdMasterCancel->setFocus(); });

    Text3 = named(new QLineEdit(this), "Text3");
    Text3->setReadOnly(true);
    Text3->setFocusPolicy(Qt::NoFocus);
    cmdMasterCancel = named(new QPushButton(QStringLiteral("削　除(&K)"), this), "cmdMasterCancel");

    for (QPushButton* b : { Command4, Command1, cmdSubAdd, cmdMasterCancel })
        b->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(namedLabel("Label2", QStringLiteral("決算日(&D)"), DTPicker1, this));
    top->addWidget(DTPicker1);
    top->addWidget(m_mark);
    top->addStretch();
    top->addWidget(Command4);
    top->addWidget(Command1);
    auto* status = new QHBoxLayout;
    status->addWidget(Text3, 1);
    status->addWidget(cmdMasterCancel);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(Frame1);
    page->addWidget(namedLabel("Label13", QStringLiteral("前回棚卸"), MSFlexGrid1, this));
    page->addWidget(MSFlexGrid1, 1);
    page->addWidget(dgdSub, 3);
    page->addLayout(status);
    resize(760, 720);

    connect(dbcNouhin, &LookupCombo::left, this, &frmTana::leaveCategory);
    connect(dbcShohin, &LookupCombo::left, this, &frmTana::leaveProduct);
    connect(dbcTani, &LookupCombo::left, this, &frmTana::leaveUnit);
    connect(cmdSubAdd, &QPushButton::clicked, this, [this] { registerLine(); });
    connect(cmdMasterCancel, &QPushButton::clicked, this, &frmTana::deleteLine);
    connect(Command4, &QPushButton::clicked, this, [this] { frmTipA::showLines(this, helpLines()); });
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);
    updateAddButton();
}

void frmTana::setTabOrder()
{
    const QList<QWidget*> order = { DTPicker1, dbcNouhin, dbcShohin, dbcTani,     txtCnt,   txtTanka,
                                    txtMemo,   cmdSubAdd, dgdSub,    MSFlexGrid1, Command4, Command1 };
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    QWidget::setTabOrder(dgdSub, cmdMasterCancel);
    QWidget::setTabOrder(cmdMasterCancel, MSFlexGrid1);
}

void frmTana::onActivated()
{
    restoreArrowCursor();
    // Coming back to the window never waits for another program that holds the file.
    const NoLockWait noWait(&m_state.DatabaseConnection);
    if (!m_helpShown && m_state.DatabaseConnection.hasRows(Table::Shohin) == std::optional<bool>(false)) {
        m_helpShown = true;
        frmTipA::showLines(this, helpLines());
    }
    // Another window or program may have finalised the date, or undone it, meanwhile.
    m_mark->showDate(m_state.DatabaseConnection, DTPicker1->date());
    dbcNouhin->setFocus();
}

bool frmTana::eventFilter(QObject* watched, QEvent* event)
{
    // The number boxes select their whole text when entered, however they are entered.
    if (event->type() == QEvent::FocusIn && (watched == txtCnt || watched == txtTanka)) {
        auto* box = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, box, &QLineEdit::selectAll);
    }
    return QWidget::eventFilter(watched, event);
}

void frmTana::reload()
{
    reloadLines();
    refreshStatusLine();
    MSFlexGrid1->setRowCount(0);
}

void frmTana::refreshStatusLine()
{
    // Counted once; the lines this program registers, corrects and deletes carry the figures
    // over, and a change by another program has them counted again.
    QString error;
    const std::optional<DateTotals> totals = dateTotals(m_state.DatabaseConnection, DTPicker1->date(), &error);
    // A line that cannot be read says why, when that is known, instead of passing for none.
    Text3->setText(totals ? totals->text() : FailureCause::inUse(error));
    m_mark->showDate(m_state.DatabaseConnection, DTPicker1->date());
}

bool frmTana::refuseFinalised()
{
    const std::optional<Finalisation::DateLock> lock
        = Finalisation::lockOf(m_state.DatabaseConnection, DTPicker1->date());
    if (!lock)
        return false;
    m_mark->showDate(m_state.DatabaseConnection, DTPicker1->date());
    m_state.prompter.notice(Finalisation::refusal(*lock), Prompter::Icon::Exclamation);
    return true;
}

void frmTana::reloadLines()
{
    // A date that cannot be read must not pass for a date without lines.
    if (!m_lines->selectDate(DTPicker1->date()))
        m_state.prompter.notice(FailureCause::withCause(ConnectionFailed, FailureCause::inUse(m_lines->failure())));
    showLastLine();
}

void frmTana::showLastLine()
{
    cmdMasterCancel->setEnabled(m_lines->rowCount() > 0);
    if (m_lines->rowCount() > 0) {
        const QModelIndex last = m_lines->index(m_lines->rowCount() - 1, 3);
        dgdSub->setCurrentIndex(last);
        dgdSub->scrollTo(last);
    }
}

bool frmTana::checkName(LookupCombo* combo)
{
    const TextRules::Name name = combo == dbcNouhin ? TextRules::Name::Category
        : combo == dbcShohin                        ? TextRules::Name::Product
                                                    : TextRules::Name::Unit;
    const std::optional<QString> message = TextRules::nameTooLong(name, combo->text().trimmed());
    if (!message)
        return true;
    m_state.prompter.notice(*message);
    // Taking the focus back makes another combo lose it; that is no leaving of the user's.
    m_refocusing = true;
    combo->setFocus();
    QTimer::singleShot(0, this, [this] { m_refocusing = false; });
    return false;
}

void frmTana::leaveCategory()
{
    if (m_refocusing || !checkName(dbcNouhin))
        return;
    const QString name = dbcNouhin->text().trimmed();
    // Nothing is registered on the way to a line that a finalised date will not take.
    if (name.isEmpty() || m_mark->finalised())
        return;
    QString error;
    const std::optional<int> id = findOrRegisterCategory(m_state.DatabaseConnection, name, nullptr, &error);
    if (!id) {
        m_state.prompter.notice(FailureCause::withCause(
            ConnectionFailed, FailureCause::ofDatabaseWrite(m_state.DatabaseConnection, error)));
        return;
    }
    Text1->setText(QString::number(*id));
}

void frmTana::leaveProduct()
{
    if (m_refocusing || !checkName(dbcShohin))
        return;
    const QString name = dbcShohin->text().trimmed();
    if (name.isEmpty())
        return;
    // Filled by its code already, or given to a scanned code.
    if (name == m_resolvedName || attachWaitingCode(name))
        return;
    if (const std::optional<ProductInfo> product = findProduct(m_state.DatabaseConnection, name)) {
        Text2->setText(QString::number(product->id));
        if (!product->unit.isNull())
            dbcTani->setText(product->unit.toString());
        if (!product->unitPrice.isNull())
            txtTanka->setText(numberText(product->unitPrice));
    }
    fillHistory(name);
}

void frmTana::fillHistory(const QString& product)
{
    // One line more than is shown tells whether more matched.
    QList<HistoryLine> lines = lineHistory(m_state.DatabaseConnection, product, HistoryRows + 1);
    const bool more = lines.size() > HistoryRows;
    if (more)
        lines.resize(HistoryRows);
    MSFlexGrid1->setRowCount(0);
    MSFlexGrid1->setRowCount(int(lines.size()) + (more ? 1 : 0));
    if (more)
        MSFlexGrid1->setItem(
            int(lines.size()), 1,
            new QTableWidgetItem(QStringLiteral("…ほかにも該当があります（新しい%1件を表示）").arg(HistoryRows)));
    for (int r = 0; r < lines.size(); ++r) {
        const HistoryLine& line = lines[r];
        const QString cells[] = { DateText::toText(line.date), line.product, numberText(line.quantity),
                                  line.unit.toString(), numberText(line.unitPrice) };
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 2 || c == 4)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            MSFlexGrid1->setItem(r, c, item);
        }
    }
}

void frmTana::takeFromHistory(int row, int column)
{
    const QTableWidgetItem* item = MSFlexGrid1->item(row, column);
    if (!item)
        return; // the row saying that more matched
    const QString text = item->text();
    if (column == 2)
        txtCnt->setText(text);
    else if (column == 3)
        dbcTani->setText(text);
    else if (column == 4)
        txtTanka->setText(text);
}

void frmTana::leaveUnit()
{
    if (!m_refocusing)
        checkName(dbcTani);
}

void frmTana::updateAddButton()
{
    const bool complete = !txtCnt->text().isEmpty() && !txtTanka->text().isEmpty() && !dbcShohin->text().isEmpty();
    // A line ready to be registered turns the button white, the background of the window's
    // fields. This style's buttons are drawn in a grey gradient hardly darker than white, so
    // the filled state is drawn flat, with a border in the selection colour, to be seen.
    static const QString Ready = QStringLiteral(
        "QPushButton { background-color: white; border: 2px solid palette(highlight); border-radius: 3px;"
        " padding: 3px 8px; }"
        "QPushButton:pressed { background-color: palette(midlight); }");
    // Every key typed comes here; the button is restyled only when its state changes.
    if (m_addReady == std::optional<bool>(complete))
        return;
    m_addReady = complete;
    cmdSubAdd->setStyleSheet(complete ? Ready : QString());
}

bool frmTana::registerLine()
{
    Prompter& prompter = m_state.prompter;
    // A finalised date takes no line: said before anything, a new category included, is
    // written, and what was typed stays in the boxes.
    if (refuseFinalised())
        return false;
    const QString product = dbcShohin->text().trimmed();
    if (product.isEmpty()) {
        prompter.notice(QString::fromUtf8(LineRefusal::NoProduct));
        dbcShohin->setFocus();
        return false;
    }
    if (txtCnt->text().trimmed().isEmpty()) {
        prompter.notice(QString::fromUtf8(LineRefusal::NoQuantity));
        txtCnt->setFocus();
        return false;
    }
    const TextRules::NumberInput quantity = TextRules::readNumber(QStringLiteral("数量"), txtCnt->text());
    if (!quantity.value) {
        prompter.notice(quantity.refusal, Prompter::Icon::Exclamation);
        txtCnt->setFocus();
        txtCnt->selectAll();
        return false;
    }
    if (txtTanka->text().trimmed().isEmpty()) {
        prompter.notice(QStringLiteral("単価が入力されていません。"));
        txtTanka->setText(QStringLiteral("0"));
    }
    const TextRules::NumberInput unitPrice = TextRules::readNumber(QStringLiteral("単価"), txtTanka->text());
    if (!unitPrice.value) {
        prompter.notice(unitPrice.refusal, Prompter::Icon::Exclamation);
        txtTanka->setFocus();
        txtTanka->selectAll();
        return false;
    }
    if (!TextRules::fitsSheet(TextRules::lineAmount(*unitPrice.value, *quantity.value))) {
        prompter.notice(QString::fromUtf8(LineRefusal::AmountTooLarge), Prompter::Icon::Exclamation);
        txtCnt->setFocus();
        txtCnt->selectAll();
        return false;
    }
    // The limits are checked on leaving each combo, but 入力 can be reached by its access
    // key without leaving one.
    if (!checkName(dbcNouhin) || !checkName(dbcShohin) || !checkName(dbcTani))
        return false;

    int categoryId = 0;
    const QString category = dbcNouhin->text().trimmed();
    if (category.isEmpty()) {
        if (!m_categoryQuestionsOff) {
            if (!prompter.ask(QStringLiteral("項目/分類名が選択されていません。項目/分類は無視しますか？"))) {
                dbcNouhin->setFocus();
                return false;
            }
            m_categoryQuestionsOff = true;
        }
        Text1->setText(QStringLiteral("0"));
    } else {
        QString error;
        const std::optional<int> id = findOrRegisterCategory(m_state.DatabaseConnection, category, nullptr, &error);
        if (!id) {
            prompter.notice(FailureCause::withCause(ConnectionFailed,
                                                    FailureCause::ofDatabaseWrite(m_state.DatabaseConnection, error)));
            return false;
        }
        categoryId = *id;
        Text1->setText(QString::number(categoryId));
    }

    LineInput line;
    line.date = DTPicker1->date();
    line.categoryId = categoryId;
    line.product = product;
    line.quantity = *quantity.value;
    line.unit = dbcTani->text().trimmed();
    line.unitPrice = *unitPrice.value;
    line.memo = txtMemo->text();
    std::optional<RegisteredLine> registered;
    QString error;
    {
        WaitCursor hourglass;
        registered = ::registerLine(m_state.DatabaseConnection, line, &error);
    }
    if (!registered) {
        // What was typed stays in the boxes, to be registered once the cause is put right.
        if (refuseFinalised())
            return false; // finalised meanwhile, by another copy of the program or the command line
        prompter.notice(
            FailureCause::withCause(QStringLiteral("データベースに書き込めませんでした。この行は登録されていません。"),
                                    FailureCause::ofDatabaseWrite(m_state.DatabaseConnection, error)),
            Prompter::Icon::Critical);
        return false;
    }
    Text2->setText(QString::number(registered->productId));
    dbcShohin->setText(QString());
    dbcTani->setText(QString());
    txtCnt->clear();
    txtTanka->clear();
    // The new line is the last of the date: the grid takes it in without reading the date's
    // lines again.
    m_lines->appendLine(registered->lineId);
    showLastLine();
    attachToRegistered(product, registered->productId);
    dbcShohin->setFocus();
    refreshStatusLine();
    return true;
}

void frmTana::deleteLine()
{
    const QModelIndex current = dgdSub->currentIndex();
    if (!current.isValid() || refuseFinalised())
        return;
    if (!m_state.prompter.ask(QStringLiteral("表示中のレコードを削除します。よろしいですか。")))
        return;
    QString error;
    if (!::deleteLine(m_state.DatabaseConnection, m_lines->lineId(current.row()), &error)) {
        // Finalised meanwhile by another program: the core says so, naming the date.
        if (refuseFinalised())
            return;
        m_state.prompter.notice(
            QStringLiteral("データ削除中にエラーが発生しました。再度データの取消を行ってください。"));
        return;
    }
    reloadLines();
    refreshStatusLine();
}
