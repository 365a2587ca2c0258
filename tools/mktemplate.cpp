// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Writes the empty business file that every new database is copied from.

#include "core/store/Schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kotrina-mktemplate OUTPUT.idb\n");
        return 2;
    }
    const QString target = QString::fromLocal8Bit(argv[1]);
    if (QFileInfo::exists(target)) {
        std::fprintf(stderr, "%s exists already\n", argv[1]);
        return 1;
    }
    QString error;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("template"));
        db.setDatabaseName(target);
        ok = db.open() && Schema::create(db, &error);
        if (!db.isOpen())
            error = QStringLiteral("cannot create the file");
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("template"));
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(error));
        return 1;
    }
    return 0;
}
