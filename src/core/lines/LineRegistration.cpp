// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/lines/LineRegistration.h"

#include "core/rules/TextRules.h"
#include "core/store/HistoryTrail.h"
#include "core/store/NameIndex.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>

namespace {

// What a name looked up in the name index costs, in lines read by the scan: its product ID
// is read from the list of names and its lines are sought in the index on 品名ID.
constexpr double NameCostInLines = 24;

// A JSON array of the numbers, for json_each().
QString jsonList(const QList<qint64>& numbers)
{
    QString text = QStringLiteral("[");
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (i > 0)
            text += QLatin1Char(',');
        text += QString::number(numbers[i]);
    }
    return text + QLatin1Char(']');
}

struct HistoryCandidates
{
    QString productIds; // as a JSON array
    bool withoutProductId = false; // a name is listed with no product ID
};

// The product IDs of the lines' names that may contain text, when the name index finds few
// enough of them to be cheaper than the scan; nullopt otherwise. The scan reads about
// limit × (names / names found) lines before the list is full, the look-up costs a few
// dozen lines a name found: the index is used below the square root of their ratio.
std::optional<HistoryCandidates> historyCandidates(const Database& db, const QString& text, int limit)
{
    if (!db.hasNameIndexes())
        return std::nullopt;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(R"(SELECT MAX("番号") FROM "%1")").arg(NameIndex::lineNamesTable())) || !q.next())
        return std::nullopt;
    const double names = q.value(0).toDouble();
    const int most = std::max(1, int(std::sqrt(names * limit / NameCostInLines)));
    const std::optional<NameIndex::Match> match = NameIndex::match(db, Table::Tana, text, most);
    if (!match)
        return std::nullopt;
    // The names are read from the index first and looked up in the list afterwards: a join
    // of the two reads the index far more slowly.
    q.prepare(QStringLiteral(R"(SELECT rowid FROM "%1" WHERE "%1" MATCH ? LIMIT ?)").arg(match->index));
    q.addBindValue(match->words);
    q.addBindValue(most + 1);
    if (!q.exec())
        return std::nullopt;
    QList<qint64> found;
    while (q.next())
        found.append(q.value(0).toLongLong());
    if (found.size() > most)
        return std::nullopt;
    q.prepare(QStringLiteral(R"(SELECT DISTINCT n."品名ID" FROM json_each(?) AS j
        CROSS JOIN "%1" AS n ON n."番号" = j.value)")
                  .arg(NameIndex::lineNamesTable()));
    q.addBindValue(jsonList(found));
    if (!q.exec())
        return std::nullopt;
    HistoryCandidates candidates;
    QList<qint64> productIds;
    while (q.next()) {
        if (q.value(0).isNull())
            candidates.withoutProductId = true;
        else
            productIds.append(q.value(0).toLongLong());
    }
    candidates.productIds = jsonList(productIds);
    return candidates;
}

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

const QString TotalsKey = QStringLiteral("date totals ");

// A figure the kept totals may be changed by without drifting from what the engine's SUM
// gives: a whole number well inside what a double holds exactly. The amounts of lines are
// whole numbers (unit price × quantity truncated); anything else has the totals counted again.
bool addsExactly(double value)
{
    return std::abs(value) < 1e15 && value == std::trunc(value);
}

} // namespace

QString storedDate(QDate date)
{
    return date.toString(Qt::ISODate);
}

