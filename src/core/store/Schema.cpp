// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/Schema.h"

#include "core/store/HistoryTrail.h"
#include "core/store/NameIndex.h"

#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <limits>
#include <sqlite3.h>

namespace {

struct TableColumns
{
    const char* table;
    QStringList columns;
    int since = 1; // the schema version that added the table
};

// Column order matters: lists that show every column rely on it.
const QList<TableColumns>& expectedTables()
{
    static const QList<TableColumns> tables = {
        { "棚卸マスター",
          { "ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格", "備考", "備考1", "品名ID", "区分調整" } },
        { "項目分類", { "項目ID", "項目分類名" } },
        { "仕入商品", { "品名ID", "品名", "単価", "単位" } },
        { "単位", { "単位ID", "単位" } },
        { "商品コード", { "コード", "品名ID", "順番" }, Schema::CodesVersion },
        { "変更履歴",
          { "番号", "時刻", "種類", "行ID", "日付", "旧値", "新値", "端末", "封印" },
          Schema::HistoryVersion },
        { "棚卸確定",
          { "番号", "日付", "確定時刻", "端末", "様式", "行数", "合計", "明細SHA256", "PDF", "PDFSHA256", "取消時刻",
            "取消理由", "取消端末" },
          Schema::HistoryVersion },
        { "履歴封印", { "番号", "最終番号", "封印" }, Schema::HistoryVersion },
        { "履歴一括", { "番号" }, Schema::HistoryVersion },
        { "スマートフォン", { "番号", "名前", "トークン", "ペアリング時刻", "解除時刻" }, Schema::PhoneVersion },
        { "スマートフォン明細", { "端末番号", "キー", "行ID" }, Schema::PhoneVersion },
    };
    return tables;
}

const char* const CreateStatements[] = {
    R"(CREATE TABLE "棚卸マスター" (
        "ID" INTEGER PRIMARY KEY,
        "日付" TEXT NOT NULL,
        "項目ID" INTEGER NOT NULL DEFAULT 0,
        "品名" TEXT,
        "数量" REAL,
        "単位" TEXT,
        "単価" REAL,
        "価格" REAL,
        "備考" TEXT,
        "備考1" TEXT,
        "品名ID" INTEGER,
        "区分調整" INTEGER NOT NULL DEFAULT 0))",
    R"(CREATE TABLE "項目分類" (
        "項目ID" INTEGER PRIMARY KEY,
        "項目分類名" TEXT))",     R"(CREATE INDEX "項目分類_項目分類名" ON "項目分類" ("項目分類名"))",
    R"(CREATE TABLE "仕入商品" (
        "品名ID" INTEGER PRIMARY KEY,
        "品名" TEXT,
        "単価" REAL,
        "単位" TEXT))",     R"(CREATE INDEX "仕入商品_品名" ON "仕入商品" ("品名"))",
    R"(CREATE TABLE "単位" (
        "単位ID" INTEGER PRIMARY KEY,
        "単位" TEXT))",         R"(CREATE INDEX "単位_単位" ON "単位" ("単位"))",
};

// 商品コード: each code belongs to one product (the code is the key, so finding a product
// by its code is one look-up); a product's codes come in 順番, the first is the one
// printed. The codes of a product go with it, whatever program deletes it.
const char* const CodeStatements[] = {
    R"(CREATE TABLE "商品コード" (
        "コード" TEXT PRIMARY KEY NOT NULL,
        "品名ID" INTEGER NOT NULL,
        "順番" INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID)",
    R"(CREATE INDEX "商品コード_品名ID" ON "商品コード" ("品名ID", "順番"))",
    R"(CREATE TRIGGER "商品コード_品名削除" AFTER DELETE ON "仕入商品" BEGIN
        DELETE FROM "商品コード" WHERE "品名ID" = old."品名ID"; END)",
};

QStringList codeStatements()
{
    QStringList statements;
    for (const char* statement : CodeStatements)
        statements << QString::fromUtf8(statement);
    return statements;
}

// スマートフォン: the phones paired to count from. A phone proves itself with the token it was
// given at pairing; only its SHA-256 is kept, so the file alone pairs nobody. An unpaired
// phone keeps its row (解除時刻 set) so its lines still name it.
// スマートフォン明細: the identifier a phone gave each line it sent, so a line sent again
// (its answer lost on the way) is found instead of counted twice.
const char* const PhoneStatements[] = {
    R"(CREATE TABLE "スマートフォン" (
        "番号" INTEGER PRIMARY KEY,
        "名前" TEXT NOT NULL,
        "トークン" TEXT NOT NULL UNIQUE,
        "ペアリング時刻" TEXT NOT NULL,
        "解除時刻" TEXT))",
    R"(CREATE TABLE "スマートフォン明細" (
        "端末番号" INTEGER NOT NULL,
        "キー" TEXT NOT NULL,
        "行ID" INTEGER NOT NULL,
        PRIMARY KEY ("端末番号", "キー")))",
    R"(CREATE INDEX "スマートフォン明細_行ID" ON "スマートフォン明細" ("行ID"))",
};

