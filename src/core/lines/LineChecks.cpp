// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/lines/LineChecks.h"

#include "core/lines/LineRegistration.h"
#include "core/rules/TextRules.h"
#include "core/store/HistoryTrail.h"

#include <QSqlError>
#include <QSqlQuery>

namespace LineSelections {

LineSelection ofCategory(QDate date, int categoryId)
{
    return { QStringLiteral(R"("日付" = ? AND "項目ID" = ?)"), { storedDate(date), categoryId } };
}

LineSelection ofProduct(QDate date, const QString& text)
{
    const TextRules::ContainsFilter filter = TextRules::containsFilter(QStringLiteral("品名"), text);
    return { QStringLiteral(R"("日付" = ? AND )") + filter.sql, { storedDate(date), filter.value } };
}

LineSelection all()
{
    return {};
}

LineSelection withoutUnitPrice(QDate date)
{
    return { QStringLiteral(R"("日付" = ? AND "単価" = 0)"), { storedDate(date) } };
}

LineSelection marked(QDate date)
{
    return { QStringLiteral(R"("日付" = ? AND "区分調整" = 1)"), { storedDate(date) } };
}

LineSelection missingCategory(QDate date)
{
    return { QStringLiteral(R"("日付" = ? AND NOT EXISTS
                (SELECT 1 FROM "項目分類" k WHERE k."項目ID" = "棚卸マスター"."項目ID"))"),
             { storedDate(date) } };
}

LineSelection missingProduct(QDate date)
{
    return { QStringLiteral(R"("日付" = ? AND NOT EXISTS
                (SELECT 1 FROM "仕入商品" s WHERE s."品名ID" = "棚卸マスター"."品名ID"))"),
             { storedDate(date) } };
}

} // namespace LineSelections

namespace {

// Sets 区分調整 of each line of the date to mark (SQL giving 0 or 1 for a line) and counts
// the marked lines. Only the marks that change are written: a check that finds nothing new
// writes nothing.
std::optional<int> markLines(const Database& db, QDate date, const QString& mark)
{
    const QString day = storedDate(date);
    if (!db.exec(QStringLiteral(
                     R"(UPDATE "棚卸マスター" SET "区分調整" = %1 WHERE "日付" = ? AND "区分調整" IS DISTINCT FROM %1)")
                     .arg(mark),
                 { day }))
        return std::nullopt;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT COUNT(*) FROM "棚卸マスター" WHERE "日付" = ? AND "区分調整" = 1)"));
    q.addBindValue(day);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toInt();
}

} // namespace

std::optional<int> markLinesWithoutCategory(const Database& db, QDate date)
{
    return markLines(
        db, date,
        QStringLiteral(
            R"(CASE WHEN EXISTS (SELECT 1 FROM "項目分類" k WHERE k."項目ID" = "棚卸マスター"."項目ID") THEN 0 ELSE 1 END)"));
}

std::optional<LineSelection> moveMarkedLinesToNoCategory(const Database& db, QDate date, QString* error)
{
    if (HistoryTrail::refuseLocked(db, date, error))
        return std::nullopt;
    // The moved lines are remembered in a table of this connection: once moved they carry
    // no mark that would find them again.
    const QString day = storedDate(date);
    Transaction transaction(db);
    const bool ok = db.exec(QStringLiteral(R"(DROP TABLE IF EXISTS temp."移動した行")"))
        && db.exec(QStringLiteral(R"(CREATE TEMP TABLE "移動した行" AS
            SELECT "ID" FROM "棚卸マスター" WHERE "日付" = ? AND "区分調整" = 1)"),
                   { day })
        && db.exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "項目ID" = 0, "区分調整" = 0
            WHERE "日付" = ? AND "区分調整" = 1)"),
                   { day });
    if (!ok || !transaction.commit())
        return std::nullopt;
    return LineSelection { QStringLiteral(R"("ID" IN (SELECT "ID" FROM temp."移動した行"))"), {} };
}

std::optional<int> markLinesWithoutProduct(const Database& db, QDate date)
{
    return markLines(
        db, date,
        QStringLiteral(
            R"(CASE WHEN EXISTS (SELECT 1 FROM "仕入商品" s WHERE s."品名ID" = "棚卸マスター"."品名ID") THEN 0 ELSE 1 END)"));
}

std::optional<QList<LineWithoutMaster>> linesWithoutMaster(const Database& db, QDate date)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT * FROM (
            SELECT t."ID", t."項目ID", t."品名ID", t."品名", t."数量", t."単位",
                NOT EXISTS (SELECT 1 FROM "項目分類" k WHERE k."項目ID" = t."項目ID") AS "項目なし",
                NOT EXISTS (SELECT 1 FROM "仕入商品" s WHERE s."品名ID" = t."品名ID") AS "品名なし"
            FROM "棚卸マスター" t WHERE t."日付" = ?) AS "調べた行"
        WHERE "項目なし" OR "品名なし" ORDER BY "ID")"));
    q.addBindValue(storedDate(date));
    if (!q.exec())
        return std::nullopt;
    QList<LineWithoutMaster> lines;
    while (q.next())
        lines.push_back({ q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt(), q.value(3).toString(),
                          q.value(4).toDouble(), q.value(5).toString(), q.value(6).toBool(), q.value(7).toBool() });
    if (q.lastError().isValid())
        return std::nullopt;
    return lines;
}
