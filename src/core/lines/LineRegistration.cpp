#include "core/lines/LineRegistration.h"

#include "core/rules/TextRules.h"
#include "core/store/NameIndex.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

// Up to this many names are looked up in the name index, their lines read a date at a
// time (one index seek a name and date); a text in more names is left to the scan in
// date order, which then meets the matches early.
constexpr int HistoryCandidateLimit = 2000;

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
    if (db.isOpen() && db.fileState() != Database::FileState::Same) {
        if (error)
            *error = QStringLiteral("the file is no longer the one opened");
        return std::nullopt;
    }
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

std::optional<int> findOrRegisterCategory(const Database& db, const QString& name, bool* registered, QString* error)
{
    if (registered)
        *registered = false;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        R"(SELECT "項目ID" FROM "項目分類" WHERE "項目ID" >= 1 AND "項目分類名" = ? ORDER BY "項目ID" LIMIT 1)"));
    bool ok = false;
    const QVariant found = firstValue(q, { name }, &ok);
    if (!ok) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt;
    }
    if (found.isValid())
        return found.toInt();
    if (db.fileState() != Database::FileState::Same) {
        if (error)
            *error = QStringLiteral("the file is no longer the one opened");
        return std::nullopt;
    }
    const int id = db.nextId(Table::Koumoku);
    if (!db.exec(QStringLiteral(R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (?, ?))"), { id, name },
                 error))
        return std::nullopt;
    if (registered)
        *registered = true;
    return id;
}

std::optional<ProductInfo> findProduct(const Database& db, const QString& name)
{
    const NoLockWait noWait(&db);
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
    const NoLockWait noWait(&db);
    QList<HistoryLine> lines;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    const auto readLines = [&q, &lines] {
        if (!q.exec())
            return;
        while (q.next())
            lines.append({ QDate::fromString(q.value(0).toString(), Qt::ISODate), q.value(1).toString(), q.value(2),
                           q.value(3), q.value(4) });
    };
    const TextRules::ContainsFilter filter = TextRules::containsFilter(QStringLiteral("品名"), text);
    // A text in few lines is looked up in the name index; one in many lines is found
    // soon enough by reading the lines newest first until the list is full.
    const std::optional<NameIndex::Candidates> candidates
        = NameIndex::candidates(db, Table::Tana, text, HistoryCandidateLimit);
    if (!candidates) {
        q.prepare(QStringLiteral(R"(SELECT "日付", "品名", "数量", "単位", "単価" FROM "棚卸マスター"
            WHERE %1 ORDER BY "日付" DESC, "ID" DESC LIMIT ?)")
                      .arg(filter.sql));
        q.addBindValue(filter.value);
        q.addBindValue(limit);
        readLines();
        return lines;
    }

    // The candidates are read a settlement date at a time, newest first, each date only
    // in the ID range of its lines, until the list is full: the lines of a stocktaking
    // are mostly typed one after the other, so a date's range holds few of another's.
    QSqlQuery dates(db.connection());
    dates.setForwardOnly(true);
    if (!dates.exec(QStringLiteral(R"(WITH RECURSIVE d(x) AS (SELECT MAX("日付") FROM "棚卸マスター"
            UNION ALL SELECT (SELECT MAX("日付") FROM "棚卸マスター" WHERE "日付" < x) FROM d WHERE x IS NOT NULL)
        SELECT x FROM d WHERE x IS NOT NULL)")))
        return lines;
    QStringList days;
    while (dates.next())
        days << dates.value(0).toString();
    q.prepare(QStringLiteral(R"(SELECT t."日付", t."品名", t."数量", t."単位", t."単価"
        FROM (%1) AS c CROSS JOIN "棚卸マスター" AS t ON t."ID" = c.r
        WHERE c.r BETWEEN (SELECT MIN("ID") FROM "棚卸マスター" WHERE "日付" = ?)
                      AND (SELECT MAX("ID") FROM "棚卸マスター" WHERE "日付" = ?)
            AND t."日付" = ? AND %2 ORDER BY t."ID" DESC LIMIT ?)")
                  .arg(candidates->sql, filter.sql));
    for (const QString& day : std::as_const(days)) {
        if (lines.size() >= limit)
            break;
        for (const QVariant& v : QVariantList { candidates->value, day, day, day, filter.value, limit - lines.size() })
            q.addBindValue(v);
        readLines();
    }
    return lines;
}

std::optional<DateTotals> dateTotals(const Database& db, QDate date, QString* error)
{
    const NoLockWait noWait(&db);
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT SUM("価格"), COUNT("価格") FROM "棚卸マスター" WHERE "日付" = ?)"));
    q.addBindValue(storedDate(date));
    if (!q.exec() || !q.next()) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt; // an unread date is not an empty one
    }
    DateTotals totals;
    totals.count = q.value(1).toLongLong();
    if (!q.value(0).isNull())
        totals.total = q.value(0).toDouble();
    return totals;
}

QString DateTotals::text() const
{
    return QStringLiteral("Max Record ") + QString::number(count) + QStringLiteral("   Total ")
        + (total ? TextRules::formatAmount(*total) : QString());
}

QString statusLineText(const Database& db, QDate date)
{
    const std::optional<DateTotals> totals = dateTotals(db, date);
    return totals ? totals->text() : QString();
}

bool deleteLine(const Database& db, int lineId, QString* error)
{
    return db.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "ID" = ?)"), { lineId }, error);
}