namespace {

// Inside the caller's transaction: the unit joins the unit master when it is new (an empty
// one is no unit), and the product master keeps the last unit and unit price counted for the
// product (a new name is a new product). The product's ID; nullopt with the engine's text.
std::optional<int> keepMasters(const Database& db, QSqlQuery& q, const LineInput& line, QString* error)
{
    bool ok = false;
    auto failed = [&] {
        if (error)
            *error = q.lastError().text();
        return std::optional<int>();
    };
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
    q.prepare(QStringLiteral(R"(SELECT "品名ID" FROM "仕入商品" WHERE "品名" = ? ORDER BY "品名ID" LIMIT 1)"));
    const QVariant found = firstValue(q, { line.product }, &ok);
    if (!ok)
        return failed();
    int productId = 0;
    if (found.isValid()) {
        productId = found.toInt();
        q.prepare(QStringLiteral(R"(UPDATE "仕入商品" SET "単価" = ?, "単位" = ? WHERE "品名ID" = ?)"));
        q.addBindValue(line.unitPrice);
        q.addBindValue(line.unit);
        q.addBindValue(productId);
    } else {
        productId = db.nextId(Table::Shohin);
        q.prepare(QStringLiteral(R"(INSERT INTO "仕入商品" ("品名ID", "品名", "単価", "単位") VALUES (?, ?, ?, ?))"));
        q.addBindValue(productId);
        q.addBindValue(line.product);
        q.addBindValue(line.unitPrice);
        q.addBindValue(line.unit);
    }
    if (!q.exec())
        return failed();
    return productId;
}

QVariant noUnitPriceNote(const LineInput& line)
{
    return line.unitPrice == 0 ? QVariant(QString::fromUtf8(NoUnitPriceNote)) : QVariant();
}

bool stillTheFile(const Database& db, QString* error)
{
    if (db.isOpen() && db.fileState() != Database::FileState::Same) {
        if (error)
            *error = QStringLiteral("the file is no longer the one opened");
        return false;
    }
    return true;
}

} // namespace

std::optional<RegisteredLine> registerLine(const Database& db, const LineInput& line, QString* error,
                                           const AlongsideLine& alongside)
{
    if (!stillTheFile(db, error))
        return std::nullopt;
    // A finalised date takes no line: said with its date and time of finalising.
    if (HistoryTrail::refuseLocked(db, line.date, error))
        return std::nullopt;
    const std::optional<Database::ChangeStamp> before = db.changeStamp();
    Transaction transaction(db);
    if (!transaction.isActive()) {
        if (error)
            *error = QStringLiteral("the database is not open");
        return std::nullopt;
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    RegisteredLine result;
    const std::optional<int> productId = keepMasters(db, q, line, error);
    if (!productId)
        return std::nullopt;
    result.productId = *productId;
    result.lineId = db.nextId(Table::Tana);
    result.amount = TextRules::lineAmount(line.unitPrice, line.quantity);
    q.prepare(QStringLiteral(R"(INSERT INTO "棚卸マスター"
        ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格", "備考", "品名ID", "備考1")
        VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?))"));
    for (const QVariant& v :
         QVariantList { result.lineId, storedDate(line.date), line.categoryId, line.product, line.quantity, line.unit,
                        line.unitPrice, result.amount, line.memo, result.productId, noUnitPriceNote(line) })
        q.addBindValue(v);
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt;
    }
    q.finish();
    if (alongside && !alongside(result, error))
        return std::nullopt;
    if (!transaction.commit(error))
        return std::nullopt;
    carryDateTotals(db, before, {}, { { storedDate(line.date), result.amount } });
    return result;
}

