// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/Database.h"

#include "core/store/DatabaseName.h"
#include "core/store/FileUse.h"
#include "core/store/HistoryTrail.h"
#include "core/store/NameOrder.h"
#include "core/store/Schema.h"
#include "core/store/ServerSchema.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <algorithm>
#include <libpq-fe.h>
#include <sqlite3.h>

QString tableName(Table table)
{
    switch (table) {
    case Table::Tana:
        return QStringLiteral("棚卸マスター");
    case Table::Koumoku:
        return QStringLiteral("項目分類");
    case Table::Shohin:
        return QStringLiteral("仕入商品");
    case Table::Tani:
        return QStringLiteral("単位");
    }
    return {};
}

QString idColumn(Table table)
{
    switch (table) {
    case Table::Tana:
        return QStringLiteral("ID");
    case Table::Koumoku:
        return QStringLiteral("項目ID");
    case Table::Shohin:
        return QStringLiteral("品名ID");
    case Table::Tani:
        return QStringLiteral("単位ID");
    }
    return {};
}

namespace {

constexpr int PageCacheKiB = 64 * 1024;

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

QString nextConnectionName()
{
    static int counter = 0;
    return QStringLiteral("kotrina-%1").arg(++counter);
}

void setBusyTimeout(const QSqlDatabase& db, int ms)
{
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        if (sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData()))
            sqlite3_busy_timeout(connection, ms);
    }
}

PGconn* serverHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    // Qt names the type by libpq's struct behind the typedef.
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

// A value of a libpq connection string, quoted.
QString quotedOption(QString value)
{
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

// Sets up (not opens) a QPSQL connection to the server named by uri. The URI's own options
// go to libpq as they are; the program names itself to the server (the count of other
// stations goes by it), and TLS is left to libpq's default (used when the server offers it).
bool prepareServer(QSqlDatabase& db, const QString& uri, QString* error)
{
    const std::optional<DatabaseName::Server> server = DatabaseName::parse(uri, error);
    if (!server)
        return false;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fail(error,
                    QStringLiteral("QtのPostgreSQLドライバー（QPSQL）がありません。"
                                   "パッケージ libqt6sql6-psql を入れてください。"));
    db.setHostName(server->host);
    db.setPort(server->port);
    db.setDatabaseName(server->database);
    db.setUserName(server->user);
    db.setPassword(server->password);
    QStringList options { QStringLiteral("application_name=kotrina") };
    for (const auto& [key, value] : server->options) {
        if (key != u"application_name")
            options << key + QLatin1Char('=') + quotedOption(value);
    }
    // A server out of reach is given up within seconds, not left to the system's TCP
    // timeouts (minutes to hours): connecting, a connection gone quiet, data not taken.
    // The URI may say otherwise.
    const QList<std::pair<const char*, const char*>> patience = { { "connect_timeout", "10" },
                                                                  { "keepalives_idle", "30" },
                                                                  { "keepalives_interval", "10" },
                                                                  { "keepalives_count", "3" },
                                                                  { "tcp_user_timeout", "30000" } };
    for (const auto& [key, value] : patience) {
        const bool given = std::any_of(server->options.cbegin(), server->options.cend(),
                                       [key = key](const auto& option) { return option.first == QLatin1String(key); });
        if (!given)
            options << QLatin1String(key) + QLatin1Char('=') + QLatin1String(value);
    }
    db.setConnectOptions(options.join(QLatin1Char(';')));
    return true;
}

// What a connection to the server needs after each connecting: the change notices of every
// station, and for a read-only opening the server's refusal of every write.
bool startSession(const QSqlDatabase& db, bool readOnly, QString* error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("LISTEN %1").arg(QString::fromUtf8(ServerSchema::ChangeChannel))))
        return fail(error, q.lastError().text());
    if (readOnly && !q.exec(QStringLiteral("SET default_transaction_read_only = on")))
        return fail(error, q.lastError().text());
    return true;
}

// When the connection to each server was last tried again, so a server that is away is not
// asked at every statement (by the connection's name).
QHash<QString, qint64>& lastReconnects()
{
    static QHash<QString, qint64> tried;
    return tried;
}
constexpr qint64 ReconnectPauseMs = 1000;

