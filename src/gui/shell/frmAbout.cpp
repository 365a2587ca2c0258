// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/shell/frmAbout.h"

#include "core/app/AppState.h"
#include "core/app/BuiltinPicture.h"
#include "core/app/DesktopServices.h"
#include "core/app/Prompter.h"
#include "core/app/Version.h"
#include "core/app/WaitCursor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The program's title, as the settings and the window captions know it.
const QString ProgramTitle = QStringLiteral("Kotrina");

} // namespace

frmAbout::frmAbout(AppState& state, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(ProgramTitle + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(BuiltinPicture::mainPicture(QSize(96, 72)));
    Picture1->setAlignment(Qt::AlignTop);

    lblTitle = new QLabel(ProgramTitle, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblTitle->setFont(big);
    lblVersion = new QLabel(versionText(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    // The ideographic spaces fill the first line, so the description wraps onto its own.
    lblDescription = new QLabel(QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの説明") + QString(54, QChar(0x3000))
                                    + QStringLiteral("棚卸表を作成するソフトウエア"),
                                this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDescription->setFixedWidth(300);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::showSystemInformation);

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addSpacing(12);
    texts->addWidget(lblDescription);
    texts->addStretch();
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Picture1);
    layout->addLayout(texts, 1);
    layout->addLayout(buttons);
    cmdOK->setFocus();
}

QString frmAbout::versionText()
{
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ " KOTRINA_VERSION_TEXT);
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    restoreArrowCursor();
}

void frmAbout::showSystemInformation()
{
    const std::optional<ProgramCall> tool = systemInformationTool();
    if (!tool || !m_state.desktop->start(tool->program, tool->arguments))
        m_state.prompter.notice(QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"), Prompter::Icon::None,
                                ProgramTitle);
}
