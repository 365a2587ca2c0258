// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/HistoryTrail.h"

#include "core/store/Database.h"
#include "core/store/Schema.h"

#include <QCryptographicHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>
#include <pwd.h>
#include <unistd.h>

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// The columns a line's entry tells, in the order of the table (区分調整 is the checks' mark).
const char* const LineColumns[]
    = { "日付", "項目ID", "品名", "数量", "単位", "単価", "価格", "備考", "備考1", "品名ID" };

bool onServer(const QSqlDatabase& db)
{
    return engineOf(db) == Engine::Postgres;
}

QString now()
{
    return QStringLiteral("strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')");
}

// The same text of the time on the server: the server's clock, one for every station.
QString serverNow()
{
    return QStringLiteral("to_char(clock_timestamp(), 'YYYY-MM-DD HH24:MI:SS.MS')");
}

// The one lock that keeps the history one chain on the server: whoever writes a history row
// holds it until the commit, so rows are numbered and sealed in the order they are committed.
// An arbitrary key of this program's own (pg_advisory_xact_lock's bigint).
constexpr qint64 ChainLockKey = 0x4b6f7472696e61; // "Kotrina"

// The server's settings this program gives its own transactions: the station writing, and
// the marker of a bulk change (only ever inside the transaction setting it).
constexpr auto StationSetting = "kotrina.station";
constexpr auto BulkSetting = "kotrina.bulk";

QString serverNoBulk()
{
    return QStringLiteral("COALESCE(current_setting('%1', true), '') = ''").arg(QString::fromLatin1(BulkSetting));
}

QString setBulk(bool on)
{
    return QStringLiteral("SELECT set_config('%1', '%2', true)")
        .arg(QString::fromLatin1(BulkSetting), on ? QStringLiteral("on") : QString());
}

// json_object('日付', <row>."日付", …) over every column of a line.
QString lineObject(const QString& row)
{
    QStringList pairs;
    for (const char* column : LineColumns)
        pairs << QStringLiteral(R"('%1', %2."%1")").arg(QString::fromUtf8(column), row);
    return QStringLiteral("json_object(%1)").arg(pairs.join(QStringLiteral(", ")));
}

