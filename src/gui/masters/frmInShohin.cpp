// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/masters/frmInShohin.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/export/SpreadsheetExport.h"
#include "core/masters/ProductCodes.h"
#include "gui/masters/DialogShohinCode.h"
#include "gui/widgets/Named.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const MasterScreenLayout Layout {
    "frmInShohin",
    QStringLiteral("品名情報"),
    MasterTable::products(),
    MasterOrder::ByName,
    "txtShohin",
    QStringLiteral("品名(&M)"),
    QStringLiteral("削除(&K)"),
    { 1000, 3800, 1200, 1200, 2000 },
    MasterScreenLayout::UpdateFailure::ConnectionFailure,
    QSize(860, 560),
};

} // namespace

frmInShohin::frmInShohin(AppState& state, QWidget* parent)
    : MasterScreen(state, Layout, parent)
{
    auto* Frame2 = named(new QGroupBox(this), "Frame2");
    Option1 = named(new QRadioButton(QStringLiteral("項目ID昇順"), Frame2), "Option1");
    Option2 = named(new QRadioButton(QStringLiteral("品名昇順"), Frame2), "Option2");
    Option2->setChecked(true);
    auto* options = new QHBoxLayout(Frame2);
    options->addWidget(Option1);
    options->addWidget(Option2);
    options->addStretch();

    Command3 = named(new QPushButton(QStringLiteral("Excel(&P)"), this), "Command3");
    Command3->setToolTip(QStringLiteral("エクセルに表示します。"));
    Command1 = named(new QPushButton(QStringLiteral("品名情報ｲﾝﾎﾟｰﾄ(&T)"), this), "Command1");
    Command1->setToolTip(
        QStringLiteral("品名情報は、エクセルファイルからインポートできますので、棚卸表の入力がすばやくできます。"));
    Command3->setAutoDefault(false);
    Command1->setAutoDefault(false);

    txtSearch = named(new QLineEdit(this), "txtSearch");
    txtSearch->setPlaceholderText(QStringLiteral("JANコードまたは品名の一部"));
    txtSearch->setToolTip(
        QStringLiteral("JANコードを入力（スキャン）するか品名の一部を入力して Enter を押すと、その品名を表示します。"));
    auto* searchLabel = namedLabel("lblSearch", QStringLiteral("検索(&F)"), txtSearch, this);
    cmdCodes = named(new QPushButton(QStringLiteral("JANコード(&J)..."), this), "cmdCodes");
    cmdCodes->setToolTip(QStringLiteral("表示中の品名のJANコードを登録・削除します。"));
    cmdCodes->setAutoDefault(false);
    // A file opened read-only takes no codes (nor has a place for them when it is older).
    cmdCodes->setEnabled(ProductCodes::available(state.DatabaseConnection) && !state.DatabaseConnection.isReadOnly());

    auto* codesRow = new QHBoxLayout;
    codesRow->addWidget(searchLabel);
    codesRow->addWidget(txtSearch, 1);
    codesRow->addWidget(cmdCodes);
    furtherControls()->addLayout(codesRow);
    auto* row = new QHBoxLayout;
    row->addWidget(Frame2);
    row->addStretch();
    row->addWidget(Command3);
    row->addWidget(Command1);
    furtherControls()->addLayout(row);

    connect(txtSearch, &QLineEdit::returnPressed, this, &frmInShohin::search);
    connect(cmdCodes, &QPushButton::clicked, this, &frmInShohin::editCodes);
    // The code column is read-only: a double click there opens the codes instead.
    connect(grid(), &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.column() >= MasterTable::products().columns.size() && cmdCodes->isEnabled())
            editCodes();
    });

    // Clicking an option lists again even when it was already chosen.
    auto resort = [this] { reopen(Option2->isChecked() ? MasterOrder::ByName : MasterOrder::ById); };
    connect(Option1, &QRadioButton::clicked, this, resort);
    connect(Option2, &QRadioButton::clicked, this, resort);
    // The file follows the chosen option, whatever order the grid shows.
    connect(Command3, &QPushButton::clicked, this, [this, s = &state] {
        SpreadsheetExport::exportProducts(*s, Option1->isChecked() ? MasterOrder::ById : MasterOrder::ByName);
    });
    connect(Command1, &QPushButton::clicked, this, [this] {
        m_importWanted = true;
        close();
    });
}

void frmInShohin::search()
{
    const QString text = txtSearch->text().trimmed();
    if (text.isEmpty())
        return;
    // The next scan replaces what is there.
    txtSearch->selectAll();
    int row = -1;
    if (ProductCodes::looksLikeCode(text)) {
        const ProductCodes::Checked checked = ProductCodes::check(text);
        if (!checked.valid()) {
            m_state.prompter.notice(checked.error, Prompter::Icon::Exclamation);
            return;
        }
        const auto owner = ProductCodes::findByCode(m_state.DatabaseConnection, checked.code);
        row = owner ? model()->rowOfRecord(owner->productId) : -1;
        if (row < 0) {
            m_state.prompter.notice(QStringLiteral("このコードの品名は登録されていません。\r") + checked.code,
                                    Prompter::Icon::Exclamation);
            return;
        }
    } else {
        // Searching again from the found product goes on to the next one of the same text.
        const int current = currentRow();
        row = model()->findName(text, current < 0 ? 0 : current + 1);
        if (row < 0) {
            m_state.prompter.notice(QStringLiteral("「%1」を含む品名はありません。").arg(text),
                                    Prompter::Icon::Exclamation);
            return;
        }
    }
    makeCurrent(row);
}

void frmInShohin::editCodes()
{
    const int row = currentRow();
    if (row < 0)
        return;
    const int id = model()->recordId(row);
    DialogShohinCode dialog(m_state, id, model()->index(row, 1).data(Qt::EditRole).toString(), this);
    if (dialog.exec() == QDialog::Accepted)
        model()->reread(id);
}
