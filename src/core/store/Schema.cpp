// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/Schema.h"

#include "core/store/HistoryTrail.h"
#include "core/store/NameIndex.h"
#include "core/store/ServerSchema.h"

#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <limits>
#include <optional>
#include <sqlite3.h>
#include <utility>

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

// The same on a server: PostgreSQL runs a trigger's work as a function.
const char* const PostgresCodeStatements[] = {
    R"(CREATE TABLE "商品コード" (
        "コード" text PRIMARY KEY NOT NULL,
        "品名ID" integer NOT NULL,
        "順番" integer NOT NULL DEFAULT 0))",
    R"(CREATE INDEX "商品コード_品名ID" ON "商品コード" ("品名ID", "順番"))",
    R"(CREATE FUNCTION "商品コード_品名削除"() RETURNS trigger LANGUAGE plpgsql AS $$
        BEGIN DELETE FROM "商品コード" WHERE "品名ID" = old."品名ID"; RETURN NULL; END $$)",
    R"(CREATE TRIGGER "商品コード_品名削除" AFTER DELETE ON "仕入商品"
        FOR EACH ROW EXECUTE FUNCTION "商品コード_品名削除"())",
};

QStringList codeStatements(Engine engine = Engine::Sqlite)
{
    QStringList statements;
    if (engine == Engine::Postgres) {
        for (const char* statement : PostgresCodeStatements)
            statements << QString::fromUtf8(statement);
        return statements;
    }
    for (const char* statement : CodeStatements)
        statements << QString::fromUtf8(statement);
    return statements;
}

// A table with an ID numbered by a sequence of its own on a server.
QStringList numberedTable(const QString& table, const QString& id, const QString& otherColumns)
{
    const QString sequence = Schema::sequenceName(table, id);
    return { QStringLiteral(R"(CREATE SEQUENCE "%1" AS integer)").arg(sequence),
             QStringLiteral(R"(CREATE TABLE "%1" (
        "%2" integer PRIMARY KEY DEFAULT nextval('"%3"'),
        %4))")
                 .arg(table, id, sequence, otherColumns),
             QStringLiteral(R"(ALTER SEQUENCE "%1" OWNED BY "%2"."%3")").arg(sequence, table, id) };
}