// Whether an update changed anything but the mark of the checks.
QString changedCondition()
{
    QStringList changed { QStringLiteral(R"(old."ID" IS NOT new."ID")") };
    for (const char* column : LineColumns)
        changed << QStringLiteral(R"(old."%1" IS NOT new."%1")").arg(QString::fromUtf8(column));
    return QLatin1Char('(') + changed.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

// The old and new values of an update, one row per column, for the columns that changed.
QString changedColumns()
{
    QStringList rows { QStringLiteral(R"(SELECT 'ID' AS c, old."ID" AS o, new."ID" AS n)") };
    for (const char* column : LineColumns)
        rows << QStringLiteral(R"(SELECT '%1', old."%1", new."%1")").arg(QString::fromUtf8(column));
    return rows.join(QStringLiteral(" UNION ALL "));
}

QString lockedCondition(const QString& day)
{
    return QStringLiteral(R"(EXISTS (SELECT 1 FROM "棚卸確定" WHERE "日付" = %1 AND "取消時刻" IS NULL))").arg(day);
}

QString noBulk()
{
    return QStringLiteral(R"(NOT EXISTS (SELECT 1 FROM "履歴一括"))");
}

QString tagged(const QVariant& value)
{
    return value.isNull() ? QStringLiteral("N") : QLatin1Char('T') + value.toString();
}

struct Unsealed
{
    qint64 number = 0;
    QString time, kind;
    QVariant lineId, date, oldValues, newValues;
    QString station;
};

// Seals every unsealed row in number order, chained to the last seal, a few thousand rows at
// a time (a file another program filled may hold very many).
bool sealRows(const QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // The chain goes on from the last seal as kept aside, not from the row now before: when
    // the last sealed rows were removed, the next seal does not fit the rows that remain.
    if (!q.exec(QStringLiteral(R"(SELECT "封印" FROM "履歴封印" WHERE "番号" = 1)")))
        return fail(error, q.lastError().text());
    QString previous = q.next() ? q.value(0).toString() : QString();
    q.finish();
    QSqlQuery seal(db);
    seal.prepare(QStringLiteral(R"(UPDATE "変更履歴" SET "封印" = ? WHERE "番号" = ?)"));
    constexpr int RowsAtOnce = 5000;
    qint64 last = 0;
    for (bool more = true; more;) {
        if (!q.exec(QStringLiteral(R"(SELECT "番号", "時刻", "種類", "行ID", "日付", "旧値", "新値", "端末"
                FROM "変更履歴" WHERE "封印" IS NULL ORDER BY "番号" LIMIT %1)")
                        .arg(RowsAtOnce)))
            return fail(error, q.lastError().text());
        QList<Unsealed> rows;
        rows.reserve(RowsAtOnce);
        while (q.next())
            rows.push_back({ q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(), q.value(3),
                             q.value(4), q.value(5), q.value(6), q.value(7).toString() });
        q.finish();
        more = rows.size() == RowsAtOnce;
        for (const Unsealed& row : rows) {
            previous = HistoryTrail::sealOf(row.number, row.time, row.kind, row.lineId, row.date, row.oldValues,
                                            row.newValues, row.station, previous);
            seal.addBindValue(previous);
            seal.addBindValue(row.number);
            if (!seal.exec())
                return fail(error, seal.lastError().text());
            last = row.number;
        }
    }
    seal.finish();
    if (last == 0)
        return true;
    if (!q.prepare(QStringLiteral(R"(INSERT INTO "履歴封印" ("番号", "最終番号", "封印") VALUES (1, ?, ?)
            ON CONFLICT ("番号") DO UPDATE SET "最終番号" = excluded."最終番号", "封印" = excluded."封印")")))
        return fail(error, q.lastError().text());
    q.addBindValue(last);
    q.addBindValue(previous);
    const bool ok = q.exec() || fail(error, q.lastError().text());
    q.finish();
    return ok;
}

bool hasUnsealed(QSqlQuery& q, bool* found, QString* error)
{
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(R"(SELECT 1 FROM "変更履歴" WHERE "封印" IS NULL LIMIT 1)")))
        return fail(error, q.lastError().text());
    *found = q.next();
    q.finish();
    return true;
}

// Takes the server's chain lock for the rest of the transaction: waiting for it, or only when
// it is free now (locked tells which).
bool takeChainLock(QSqlQuery& q, bool wait, bool* locked, QString* error)
{
    if (!q.exec(QStringLiteral("SELECT %1(%2)")
                    .arg(wait ? QStringLiteral("pg_advisory_xact_lock") : QStringLiteral("pg_try_advisory_xact_lock"))
                    .arg(ChainLockKey)))
        return fail(error, q.lastError().text());
    *locked = !wait ? q.next() && q.value(0).toBool() : true;
    q.finish();
    return true;
}

bool markStations(QSqlQuery& q, const QString& condition, const QString& station, QString* error,
                  const QVariantList& values = {})
{
    q.prepare(
        QStringLiteral(R"(UPDATE "変更履歴" SET "端末" = ? WHERE "封印" IS NULL AND "端末" IS NULL%1)").arg(condition));
    q.addBindValue(station);
    for (const QVariant& value : values)
        q.addBindValue(value);
    const bool ok = q.exec() || fail(error, q.lastError().text());
    q.finish();
    return ok;
}

// The server's side of the history: the same tables, with PL/pgSQL functions for the triggers.
// The objects are built with json_build_object; the readers take the JSON text as it stands.
QString serverLineObject(const QString& row)
{
    QStringList pairs;
    for (const char* column : LineColumns)
        pairs << QStringLiteral(R"('%1', %2."%1")").arg(QString::fromUtf8(column), row);
    return QStringLiteral("json_build_object(%1)::text").arg(pairs.join(QStringLiteral(", ")));
}

QString serverChangedCondition()
{
    QStringList changed { QStringLiteral(R"(OLD."ID" IS DISTINCT FROM NEW."ID")") };
    for (const char* column : LineColumns)
        changed << QStringLiteral(R"(OLD."%1" IS DISTINCT FROM NEW."%1")").arg(QString::fromUtf8(column));
    return QLatin1Char('(') + changed.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

QString serverChangedColumns()
{
    QStringList rows { QStringLiteral(
        R"(('ID', to_json(OLD."ID"), to_json(NEW."ID"), OLD."ID" IS DISTINCT FROM NEW."ID"))") };
    for (const char* column : LineColumns)
        rows << QStringLiteral(R"(('%1', to_json(OLD."%1"), to_json(NEW."%1"), OLD."%1" IS DISTINCT FROM NEW."%1"))")
                    .arg(QString::fromUtf8(column));
    return QStringLiteral("(VALUES %1) AS v(c, o, n, d)").arg(rows.join(QStringLiteral(", ")));
}

QString serverLocked(const QString& day)
{
    return QStringLiteral(R"(EXISTS (SELECT 1 FROM "棚卸確定" WHERE "日付" = %1 AND "取消時刻" IS NULL))").arg(day);
}

QString function(const QString& name, const QString& body)
{
    return QStringLiteral(R"(CREATE OR REPLACE FUNCTION "%1"() RETURNS trigger LANGUAGE plpgsql AS $body$
BEGIN
%2
END $body$)")
        .arg(name, body);
}

QStringList serverStatements()
{
    const QString stamp = serverNow();
    const QString noBulk = serverNoBulk();
    QStringList statements;
    // Every row of the history, whoever writes it, waits for the chain's lock and then takes
    // the next number; the station is the one this program set for its transaction, none for
    // another program's (marked as outside and sealed by the next commit or opening here).
    // The number comes from the table's sequence, but only under the lock: as the column's
    // default it would be drawn before the lock, out of commit order.
    statements << QStringLiteral(R"(ALTER TABLE "変更履歴" ALTER COLUMN "番号" DROP DEFAULT)")
               << QStringLiteral(R"(ALTER TABLE "変更履歴" ALTER COLUMN "端末"
        SET DEFAULT NULLIF(current_setting('%1', true), ''))")
                      .arg(QString::fromLatin1(StationSetting))
               << function(QStringLiteral("変更履歴_番号"),
                           QStringLiteral(R"(
    PERFORM pg_advisory_xact_lock(%1);
    IF NEW."番号" IS NULL THEN
        NEW."番号" := nextval('"%2"');
    END IF;
    RETURN NEW;)")
                               .arg(ChainLockKey)
                               .arg(Schema::sequenceName(QString::fromUtf8(HistoryTrail::HistoryTable),
                                                         QStringLiteral("番号"))))
               << QStringLiteral(R"(CREATE TRIGGER "変更履歴_番号" BEFORE INSERT ON "変更履歴"
        FOR EACH ROW EXECUTE FUNCTION "変更履歴_番号"())");

    // The locks of finalised dates. A bulk change of ours (a transaction marked as one) is
    // checked once instead, when its entry is written under the chain's lock (BulkChange::finish):
    // a check on every row of an import would take longer than writing the lines.
    statements << function(QStringLiteral("棚卸マスター_確定"),
                           QStringLiteral(R"(
    IF (TG_OP <> 'INSERT' AND %1) OR (TG_OP <> 'DELETE' AND %2) THEN
        RAISE EXCEPTION '%3';
    END IF;
    IF TG_OP = 'DELETE' THEN
        RETURN OLD;
    END IF;
    RETURN NEW;)")
                               .arg(serverLocked(QStringLiteral(R"(OLD."日付")")),
                                    serverLocked(QStringLiteral(R"(NEW."日付")")),
                                    QString::fromUtf8(HistoryTrail::LockedByTrigger)))
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_確定追加" BEFORE INSERT ON "棚卸マスター"
        FOR EACH ROW WHEN (%1) EXECUTE FUNCTION "棚卸マスター_確定"())")
                      .arg(noBulk)
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_確定変更" BEFORE UPDATE ON "棚卸マスター"
        FOR EACH ROW WHEN (%1 AND %2) EXECUTE FUNCTION "棚卸マスター_確定"())")
                      .arg(noBulk, serverChangedCondition())
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_確定削除" BEFORE DELETE ON "棚卸マスター"
        FOR EACH ROW WHEN (%1) EXECUTE FUNCTION "棚卸マスター_確定"())")
                      .arg(noBulk);

    // The history of the lines. A statement that writes lines takes the chain's lock before it
    // touches a row, so two stations never wait for each other's lines and the lock at once.
    statements << function(QStringLiteral("棚卸マスター_履歴順"),
                           QStringLiteral(R"(
    PERFORM pg_advisory_xact_lock(%1);
    RETURN NULL;)")
                               .arg(ChainLockKey))
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_履歴順" BEFORE INSERT OR UPDATE OR DELETE
        ON "棚卸マスター" FOR EACH STATEMENT WHEN (%1) EXECUTE FUNCTION "棚卸マスター_履歴順"())")
                      .arg(noBulk)
               << function(QStringLiteral("棚卸マスター_履歴"),
                           QStringLiteral(R"(
    IF TG_OP = 'INSERT' THEN
        INSERT INTO "変更履歴" ("時刻", "種類", "行ID", "日付", "新値")
            VALUES (%1, '追加', NEW."ID", NEW."日付", %2);
    ELSIF TG_OP = 'UPDATE' THEN
        INSERT INTO "変更履歴" ("時刻", "種類", "行ID", "日付", "旧値", "新値")
            SELECT %1, '変更', NEW."ID", NEW."日付", json_object_agg(c, o)::text, json_object_agg(c, n)::text
            FROM %3 WHERE d;
    ELSE
        INSERT INTO "変更履歴" ("時刻", "種類", "行ID", "日付", "旧値")
            VALUES (%1, '削除', OLD."ID", OLD."日付", %4);
    END IF;
    RETURN NULL;)")
                               .arg(stamp, serverLineObject(QStringLiteral("NEW")), serverChangedColumns(),
                                    serverLineObject(QStringLiteral("OLD"))))
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_履歴追加" AFTER INSERT ON "棚卸マスター"
        FOR EACH ROW WHEN (%1) EXECUTE FUNCTION "棚卸マスター_履歴"())")
                      .arg(noBulk)
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_履歴変更" AFTER UPDATE ON "棚卸マスター"
        FOR EACH ROW WHEN (%1 AND %2) EXECUTE FUNCTION "棚卸マスター_履歴"())")
                      .arg(noBulk, serverChangedCondition())
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_履歴削除" AFTER DELETE ON "棚卸マスター"
        FOR EACH ROW WHEN (%1) EXECUTE FUNCTION "棚卸マスター_履歴"())")
                      .arg(noBulk);

    // Finalising and undoing, and the protection of a finalisation's record. A finalisation is
    // numbered under the chain's lock too, and a date is finalised once (two stations at once).
    statements << function(
        QStringLiteral("棚卸確定_番号"),
        QStringLiteral(R"(
    PERFORM pg_advisory_xact_lock(%1);
    IF NEW."取消時刻" IS NULL AND %2 THEN
        RAISE EXCEPTION '%3';
    END IF;
    IF NEW."番号" IS NULL THEN
        NEW."番号" := COALESCE((SELECT MAX("番号") FROM "棚卸確定"), 0) + 1;
    END IF;
    RETURN NEW;)")
            .arg(ChainLockKey)
            .arg(serverLocked(QStringLiteral(R"(NEW."日付")")), QString::fromUtf8(HistoryTrail::LockedByTrigger)))
               << QStringLiteral(R"(CREATE TRIGGER "棚卸確定_番号" BEFORE INSERT ON "棚卸確定"
        FOR EACH ROW EXECUTE FUNCTION "棚卸確定_番号"())");
    statements << function(QStringLiteral("棚卸確定_履歴"),
                           QStringLiteral(R"(
    IF TG_OP = 'INSERT' THEN
        INSERT INTO "変更履歴" ("時刻", "種類", "日付", "新値")
            VALUES (%1, '確定', NEW."日付", json_build_object('番号', NEW."番号", '行数', NEW."行数",
                '合計', NEW."合計", '明細SHA256', NEW."明細SHA256", 'PDFSHA256', NEW."PDFSHA256",
                '様式', NEW."様式")::text);
    ELSE
        INSERT INTO "変更履歴" ("時刻", "種類", "日付", "旧値", "新値")
            VALUES (%1, '確定の取消', NEW."日付", json_build_object('番号', NEW."番号")::text,
                json_build_object('理由', NEW."取消理由")::text);
    END IF;
    RETURN NULL;)")
                               .arg(stamp))
               << QStringLiteral(R"(CREATE TRIGGER "棚卸確定_履歴確定" AFTER INSERT ON "棚卸確定"
        FOR EACH ROW WHEN (%1) EXECUTE FUNCTION "棚卸確定_履歴"())")
                      .arg(noBulk)
               << QStringLiteral(R"(CREATE TRIGGER "棚卸確定_履歴取消" AFTER UPDATE ON "棚卸確定"
        FOR EACH ROW WHEN (OLD."取消時刻" IS NULL AND NEW."取消時刻" IS NOT NULL)
        EXECUTE FUNCTION "棚卸確定_履歴"())")
               << function(QStringLiteral("棚卸確定_保護"), QStringLiteral(R"(
    IF TG_OP = 'DELETE' THEN
        RAISE EXCEPTION '確定の記録は削除できません。';
    END IF;
    RAISE EXCEPTION '確定の記録は変更できません。';)"))
               << QStringLiteral(R"(CREATE TRIGGER "棚卸確定_保護変更" BEFORE UPDATE ON "棚卸確定" FOR EACH ROW
        WHEN (OLD."取消時刻" IS NOT NULL OR OLD."番号" IS DISTINCT FROM NEW."番号"
            OR OLD."日付" IS DISTINCT FROM NEW."日付" OR OLD."確定時刻" IS DISTINCT FROM NEW."確定時刻"
            OR OLD."行数" IS DISTINCT FROM NEW."行数" OR OLD."合計" IS DISTINCT FROM NEW."合計"
            OR OLD."明細SHA256" IS DISTINCT FROM NEW."明細SHA256" OR OLD."PDF" IS DISTINCT FROM NEW."PDF"
            OR OLD."PDFSHA256" IS DISTINCT FROM NEW."PDFSHA256" OR OLD."様式" IS DISTINCT FROM NEW."様式")
        EXECUTE FUNCTION "棚卸確定_保護"())")
               << QStringLiteral(R"(CREATE TRIGGER "棚卸確定_保護削除" BEFORE DELETE ON "棚卸確定"
        FOR EACH ROW EXECUTE FUNCTION "棚卸確定_保護"())");
    return statements;
}

} // namespace

