// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/app/Clock.h"

namespace DateText {

QString toText(QDate date)
{
    return date.toString(QString::fromLatin1(Format));
}

QDate fromText(const QString& text)
{
    return QDate::fromString(text.trimmed(), QString::fromLatin1(Format));
}

} // namespace DateText
