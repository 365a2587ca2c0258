// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/DialogKakuteiTorikeshi.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "gui/widgets/Named.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// What the history keeps of a reason is one line of text; a page of it would say no more.
constexpr int ReasonLength = 200;

} // namespace

DialogKakuteiTorikeshi::DialogKakuteiTorikeshi(AppState& state, const QString& what, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("DialogKakuteiTorikeshi"));
    setWindowTitle(QStringLiteral("確定の取消"));

    auto* about = named(new QLabel(what, this), "Label1");
    about->setWordWrap(true);
    txtRiyu = named(new QLineEdit(this), "txtRiyu");
    txtRiyu->setMaxLength(ReasonLength);
    cmdTorikeshi = named(new QPushButton(QStringLiteral("取消(&T)"), this), "cmdTorikeshi");
    cmdCancel = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "cmdCancel");
    cmdTorikeshi->setDefault(true);
    cmdCancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdTorikeshi);
    buttons->addWidget(cmdCancel);
    auto* page = new QVBoxLayout(this);
    page->addWidget(about);
    page->addWidget(namedLabel("Label2", QStringLiteral("取消の理由(&R)"), txtRiyu, this));
    page->addWidget(txtRiyu);
    page->addLayout(buttons);
    setMinimumWidth(460);

    connect(cmdTorikeshi, &QPushButton::clicked, this, &DialogKakuteiTorikeshi::take);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString DialogKakuteiTorikeshi::reason() const
{
    return txtRiyu->text().simplified();
}

void DialogKakuteiTorikeshi::take()
{
    // The reason is what the accountant reads later beside the undoing: there must be one.
    if (reason().isEmpty()) {
        m_state.prompter.notice(QStringLiteral("取消の理由を入力してください。"), Prompter::Icon::Exclamation);
        txtRiyu->setFocus();
        return;
    }
    accept();
}