namespace HistoryTrail {

QStringList createStatements(Engine engine)
{
    if (engine == Engine::Postgres)
        return serverStatements();
    const QString stamp = now();
    QStringList statements;
    statements << QStringLiteral(R"(CREATE TABLE "変更履歴" (
        "番号" INTEGER PRIMARY KEY,
        "時刻" TEXT NOT NULL,
        "種類" TEXT NOT NULL,
        "行ID" INTEGER,
        "日付" TEXT,
        "旧値" TEXT,
        "新値" TEXT,
        "端末" TEXT,
        "封印" TEXT))")
               << QStringLiteral(R"(CREATE INDEX "変更履歴_行ID" ON "変更履歴" ("行ID"))")
               << QStringLiteral(R"(CREATE INDEX "変更履歴_日付" ON "変更履歴" ("日付", "番号"))")
               << QStringLiteral(R"(CREATE INDEX "変更履歴_未封印" ON "変更履歴" ("番号") WHERE "封印" IS NULL)")
               << QStringLiteral(R"(CREATE TABLE "棚卸確定" (
        "番号" INTEGER PRIMARY KEY,
        "日付" TEXT NOT NULL,
        "確定時刻" TEXT NOT NULL,
        "端末" TEXT,
        "様式" TEXT,
        "行数" INTEGER NOT NULL,
        "合計" REAL NOT NULL,
        "明細SHA256" TEXT NOT NULL,
        "PDF" BLOB NOT NULL,
        "PDFSHA256" TEXT NOT NULL,
        "取消時刻" TEXT,
        "取消理由" TEXT,
        "取消端末" TEXT))")
               << QStringLiteral(R"(CREATE INDEX "棚卸確定_日付" ON "棚卸確定" ("日付", "取消時刻"))")
               << QStringLiteral(R"(CREATE TABLE "履歴封印" (
        "番号" INTEGER PRIMARY KEY CHECK ("番号" = 1),
        "最終番号" INTEGER NOT NULL,
        "封印" TEXT NOT NULL))")
               << QStringLiteral(R"(CREATE TABLE "履歴一括" ("番号" INTEGER PRIMARY KEY))");

    // The locks: a line of a finalised date is neither added, changed (but for the checks'
    // mark) nor deleted, by any program.
    const QString refused = QStringLiteral("SELECT RAISE(ABORT, '%1');").arg(QString::fromUtf8(LockedByTrigger));
    statements << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_確定追加" BEFORE INSERT ON "棚卸マスター"
        WHEN %1 BEGIN %2 END)")
                      .arg(lockedCondition(QStringLiteral(R"(new."日付")")), refused)
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_確定変更" BEFORE UPDATE ON "棚卸マスター"
        WHEN %1 AND (%2 OR %3) BEGIN %4 END)")
                      .arg(changedCondition(), lockedCondition(QStringLiteral(R"(old."日付")")),
                           lockedCondition(QStringLiteral(R"(new."日付")")), refused)
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_確定削除" BEFORE DELETE ON "棚卸マスター"
        WHEN %1 BEGIN %2 END)")
                      .arg(lockedCondition(QStringLiteral(R"(old."日付")")), refused);

    // The history of the lines, each change once, but while a bulk change of ours is written.
    statements << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_履歴追加" AFTER INSERT ON "棚卸マスター"
        WHEN %1 BEGIN
        INSERT INTO "変更履歴" ("時刻", "種類", "行ID", "日付", "新値")
            VALUES (%2, '追加', new."ID", new."日付", %3); END)")
                      .arg(noBulk(), stamp, lineObject(QStringLiteral("new")))
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_履歴変更" AFTER UPDATE ON "棚卸マスター"
        WHEN %1 AND %2 BEGIN
        INSERT INTO "変更履歴" ("時刻", "種類", "行ID", "日付", "旧値", "新値")
            SELECT %3, '変更', new."ID", new."日付", json_group_object(c, o), json_group_object(c, n)
            FROM (%4) WHERE o IS NOT n; END)")
                      .arg(noBulk(), changedCondition(), stamp, changedColumns())
               << QStringLiteral(R"(CREATE TRIGGER "棚卸マスター_履歴削除" AFTER DELETE ON "棚卸マスター"
        WHEN %1 BEGIN
        INSERT INTO "変更履歴" ("時刻", "種類", "行ID", "日付", "旧値")
            VALUES (%2, '削除', old."ID", old."日付", %3); END)")
                      .arg(noBulk(), stamp, lineObject(QStringLiteral("old")));

    // Finalising and undoing are entries of the history too; a finalisation's record is kept
    // as written: only its undoing may be added, once, and it is never deleted.
    statements << QStringLiteral(R"(CREATE TRIGGER "棚卸確定_履歴確定" AFTER INSERT ON "棚卸確定" WHEN %2 BEGIN
        INSERT INTO "変更履歴" ("時刻", "種類", "日付", "新値")
            VALUES (%1, '確定', new."日付", json_object('番号', new."番号", '行数', new."行数",
                '合計', new."合計", '明細SHA256', new."明細SHA256", 'PDFSHA256', new."PDFSHA256",
                '様式', new."様式")); END)")
                      .arg(stamp, noBulk())
               << QStringLiteral(R"(CREATE TRIGGER "棚卸確定_履歴取消" AFTER UPDATE ON "棚卸確定"
        WHEN old."取消時刻" IS NULL AND new."取消時刻" IS NOT NULL BEGIN
        INSERT INTO "変更履歴" ("時刻", "種類", "日付", "旧値", "新値")
            VALUES (%1, '確定の取消', new."日付", json_object('番号', new."番号"),
                json_object('理由', new."取消理由")); END)")
                      .arg(stamp)
               << QStringLiteral(R"(CREATE TRIGGER "棚卸確定_保護変更" BEFORE UPDATE ON "棚卸確定"
        WHEN old."取消時刻" IS NOT NULL OR old."番号" IS NOT new."番号" OR old."日付" IS NOT new."日付"
            OR old."確定時刻" IS NOT new."確定時刻" OR old."行数" IS NOT new."行数" OR old."合計" IS NOT new."合計"
            OR old."明細SHA256" IS NOT new."明細SHA256" OR old."PDF" IS NOT new."PDF"
            OR old."PDFSHA256" IS NOT new."PDFSHA256" OR old."様式" IS NOT new."様式"
        BEGIN SELECT RAISE(ABORT, '確定の記録は変更できません。'); END)")
               << QStringLiteral(R"(CREATE TRIGGER "棚卸確定_保護削除" BEFORE DELETE ON "棚卸確定"
        BEGIN SELECT RAISE(ABORT, '確定の記録は削除できません。'); END)");
    return statements;
}