// The tables on a server: the same tables and columns as in a file, in PostgreSQL's types
// (integer, double precision for the REAL columns so sums are the same arithmetic, text,
// bytea), each ID from a sequence that hands out numbers safely to several stations at once.
QStringList postgresTableStatements()
{
    QStringList statements { QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"),
                             QStringLiteral(R"(CREATE TABLE "%1" (
        "番号" integer PRIMARY KEY CHECK ("番号" = 1),
        "アプリケーションID" integer NOT NULL,
        "版" integer NOT NULL))")
                                 .arg(QString::fromUtf8(Schema::MarkTable)) };
    statements << numberedTable(QStringLiteral("棚卸マスター"), QStringLiteral("ID"), QStringLiteral(R"(
        "日付" text NOT NULL,
        "項目ID" integer NOT NULL DEFAULT 0,
        "品名" text,
        "数量" double precision,
        "単位" text,
        "単価" double precision,
        "価格" double precision,
        "備考" text,
        "備考1" text,
        "品名ID" integer,
        "区分調整" integer NOT NULL DEFAULT 0)"))
               << numberedTable(QStringLiteral("項目分類"), QStringLiteral("項目ID"),
                                QStringLiteral(R"("項目分類名" text)"))
               << QStringLiteral(R"(CREATE INDEX "項目分類_項目分類名" ON "項目分類" ("項目分類名"))")
               << numberedTable(QStringLiteral("仕入商品"), QStringLiteral("品名ID"), QStringLiteral(R"(
        "品名" text,
        "単価" double precision,
        "単位" text)"))
               << QStringLiteral(R"(CREATE INDEX "仕入商品_品名" ON "仕入商品" ("品名"))")
               << numberedTable(QStringLiteral("単位"), QStringLiteral("単位ID"), QStringLiteral(R"("単位" text)"))
               << QStringLiteral(R"(CREATE INDEX "単位_単位" ON "単位" ("単位"))");
    // The history's tables (their triggers come with HistoryTrail's statements).
    statements << numberedTable(QStringLiteral("変更履歴"), QStringLiteral("番号"), QStringLiteral(R"(
        "時刻" text NOT NULL,
        "種類" text NOT NULL,
        "行ID" integer,
        "日付" text,
        "旧値" text,
        "新値" text,
        "端末" text,
        "封印" text)"))
               << QStringLiteral(R"(CREATE INDEX "変更履歴_行ID" ON "変更履歴" ("行ID"))")
               << QStringLiteral(R"(CREATE INDEX "変更履歴_日付" ON "変更履歴" ("日付", "番号"))")
               << QStringLiteral(R"(CREATE INDEX "変更履歴_未封印" ON "変更履歴" ("番号") WHERE "封印" IS NULL)")
               << numberedTable(QStringLiteral("棚卸確定"), QStringLiteral("番号"), QStringLiteral(R"(
        "日付" text NOT NULL,
        "確定時刻" text NOT NULL,
        "端末" text,
        "様式" text,
        "行数" integer NOT NULL,
        "合計" double precision NOT NULL,
        "明細SHA256" text NOT NULL,
        "PDF" bytea NOT NULL,
        "PDFSHA256" text NOT NULL,
        "取消時刻" text,
        "取消理由" text,
        "取消端末" text)"))
               << QStringLiteral(R"(CREATE INDEX "棚卸確定_日付" ON "棚卸確定" ("日付", "取消時刻"))")
               << QStringLiteral(R"(CREATE TABLE "履歴封印" (
        "番号" integer PRIMARY KEY CHECK ("番号" = 1),
        "最終番号" integer NOT NULL,
        "封印" text NOT NULL))")
               << QStringLiteral(R"(CREATE TABLE "履歴一括" ("番号" integer PRIMARY KEY))");
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

QString sequenceName(const QString& table, const QString& column)
{
    return table + QLatin1Char('_') + column + QStringLiteral("_seq");
}

bool create(QSqlDatabase& db, QString* error)
{
    const Engine engine = engineOf(db);
    if (!db.transaction())
        return fail(error, db.lastError().text());
    QSqlQuery q(db);
    bool ok = true;
    QStringList statements;
    if (engine == Engine::Postgres) {
        statements << postgresTableStatements();
    } else {
        for (const char* statement : CreateStatements)
            statements << QString::fromUtf8(statement);
    }
    statements << lineIndexStatements();
    statements << NameIndex::createStatements(engine);
    statements << codeStatements(engine);
    statements << HistoryTrail::createStatements(engine);
    if (engine == Engine::Postgres)
        statements << ServerSchema::notifyStatements();
    for (const QString& statement : statements) {
        if (!(ok = run(q, statement, error)))
            break;
    }
    if (ok) {
        q.prepare(QStringLiteral(R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (0, ?))"));
        q.addBindValue(QString::fromUtf8(ReservedCategoryName));
        ok = q.exec() || fail(error, q.lastError().text());
    }
    if (ok && engine == Engine::Postgres) {
        ok = run(q,
                 QStringLiteral(R"(INSERT INTO "%1" ("番号", "アプリケーションID", "版") VALUES (1, %2, %3))")
                     .arg(QString::fromUtf8(MarkTable))
                     .arg(ApplicationId)
                     .arg(UserVersion),
                 error);
    } else {
        ok = ok && run(q, QStringLiteral("PRAGMA application_id = %1").arg(ApplicationId), error)
            && setVersion(db, UserVersion, error);
    }
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
    if (engineOf(db) == Engine::Postgres) {
        if (version(db) >= UserVersion)
            return Upgrade::NotNeeded;
        fail(error, QStringLiteral("a database on a server is not upgraded from version %1").arg(version(db)));
        return Upgrade::Failed;
    }
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
    ok = ok && setVersion(db, UserVersion, error);
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

namespace {

// Whether the server's database has a table of this name (in the schema it works in).
bool hasServerTable(QSqlQuery& q, const QString& table)
{
    q.prepare(QStringLiteral("SELECT to_regclass(CAST(? AS text)) IS NOT NULL"));
    q.addBindValue(QString(QLatin1Char('"') + table + QLatin1Char('"')));
    const bool found = q.exec() && q.next() && q.value(0).toBool();
    q.finish();
    return found;
}

// The application id and version the mark table of a server's database holds; nullopt (and
// why) when it has none.
std::optional<std::pair<int, int>> serverMarks(QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const QString table = QString::fromUtf8(MarkTable);
    if (!hasServerTable(q, table)) {
        if (q.lastError().isValid())
            fail(error, q.lastError().text());
        else
            fail(error, QStringLiteral("not a Kotrina database (no table %1)").arg(table));
        return std::nullopt;
    }
    if (!q.exec(QStringLiteral(R"(SELECT "アプリケーションID", "版" FROM "%1" WHERE "番号" = 1)").arg(table))
        || !q.next()) {
        fail(error,
             q.lastError().isValid() ? q.lastError().text()
                                     : QStringLiteral("not a Kotrina database (%1 is empty)").arg(table));
        return std::nullopt;
    }
    return std::pair { q.value(0).toInt(), q.value(1).toInt() };
}

} // namespace

bool setVersion(QSqlDatabase& db, int version, QString* error)
{
    QSqlQuery q(db);
    if (engineOf(db) == Engine::Postgres)
        return run(q,
                   QStringLiteral(R"(UPDATE "%1" SET "版" = %2 WHERE "番号" = 1)")
                       .arg(QString::fromUtf8(MarkTable))
                       .arg(version),
                   error);
    return run(q, QStringLiteral("PRAGMA user_version = %1").arg(version), error);
}

int version(QSqlDatabase& db)
{
    if (engineOf(db) == Engine::Postgres) {
        const auto marks = serverMarks(db, nullptr);
        return marks ? marks->second : 0;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    return q.exec(QStringLiteral("PRAGMA user_version")) && q.next() ? q.value(0).toInt() : 0;
}

bool hasNameIndexes(QSqlDatabase& db)
{
    // A server's database is made with every index the program has for it.
    if (engineOf(db) == Engine::Postgres)
        return !NameIndex::createStatements(Engine::Postgres).isEmpty();

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
    if (engineOf(db) == Engine::Postgres) {
        const auto marks = serverMarks(db, error);
        if (!marks)
            return false;
        if (marks->first != ApplicationId)
            return fail(error, QStringLiteral("not a Kotrina database (application id %1)").arg(marks->first));
        if (marks->second < 1 || marks->second > UserVersion)
            return fail(error, QStringLiteral("unknown database version %1").arg(marks->second));
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral(R"(SELECT column_name FROM information_schema.columns
            WHERE table_schema = current_schema() AND table_name = CAST(? AS text) ORDER BY ordinal_position)"));
        for (const TableColumns& t : expectedTables()) {
            if (t.since > marks->second)
                continue;
            const QString table = QString::fromUtf8(t.table);
            q.addBindValue(table);
            if (!q.exec())
                return fail(error, q.lastError().text());
            QStringList found;
            while (q.next())
                found << q.value(0).toString();
            if (found != t.columns)
                return fail(error, QStringLiteral("table %1 is missing or has other columns").arg(table));
        }
        return true;
    }
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