// What libpq said on a failed connection, without Qt's own words before it.
QString serverReason(const QSqlDatabase& db)
{
    const QSqlError e = db.lastError();
    const QString text = e.databaseText().trimmed();
    return text.isEmpty() ? e.text() : text;
}

} // namespace

Database::~Database()
{
    close();
}

bool Database::open(const QString& path, QString* error, Access access, const ProgressStep& upgradeProgress)
{
    if (DatabaseName::isServer(path))
        return openServer(path, error, access);
    const QFileInfo info(path);
    if (path.isEmpty())
        return fail(error, QStringLiteral("no file name"));
    if (!info.exists())
        return fail(error, QStringLiteral("%1 does not exist").arg(path));
    if (!info.isFile())
        return fail(error, QStringLiteral("%1 is not a file").arg(path));

    // The new connection is made and checked before the old one is let go, so a file
    // that cannot be opened leaves the open one as it was.
    auto use = std::make_unique<FileUse>();
    if (!use->share(info.absoluteFilePath(), error))
        return false;
    const QString name = nextConnectionName();
    bool ok = false;
    bool nameIndexes = false;
    bool history = false;
    Schema::Upgrade upgraded = Schema::Upgrade::NotNeeded;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // A URI with a mode makes SQLite refuse to create a file that has vanished meanwhile.
        const bool readOnly = access == Access::ReadOnly;
        QUrl uri = QUrl::fromLocalFile(info.absoluteFilePath());
        uri.setQuery(readOnly ? QStringLiteral("mode=ro") : QStringLiteral("mode=rw"));
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(LockWaitMs));
        if (!db.open())
            fail(error, db.lastError().text());
        else if (!readOnly && !info.isWritable())
            fail(error, QStringLiteral("%1 is read-only").arg(path));
        else if (Schema::verify(db, error))
            ok = true;
        // Lists by name ask for the Japanese order; where it cannot be set up (install says
        // why) the file still opens and only those lists fail.
        if (ok)
            NameOrder::install(db);
        // The pages the look-ups and grids read again and again stay in memory: the engine's
        // default of 2 MB holds little of a file of a million lines, and every page read
        // again is then a read from the system.
        if (ok)
            QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size = -%1").arg(PageCacheKiB));
        // An older file still works without its indexes; they are built at its next opening.
        if (ok && !readOnly)
            upgraded = Schema::upgrade(db, nullptr, upgradeProgress);
        nameIndexes = ok && Schema::hasNameIndexes(db);
        history = ok && Schema::version(db) >= Schema::HistoryVersion && HistoryTrail::hasHistory(db);
        // What another program wrote into the history since the last opening is marked as
        // its and sealed now; a file another program holds is sealed at a later transaction.
        if (history && !readOnly) {
            HistoryTrail::restoreTriggers(db);
            HistoryTrail::sealOutside(db);
        }
        if (!ok)
            db.close();
    }
    if (!ok) {
        QSqlDatabase::removeDatabase(name);
        return false;
    }
    close();
    m_name = name;
    m_engine = Engine::Sqlite;
    m_path = info.absoluteFilePath();
    m_nameIndexes = nameIndexes;
    m_history = history;
    m_upgrade = upgraded;
    m_readOnly = access == Access::ReadOnly;
    m_file = FileIdentity::of(m_path);
    m_use = std::move(use);
    return true;
}

bool Database::openServer(const QString& uri, QString* error, Access access)
{
    const QString name = nextConnectionName();
    bool ok = false;
    bool nameIndexes = false;
    bool history = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        if (prepareServer(db, uri, error)) {
            if (!db.open())
                fail(error, serverReason(db));
            else if (Schema::verify(db, error))
                ok = true;
        }
        const bool readOnly = access == Access::ReadOnly;
        ok = ok && startSession(db, readOnly, error);
        if (ok && !readOnly && Schema::upgrade(db, error) == Schema::Upgrade::Failed)
            ok = false;
        nameIndexes = ok && Schema::hasNameIndexes(db);
        // The history as on a file: where the database keeps one, what was written around
        // the program is marked and sealed at the opening.
        history = ok && HistoryTrail::hasHistory(db);
        if (history && !readOnly) {
            HistoryTrail::restoreTriggers(db);
            HistoryTrail::sealOutside(db);
        }
        if (!ok)
            db.close();
    }
    if (!ok) {
        QSqlDatabase::removeDatabase(name);
        return false;
    }
    close();
    m_name = name;
    m_engine = Engine::Postgres;
    m_server = uri;
    m_path = DatabaseName::display(uri);
    m_nameIndexes = nameIndexes;
    m_history = history;
    m_upgrade = Schema::Upgrade::NotNeeded;
    m_readOnly = access == Access::ReadOnly;
    return true;
}