namespace {

const char* const LineTriggers[] = { "棚卸マスター_確定追加", "棚卸マスター_確定変更", "棚卸マスター_確定削除",
                                     "棚卸マスター_履歴追加", "棚卸マスター_履歴変更", "棚卸マスター_履歴削除" };

} // namespace

QStringList suspendLineTriggers(const QSqlDatabase& db)
{
    // On the server the triggers stay (dropping them would lock the lines of every station
    // until the commit): the marker of this transaction keeps them from running, and
    // BulkChange::finish checks the lock of the date once.
    if (onServer(db))
        return { setBulk(true) };
    QStringList statements;
    for (const char* trigger : LineTriggers)
        statements << QStringLiteral(R"(DROP TRIGGER IF EXISTS "%1")").arg(QString::fromUtf8(trigger));
    return statements;
}

QStringList resumeLineTriggers(const QSqlDatabase& db)
{
    if (onServer(db))
        return { setBulk(false) };
    QStringList statements;
    for (const QString& statement : createStatements()) {
        for (const char* trigger : LineTriggers) {
            if (statement.startsWith(QStringLiteral(R"(CREATE TRIGGER "%1")").arg(QString::fromUtf8(trigger))))
                statements << statement;
        }
    }
    return statements;
}

QString jsonText(const QSqlDatabase& db, const QString& json, const QString& key)
{
    return onServer(db) ? QStringLiteral("(CAST(%1 AS json) ->> '%2')").arg(json, key)
                        : QStringLiteral("json_extract(%1, '$.%2')").arg(json, key);
}

