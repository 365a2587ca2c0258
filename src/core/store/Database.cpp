// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/Database.h"

#include "core/store/FileUse.h"
#include "core/store/HistoryTrail.h"
#include "core/store/NameOrder.h"
#include "core/store/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
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

} // namespace

Database::~Database()
{
    close();
}

bool Database::open(const QString& path, QString* error, Access access, const ProgressStep& upgradeProgress)
{
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
    m_path = info.absoluteFilePath();
    m_nameIndexes = nameIndexes;
    m_history = history;
    m_upgrade = upgraded;
    m_readOnly = access == Access::ReadOnly;
    m_file = FileIdentity::of(m_path);
    m_use = std::move(use);
    return true;
}

Database::FileState Database::fileState() const
{
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
    m_name.clear();
    m_path.clear();
    m_nameIndexes = false;
    m_history = false;
    m_file.reset();
    m_use.reset();
}

std::optional<Database::ChangeStamp> Database::changeStamp() const
{
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
    stamp.othersVersion = m_versionQuery->value(0).toLongLong();
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

QSqlDatabase Database::connection() const
{
    return m_name.isEmpty() ? QSqlDatabase() : QSqlDatabase::database(m_name, false);
}

int Database::nextId(Table table) const
{
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    const QString sql = QStringLiteral(R"(SELECT MAX("%1") FROM "%2")").arg(idColumn(table), tableName(table));
    int largest = 0;
    if (q.exec(sql) && q.next())
        largest = q.value(0).toInt();
    return largest + 1;
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
        if (!transaction.isActive())
            return fail(error, connection().lastError().text());
        return exec(sql, values, error) && transaction.commit(error);
    }
    QSqlQuery q(connection());
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
        m_historyMark = HistoryTrail::markOf(m_db);
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
        return true;
    }
    m_active = false;
    if (m_db.commit())
        return true;
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