bool Database::initServer(const QString& uri, QString* error)
{
    const QString name = nextConnectionName();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        QString reason;
        if (!prepareServer(db, uri, &reason)) {
            fail(error, reason);
        } else if (!db.open()) {
            fail(error,
                 QStringLiteral("サーバーに接続できません（%1）：\n%2")
                     .arg(DatabaseName::display(uri), serverReason(db)));
        } else {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            // Whatever the user may see in the schema the database works in.
            QStringList tables;
            if (q.exec(QStringLiteral(R"(SELECT c.relname FROM pg_class c
                    JOIN pg_namespace n ON n.oid = c.relnamespace
                    WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p', 'v', 'm', 'f')
                    ORDER BY c.relname)"))) {
                while (q.next())
                    tables << q.value(0).toString();
            }
            q.finish();
            if (q.lastError().isValid()) {
                fail(error,
                     QStringLiteral("サーバーのデータベースを読めません（%1）：\n%2")
                         .arg(DatabaseName::display(uri), q.lastError().databaseText()));
            } else if (tables.contains(QString::fromUtf8(Schema::MarkTable))) {
                fail(error,
                     QStringLiteral("このデータベースはすでに棚卸のデータベースとして作成されています（%1）。")
                         .arg(DatabaseName::display(uri)));
            } else if (!tables.isEmpty()) {
                constexpr int Named = 5;
                QString named = tables.mid(0, Named).join(QStringLiteral("、"));
                if (tables.size() > Named)
                    named += QStringLiteral(" ほか%1個").arg(tables.size() - Named);
                fail(error,
                     QStringLiteral("このデータベースには他のテーブルがあります（%1）：%2\n"
                                    "空のデータベースを指定してください。")
                         .arg(DatabaseName::display(uri), named));
            } else if (!Schema::create(db, &reason)) {
                fail(error,
                     QStringLiteral("データベースを作成できませんでした（%1）：\n%2")
                         .arg(DatabaseName::display(uri), reason));
            } else {
                ok = true;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

Database::FileState Database::fileState() const
{
    // A database on a server is no file that another program could move away.
    if (m_engine == Engine::Postgres)
        return FileState::Same;
    const std::optional<FileIdentity> now = FileIdentity::of(m_path);
    if (!now)
        return FileState::Missing;
    return now == m_file ? FileState::Same : FileState::Replaced;
}

void Database::close()
{
    m_versionQuery.reset();
    m_remembered.clear();
    if (m_name.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    lastReconnects().remove(m_name);
    m_name.clear();
    m_path.clear();
    m_server.clear();
    m_engine = Engine::Sqlite;
    m_ownNotified = 0;
    m_othersNotified = 0;
    m_connectionLost = false;
    m_nameIndexes = false;
    m_history = false;
    m_file.reset();
    m_use.reset();
}

std::optional<Database::ChangeStamp> Database::changeStamp() const
{
    if (m_engine == Engine::Postgres)
        return serverChangeStamp();
    const QSqlDatabase db = connection();
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return std::nullopt;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (!connection || !sqlite3_get_autocommit(connection))
        return std::nullopt;
    // The engine's count of the rows this connection changed, and its count of the commits
    // of the others (which this connection's own commits leave as it is).
    if (!m_versionQuery) {
        m_versionQuery = std::make_unique<QSqlQuery>(db);
        m_versionQuery->setForwardOnly(true);
        if (!m_versionQuery->prepare(QStringLiteral("PRAGMA data_version"))) {
            m_versionQuery.reset();
            return std::nullopt;
        }
    }
    if (!m_versionQuery->exec() || !m_versionQuery->next()) {
        m_versionQuery->finish();
        return std::nullopt;
    }
    ChangeStamp stamp;
    stamp.othersVersion = m_versionQuery->value(0).toLongLong() + m_stationCommits;
    m_versionQuery->finish();
    stamp.ownChanges = sqlite3_total_changes64(connection);
    return stamp;
}

void Database::remember(const QString& key, const QVariantList& values, const ChangeStamp& stamp) const
{
    // What was kept at another stamp is of no use any more.
    m_remembered.removeIf(
        [&stamp](const QHash<QString, Remembered>::iterator& kept) { return !(kept->stamp == stamp); });
    m_remembered.insert(key, { stamp, values });
}

std::optional<QVariantList> Database::remembered(const QString& key, const ChangeStamp& now) const
{
    const auto kept = m_remembered.constFind(key);
    if (kept == m_remembered.cend() || !(kept->stamp == now))
        return std::nullopt;
    return kept->values;
}

void Database::carryRemembered(const ChangeStamp& before, const ChangeStamp& after,
                               const std::function<bool(const QString&, QVariantList&)>& carry) const
{
    const bool own = after.othersVersion == before.othersVersion;
    m_remembered.removeIf([&](const QHash<QString, Remembered>::iterator& kept) {
        if (!own || !(kept->stamp == before) || !carry(kept.key(), kept->values))
            return true;
        kept->stamp = after;
        return false;
    });
}

namespace {
bool reconnectIfLost(QSqlDatabase& db, const QString& name, bool readOnly, bool& lost);
} // namespace

QSqlDatabase Database::connection() const
{
    if (m_name.isEmpty())
        return QSqlDatabase();
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (m_engine == Engine::Postgres && reconnectIfLost(db, m_name, m_readOnly, m_connectionLost))
        ++m_othersNotified;
    return db;
}

namespace {

// Connects again when the connection to the server broke; true when it did.
bool reconnectIfLost(QSqlDatabase& db, const QString& name, bool readOnly, bool& lost)
{
    const PGconn* handle = serverHandle(db);
    if (handle && PQstatus(handle) == CONNECTION_OK)
        return false;
    // The server went away (restarted, the network broke, an administrator ended the
    // session): the next statement connects again, at most once a second while it stays
    // away. What changed meanwhile was not told: the stamp moves as if others changed it.
    qint64& tried = lastReconnects()[name];
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (tried != 0 && now - tried < ReconnectPauseMs)
        return false;
    tried = now;
    db.close();
    if (db.open() && startSession(db, readOnly, nullptr)) {
        lost = false;
        lastReconnects().remove(name);
        return true;
    }
    lost = true;
    db.close();
    return false;
}

} // namespace

int Database::nextId(Table table) const
{
    if (m_engine == Engine::Postgres)
        return reserveIds(table, 1);
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    const QString sql = QStringLiteral(R"(SELECT MAX("%1") FROM "%2")").arg(idColumn(table), tableName(table));
    int largest = 0;
    if (q.exec(sql) && q.next())
        largest = q.value(0).toInt();
    return largest + 1;
}

int Database::reserveIds(Table table, int count) const
{
    if (m_engine == Engine::Sqlite)
        return nextId(table);
    if (count < 1)
        count = 1;
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    const QString sequence = Schema::sequenceName(tableName(table), idColumn(table));
    if (count == 1) {
        q.prepare(QStringLiteral("SELECT nextval(CAST(? AS regclass))"));
        q.addBindValue(QString(QLatin1Char('"') + sequence + QLatin1Char('"')));
        return q.exec() && q.next() ? q.value(0).toInt() : 0;
    }
    // Many numbers at once come one after another only when no other station takes one
    // meanwhile: the reservations of the stations wait for each other (an advisory lock of
    // the session, held across the statement only), and a single number another station took
    // in between makes it try again (the numbers taken are a gap, as after a rollback).
    const QString lockKey = QStringLiteral("%1, %2").arg(Schema::ApplicationId).arg(int(table));
    if (!q.exec(QStringLiteral("SELECT pg_advisory_lock(%1)").arg(lockKey)))
        return 0;
    q.finish();
    int first = 0;
    for (int attempt = 0; attempt < 20 && first == 0; ++attempt) {
        q.prepare(QStringLiteral("SELECT min(v), max(v) FROM (SELECT nextval(CAST(? AS regclass)) AS v "
                                 "FROM generate_series(1, CAST(? AS integer))) AS taken"));
        q.addBindValue(QString(QLatin1Char('"') + sequence + QLatin1Char('"')));
        q.addBindValue(count);
        if (!q.exec() || !q.next())
            break;
        if (q.value(1).toLongLong() - q.value(0).toLongLong() == count - 1)
            first = q.value(0).toInt();
        q.finish();
    }
    q.finish();
    q.exec(QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(lockKey));
    return first;
}

bool Database::catchUpIds(QString* error) const
{
    if (m_engine == Engine::Sqlite)
        return true;
    QSqlQuery q(connection());
    for (const auto& [table, column] : ServerSchema::numberedColumns()) {
        // setval's false: the next number handed out is the one given, the largest ID + 1.
        const QString sql = QStringLiteral(R"(SELECT setval('"%1"', GREATEST(
                (SELECT COALESCE(MAX("%2"), 0) FROM "%3") + 1,
                (SELECT last_value + CASE WHEN is_called THEN 1 ELSE 0 END FROM "%1")), false))")
                                .arg(Schema::sequenceName(table, column), column, table);
        if (!q.exec(sql))
            return fail(error, q.lastError().text());
    }
    return true;
}

std::optional<int> Database::otherStations() const
{
    if (m_engine == Engine::Sqlite)
        return isOpen() ? std::optional<int>(0) : std::nullopt;
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(R"(SELECT count(*) FROM pg_stat_activity
            WHERE datname = current_database() AND application_name = 'kotrina' AND pid <> pg_backend_pid())"))
        || !q.next())
        return std::nullopt;
    return q.value(0).toInt();
}

bool Database::isConnectionLost() const
{
    if (m_engine == Engine::Sqlite || m_name.isEmpty())
        return false;
    // Asked of the connection as it is: connection() would connect again first.
    const PGconn* handle = serverHandle(QSqlDatabase::database(m_name, false));
    return m_connectionLost || !handle || PQstatus(handle) != CONNECTION_OK;
}

std::optional<Database::ChangeStamp> Database::serverChangeStamp() const
{
    PGconn* handle = serverHandle(connection());
    if (!handle || PQstatus(handle) != CONNECTION_OK || PQtransactionStatus(handle) != PQTRANS_IDLE)
        return std::nullopt;
    // Every statement that writes to a table of the business tells it on the channel at its
    // commit (a trigger of the schema), to every connection listening, this one included:
    // the notices of this connection's own session count as its changes, the others' as
    // theirs. The server has sent them by the time a commit returns; those of the others
    // wait on the socket until they are read here.
    if (!PQconsumeInput(handle))
        return std::nullopt;
    const int self = PQbackendPID(handle);
    while (PGnotify* notice = PQnotifies(handle)) {
        if (notice->be_pid == self)
            ++m_ownNotified;
        else
            ++m_othersNotified;
        PQfreemem(notice);
    }
    ChangeStamp stamp;
    stamp.ownChanges = m_ownNotified;
    stamp.othersVersion = m_othersNotified + m_stationCommits;
    return stamp;
}

std::optional<bool> Database::hasRows(Table table) const
{
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(R"(SELECT 1 FROM "%1" LIMIT 1)").arg(tableName(table))))
        return std::nullopt;
    return q.next();
}