QString jsonNumber(const QSqlDatabase& db, const QString& json, const QString& key)
{
    return onServer(db) ? QStringLiteral("CAST(CAST(%1 AS json) ->> '%2' AS double precision)").arg(json, key)
                        : QStringLiteral("json_extract(%1, '$.%2')").arg(json, key);
}

QString valueType(const QSqlDatabase& db, const QString& column)
{
    if (!onServer(db))
        return QStringLiteral("typeof(%1)").arg(column);
    return QStringLiteral(R"(CASE WHEN %1 IS NULL THEN 'null'
        WHEN pg_typeof(%1) IN ('integer'::regtype, 'bigint'::regtype, 'smallint'::regtype) THEN 'integer'
        WHEN pg_typeof(%1) IN ('double precision'::regtype, 'real'::regtype, 'numeric'::regtype) THEN 'real'
        WHEN pg_typeof(%1) = 'bytea'::regtype THEN 'blob' ELSE 'text' END)")
        .arg(column);
}

QString timeNow(const QSqlDatabase& db)
{
    return onServer(db) ? serverNow() : now();
}

QString station()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("LOGNAME");
    if (const passwd* account = user.isEmpty() ? getpwuid(getuid()) : nullptr)
        user = QString::fromLocal8Bit(account->pw_name);
    const QString host = QSysInfo::machineHostName();
    return user.isEmpty() ? host : user + QLatin1Char('@') + host;
}

