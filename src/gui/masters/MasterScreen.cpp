// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/masters/MasterScreen.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/Twips.h"
#include "core/app/WaitCursor.h"
#include "gui/widgets/ActivationWatcher.h"
#include "gui/widgets/CommitEditor.h"
#include "gui/widgets/InputMethodGuard.h"
#include "gui/widgets/Named.h"

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

const QString ConnectionFailure = QStringLiteral("データベースの接続に失敗しました。");
const QString WriteFailure = QStringLiteral("データベースに書き込めませんでした。変更は保存されていません。");
const QString AddFailure = QStringLiteral("データベースに書き込めませんでした。新しいレコードは追加されていません。");
const QString DeleteQuestion = QStringLiteral("表示中のレコードを削除します。よろしいですか。");

} // namespace

MasterScreen::MasterScreen(AppState& state, const MasterScreenLayout& layout, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_layout(layout)
    , m_model(new MasterModel(layout.table, this))
{
    setObjectName(QString::fromLatin1(layout.objectName));
    setWindowTitle(layout.caption);
    m_model->setDatabase(&state.DatabaseConnection);
    buildControls();
    connect(m_model, &MasterModel::editRefused, this,
            [this](const QString& message) { m_state.prompter.notice(message, Prompter::Icon::Exclamation); });
    connect(m_model, &QAbstractItemModel::dataChanged, this, &MasterScreen::showCurrent);
    connect(m_model, &QAbstractItemModel::modelReset, this, &MasterScreen::showCurrent);
    connect(new ActivationWatcher(this), &ActivationWatcher::activated, this, &MasterScreen::activate);
    load(layout.order);
}

void MasterScreen::buildControls()
{
    DataGrid1 = named(new QTableView(this), "DataGrid1");
    DataGrid1->setModel(m_model);
    DataGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DataGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                               | QAbstractItemView::AnyKeyPressed);
    takesNumbersOnlyInNumberCells(DataGrid1);
    DataGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    auto* Frame1 = named(new QGroupBox(this), "Frame1");
    txtID = named(new QLineEdit(Frame1), "txtID");
    // The ID is the table's to give; it is shown, never typed.
    txtID->setReadOnly(true);
    txtID->setFocusPolicy(Qt::NoFocus);
    txtID->setMaximumWidth(twipsToPixels(1200, logicalDpiX()));
    txtID->setAlignment(Qt::AlignRight);
    m_nameBox = named(new QLineEdit(Frame1), m_layout.nameBoxName);
    Label2 = named(new QLabel(m_layout.nameLabel, Frame1), "Label2");
    Label2->setBuddy(m_nameBox);
    auto* boxes = new QGridLayout(Frame1);
    boxes->addWidget(new QLabel(m_layout.table.idColumn(), Frame1), 0, 0);
    boxes->addWidget(txtID, 0, 1, Qt::AlignLeft);
    boxes->addWidget(Label2, 1, 0);
    boxes->addWidget(m_nameBox, 1, 1);
    boxes->setColumnStretch(1, 1);

    auto* Picture1 = named(new QWidget(this), "Picture1");
    cmdDelete = named(new QPushButton(m_layout.deleteCaption, Picture1), "cmdDelete");
    cmdCancel = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), Picture1), "cmdCancel");
    cmdUpdate = named(new QPushButton(QStringLiteral("登録(&I)"), Picture1), "cmdUpdate");
    cmdAdd = named(new QPushButton(QStringLiteral("新規登録(&N)"), Picture1), "cmdAdd");
    auto* buttons = new QHBoxLayout(Picture1);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch();
    // Enter in a box must not press a button behind the user's back.
    for (QPushButton* b : { cmdAdd, cmdUpdate, cmdCancel, cmdDelete }) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }

    auto* page = new QVBoxLayout(this);
    page->addWidget(DataGrid1, 1);
    page->addWidget(Frame1);
    page->addWidget(Picture1);
    m_further = new QVBoxLayout;
    page->addLayout(m_further);
    resize(m_layout.size);

    setTabOrder(DataGrid1, m_nameBox);
    setTabOrder(m_nameBox, cmdDelete);
    setTabOrder(cmdDelete, cmdCancel);
    setTabOrder(cmdCancel, cmdUpdate);
    setTabOrder(cmdUpdate, cmdAdd);

    connect(DataGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                currentRowChanged(current.row(), previous.row());
            });
    connect(DataGrid1, &QTableView::clicked, this, [this] { cmdUpdate->setEnabled(true); });
    connect(m_nameBox, &QLineEdit::textEdited, this, &MasterScreen::nameEdited);
    connect(cmdAdd, &QPushButton::clicked, this, &MasterScreen::add);
    connect(cmdUpdate, &QPushButton::clicked, this, &MasterScreen::update);
    connect(cmdCancel, &QPushButton::clicked, this, &MasterScreen::cancel);
    connect(cmdDelete, &QPushButton::clicked, this, &MasterScreen::remove);
}

void MasterScreen::load(MasterOrder order)
{
    for (QPushButton* b : { cmdAdd, cmdUpdate, cmdCancel, cmdDelete })
        b->setEnabled(false);
    m_loaded = m_model->open(order);
    applyColumnWidths();
    if (!m_loaded) {
        m_state.prompter.notice(ConnectionFailure);
        return;
    }
    makeCurrent(0);
    setBrowsingButtons();
    m_editMode = EditMode::Browsing;
    m_newRecord = 0;
}

void MasterScreen::reopen(MasterOrder order)
{
    commitOpenEditor(DataGrid1);
    if (!m_model->saveAll())
        reportWriteFailure();
    load(order);
}