namespace {

// Whether sql changes rows (its first word), so a history row it makes needs a transaction of ours.
bool writesRows(const QString& sql)
{
    const QString first = sql.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char('\n'), 0, 0).toUpper();
    return first == u"INSERT" || first == u"UPDATE" || first == u"DELETE" || first == u"REPLACE";
}

bool inTransaction(const QSqlDatabase& db)
{
    if (const PGconn* server = serverHandle(db))
        return PQtransactionStatus(server) != PQTRANS_IDLE;
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    return connection && !sqlite3_get_autocommit(connection);
}

} // namespace

bool Database::exec(const QString& sql, const QVariantList& values, QString* error) const
{
    // Inside a batch, a write of its own is a part of its own as well, to get its station.
    if (m_history && writesRows(sql) && (!inTransaction(connection()) || (m_batch && m_batchParts == 0))) {
        Transaction transaction(*this);
        // The error of the connection that failed: connection() would connect again first.
        if (!transaction.isActive())
            return fail(error, QSqlDatabase::database(m_name, false).lastError().text());
        return exec(sql, values, error) && transaction.commit(error);
    }
    QSqlQuery q(connection());
    // Without values the statement runs as it is: a server prepares what is prepared, and
    // it prepares no CREATE, DROP or ALTER.
    if (values.isEmpty())
        return q.exec(sql) || fail(error, q.lastError().text());
    if (!q.prepare(sql))
        return fail(error, q.lastError().text());
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec() || fail(error, q.lastError().text());
}