bool hasHistory(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (onServer(db))
        return q.exec(QStringLiteral(R"(SELECT 1 FROM pg_tables WHERE schemaname = current_schema()
            AND tablename = '変更履歴')"))
            && q.next();
    return q.exec(QStringLiteral(R"(SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '変更履歴')"))
        && q.next();
}

std::optional<qint64> markOf(const QSqlDatabase& db, const QString& ownStation)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (onServer(db)) {
        q.prepare(QStringLiteral("SELECT set_config('%1', ?, true)").arg(QString::fromLatin1(StationSetting)));
        q.addBindValue(ownStation.isEmpty() ? station() : ownStation);
        if (!q.exec())
            return std::nullopt;
        return 0;
    }
    if (!q.exec(QStringLiteral(R"(SELECT coalesce(MAX("番号"), 0) FROM "変更履歴")")) || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

bool stampOwn(const QSqlDatabase& db, qint64 mark, QString* error, const QString& ownStation)
{
    QSqlQuery q(db);
    bool unsealed = false;
    if (!hasUnsealed(q, &unsealed, error))
        return false;
    if (!unsealed)
        return true;
    if (onServer(db)) {
        // The rows of this transaction carry its station already. Rows another program
        // committed are sealed by whoever holds the chain's lock: this transaction when it
        // wrote history (it holds the lock then), else when nobody else does (a writer that
        // holds it seals them at its own commit).
        bool locked = false;
        if (!takeChainLock(q, false, &locked, error))
            return false;
        return !locked || (markStations(q, QString(), QString::fromUtf8(OutsideStation), error) && sealRows(db, error));
    }
    return markStations(q, QStringLiteral(R"( AND "番号" <= ?)"), QString::fromUtf8(OutsideStation), error, { mark })
        && markStations(q, QStringLiteral(R"( AND "番号" > ?)"), ownStation.isEmpty() ? station() : ownStation, error,
                        { mark })
        && sealRows(db, error);
}

bool restoreTriggers(const QSqlDatabase& db, QStringList* restored, QString* error)
{
    const bool server = onServer(db);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(server ? QStringLiteral("SELECT tgname FROM pg_trigger WHERE NOT tgisinternal")
                       : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'")))
        return fail(error, q.lastError().text());
    QStringList present;
    while (q.next())
        present << q.value(0).toString();
    q.finish();
    static const QRegularExpression named(QStringLiteral(R"re(^CREATE TRIGGER "([^"]+)")re"));
    const QStringList statements = createStatements(engineOf(db));
    QStringList missing;
    for (const QString& statement : statements) {
        const QRegularExpressionMatch m = named.match(statement);
        if (m.hasMatch() && !present.contains(m.captured(1)))
            missing << statement;
    }
    if (missing.isEmpty())
        return true;
    // On the server a trigger runs a function, which may have gone with it: the functions and
    // the columns' settings are made again first.
    for (const QString& statement : statements) {
        if (server && !statement.startsWith(QLatin1String("CREATE TRIGGER")) && !q.exec(statement))
            return fail(error, q.lastError().text());
    }
    for (const QString& statement : missing) {
        if (!q.exec(statement))
            return fail(error, q.lastError().text());
        if (restored)
            *restored << named.match(statement).captured(1);
    }
    return true;
}

bool sealOutside(const QSqlDatabase& db, QString* error)
{
    QSqlDatabase connection = db;
    QSqlQuery q(connection);
    bool unsealed = false;
    if (!hasUnsealed(q, &unsealed, error))
        return false;
    // A marker left behind by another program would keep the history from being written.
    q.exec(QStringLiteral(R"(SELECT 1 FROM "履歴一括" LIMIT 1)"));
    const bool marker = q.next();
    q.finish();
    if (!unsealed && !marker)
        return true;
    if (!connection.transaction())
        return fail(error, connection.lastError().text());
    bool locked = true;
    const bool ok = (!onServer(db) || takeChainLock(q, true, &locked, error))
        && (!marker || q.exec(QStringLiteral(R"(DELETE FROM "履歴一括")")))
        && markStations(q, QString(), QString::fromUtf8(OutsideStation), error) && sealRows(db, error);
    q.finish();
    if (!ok || !connection.commit()) {
        if (ok)
            fail(error, connection.lastError().text());
        connection.rollback();
        return false;
    }
    return true;
}

QString sealOf(qint64 number, const QString& time, const QString& kind, const QVariant& lineId, const QVariant& date,
               const QVariant& oldValues, const QVariant& newValues, const QString& station,
               const QString& previousSeal)
{
    const QStringList fields { QString::number(number), time,         kind,
                               tagged(lineId),          tagged(date), tagged(oldValues),
                               tagged(newValues),       station,      previousSeal };
    return QString::fromLatin1(
        QCryptographicHash::hash(fields.join(QChar(0x1f)).toUtf8(), QCryptographicHash::Sha256).toHex());
}

BulkChange::BulkChange(const QSqlDatabase& db)
    : m_db(db)
{
    // On the server the marker is a setting of this transaction alone: other stations go on
    // recording while it lives, and two bulk changes do not wait for each other.
    QSqlQuery q(m_db);
    m_active = hasHistory(m_db)
        && q.exec(onServer(m_db) ? setBulk(true) : QStringLiteral(R"(INSERT INTO "履歴一括" ("番号") VALUES (1))"));
}

BulkChange::~BulkChange()
{
    if (m_active)
        QSqlQuery(m_db).exec(onServer(m_db) ? setBulk(false) : QStringLiteral(R"(DELETE FROM "履歴一括")"));
}

bool BulkChange::finish(const QString& kind, const QString& day, const QString& valuesJson, QString* error)
{
    if (!m_active)
        return true;
    m_active = false;
    QSqlQuery q(m_db);
    const bool server = onServer(m_db);
    if (!q.exec(server ? setBulk(false) : QStringLiteral(R"(DELETE FROM "履歴一括")")))
        return fail(error, q.lastError().text());
    const bool removal = kind == QString::fromUtf8(KindBulkDeleted);
    q.prepare(
        QStringLiteral(R"(INSERT INTO "変更履歴" ("時刻", "種類", "日付", "%1") VALUES (%2, ?, CAST(? AS text), %3))")
            .arg(removal ? QStringLiteral("旧値") : QStringLiteral("新値"), server ? serverNow() : now(),
                 server ? QStringLiteral("CAST(CAST(? AS json) AS text)") : QStringLiteral("json(?)")));
    q.addBindValue(kind);
    q.addBindValue(day.isEmpty() ? QVariant() : QVariant(day));
    q.addBindValue(valuesJson);
    if (!q.exec())
        return fail(error, q.lastError().text());
    if (!server)
        return true;
    // On the server another station may have finalised the date while the lines went in (the
    // file's write lock keeps that from happening on SQLite). The row just written holds the
    // chain's lock, which finalising takes as well, so what is seen now stays until the commit.
    q.prepare(day.isEmpty() ? QStringLiteral(R"(SELECT 1 FROM "棚卸確定" WHERE "取消時刻" IS NULL LIMIT 1)")
                            : QStringLiteral(R"(SELECT 1 FROM "棚卸確定" WHERE "日付" = ? AND "取消時刻" IS NULL)"));
    if (!day.isEmpty())
        q.addBindValue(day);
    if (!q.exec())
        return fail(error, q.lastError().text());
    return !q.next() || fail(error, QString::fromUtf8(LockedByTrigger));
}

namespace {

std::optional<DateLock> lockRow(QSqlQuery& q)
{
    DateLock lock;
    lock.date = QDate::fromString(q.value(0).toString(), Qt::ISODate);
    lock.since = QDateTime::fromString(q.value(1).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (!lock.since.isValid())
        lock.since = QDateTime::fromString(q.value(1).toString(), Qt::ISODate);
    lock.finalisation = q.value(2).toLongLong();
    return lock;
}

} // namespace

std::optional<DateLock> lockOf(const Database& db, QDate date)
{
    if (!db.hasHistory())
        return std::nullopt;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT "日付", "確定時刻", "番号" FROM "棚卸確定"
        WHERE "日付" = ? AND "取消時刻" IS NULL ORDER BY "番号" DESC LIMIT 1)"));
    q.addBindValue(date.toString(Qt::ISODate));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return lockRow(q);
}

QList<DateLock> locks(const Database& db)
{
    QList<DateLock> found;
    if (!db.hasHistory())
        return found;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(R"(SELECT "日付", MAX("確定時刻"), MAX("番号") FROM "棚卸確定"
        WHERE "取消時刻" IS NULL GROUP BY "日付" ORDER BY "日付")")))
        return found;
    while (q.next())
        found << *lockRow(q);
    return found;
}

QString refusal(const DateLock& lock)
{
    return QStringLiteral("決算日 %1 の棚卸は %2 に確定されています。変更するには、確定を取り消してください。")
        .arg(lock.date.toString(QStringLiteral("yyyy/MM/dd")),
             lock.since.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
}

bool refuseLocked(const Database& db, QDate date, QString* error)
{
    const std::optional<DateLock> lock = lockOf(db, date);
    if (!lock)
        return false;
    fail(error, refusal(*lock));
    return true;
}

bool refuseAnyLocked(const Database& db, QString* error)
{
    const QList<DateLock> all = locks(db);
    if (all.isEmpty())
        return false;
    fail(error, refusal(all.constFirst()));
    return true;
}

QString explainRefusal(const Database& db, const QString& engineError, const QStringList& dates)
{
    if (!engineError.contains(QString::fromUtf8(LockedByTrigger)))
        return engineError;
    for (const QString& day : dates) {
        if (const std::optional<DateLock> lock = lockOf(db, QDate::fromString(day, Qt::ISODate)))
            return refusal(*lock);
    }
    const QList<DateLock> all = locks(db);
    return all.isEmpty() ? QString::fromUtf8(LockedByTrigger) : refusal(all.constFirst());
}

} // namespace HistoryTrail