std::optional<RegisteredLine> changeLine(const Database& db, int lineId, const LineInput& line, QString* error)
{
    if (!stillTheFile(db, error))
        return std::nullopt;
    std::optional<Database::ChangeStamp> before = db.changeStamp();
    QList<LineAmount> gone;
    {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral(R"(SELECT "日付", "価格" FROM "棚卸マスター" WHERE "ID" = ?)"));
        q.addBindValue(lineId);
        if (!q.exec()) {
            if (error)
                *error = q.lastError().text();
            return std::nullopt;
        }
        if (!q.next()) {
            if (error)
                *error = QStringLiteral("no line %1").arg(lineId);
            return std::nullopt;
        }
        gone.append({ q.value(0).toString(), q.value(1) });
    }
    // Neither the date the line is on nor the one it goes to may be finalised.
    if (HistoryTrail::refuseLocked(db, QDate::fromString(gone.constFirst().day, Qt::ISODate), error)
        || HistoryTrail::refuseLocked(db, line.date, error))
        return std::nullopt;
    Transaction transaction(db);
    if (!transaction.isActive()) {
        if (error)
            *error = QStringLiteral("the database is not open");
        return std::nullopt;
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    RegisteredLine result;
    const std::optional<int> productId = keepMasters(db, q, line, error);
    if (!productId)
        return std::nullopt;
    result.productId = *productId;
    result.lineId = lineId;
    result.amount = TextRules::lineAmount(line.unitPrice, line.quantity);
    q.prepare(QStringLiteral(R"(UPDATE "棚卸マスター" SET "日付" = ?, "項目ID" = ?, "品名" = ?, "数量" = ?,
        "単位" = ?, "単価" = ?, "価格" = ?, "備考" = ?, "品名ID" = ?, "備考1" = ? WHERE "ID" = ?)"));
    for (const QVariant& v :
         QVariantList { storedDate(line.date), line.categoryId, line.product, line.quantity, line.unit, line.unitPrice,
                        result.amount, line.memo, result.productId, noUnitPriceNote(line), lineId })
        q.addBindValue(v);
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt;
    }
    q.finish();
    if (!transaction.commit(error))
        return std::nullopt;
    carryDateTotals(db, before, gone, { { storedDate(line.date), result.amount } });
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
    if (limit <= 0)
        return lines;
    const TextRules::ContainsFilter filter = TextRules::containsFilter(QStringLiteral("品名"), text);

    // The settlement dates, newest first, each with the range of IDs its lines have: the
    // lines of a stocktaking are mostly typed one after the other, so a date's range holds
    // few of another's, and its lines are read in the table's own order.
    struct Day
    {
        QString day;
        QVariant first, last;
    };
    QList<Day> days;
    {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral(R"(WITH RECURSIVE d(x) AS (SELECT MAX("日付") FROM "棚卸マスター"
                UNION ALL SELECT (SELECT MAX("日付") FROM "棚卸マスター" WHERE "日付" < x) FROM d WHERE x IS NOT NULL)
            SELECT x, (SELECT MIN("ID") FROM "棚卸マスター" WHERE "日付" = x),
                (SELECT MAX("ID") FROM "棚卸マスター" WHERE "日付" = x) FROM d WHERE x IS NOT NULL)")))
            return lines;
        while (q.next())
            days.append({ q.value(0).toString(), q.value(1), q.value(2) });
    }
    QSqlQuery rows(db.connection());
    rows.setForwardOnly(true);
    const auto readLines = [&rows, &lines] {
        if (!rows.exec())
            return;
        while (rows.next())
            lines.append({ QDate::fromString(rows.value(0).toString(), Qt::ISODate), rows.value(1).toString(),
                           rows.value(2), rows.value(3), rows.value(4) });
    };

    const std::optional<HistoryCandidates> candidates = historyCandidates(db, text, limit);
    if (!candidates) {
        // The text is in many names (or cannot be looked up): each date's lines are read
        // newest first until the list is full, which a common text fills soon.
        rows.prepare(QStringLiteral(R"(SELECT "日付", "品名", "数量", "単位", "単価" FROM "棚卸マスター"
            WHERE "ID" BETWEEN ? AND ? AND +"日付" = ? AND %1 ORDER BY "ID" DESC LIMIT ?)")
                         .arg(filter.sql));
        for (const Day& day : std::as_const(days)) {
            if (lines.size() >= limit)
                break;
            for (const QVariant& v : QVariantList { day.first, day.last, day.day, filter.value, limit - lines.size() })
                rows.addBindValue(v);
            readLines();
        }
        return lines;
    }

    // The text is in few names: the lines of their product IDs in each date's range are
    // found in the index on 品名ID alone, newest first, and only as many of them read as
    // the list still takes (the name condition decides, as in the scan).
    QSqlQuery ids(db.connection());
    ids.setForwardOnly(true);
    ids.prepare(QStringLiteral(R"(SELECT t."ID" FROM json_each(?) AS j CROSS JOIN "棚卸マスター" AS t
            ON t."品名ID" = j.value AND t."ID" BETWEEN ? AND ?%1 ORDER BY 1 DESC)")
                    .arg(candidates->withoutProductId ? QStringLiteral(R"(
        UNION ALL SELECT "ID" FROM "棚卸マスター" WHERE "品名ID" IS NULL AND "ID" BETWEEN ? AND ?)")
                                                      : QString()));
    rows.prepare(QStringLiteral(R"(SELECT "日付", "品名", "数量", "単位", "単価" FROM "棚卸マスター"
        WHERE "ID" IN (SELECT value FROM json_each(?)) AND +"日付" = ? AND %1 ORDER BY "ID" DESC)")
                     .arg(filter.sql));
    for (const Day& day : std::as_const(days)) {
        if (lines.size() >= limit)
            break;
        ids.addBindValue(candidates->productIds);
        ids.addBindValue(day.first);
        ids.addBindValue(day.last);
        if (candidates->withoutProductId) {
            ids.addBindValue(day.first);
            ids.addBindValue(day.last);
        }
        if (!ids.exec())
            return lines;
        QList<qint64> found;
        while (ids.next())
            found.append(ids.value(0).toLongLong());
        for (qsizetype next = 0; next < found.size() && lines.size() < limit;) {
            const qsizetype take = std::min<qsizetype>(limit - lines.size(), found.size() - next);
            for (const QVariant& v : QVariantList { jsonList(found.mid(next, take)), day.day, filter.value })
                rows.addBindValue(v);
            next += take;
            readLines();
        }
    }
    return lines;
}