QStringList phoneStatements()
{
    QStringList statements;
    for (const char* statement : PhoneStatements)
        statements << QString::fromUtf8(statement);
    return statements;
}

// The indexes of 棚卸マスター besides its name indexes, by name and column.
// Lines of a date in ID order come straight from the first (the ID is the row id).
const char* const LineIndexes[][2] = { { "棚卸マスター_日付", "日付" }, { "棚卸マスター_品名ID", "品名ID" } };

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool run(QSqlQuery& q, const QString& sql, QString* error)
{
    if (q.exec(sql))
        return true;
    return fail(error, sql.section(QLatin1Char('\n'), 0, 0) + QStringLiteral(": ") + q.lastError().text());
}

} // namespace

namespace Schema {

QStringList lineIndexStatements()
{
    QStringList statements;
    for (const auto& [index, column] : LineIndexes)
        statements << QStringLiteral(R"(CREATE INDEX "%1" ON "棚卸マスター" ("%2"))")
                          .arg(QString::fromUtf8(index), QString::fromUtf8(column));
    return statements;
}

QStringList dropLineIndexStatements()
{
    QStringList statements;
    for (const auto& [index, column] : LineIndexes)
        statements << QStringLiteral(R"(DROP INDEX IF EXISTS "%1")").arg(QString::fromUtf8(index));
    return statements;
}

bool create(QSqlDatabase& db, QString* error)
{
    if (!db.transaction())
        return fail(error, db.lastError().text());
    QSqlQuery q(db);
    bool ok = true;
    QStringList statements;
    for (const char* statement : CreateStatements)
        statements << QString::fromUtf8(statement);
    statements << lineIndexStatements();
    statements << NameIndex::createStatements();
    statements << codeStatements();
    statements << HistoryTrail::createStatements();
    statements << phoneStatements();
    for (const QString& statement : statements) {
        if (!(ok = run(q, statement, error)))
            break;
    }
    if (ok) {
        q.prepare(QStringLiteral(R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (0, ?))"));
        q.addBindValue(QString::fromUtf8(ReservedCategoryName));
        ok = q.exec() || fail(error, q.lastError().text());
    }
    ok = ok && run(q, QStringLiteral("PRAGMA application_id = %1").arg(ApplicationId), error)
        && run(q, QStringLiteral("PRAGMA user_version = %1").arg(UserVersion), error);
    q.finish();
    if (!ok) {
        db.rollback();
        return false;
    }
    return db.commit() || fail(error, db.lastError().text());
}

namespace {

// Tells an upgrade's progress: at each step it takes, and between them from within the
// engine (the lines of a range or the products can take a while), at most every 50 ms.
class UpgradeProgress
{
public:
    UpgradeProgress(const QSqlDatabase& db, const ProgressStep& step, qint64 total)
        : m_step(step)
        , m_total(total)
    {
        const QVariant handle = db.driver()->handle();
        if (m_step && handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
            m_handle = *static_cast<sqlite3* const*>(handle.constData());
        if (m_handle)
            sqlite3_progress_handler(m_handle, 10000, &UpgradeProgress::fromEngine, this);
        m_since.start();
    }
    ~UpgradeProgress()
    {
        if (m_handle)
            sqlite3_progress_handler(m_handle, 0, nullptr, nullptr);
    }
    UpgradeProgress(const UpgradeProgress&) = delete;
    UpgradeProgress& operator=(const UpgradeProgress&) = delete;

    // Another part is done; false once the waiting side has asked to stop.
    bool advance(qint64 by)
    {
        m_done = qMin(m_done + by, m_total);
        tell();
        return !m_stopped;
    }
    bool stopped() const { return m_stopped; }

private:
    static int fromEngine(void* self)
    {
        auto* progress = static_cast<UpgradeProgress*>(self);
        if (progress->m_since.hasExpired(50))
            progress->tell();
        return progress->m_stopped ? 1 : 0;
    }
    void tell()
    {
        m_since.restart();
        if (m_step && !m_stopped && !m_step(m_done, m_total))
            m_stopped = true;
    }

    const ProgressStep& m_step;
    qint64 m_total;
    qint64 m_done = 0;
    bool m_stopped = false;
    sqlite3* m_handle = nullptr;
    QElapsedTimer m_since;
};

qint64 singleValue(QSqlQuery& q, const QString& sql)
{
    const qint64 value = q.exec(sql) && q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return value;
}

} // namespace

Upgrade upgrade(QSqlDatabase& db, QString* error, const ProgressStep& progress)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        fail(error, q.lastError().text());
        return Upgrade::Failed;
    }
    const int version = q.value(0).toInt();
    q.finish();
    if (version >= UserVersion)
        return Upgrade::NotNeeded;
    if (!db.transaction()) {
        fail(error, db.lastError().text());
        return Upgrade::Failed;
    }
    // Below version 3 the name indexes are made (again) and the lines' names listed. The
    // lines are listed range by range, so how far the upgrade has come is told by the
    // lines listed; the products and the other steps count as much as their rows. Each
    // range ends at the ID of its last line, wherever gaps between the IDs lie.
    const bool nameIndexes = version < 3;
    QStringList statements = nameIndexes ? NameIndex::upgradeStatements(version) : QStringList();
    if (version < CodesVersion)
        statements << codeStatements();
    // The history starts with the upgrade: what happened before is not known.
    if (version < HistoryVersion)
        statements << HistoryTrail::createStatements();
    if (version < PhoneVersion)
        statements << phoneStatements();
    constexpr qint64 LinesPerStep = 20000;
    const qint64 lines = nameIndexes ? singleValue(q, QStringLiteral(R"(SELECT count(*) FROM "棚卸マスター")")) : 0;
    const qint64 lastLine = nameIndexes ? singleValue(q, QStringLiteral(R"(SELECT MAX("ID") FROM "棚卸マスター")")) : 0;
    const qint64 products = singleValue(q, QStringLiteral(R"(SELECT count(*) FROM "仕入商品")"));
    const qint64 perStatement = products / qMax<qsizetype>(1, statements.size()) + 1;
    UpgradeProgress told(db, progress, lines + perStatement * statements.size() + 1);
    told.advance(0);
    bool ok = true;
    for (const QString& statement : statements) {
        if (!(ok = run(q, statement, error) && told.advance(perStatement)))
            break;
    }
    QSqlQuery range(db);
    range.setForwardOnly(true);
    if (ok && nameIndexes) {
        if (q.prepare(NameIndex::lineNamesFillStatement())
            && range.prepare(
                QStringLiteral(R"(SELECT "ID" FROM "棚卸マスター" WHERE "ID" > ? ORDER BY "ID" LIMIT 1 OFFSET %1)")
                    .arg(LinesPerStep - 1))) {
            for (qint64 from = std::numeric_limits<qint64>::min(); ok && from < lastLine;) {
                range.addBindValue(from);
                const qint64 to = range.exec() && range.next() ? range.value(0).toLongLong() : lastLine;
                range.finish();
                q.addBindValue(from);
                q.addBindValue(to);
                ok = (q.exec() || fail(error, q.lastError().text())) && told.advance(LinesPerStep);
                from = to;
            }
        } else {
            ok = fail(error, q.lastError().isValid() ? q.lastError().text() : range.lastError().text());
        }
    }
    range.finish();
    ok = ok && run(q, QStringLiteral("PRAGMA user_version = %1").arg(UserVersion), error);
    q.finish();
    if (!ok) {
        db.rollback();
        return told.stopped() ? Upgrade::Cancelled : Upgrade::Failed;
    }
    told.advance(1);
    if (!db.commit()) {
        fail(error, db.lastError().text());
        db.rollback();
        return Upgrade::Failed;
    }
    return Upgrade::Done;
}

int version(QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    return q.exec(QStringLiteral("PRAGMA user_version")) && q.next() ? q.value(0).toInt() : 0;
}

bool hasNameIndexes(QSqlDatabase& db)
{
    const QStringList tables = NameIndex::indexTables() << NameIndex::lineNamesTable();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN (%1)")
                  .arg(QStringList(tables.size(), QStringLiteral("?")).join(QLatin1Char(','))));
    for (const QString& table : tables)
        q.addBindValue(table);
    return q.exec() && q.next() && q.value(0).toInt() == tables.size();
}

bool verify(QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // The first read of the header is where SQLite notices a file that is no database at all.
    if (!q.exec(QStringLiteral("PRAGMA application_id")) || !q.next())
        return fail(error, q.lastError().text());
    if (q.value(0).toInt() != ApplicationId)
        return fail(error, QStringLiteral("not a Kotrina database (application id %1)").arg(q.value(0).toInt()));
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return fail(error, q.lastError().text());
    const int version = q.value(0).toInt();
    if (version < 1 || version > UserVersion)
        return fail(error, QStringLiteral("unknown database version %1").arg(version));

    for (const TableColumns& t : expectedTables()) {
        if (t.since > version)
            continue;
        const QString table = QString::fromUtf8(t.table);
        QStringList found;
        if (!q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
            return fail(error, q.lastError().text());
        while (q.next())
            found << q.value(1).toString();
        if (found != t.columns)
            return fail(error, QStringLiteral("table %1 is missing or has other columns").arg(table));
    }
    return true;
}

} // namespace Schema
