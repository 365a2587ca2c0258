// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Engine.h"
#include "core/store/FileUse.h"
#include "core/store/Progress.h"
#include "core/store/Schema.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>

// The tables that carry an identity numbered by the next-ID rule.
enum class Table
{
    Tana,
    Koumoku,
    Shohin,
    Tani
};

QString tableName(Table table);
QString idColumn(Table table);

// The one connection to the open business database: a file (SQLite) or a database on a
// PostgreSQL server, named by a postgresql:// URI (core/store/DatabaseName.h). Every
// statement binds its values; nothing is pasted into SQL text.
class Database
{
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    enum class Access
    {
        ReadWrite,
        ReadOnly
    };

    // Opens an existing Kotrina database. A missing file, a file that is no SQLite
    // database or one without our tables is refused and left exactly as it was, and so
    // is a file that cannot be written when ReadWrite is asked for. A failed open keeps
    // the connection that was open before. A file of an older schema version opened
    // ReadWrite is brought up to date (Schema::upgrade, told to upgradeProgress, which may
    // stop it); when that fails or is stopped it still opens, as it was.
    // While open, the file is claimed as in use (FileUse), so no other copy of the program
    // replaces it; a file that another copy is replacing right now is refused as locked.
    // A server URI opens the database on the server instead (Qt's QPSQL driver, with
    // application_name=kotrina and TLS where the server offers it); what is said above of
    // the file's use, its identity and its upgrade does not apply there.
    bool open(const QString& path, QString* error = nullptr, Access access = Access::ReadWrite,
              const ProgressStep& upgradeProgress = {});
    void close();

    // Creates today's schema in the empty database on the server that uri names. Refused
    // (false, and why in Japanese in error) when the server cannot be reached or refuses the
    // user, when the database holds our tables already, or other tables (some named).
    static bool initServer(const QString& uri, QString* error = nullptr);

    Engine engine() const { return m_engine; }
    // Whether the database is on a server (several stations may work on it at once).
    bool isServer() const { return isOpen() && m_engine == Engine::Postgres; }

    bool isOpen() const { return !m_name.isEmpty(); }
    // Opened with Access::ReadOnly: the engine refuses every write.
    bool isReadOnly() const { return isOpen() && m_readOnly; }
    // The file's path, or the server URI without its password (for titles and messages).
    QString fileName() const { return m_path; }
    QSqlDatabase connection() const;

    // Whether the file has the name indexes that NameIndex looks texts up in.
    bool hasNameIndexes() const { return m_nameIndexes; }
    // Whether the file keeps the change history and the finalised dates (schema version 5 on):
    // then every transaction of this connection marks and seals the history rows it wrote
    // (HistoryTrail::stampOwn), and a write run by exec() outside a transaction gets one.
    bool hasHistory() const { return m_history; }
    // What the last open() that succeeded did to bring the file up to date.
    Schema::Upgrade upgrade() const { return m_upgrade; }

    // Largest ID of the table plus 1; 1 for an empty table. Gaps are never filled.
    // When the table cannot be read the largest ID counts as 0. On a server the ID comes from
    // the table's sequence: each call hands out another, whatever other stations take at the
    // same time (0 when the server cannot be asked).
    int nextId(Table table) const;
    // The first of count consecutive IDs nobody else is given (for many rows written at
    // once); on a file, as nextId (the writer's transaction keeps others out).
    int reserveIds(Table table, int count) const;
    // After rows were written with IDs of their own (a copy, an import that numbers its
    // rows): the server's sequences go on after the largest ID of each table. Nothing to do
    // for a file.
    bool catchUpIds(QString* error = nullptr) const;

    // How many other connections of this program work on the same database now: 0 for a
    // file (its use is told by FileUse); nullopt when the server cannot be asked.
    std::optional<int> otherStations() const;
    // Whether the last statement failed because the server went away (or the connection to
    // it broke), rather than refusing the statement; the next statement connects again.
    bool isConnectionLost() const;

    // Whether the table holds any row; nullopt when it cannot be read.
    std::optional<bool> hasRows(Table table) const;

    // Runs one statement with bound values; on failure the driver's text goes to error. A
    // write (INSERT, UPDATE, DELETE, REPLACE) outside a transaction runs in a Transaction of
    // its own, so the history rows it makes are this program's.
    bool exec(const QString& sql, const QVariantList& values = {}, QString* error = nullptr) const;

    // The engine behind the file, for the main window's provider label.
    static QString engineName();

    // How long a statement waits for a lock another program holds on the file before it
    // gives up with the engine's "database is locked": another program's write usually
    // ends within it.
    static constexpr int LockWaitMs = 3000;

    // Whether the file at fileName() is still the one that was opened: another program may
    // have deleted it (the connection then writes into a file nobody will see again) or put
    // another file in its place.
    enum class FileState
    {
        Same,
        Missing,
        Replaced
    };
    FileState fileState() const;

    // Where the rows stand as this connection sees them. It moves on with every row this
    // connection inserts, updates or deletes (a change rolled back included) and with every
    // change another connection, of this program or another, commits to the file; between
    // two equal stamps nothing changed. nullopt when the file cannot be read now (another
    // program holds it).
    struct ChangeStamp
    {
        qint64 ownChanges = 0;
        qint64 othersVersion = 0;
        bool operator==(const ChangeStamp&) const = default;
    };
    std::optional<ChangeStamp> changeStamp() const;

