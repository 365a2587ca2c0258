// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/shell/frmTipA.h"

#include "core/app/BuiltinPicture.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

frmTipA::frmTipA(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmTipA"));
    setWindowTitle(QStringLiteral("ﾜﾝﾎﾟｲﾝﾄ"));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(BuiltinPicture::tipIcon(QSize(48, 48)));
    Picture1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    RichTextBox1 = new QTextEdit(this);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setReadOnly(true);
    RichTextBox1->setAcceptRichText(false);
    RichTextBox1->setMinimumSize(460, 300);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(Picture1);
    top->addWidget(RichTextBox1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    cmdOK->setFocus();
}

void frmTipA::appendLine(const QString& line)
{
    QTextCursor cursor(RichTextBox1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(line + QLatin1Char('\n'));
}

QString frmTipA::text() const
{
    return RichTextBox1->toPlainText();
}

void frmTipA::showLines(QWidget* parent, const QStringList& lines)
{
    frmTipA tip(parent);
    for (const QString& line : lines)
        tip.appendLine(line);
    tip.exec();
}
