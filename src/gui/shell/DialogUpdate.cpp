// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/shell/DialogUpdate.h"

#include "core/app/AppState.h"
#include "core/app/BuiltinPicture.h"
#include "core/app/DesktopServices.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/app/WaitCursor.h"

#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* wrapped(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    return label;
}

} // namespace

DialogUpdate::DialogUpdate(AppState& state, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("DialogUpdate"));
    setWindowTitle(QStringLiteral("UPDATE"));

    Frame1 = new QGroupBox(QStringLiteral("アップデート版のセットアップの方法"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Label6
        = wrapped(Frame1, "Label6",
                  QStringLiteral("下記の解凍先フォルダをクリップボードにコピーしましたので、解凍先フォルダ（D）：を削"
                                 "除し、解凍先フォルダ名に、貼り付けます。"));
    Label5 = wrapped(Frame1, "Label5", QStringLiteral("ファイルのダウンロードは、ファイルを開くを選択します。"));
    Label1 = wrapped(Frame1, "Label1", QStringLiteral("解凍先フォルダをクリップボードにコピーしました。"));
    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setMinimumWidth(360);
    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(BuiltinPicture::tipIcon(QSize(48, 48)));
    Picture1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    connect(OKButton, &QPushButton::clicked, this, &DialogUpdate::download);
    connect(CancelButton, &QPushButton::clicked, this, &DialogUpdate::reject);

    auto* inside = new QVBoxLayout(Frame1);
    inside->addWidget(Label6);
    inside->addWidget(Label5);
    inside->addSpacing(8);
    inside->addWidget(Label1);
    inside->addWidget(Text1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Picture1);
    layout->addWidget(Frame1, 1);
    layout->addLayout(buttons);

    // The folder goes to the clipboard at once, in place of whatever was there.
    Text1->setText(QDir::toNativeSeparators(m_state.paths.programDir()));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(Text1->text());
    OKButton->setFocus();
}

void DialogUpdate::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    restoreArrowCursor();
}

void DialogUpdate::download()
{
    // The program ends after this whether or not a browser could be started; without one the
    // user is first told the address.
    openWebPage(*m_state.desktop, m_state.prompter, m_state.settings.value(Setting::UpdateURL));
    m_downloadChosen = true;
    accept();
}

void DialogUpdate::reject()
{
    QGuiApplication::clipboard()->clear();
    QDialog::reject();
}
