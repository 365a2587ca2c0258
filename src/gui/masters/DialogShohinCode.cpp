// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/masters/DialogShohinCode.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/masters/ProductCodes.h"
#include "gui/widgets/InputMethodGuard.h"
#include "gui/widgets/Named.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

DialogShohinCode::DialogShohinCode(AppState& state, int productId, const QString& productName, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_productId(productId)
{
    setObjectName(QStringLiteral("DialogShohinCode"));
    setWindowTitle(QStringLiteral("JANコード"));

    auto* product = named(new QLabel(QStringLiteral("品名： %1（品名ID %2）").arg(productName).arg(productId), this),
                          "lblShohin");
    product->setTextFormat(Qt::PlainText);
    lstCode = named(new QListWidget(this), "lstCode");
    lstCode->addItems(ProductCodes::codesOf(state.DatabaseConnection, productId));
    if (lstCode->count() > 0)
        lstCode->setCurrentRow(0);
    txtCode = named(new QLineEdit(this), "txtCode");
    // Digits arrive as the scanner types them, never into a conversion.
    takesNumbersOnly(txtCode);
    txtCode->setMaxLength(20);
    txtCode->setPlaceholderText(QStringLiteral("13桁・8桁・12桁（UPC）"));
    auto* label = namedLabel("lblCode", QStringLiteral("コード(&C)"), txtCode, this);

    cmdAddCode = named(new QPushButton(QStringLiteral("追加(&A)"), this), "cmdAddCode");
    cmdRemoveCode = named(new QPushButton(QStringLiteral("削除(&D)"), this), "cmdRemoveCode");
    cmdUp = named(new QPushButton(QStringLiteral("上へ(&U)"), this), "cmdUp");
    cmdDown = named(new QPushButton(QStringLiteral("下へ(&W)"), this), "cmdDown");
    cmdUpdate = named(new QPushButton(QStringLiteral("登録(&I)"), this), "cmdUpdate");
    cmdCancel = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "cmdCancel");
    // Enter ends a scan in the box: it must never press 登録 behind the user's back.
    for (QPushButton* b : { cmdAddCode, cmdRemoveCode, cmdUp, cmdDown, cmdUpdate, cmdCancel }) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    auto* typed = new QHBoxLayout;
    typed->addWidget(label);
    typed->addWidget(txtCode, 1);
    typed->addWidget(cmdAddCode);
    auto* side = new QVBoxLayout;
    side->addWidget(cmdUp);
    side->addWidget(cmdDown);
    side->addWidget(cmdRemoveCode);
    side->addStretch();
    auto* list = new QHBoxLayout;
    list->addWidget(lstCode, 1);
    list->addLayout(side);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdUpdate);
    bottom->addWidget(cmdCancel);
    auto* page = new QVBoxLayout(this);
    page->addWidget(product);
    page->addLayout(typed);
    page->addLayout(list, 1);
    page->addLayout(bottom);
    resize(460, 320);

    setTabOrder(txtCode, cmdAddCode);
    setTabOrder(cmdAddCode, lstCode);
    setTabOrder(lstCode, cmdUp);
    setTabOrder(cmdUp, cmdDown);
    setTabOrder(cmdDown, cmdRemoveCode);
    setTabOrder(cmdRemoveCode, cmdUpdate);
    setTabOrder(cmdUpdate, cmdCancel);
    txtCode->setFocus();

    connect(txtCode, &QLineEdit::returnPressed, this, &DialogShohinCode::addTyped);
    connect(cmdAddCode, &QPushButton::clicked, this, &DialogShohinCode::addTyped);
    connect(cmdRemoveCode, &QPushButton::clicked, this, &DialogShohinCode::removeCurrent);
    connect(cmdUp, &QPushButton::clicked, this, [this] { move(-1); });
    connect(cmdDown, &QPushButton::clicked, this, [this] { move(1); });
    connect(cmdUpdate, &QPushButton::clicked, this, &DialogShohinCode::save);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lstCode, &QListWidget::currentRowChanged, this, &DialogShohinCode::updateButtons);
    updateButtons();
}

QStringList DialogShohinCode::codes() const
{
    QStringList list;
    for (int i = 0; i < lstCode->count(); ++i)
        list << lstCode->item(i)->text();
    return list;
}

void DialogShohinCode::addTyped()
{
    const QString text = txtCode->text();
    if (text.trimmed().isEmpty())
        return;
    const ProductCodes::Checked checked = ProductCodes::checkFor(m_state.DatabaseConnection, m_productId, text);
    if (!checked.valid()) {
        m_state.prompter.notice(checked.error, Prompter::Icon::Exclamation);
        // Left to be corrected, and replaced by the next scan.
        txtCode->setFocus();
        txtCode->selectAll();
        return;
    }
    const QList<QListWidgetItem*> there = lstCode->findItems(checked.code, Qt::MatchExactly);
    if (there.isEmpty())
        lstCode->addItem(checked.code);
    lstCode->setCurrentItem(there.isEmpty() ? lstCode->item(lstCode->count() - 1) : there.first());
    txtCode->clear();
    txtCode->setFocus();
    updateButtons();
}

void DialogShohinCode::removeCurrent()
{
    const int row = lstCode->currentRow();
    if (row < 0)
        return;
    delete lstCode->takeItem(row);
    if (lstCode->count() > 0)
        lstCode->setCurrentRow(std::min(row, lstCode->count() - 1));
    updateButtons();
}

void DialogShohinCode::move(int step)
{
    const int row = lstCode->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= lstCode->count())
        return;
    lstCode->insertItem(to, lstCode->takeItem(row));
    lstCode->setCurrentRow(to);
    updateButtons();
}

void DialogShohinCode::save()
{
    QString error;
    if (!ProductCodes::setCodes(m_state.DatabaseConnection, m_productId, codes(), &error)) {
        m_state.prompter.notice(error, Prompter::Icon::Exclamation);
        return;
    }
    accept();
}

void DialogShohinCode::updateButtons()
{
    const int row = lstCode->currentRow();
    cmdRemoveCode->setEnabled(row >= 0);
    cmdUp->setEnabled(row > 0);
    cmdDown->setEnabled(row >= 0 && row < lstCode->count() - 1);
}
