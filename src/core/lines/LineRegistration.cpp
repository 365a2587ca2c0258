#include "core/lines/LineRegistration.h"

#include "core/rules/TextRules.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

// The first value of a one-row query; an invalid variant when there is no row.
QVariant firstValue(QSqlQuery& q, const QVariantList& values, bool* ok = nullptr)
{
    for (const QVariant& v : values)
        q.addBindValue(v);
    const bool done = q.exec();
    if (ok)
        *ok = done;
    return done && q.next() ? q.value(0) : QVariant();
}

} // namespace

QString storedDate(QDate date)
{
    return date.toString(Qt::ISODate);
}

std::optional<RegisteredLine> registerLine(const Database& db, const LineInput& line, QString* error)
{
    Transaction transaction(db);
    if (!transaction.isActive()) {
        if (error)
            *error = QStringLiteral("the database is not open");
        return std::nullopt;
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    bool ok = false;
    auto failed = [&] {
        if (error)
            *error = q.lastError().text();
        return std::optional<RegisteredLine>();
    };

    // A unit seen for the first time joins the unit master; an empty one is no unit.
    if (!line.unit.isEmpty()) {
        q.prepare(QStringLiteral(R"(SELECT "単位ID" FROM "単位" WHERE "単位" = ? LIMIT 1)"));
        const QVariant unitId = firstValue(q, { line.unit }, &ok);
        if (!ok)
            return failed();
        if (!unitId.isValid()) {
            q.prepare(QStringLiteral(R"(INSERT INTO "単位" ("単位ID", "単位") VALUES (?, ?))"));
            q.addBindValue(db.nextId(Table::Tani));
            q.addBindValue(line.unit);
            if (!q.exec())
                return failed();
        }
    }

    // The product master keeps the last unit and unit price counted for the product.
    q.prepare(QStringLiteral(R"(SELECT "品名ID" FROM "仕入商品" WHERE "品名" = ? ORDER BY "品名ID" LIMIT 1)"));
    const QVariant found = firstValue(q, { line.product }, &ok);
    if (!ok)
        return failed();
    RegisteredLine result;
    if (found.isValid()) {
        result.productId = found.toInt();
        q.prepare(QStringLiteral(R"(UPDATE "仕入商品" SET "単価" = ?, "単位" = ? WHERE "品名ID" = ?)"));
        q.addBindValue(line.unitPrice);
        q.addBindValue(line.unit);
        q.addBindValue(result.productId);
    } else {
        result.productId = db.nextId(Table::Shohin);
        q.prepare(QStringLiteral(R"(INSERT INTO "仕入商品" ("品名ID", "品名", "単価", "単位") VALUES (?, ?, ?, ?))"));
        q.addBindValue(result.productId);
        q.addBindValue(line.product);
        q.addBindValue(line.unitPrice);
        q.addBindValue(line.unit);
    }
    if (!q.exec())
        return failed();

    result.lineId = db.nextId(Table::Tana);
    result.amount = TextRules::lineAmount(line.unitPrice, line.quantity);
    q.prepare(QStringLiteral(R"(INSERT INTO "棚卸マスター"
        ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格", "備考", "品名ID", "備考1")
        VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))"));
    for (const QVariant& v :
         QVariantList { result.lineId, storedDate(line.date), line.categoryId, line.product, line.quantity, line.unit,
                        line.unitPrice, result.amount, line.memo, result.productId,
                        line.unitPrice == 0 ? QVariant(QString::fromUtf8(NoUnitPriceNote)) : QVariant() })
        q.addBindValue(v);
    if (!q.exec())
        return failed();
    q.finish();
    if (!transaction.commit(error))
        return std::nullopt;
    return result;
}

std::optional<int> findOrRegisterCategory(const Database& db, const QString& name, bool* registered)
{
    if (registered)
        *registered = false;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        R"(SELECT "項目ID" FROM "項目分類" WHERE "項目ID" >= 1 AND "項目分類名" = ? ORDER BY "項目ID" LIMIT 1)"));
    bool ok = false;
    const QVariant found = firstValue(q, { name }, &ok);
    if (!ok)
        return std::nullopt;
    if (found.isValid())
        return found.toInt();
    const int id = db.nextId(Table::Koumoku);
    if (!db.exec(QStringLiteral(R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (?, ?))"), { id, name }))
        return std::nullopt;
    if (registered)
        *registered = true;
    return id;
}

std::optional<ProductInfo> findProduct(const Database& db, const QString& name)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        R"(SELECT "品名ID", "単位", "単価" FROM "仕入商品" WHERE "品名" = ? ORDER BY "品名ID" LIMIT 1)"));
    q.addBindValue(name);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return ProductInfo { q.value(0).toInt(), q.value(1), q.value(2) };
}

QList<HistoryLine> lineHistory(const Database& db, const QString& text, int limit)
{
    QList<HistoryLine> lines;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    const TextRules::ContainsFilter filter = TextRules::containsFilter(QStringLiteral("品名"), text);
    q.prepare(QStringLiteral(R"(SELECT "日付", "品名", "数量", "単位", "単価" FROM "棚卸マスター"
        WHERE %1 ORDER BY "日付" DESC, "ID" DESC LIMIT ?)")
                  .arg(filter.sql));
    q.addBindValue(filter.value);
    q.addBindValue(limit);
    if (!q.exec())
        return lines;
    while (q.next())
        lines.append({ QDate::fromString(q.value(0).toString(), Qt::ISODate), q.value(1).toString(), q.value(2),
                       q.value(3), q.value(4) });
    return lines;
}

QString statusLineText(const Database& db, QDate date)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT SUM("価格"), COUNT("価格") FROM "棚卸マスター" WHERE "日付" = ?)"));
    q.addBindValue(storedDate(date));
    if (!q.exec() || !q.next())
        return {}; // an unread date is not an empty one
    const QString count = QString::number(q.value(1).toLongLong());
    const QString total = q.value(0).isNull() ? QString() : TextRules::formatAmount(q.value(0).toDouble());
    return QStringLiteral("Max Record ") + count + QStringLiteral("   Total ") + total;
}

bool deleteLine(const Database& db, int lineId, QString* error)
{
    return db.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "ID" = ?)"), { lineId }, error);
}
