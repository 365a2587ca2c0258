// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/HistoryTrail.h"

#include "core/store/Database.h"

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

QString now()
{
    return QStringLiteral("strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')");
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

} // namespace

namespace HistoryTrail {

QStringList createStatements(Engine engine)
{
    // The server's history triggers are not built here yet.
    if (engine == Engine::Postgres)
        return {};
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

QStringList suspendLineTriggers()
{
    QStringList statements;
    for (const char* trigger : LineTriggers)
        statements << QStringLiteral(R"(DROP TRIGGER IF EXISTS "%1")").arg(QString::fromUtf8(trigger));
    return statements;
}

QStringList resumeLineTriggers()
{
    QStringList statements;
    for (const QString& statement : createStatements()) {
        for (const char* trigger : LineTriggers) {
            if (statement.startsWith(QStringLiteral(R"(CREATE TRIGGER "%1")").arg(QString::fromUtf8(trigger))))
                statements << statement;
        }
    }
    return statements;
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
    return q.exec(QStringLiteral(R"(SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '変更履歴')"))
        && q.next();
}

std::optional<qint64> markOf(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(R"(SELECT coalesce(MAX("番号"), 0) FROM "変更履歴")")) || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

bool stampOwn(const QSqlDatabase& db, qint64 mark, QString* error)
{
    QSqlQuery q(db);
    bool unsealed = false;
    if (!hasUnsealed(q, &unsealed, error))
        return false;
    if (!unsealed)
        return true;
    return markStations(q, QStringLiteral(R"( AND "番号" <= ?)"), QString::fromUtf8(OutsideStation), error, { mark })
        && markStations(q, QStringLiteral(R"( AND "番号" > ?)"), station(), error, { mark }) && sealRows(db, error);
}

bool restoreTriggers(const QSqlDatabase& db, QStringList* restored, QString* error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'")))
        return fail(error, q.lastError().text());
    QStringList present;
    while (q.next())
        present << q.value(0).toString();
    q.finish();
    static const QRegularExpression named(QStringLiteral(R"re(^CREATE TRIGGER "([^"]+)")re"));
    for (const QString& statement : createStatements()) {
        const QRegularExpressionMatch m = named.match(statement);
        if (!m.hasMatch() || present.contains(m.captured(1)))
            continue;
        if (!q.exec(statement))
            return fail(error, q.lastError().text());
        if (restored)
            *restored << m.captured(1);
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
    const bool ok = (!marker || q.exec(QStringLiteral(R"(DELETE FROM "履歴一括")")))
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
    QSqlQuery q(m_db);
    m_active = hasHistory(m_db) && q.exec(QStringLiteral(R"(INSERT INTO "履歴一括" ("番号") VALUES (1))"));
}

BulkChange::~BulkChange()
{
    if (m_active)
        QSqlQuery(m_db).exec(QStringLiteral(R"(DELETE FROM "履歴一括")"));
}

bool BulkChange::finish(const QString& kind, const QString& day, const QString& valuesJson, QString* error)
{
    if (!m_active)
        return true;
    m_active = false;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral(R"(DELETE FROM "履歴一括")")))
        return fail(error, q.lastError().text());
    const bool removal = kind == QString::fromUtf8(KindBulkDeleted);
    q.prepare(QStringLiteral(R"(INSERT INTO "変更履歴" ("時刻", "種類", "日付", "%1") VALUES (%2, ?, ?, json(?)))")
                  .arg(removal ? QStringLiteral("旧値") : QStringLiteral("新値"), now()));
    q.addBindValue(kind);
    q.addBindValue(day.isEmpty() ? QVariant() : QVariant(day));
    q.addBindValue(valuesJson);
    return q.exec() || fail(error, q.lastError().text());
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