QString Database::engineName()
{
    static const QString name = [] {
        const QString connection = QStringLiteral("kotrina-version");
        QString version;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(QStringLiteral(":memory:"));
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(QStringLiteral("SELECT sqlite_version()")) && q.next())
                    version = q.value(0).toString();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
        return version.isEmpty() ? QStringLiteral("SQLite 3") : QStringLiteral("SQLite ") + version;
    }();
    return name;
}

NoLockWait::NoLockWait(const Database* db)
    : m_db(db)
{
    if (m_db && m_db->m_noWaitDepth++ == 0)
        setBusyTimeout(m_db->connection(), 0);
}

NoLockWait::~NoLockWait()
{
    if (m_db && --m_db->m_noWaitDepth == 0)
        setBusyTimeout(m_db->connection(), Database::LockWaitMs);
}

StationScope::StationScope(const Database& db, const QString& station)
    : m_db(db)
    , m_before(db.m_station)
{
    m_db.m_station = station;
}

StationScope::~StationScope()
{
    m_db.m_station = m_before;
}

Transaction::Transaction(const Database& db)
    : m_db(db.connection())
    , m_station(db.station())
    , m_of(&db)
{
    if (db.m_batch) {
        m_savepoint = QStringLiteral("part%1").arg(++db.m_savepoints);
        m_active = QSqlQuery(m_db).exec(QStringLiteral("SAVEPOINT ") + m_savepoint);
        if (m_active) {
            m_batchOf = &db;
            ++db.m_batchParts;
        }
    } else {
        m_active = m_db.isOpen() && m_db.transaction();
    }
    // Read at once: it takes the read lock, so no other program commits history rows between
    // this mark and this transaction's own.
    if (m_active && db.hasHistory() && !db.isReadOnly())
        m_historyMark = HistoryTrail::markOf(m_db, m_station);
}

