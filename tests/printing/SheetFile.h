#pragma once

#include "TestEnvironment.h"
#include "core/store/Database.h"

#include <QTest>

// A new business file for the sheets' tests, with categories and products added by the case.
struct SheetFile
{
    TestEnvironment env;
    Database db;
    int nextId = 1; // of the next line

    SheetFile() { db.open(env.newDatabase()); }
    void category(int id, const QString& name)
    {
        QVERIFY(db.exec(QStringLiteral(R"(INSERT INTO "項目分類" VALUES (?, ?))"), { id, name }));
    }
    void product(int id, const QString& name)
    {
        QVERIFY(db.exec(QStringLiteral(R"(INSERT INTO "仕入商品" VALUES (?, ?, 0, '個'))"), { id, name }));
    }
};
