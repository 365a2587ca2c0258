#include "SampleData.h"

#include <QSqlQuery>

bool addSampleLines(const Database& db, int count, QDate date)
{
    Transaction transaction(db);
    const int first = db.nextId(Table::Tana);
    const bool ok = db.exec(QStringLiteral(R"(
        WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?)
        INSERT INTO "棚卸マスター"
        SELECT ? + i, ?, 1 + i % 60, '商品名・サンプル第' || i || '号（特大）', 1 + i % 17, '個',
               100 + i % 900, (1 + i % 17) * (100 + i % 900), '備考欄の文章', NULL, 1 + i % 1000, 0
        FROM n)"),
                            { count, first, date.toString(Qt::ISODate) })
        && db.exec(QStringLiteral(R"(
        INSERT OR IGNORE INTO "仕入商品"
        SELECT DISTINCT "品名ID", '商品名・サンプル第' || ("品名ID" - 1) || '号（特大）', "単価", "単位"
        FROM "棚卸マスター")"))
        && db.exec(QStringLiteral(R"(INSERT OR IGNORE INTO "単位" VALUES (1, '個'))"));
    return ok && transaction.commit();
}

int rowCount(const Database& db, Table table)
{
    QSqlQuery q(db.connection());
    if (!q.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "%1")").arg(tableName(table))) || !q.next())
        return -1;
    return q.value(0).toInt();
}