Transaction::~Transaction()
{
    if (m_active)
        rollback();
}

void Transaction::rollback()
{
    m_active = false;
    if (m_batchOf) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK TO ") + m_savepoint);
        q.exec(QStringLiteral("RELEASE ") + m_savepoint);
        --m_batchOf->m_batchParts;
        return;
    }
    m_db.rollback();
}

bool Transaction::commit(QString* error)
{
    if (!m_active)
        return fail(error, QStringLiteral("no transaction is active"));
    if (m_historyMark) {
        QString stampError;
        if (!HistoryTrail::stampOwn(m_db, *m_historyMark, &stampError, m_station)) {
            rollback();
            return fail(error, stampError);
        }
    }
    if (m_batchOf) {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("RELEASE ") + m_savepoint)) {
            const QString text = q.lastError().text();
            rollback();
            return fail(error, text);
        }
        m_active = false;
        --m_batchOf->m_batchParts;
        if (!m_station.isEmpty())
            ++m_of->m_stationCommits;
        return true;
    }
    m_active = false;
    if (m_db.commit()) {
        if (!m_station.isEmpty())
            ++m_of->m_stationCommits;
        return true;
    }
    const QString text = m_db.lastError().text();
    m_db.rollback();
    return fail(error, text);
}

WriteBatch::WriteBatch(const Database& db)
    : m_db(db)
{
    QSqlDatabase connection = db.connection();
    m_active = !db.m_batch && connection.isOpen() && connection.transaction();
    if (m_active) {
        db.m_batch = true;
        db.m_batchParts = 0;
    }
}

WriteBatch::~WriteBatch()
{
    if (!m_active)
        return;
    m_db.connection().rollback();
    end();
    // Figures carried over to the parts' changes would now count rows that are not there.
    m_db.m_remembered.clear();
}

void WriteBatch::end()
{
    m_active = false;
    m_db.m_batch = false;
}

bool WriteBatch::commit(QString* error)
{
    if (!m_active)
        return fail(error, QStringLiteral("no transaction is active"));
    QSqlDatabase connection = m_db.connection();
    if (connection.commit()) {
        end();
        return true;
    }
    const QString text = connection.lastError().text();
    return fail(error, text); // the destructor rolls back
}
