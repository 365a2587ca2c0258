// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QByteArray>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

// Text as an older spreadsheet program saves it: code page 932.
inline QByteArray cp932(const QString& text)
{
    QStringEncoder encoder("windows-31j");
    return encoder.encode(text);
}

// Every row a query returns, its values joined by "|"; the error text when it fails.
inline QStringList rows(const Database& db, const QString& sql)
{
    QSqlQuery q(db.connection());
    if (!q.exec(sql))
        return { q.lastError().text() };
    QStringList result;
    while (q.next()) {
        QStringList values;
        for (int i = 0; i < q.record().count(); ++i)
            values << q.value(i).toString();
        result << values.join(QLatin1Char('|'));
    }
    return result;
}