std::optional<DateTotals> dateTotals(const Database& db, QDate date, QString* error)
{
    const NoLockWait noWait(&db);
    const QString day = storedDate(date);
    const auto fromValues = [](const QVariantList& values) {
        DateTotals totals;
        totals.count = values.value(0).toLongLong();
        if (!values.value(1).isNull())
            totals.total = values.value(1).toDouble();
        return totals;
    };
    // Taken before the count: a change committed while it runs moves the stamp on, and the
    // next call counts again.
    const std::optional<Database::ChangeStamp> stamp = db.changeStamp();
    if (stamp) {
        if (const std::optional<QVariantList> kept = db.remembered(TotalsKey + day, *stamp))
            return fromValues(*kept);
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT COUNT("価格"), SUM("価格") FROM "棚卸マスター" WHERE "日付" = ?)"));
    q.addBindValue(day);
    if (!q.exec() || !q.next()) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt; // an unread date is not an empty one
    }
    const QVariantList values = { q.value(0).toLongLong(), q.value(1).isNull() ? QVariant() : q.value(1).toDouble() };
    if (stamp)
        db.remember(TotalsKey + day, values, *stamp);
    return fromValues(values);
}

void carryDateTotals(const Database& db, const std::optional<Database::ChangeStamp>& before,
                     const QList<LineAmount>& gone, const QList<LineAmount>& come)
{
    const std::optional<Database::ChangeStamp> after = db.changeStamp();
    if (!before || !after)
        return;
    db.carryRemembered(*before, *after, [&](const QString& key, QVariantList& values) {
        if (!key.startsWith(TotalsKey))
            return true; // not the totals of a date: untouched by a line
        const QString day = key.mid(TotalsKey.size());
        qint64 count = values.value(0).toLongLong();
        double total = values.value(1).toDouble();
        bool exact = values.value(1).isNull() || addsExactly(total);
        const auto take = [&](const QList<LineAmount>& lines, int sign) {
            for (const LineAmount& line : lines) {
                if (line.day != day || line.amount.isNull())
                    continue;
                bool number = false;
                const double amount = line.amount.toDouble(&number);
                exact = exact && number && addsExactly(amount);
                count += sign;
                total += sign * amount;
            }
        };
        take(gone, -1);
        take(come, +1);
        if (!exact)
            return false;
        // With no line left that has an amount, there is no total either.
        values = { count, count > 0 ? QVariant(total) : QVariant() };
        return true;
    });
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
    // The line's date and amount, for the kept totals of its date.
    std::optional<Database::ChangeStamp> before = db.changeStamp();
    QList<LineAmount> gone;
    {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral(R"(SELECT "日付", "価格" FROM "棚卸マスター" WHERE "ID" = ?)"));
        q.addBindValue(lineId);
        if (!q.exec())
            before.reset(); // the line is not known: the totals are counted again
        else if (q.next())
            gone.append({ q.value(0).toString(), q.value(1) });
    }
    for (const LineAmount& line : gone) {
        if (HistoryTrail::refuseLocked(db, QDate::fromString(line.day, Qt::ISODate), error))
            return false;
    }
    if (!db.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "ID" = ?)"), { lineId }, error))
        return false;
    carryDateTotals(db, before, gone, {});
    return true;
}
