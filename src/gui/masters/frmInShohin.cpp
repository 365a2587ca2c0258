// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/masters/frmInShohin.h"

#include "core/export/SpreadsheetExport.h"
#include "gui/widgets/Named.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
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
    { 1000, 3800, 1200, 1200 },
    MasterScreenLayout::UpdateFailure::ConnectionFailure,
    QSize(760, 560),
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

    auto* row = new QHBoxLayout;
    row->addWidget(Frame2);
    row->addStretch();
    row->addWidget(Command3);
    row->addWidget(Command1);
    furtherControls()->addLayout(row);

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