void MasterScreen::setBrowsingButtons()
{
    const bool any = m_model->rowCount() > 0;
    cmdAdd->setEnabled(true);
    cmdUpdate->setEnabled(false);
    cmdDelete->setEnabled(any);
    cmdCancel->setEnabled(false);
}

void MasterScreen::applyColumnWidths()
{
    // A new list resets the header, so the widths are set again each time.
    for (int c = 0; c < m_layout.columnTwips.size(); ++c)
        DataGrid1->setColumnWidth(c, twipsToPixels(m_layout.columnTwips[c], logicalDpiX()));
}

void MasterScreen::activate()
{
    restoreArrowCursor();
    // An empty master opens ready for its first record.
    if (m_loaded && m_model->rowCount() == 0)
        add();
}

void MasterScreen::add()
{
    commitOpenEditor(DataGrid1);
    if (!m_model->saveAll())
        reportWriteFailure();
    const int row = m_model->addRecord();
    if (row < 0) {
        m_state.prompter.notice(AddFailure, Prompter::Icon::Exclamation);
        return;
    }
    m_newRecord = m_model->recordId(row);
    makeCurrent(row);
    m_nameBox->setFocus();
    cmdAdd->setEnabled(false);
    cmdUpdate->setEnabled(true);
    cmdCancel->setEnabled(true);
    m_editMode = EditMode::Adding;
}

void MasterScreen::update()
{
    commitOpenEditor(DataGrid1);
    if (!m_model->saveAll()) {
        if (m_layout.updateFailure == MasterScreenLayout::UpdateFailure::ConnectionFailure)
            m_state.prompter.notice(ConnectionFailure);
        else
            reportWriteFailure();
        return;
    }
    cmdAdd->setEnabled(true);
    cmdUpdate->setEnabled(false);
    cmdCancel->setEnabled(false);
    cmdDelete->setEnabled(m_model->rowCount() > 0);
    m_editMode = EditMode::Browsing;
    m_newRecord = 0;
}

void MasterScreen::cancel()
{
    if (m_editMode != EditMode::Adding)
        return;
    commitOpenEditor(DataGrid1);
    const int row = m_model->rowOfRecord(m_newRecord);
    if (row >= 0 && !m_model->removeRecord(row)) {
        m_state.prompter.notice(ConnectionFailure);
        return;
    }
    if (m_model->rowCount() > 0)
        makeCurrent(std::min(std::max(row, 0), m_model->rowCount() - 1));
    cmdAdd->setEnabled(true);
    cmdUpdate->setEnabled(false);
    cmdCancel->setEnabled(false);
    m_editMode = EditMode::Browsing;
    m_newRecord = 0;
}

void MasterScreen::remove()
{
    const int row = currentRow();
    if (row < 0)
        return;
    if (!m_state.prompter.ask(DeleteQuestion))
        return;
    if (!m_model->removeRecord(row)) {
        m_state.prompter.notice(ConnectionFailure);
        return;
    }
    cmdCancel->setEnabled(false);
    m_editMode = EditMode::Browsing;
    m_newRecord = 0;
    recordDeleted();
    // The next record, or the last when the deleted one was the last.
    if (m_model->rowCount() > 0)
        makeCurrent(std::min(row, m_model->rowCount() - 1));
    else
        cmdDelete->setEnabled(false);
}

void MasterScreen::currentRowChanged(int current, int previous)
{
    // Leaving a record saves what was typed into it, as a bound grid does.
    if (previous >= 0 && previous != current && m_model->hasPendingChange(previous) && !m_model->save(previous))
        reportWriteFailure();
    showCurrent();
}

void MasterScreen::showCurrent()
{
    const int row = currentRow();
    if (row < 0) {
        txtID->clear();
        m_nameBox->clear();
        m_nameBox->setEnabled(false);
        return;
    }
    m_nameBox->setEnabled(true);
    txtID->setText(QString::number(m_model->recordId(row)));
    const QString name = m_model->index(row, 1).data(Qt::EditRole).toString();
    // Rewriting the same text would move the cursor of a user typing in the box.
    if (m_nameBox->text() != name)
        m_nameBox->setText(name);
}

void MasterScreen::nameEdited(const QString& text)
{
    const int row = currentRow();
    if (row < 0)
        return;
    m_model->setData(m_model->index(row, 1), text);
    cmdUpdate->setEnabled(true);
}

int MasterScreen::currentRow() const
{
    const QModelIndex current = DataGrid1->currentIndex();
    return current.isValid() && current.row() < m_model->rowCount() ? current.row() : -1;
}

void MasterScreen::makeCurrent(int row)
{
    if (row < 0 || row >= m_model->rowCount()) {
        showCurrent();
        return;
    }
    const int column = std::max(DataGrid1->currentIndex().column(), 1);
    const QModelIndex index = m_model->index(row, column);
    DataGrid1->setCurrentIndex(index);
    DataGrid1->scrollTo(index);
    showCurrent();
}

void MasterScreen::reportWriteFailure()
{
    m_state.prompter.notice(WriteFailure, Prompter::Icon::Exclamation);
}

void MasterScreen::done(int result)
{
    if (!m_closed) {
        m_closed = true;
        commitOpenEditor(DataGrid1);
        // A closed window never leaves the empty new record behind.
        if (m_editMode == EditMode::Adding) {
            if (const int row = m_model->rowOfRecord(m_newRecord); row >= 0)
                m_model->removeRecord(row);
            m_editMode = EditMode::Browsing;
        }
        if (!m_model->saveAll())
            reportWriteFailure();
        closing();
    }
    QDialog::done(result);
}