    // Figures worked out from the rows, kept under a key for as long as the rows stay as they
    // were at stamp: a screen shows them again and again, and working them out anew each time
    // (a count over a large date) would keep it waiting. remembered() has nothing for a key
    // whose figures were kept at another stamp than now; a close or another file forgets all.
    void remember(const QString& key, const QVariantList& values, const ChangeStamp& stamp) const;
    std::optional<QVariantList> remembered(const QString& key, const ChangeStamp& now) const;
    // After a change this connection made itself between the stamps before and after: every
    // figure kept at before is handed to carry, which brings it up to date and returns true to
    // keep it at after, or returns false to forget it. Nothing is carried when another
    // connection committed in between; the figures are then worked out again.
    void carryRemembered(const ChangeStamp& before, const ChangeStamp& after,
                         const std::function<bool(const QString& key, QVariantList& values)>& carry) const;

    // The station the history rows of this connection's transactions are given; empty: this
    // computer's (HistoryTrail::station()). Set for a while through StationScope.
    const QString& station() const { return m_station; }
    // Commits made under another station's name (StationScope) count in ChangeStamp as the
    // others' commits: a phone's line is another station's even on this connection, and the
    // screens follow it as they follow another station's.

private:
    friend class NoLockWait;
    friend class StationScope;
    friend class Transaction;
    friend class WriteBatch;

    bool openServer(const QString& uri, QString* error, Access access);
    std::optional<ChangeStamp> serverChangeStamp() const;

    struct Remembered
    {
        ChangeStamp stamp;
        QVariantList values;
    };

    QString m_name;
    QString m_path;
    QString m_server; // the URI opened, password included, to connect again
    Engine m_engine = Engine::Sqlite;
    mutable qint64 m_ownNotified = 0; // the server's change notices of this connection
    mutable qint64 m_othersNotified = 0; // and of the others
    mutable bool m_connectionLost = false;
    bool m_nameIndexes = false;
    bool m_history = false;
    Schema::Upgrade m_upgrade = Schema::Upgrade::NotNeeded;
    bool m_readOnly = false;
    std::optional<FileIdentity> m_file; // of the file opened, to tell it from one put in its place
    mutable int m_noWaitDepth = 0;
    std::unique_ptr<FileUse> m_use;
    mutable std::unique_ptr<QSqlQuery> m_versionQuery; // prepared once: asked at every status line
    mutable QHash<QString, Remembered> m_remembered;
    mutable QString m_station;
    mutable qint64 m_stationCommits = 0; // committed under a StationScope
    mutable bool m_batch = false; // a WriteBatch is open
    mutable int m_batchParts = 0; // Transactions open inside it
    mutable int m_savepoints = 0;
};

// While it lives, the transactions of the connection write their history rows under this
// station instead of this computer's: a line a phone counts names the phone.
class StationScope
{
public:
    StationScope(const Database& db, const QString& station);
    ~StationScope();
    StationScope(const StationScope&) = delete;
    StationScope& operator=(const StationScope&) = delete;

private:
    const Database& m_db;
    QString m_before;
};

// While it lives, a statement that meets a lock another program holds on the file gives up
// at once instead of waiting LockWaitMs: for the reads behind a window (look-ups, status
// line, grids), which must never freeze it while the keys the user types pile up. A write
// keeps the wait; it is not run while one of these lives.
class NoLockWait
{
public:
    explicit NoLockWait(const Database* db);
    ~NoLockWait();
    NoLockWait(const NoLockWait&) = delete;
    NoLockWait& operator=(const NoLockWait&) = delete;

private:
    const Database* m_db = nullptr;
};

// Begins a transaction on construction and rolls it back on destruction unless committed,
// so an early return or a failed step never leaves half a change behind. In a file with the
// change history, commit() first gives the history rows the transaction wrote this
// computer's station and seals them (rows another program committed before the transaction
// began are marked as written outside): every write of this program goes through one.
class Transaction
{
public:
    explicit Transaction(const Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool isActive() const { return m_active; }
    bool commit(QString* error = nullptr);

private:
    void rollback();

    QSqlDatabase m_db;
    bool m_active = false;
    std::optional<qint64> m_historyMark; // the last history row when the transaction began
    QString m_station; // the connection's station when it began
    const Database* m_of = nullptr;
    const Database* m_batchOf = nullptr; // inside a WriteBatch: a savepoint of its transaction
    QString m_savepoint;
};

// Many small changes that share one commit, and so one sync to the disk: while it lives, each
// Transaction of the connection is a savepoint inside the batch's transaction (its own
// failure rolls back its own part only), and what they wrote is kept by commit() or by none.
// The counting server answers the lines that arrive together this way. When the batch cannot
// begin (a transaction is open already), the Transactions go their usual way.
class WriteBatch
{
public:
    explicit WriteBatch(const Database& db);
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    bool isActive() const { return m_active; }
    bool commit(QString* error = nullptr);

private:
    void end();

    const Database& m_db;
    bool m_active = false;
};
