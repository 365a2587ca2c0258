// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/shell/frmSplash.h"

#include "core/app/BuiltinPicture.h"
#include "core/app/Version.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setStyleSheet(QStringLiteral("QFrame#Frame1 { background: white; border: 1px solid #1f3b57; }"));
    frame->setObjectName(QStringLiteral("Frame1"));

    auto* picture = new QLabel(frame);
    picture->setObjectName(QStringLiteral("imgLogo"));
    picture->setPixmap(BuiltinPicture::mainPicture(QSize(200, 150)));

    auto* product = new QLabel(QStringLiteral("Kotrina Sheet"), frame);
    product->setObjectName(QStringLiteral("lblProductName"));
    QFont big = product->font();
    big.setPointSize(20);
    big.setBold(true);
    product->setFont(big);

    auto* description = new QLabel(QStringLiteral("棚卸表を作成するソフトウエア"), frame);
    description->setObjectName(QStringLiteral("lblCompanyProduct"));

    lblVersion = new QLabel(versionText(), frame);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    auto* platform = new QLabel(QStringLiteral("for Linux"), frame);
    platform->setObjectName(QStringLiteral("lblPlatform"));

    auto* loading = new QLabel(QStringLiteral("起動しています…"), frame);
    loading->setObjectName(QStringLiteral("lblWarning"));

    auto* text = new QVBoxLayout;
    text->addWidget(product);
    text->addWidget(description);
    text->addStretch();
    text->addWidget(lblVersion);
    text->addWidget(platform);
    text->addWidget(loading);

    auto* inner = new QHBoxLayout(frame);
    inner->setContentsMargins(16, 16, 24, 16);
    inner->setSpacing(20);
    inner->addWidget(picture);
    inner->addLayout(text);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QString frmSplash::versionText()
{
    return QStringLiteral("Version " KOTRINA_VERSION_TEXT);
}
