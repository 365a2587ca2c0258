// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/FileOps.h"

#include "core/store/Database.h"
#include "core/store/FileUse.h"
#include "core/store/HistoryTrail.h"
#include "core/store/NameIndex.h"
#include "core/store/NameOrder.h"
#include "core/store/Schema.h"
#include "core/store/ServerSchema.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>

namespace FileOps {

namespace {

const QString TemporaryPrefix = QStringLiteral(".kotrina-tmp-");

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// Makes what was written to the file reach the disk before the rename that publishes it.
bool syncToDisk(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// A database file the engine was writing, with the journal it may have left beside it.
void removeDatabaseFile(const QString& path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

// Renames over the target: the one step that makes a finished copy visible. A target that
// another copy of the program has open is not replaced (unless this process holds it alone,
// as a compaction does): that copy would go on working on the old file, now deleted.
bool renameOver(const QString& from, const QString& to, QString* error)
{
    FileUse use;
    if (QFileInfo::exists(to) && !FileUse::heldAloneHere(to) && !use.takeAlone(to, error))
        return false;
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) {
        syncToDisk(QFileInfo(to).absolutePath());
        return true;
    }
    return fail(error, QString::fromLocal8Bit(std::strerror(errno)));
}

// A connection of its own on a database file, for work beside (or on another thread than)
// the program's one connection. Closed and removed with the object.
class FileConnection
{
public:
    enum class Mode
    {
        ReadOnly,
        ReadWrite
    };
    FileConnection(const QString& path, Mode mode, int busyTimeoutMs = 3000)
    {
        static std::atomic<int> counter { 0 };
        m_name = QStringLiteral("kotrina-file-%1").arg(++counter);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        // A URI with a mode makes SQLite refuse to create a file that is not there.
        QUrl uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        uri.setQuery(mode == Mode::ReadOnly ? QStringLiteral("mode=ro") : QStringLiteral("mode=rw"));
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        m_open = db.open();
        if (!m_open)
            m_error = db.lastError().text();
        else // whatever runs on it may list names in the order the program's connection knows
            NameOrder::install(db);
    }
    ~FileConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    FileConnection(const FileConnection&) = delete;
    FileConnection& operator=(const FileConnection&) = delete;

    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    QString m_error;
    bool m_open = false;
};

sqlite3* handleOf(const QSqlDatabase& db)
{
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(handle.constData());
    return nullptr;
}

// For a connection that reads every page of its file once or more (a check, a copy): the
// pages are read through a memory map instead of one call each, which is most of the time
// of such a read, and a large cache keeps the index pages a full check looks rows up in.
// Only for files nobody but an engine writes while they are read (a copy of our own, or a
// file under an exclusive lock): a map of a file another tool cuts short ends the program.
void readWholeFileQuickly(const QSqlDatabase& db, const QString& path)
{
    constexpr qint64 LargestMap = qint64(1) << 31; // the engine's own limit is a little less
    constexpr int CacheKiB = 64 * 1024;
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA mmap_size = %1").arg(qMin(QFileInfo(path).size() + (qint64(16) << 20), LargestMap)));
    q.exec(QStringLiteral("PRAGMA cache_size = -%1").arg(CacheKiB));
}

// What work running on a thread of its own (a backup, a compaction) shares with the thread
// that waits for it and tells its progress: the stage it is in, the copy it is writing (its
// size is how far the copy has come) and whether the waiting side has cancelled.
class Watch
{
public:
    explicit Watch(const Progress* progress = nullptr)
        : m_progress(progress)
    { }

    bool cancelled() const { return m_cancelled.load(); }

    // On the work's thread: a stage begins; output, when given, is the copy it writes, of
    // which base bytes of total were written before it.
    void enter(Stage stage, const QString& output = {}, qint64 base = 0, qint64 total = 0)
    {
        const QMutexLocker locker(&m_mutex);
        m_stage = stage;
        m_output = output;
        m_base = base;
        m_total = total;
    }

    // On the work's thread: how far the stage has come, when it counts by itself.
    void report(qint64 done, qint64 total)
    {
        const QMutexLocker locker(&m_mutex);
        m_output.clear();
        m_base = done;
        m_total = total;
    }

    // The statements of db give up once the waiting side has cancelled.
    void interrupts(const QSqlDatabase& db) const
    {
        if (sqlite3* handle = handleOf(db))
            sqlite3_progress_handler(handle, 10000, &Watch::stopWanted, const_cast<std::atomic<bool>*>(&m_cancelled));
    }

    // Runs work on a thread of its own and tells the progress meanwhile; with nobody
    // watching, runs it on this thread.
    void run(const std::function<void()>& work)
    {
        if (!m_progress || !m_progress->step) {
            work();
            return;
        }
        const std::unique_ptr<QThread> thread(QThread::create(work));
        thread->start();
        std::optional<Stage> told;
        while (!thread->wait(QDeadlineTimer(40)))
            tell(told);
    }

private:
    static int stopWanted(void* cancelled) { return static_cast<std::atomic<bool>*>(cancelled)->load() ? 1 : 0; }

    void tell(std::optional<Stage>& told)
    {
        std::optional<Stage> stage;
        QString output;
        qint64 base = 0, total = 0;
        {
            const QMutexLocker locker(&m_mutex);
            stage = m_stage;
            output = m_output;
            base = m_base;
            total = m_total;
        }
        if (!stage)
            return;
        if (stage != told) {
            told = stage;
            if (m_progress->stage)
                m_progress->stage(*stage);
        }
        const qint64 done = output.isEmpty() ? base : qMin(base + QFileInfo(output).size(), total);
        if (!m_progress->step(total > 0 ? done : 0, total))
            m_cancelled = true;
    }

    const Progress* m_progress;
    std::atomic<bool> m_cancelled { false };
    QMutex m_mutex;
    std::optional<Stage> m_stage;
    QString m_output;
    qint64 m_base = 0;
    qint64 m_total = 0;
};

const FileCheck Cancelled = { FileCheck::Status::Cancelled, QStringLiteral("cancelled") };

// A statement the engine refused: damage when it found the file malformed, else a file it
// could not read or write (locked, missing, full disk, no database at all).
FileCheck refused(const QSqlError& error)
{
    constexpr auto Corrupt = "11"; // SQLITE_CORRUPT
    return { error.nativeErrorCode() == QLatin1String(Corrupt) ? FileCheck::Status::Damaged
                                                               : FileCheck::Status::Unreadable,
             error.text() };
}

// What an integrity pragma says of the connection's file.
FileCheck runCheck(const QSqlDatabase& db, const char* pragma)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QStringList problems;
    if (q.exec(QStringLiteral("PRAGMA %1").arg(QLatin1String(pragma)))) {
        while (q.next()) {
            const QString line = q.value(0).toString();
            if (line != QLatin1String("ok"))
                problems << line;
        }
    }
    if (q.lastError().isValid())
        return refused(q.lastError());
    return { problems.isEmpty() ? FileCheck::Status::Sound : FileCheck::Status::Damaged,
             problems.mid(0, 5).join(QLatin1Char('\n')) };
}

FileCheck checkConnection(const FileConnection& connection, const char* pragma = "quick_check")
{
    if (!connection.isOpen())
        return { FileCheck::Status::Unreadable, connection.error() };
    return runCheck(connection.db(), pragma);
}

// A finished temporary copy takes target's place only when it has reached the disk and
// the engine's full check finds it in order: the copy carries the indexes of its source as
// they are, and an index that no longer matches its table escapes the quick check. The copy
// is made to reach the disk while it is checked. On failure temp is removed and target is
// as it was.
FileCheck publish(const QString& temp, const QString& target, Watch* watch = nullptr)
{
    if (watch)
        watch->enter(Stage::CheckingCopy);
    std::atomic<bool> synced { false };
    const std::unique_ptr<QThread> sync(QThread::create([&synced, temp] { synced = syncToDisk(temp); }));
    sync->start();
    FileCheck check;
    {
        const FileConnection written(temp, FileConnection::Mode::ReadOnly);
        if (written.isOpen()) {
            readWholeFileQuickly(written.db(), temp);
            if (watch)
                watch->interrupts(written.db());
        }
        check = checkConnection(written, "integrity_check");
    }
    sync->wait();
    QString why;
    if (watch && watch->cancelled())
        check = Cancelled;
    else if (check.sound() && !synced)
        check = { FileCheck::Status::Unreadable, QStringLiteral("%1: cannot be written to disk").arg(temp) };
    else if (check.sound() && !renameOver(temp, target, &why))
        check = { FileCheck::Status::Unreadable, why };
    if (!check.sound())
        removeDatabaseFile(temp);
    return check;
}

// The engine writes a compacted copy of the connection's database to temp; on failure
// temp is removed. Watched, the copy counts from base towards total.
FileCheck writeCopy(QSqlQuery& q, const QString& temp, Watch* watch = nullptr, qint64 base = 0, qint64 total = 0)
{
    if (watch)
        watch->enter(Stage::Copying, temp, base, total);
    q.setForwardOnly(true);
    bool ok = q.prepare(QStringLiteral("VACUUM INTO ?"));
    if (ok) {
        q.addBindValue(temp);
        ok = q.exec();
    }
    const QSqlError error = q.lastError();
    q.finish();
    if (!ok) {
        removeDatabaseFile(temp);
        return watch && watch->cancelled() ? Cancelled : refused(error);
    }
    return { FileCheck::Status::Sound, {} };
}

// The engine writes a compacted copy of the connection's database to a temporary file,
// which then replaces target.
FileCheck vacuumInto(QSqlQuery& q, const QString& target, Watch* watch = nullptr, qint64 base = 0, qint64 total = 0)
{
    const QString temp = temporaryPathFor(target);
    const FileCheck copied = writeCopy(q, temp, watch, base, total);
    return copied.sound() ? publish(temp, target, watch) : copied;
}

// As vacuumInto, with the names no line carries any more taken out of the lines' name list
// and each name index merged into one piece, leaving out what deleted rows left in it; without that the copy keeps the
// indexes' old size. The merging is done in a first copy, which is copied once more: a write to the file itself would
// leave its journal beside it if the program were stopped midway.
FileCheck compactInto(QSqlDatabase& db, QSqlQuery& q, const QString& target, Watch& watch)
{
    // How far the copies have come is told by their size against the file's.
    const qint64 size = QFileInfo(target).size();
    if (!Schema::hasNameIndexes(db))
        return vacuumInto(q, target, &watch, 0, size);
    const QString first = temporaryPathFor(target);
    FileCheck result = writeCopy(q, first, &watch, 0, 2 * size);
    if (!result.sound())
        return result;
    {
        const FileConnection merging(first, FileConnection::Mode::ReadWrite);
        QSqlQuery m(merging.db());
        if (!merging.isOpen())
            result = { FileCheck::Status::Unreadable, merging.error() };
        else
            watch.interrupts(merging.db());
        QStringList statements = NameIndex::pruneStatements();
        for (const QString& table : NameIndex::indexTables())
            statements << QStringLiteral(R"(INSERT INTO "%1" ("%1") VALUES ('optimize'))").arg(table);
        for (const QString& sql : std::as_const(statements)) {
            if (result.sound() && !m.exec(sql))
                result = watch.cancelled() ? Cancelled : refused(m.lastError());
        }
        if (result.sound())
            result = vacuumInto(m, target, &watch, QFileInfo(first).size(), QFileInfo(first).size() + size);
    }
    removeDatabaseFile(first);
    return result;
}

} // namespace

namespace {

// Where this process notes the folders it writes temporary files in, so that the next start
// finds what a killed run left there, wherever that was.
struct TemporaryRecords
{
    QMutex mutex;
    QString dir;
    QSet<QString> noted;
};

TemporaryRecords& temporaryRecords()
{
    static TemporaryRecords records;
    return records;
}

const QString RecordsFolder = QStringLiteral("temporary");
const QString RecordSuffix = QStringLiteral(".folders");

bool processGone(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

void noteTemporaryFolder(const QString& folder)
{
    TemporaryRecords& records = temporaryRecords();
    const QMutexLocker locker(&records.mutex);
    if (records.dir.isEmpty() || records.noted.contains(folder))
        return;
    // Only inside a data folder that is there: one removed meanwhile is not made again.
    const QDir data(records.dir);
    if (!data.exists() || (!data.exists(RecordsFolder) && !data.mkdir(RecordsFolder)))
        return;
    QFile record(data.filePath(RecordsFolder + QLatin1Char('/') + QString::number(QCoreApplication::applicationPid())
                               + RecordSuffix));
    if (!record.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    record.write(QFile::encodeName(folder) + '\n');
    record.close();
    records.noted.insert(folder);
}

} // namespace

QString temporaryPathFor(const QString& target)
{
    static std::atomic<int> counter { 0 };
    const QDir folder = QFileInfo(target).absoluteDir();
    noteTemporaryFolder(folder.absolutePath());
    // Short and of one length whatever the target's name, so a target whose name is near
    // the file system's limit still has a temporary name, with room for the engine's
    // "-journal" after it.
    return folder.filePath(TemporaryPrefix
                           + QStringLiteral("%1-%2")
                                 .arg(QCoreApplication::applicationPid(), 10, 10, QLatin1Char('0'))
                                 .arg(++counter, 6, 10, QLatin1Char('0')));
}

int keepTemporaryRecords(const QString& dataDir)
{
    TemporaryRecords& records = temporaryRecords();
    {
        const QMutexLocker locker(&records.mutex);
        if (records.dir != dataDir)
            records.noted.clear();
        records.dir = dataDir;
    }
    QDir(dataDir).mkpath(RecordsFolder);
    const QDir folder(QDir(dataDir).filePath(RecordsFolder));
    static const QRegularExpression recordName(QStringLiteral("^(\\d+)\\.folders$"));
    int removed = 0;
    for (const QString& name : folder.entryList(QDir::Files)) {
        const QRegularExpressionMatch m = recordName.match(name);
        if (!m.hasMatch() || !processGone(m.captured(1).toLongLong()))
            continue;
        QFile record(folder.filePath(name));
        if (record.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : record.readAll().split('\n')) {
                if (!line.isEmpty())
                    removed += removeLeftovers(QFile::decodeName(line));
            }
            record.close();
        }
        record.remove();
    }
    return removed;
}

bool replaceWith(const QString& temp, const QString& target, QString* error)
{
    if (!syncToDisk(temp))
        return fail(error, QString::fromLocal8Bit(std::strerror(errno)));
    return renameOver(temp, target, error);
}

void letOversizedWritesFail()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

int removeLeftovers(const QString& dir, const QString& legacyName)
{
    // Today's names end after the counter (or go on with the engine's "-journal"); older
    // versions put the target's name after it.
    static const QRegularExpression own(QStringLiteral("^\\.kotrina-tmp-(\\d+)-\\d+(-|$)"));
    const QRegularExpression legacy(QRegularExpression::anchoredPattern(QRegularExpression::escape(legacyName)
                                                                        + QStringLiteral("\\.[A-Za-z0-9]{6}")));
    int removed = 0;
    const QDir folder(dir);
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        bool ours = !legacyName.isEmpty() && legacy.match(name).hasMatch();
        if (const QRegularExpressionMatch m = own.match(name); m.hasMatch()) {
            // A file of a run that is still going (another copy of the program) is left alone.
            ours = processGone(m.captured(1).toLongLong());
        }
        if (ours && QFile::remove(folder.filePath(name)))
            ++removed;
    }
    return removed;
}

bool copyDatabase(const Database& db, const QString& target, QString* error)
{
    QSqlQuery q(db.connection());
    const FileCheck copied = vacuumInto(q, QFileInfo(target).absoluteFilePath());
    return copied.sound() || fail(error, copied.detail);
}

FileCheck quickCheck(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return { FileCheck::Status::Unreadable, QStringLiteral("%1 does not exist").arg(path) };
    const FileConnection connection(path, FileConnection::Mode::ReadOnly);
    return checkConnection(connection);
}

namespace {

// Copies the pages of the connection's database, as they are, to temp (a new file) through
// the engine's online backup, inside one read of the database: far less work than a copy
// that inserts every row again. On failure temp is removed.
FileCheck copyPages(QSqlDatabase db, const QString& temp, Watch& watch)
{
    QSqlQuery read(db);
    if (!db.transaction() || !read.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !read.next())
        return refused(read.lastError().isValid() ? read.lastError() : db.lastError());
    read.finish();
    sqlite3* target = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(temp).constData(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    QString why;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(target, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        if (sqlite3_backup* backup = sqlite3_backup_init(target, "main", handleOf(db), "main")) {
            constexpr int PagesPerStep = 1024;
            do {
                rc = sqlite3_backup_step(backup, PagesPerStep);
                const int pages = sqlite3_backup_pagecount(backup);
                watch.report(pages - sqlite3_backup_remaining(backup), pages);
            } while (rc == SQLITE_OK && !watch.cancelled());
            const int finished = sqlite3_backup_finish(backup);
            rc = rc == SQLITE_DONE ? finished : rc;
        } else {
            rc = sqlite3_errcode(target);
        }
    }
    if (rc != SQLITE_OK)
        why = target ? QString::fromUtf8(sqlite3_errmsg(target)) : QString::fromUtf8(sqlite3_errstr(rc));
    sqlite3_close(target);
    db.rollback();
    if (watch.cancelled()) {
        removeDatabaseFile(temp);
        return Cancelled;
    }
    if (rc != SQLITE_OK) {
        removeDatabaseFile(temp);
        return { (rc & 0xff) == SQLITE_CORRUPT ? FileCheck::Status::Damaged : FileCheck::Status::Unreadable,
                 QStringLiteral("%1: %2").arg(temp, why) };
    }
    return { FileCheck::Status::Sound, {} };
}

// The copy of source at temp, made while a second connection gives source the quick check.
// The check's connection takes its read before the copy begins and keeps it until the copy
// is done, so no other program writes to the file in between: both read the same state of
// it. Anything short of Sound leaves no copy.
FileCheck checkedCopy(const QString& source, const QString& temp, Watch& watch)
{
    QSemaphore reading, copied;
    FileCheck check;
    const std::unique_ptr<QThread> checker(QThread::create([&] {
        const FileConnection connection(source, FileConnection::Mode::ReadOnly);
        QSqlDatabase db = connection.db();
        QSqlQuery hold(db);
        const bool held = connection.isOpen() && db.transaction()
            && hold.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) && hold.next();
        const QSqlError holdError = connection.isOpen() ? hold.lastError() : QSqlError();
        hold.finish();
        reading.release();
        if (!connection.isOpen())
            check = { FileCheck::Status::Unreadable, connection.error() };
        else if (!held)
            check = refused(holdError.isValid() ? holdError : db.lastError());
        else {
            watch.interrupts(db);
            check = runCheck(db, "quick_check");
        }
        copied.acquire();
        if (held)
            db.rollback();
    }));
    checker->start();
    reading.acquire();
    FileCheck copy;
    {
        const FileConnection connection(source, FileConnection::Mode::ReadOnly);
        QSqlDatabase db = connection.db();
        if (!connection.isOpen()) {
            copy = { FileCheck::Status::Unreadable, connection.error() };
        } else if (QString why; !Schema::verify(db, &why)) {
            // Only a Kotrina database is worth keeping: an empty or foreign file never replaces a backup.
            copy = { FileCheck::Status::Unreadable, why };
        } else {
            watch.enter(Stage::Copying);
            copy = copyPages(db, temp, watch);
        }
    }
    copied.release();
    checker->wait();
    if (watch.cancelled()) {
        removeDatabaseFile(temp);
        return Cancelled;
    }
    // Damage found by the check comes first: the copy of a damaged file may well have worked.
    if (!check.sound()) {
        removeDatabaseFile(temp);
        return check;
    }
    return copy;
}

} // namespace

FileCheck backupDatabase(const QString& source, const QString& target, const Progress& progress)
{
    if (!QFileInfo(source).isFile())
        return { FileCheck::Status::Unreadable, QStringLiteral("%1 does not exist").arg(source) };
    const QString output = QFileInfo(target).absoluteFilePath();
    Watch watch(&progress);
    FileCheck result;
    watch.run([&] {
        const QString temp = temporaryPathFor(output);
        result = checkedCopy(source, temp, watch);
        if (result.sound())
            result = publish(temp, output, &watch);
    });
    return result;
}

Interruption recoverInterruptedWrite(const QString& path, QString* detail)
{
    const QFileInfo file(path);
    const QString journal = file.absoluteFilePath() + QStringLiteral("-journal");
    const QString log = file.absoluteFilePath() + QStringLiteral("-wal");
    if (QFileInfo(journal).size() <= 0 && !QFileInfo::exists(log))
        return Interruption::None;
    // The engine puts the file back as it was before the cut-off write the first time it
    // reads it on a connection that may write; one that may only read cannot, and refuses.
    if (!file.isWritable() || !QFileInfo(file.absolutePath()).isWritable())
        return Interruption::CannotRecover;
    {
        const FileConnection connection(file.absoluteFilePath(), FileConnection::Mode::ReadWrite);
        QSqlQuery q(connection.db());
        if (!connection.isOpen() || !q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next()) {
            if (detail)
                *detail = connection.isOpen() ? q.lastError().text() : connection.error();
            return Interruption::None; // what the read says is for the caller's own check to tell
        }
    }
    // A journal still there belongs to a program writing right now, not to a cut-off write.
    return QFileInfo(journal).size() <= 0 && !QFileInfo::exists(log) ? Interruption::Recovered : Interruption::None;
}

bool copyFileAtomically(const QString& source, const QString& target, QString* error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("%1: %2").arg(source, in.errorString()));
    const QString temp = temporaryPathFor(target);
    QFile out(temp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return fail(error, QStringLiteral("%1: %2").arg(target, out.errorString()));
    auto abandon = [&](const QString& why) {
        out.close();
        QFile::remove(temp);
        return fail(error, why);
    };
    constexpr qint64 ChunkSize = 1 << 20;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(ChunkSize);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            return abandon(QStringLiteral("%1: %2").arg(source, in.errorString()));
        if (out.write(chunk) != chunk.size())
            return abandon(QStringLiteral("%1: %2").arg(target, out.errorString()));
    }
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return abandon(QStringLiteral("%1: %2").arg(target, out.errorString()));
    out.close();
    if (!renameOver(temp, target, error)) {
        QFile::remove(temp);
        return false;
    }
    return true;
}

bool samePathIgnoringCase(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

CompactResult compactDatabase(const QString& path, const Progress& progress)
{
    CompactResult result;
    const QFileInfo info(path);
    if (!info.isFile()) {
        result.detail = QStringLiteral("%1 does not exist").arg(path);
        return result;
    }
    result.sizeBefore = info.size();
    // Another copy of the program that has the file open would go on writing to the old
    // file once the new one has taken its name: the file is compacted only when no other
    // copy has it open, and no copy opens it until the new one is in place.
    FileUse alone;
    if (QString why; !alone.takeAlone(info.absoluteFilePath(), &why)) {
        result.status
            = why.contains(QLatin1String("locked")) ? CompactResult::Status::InUse : CompactResult::Status::Failed;
        result.detail = why;
        return result;
    }
    Watch watch(&progress);
    watch.run([&] {
        watch.enter(Stage::Checking);
        const FileConnection connection(info.absoluteFilePath(), FileConnection::Mode::ReadWrite, 1000);
        QSqlDatabase db = connection.db();
        QSqlQuery q(db);
        auto failWith = [&](CompactResult::Status status, const QString& detail) {
            result.status = status;
            result.detail = detail;
            q.finish();
        };
        if (!connection.isOpen()) {
            failWith(CompactResult::Status::Failed, connection.error());
        } else if (QString why; !Schema::verify(db, &why)) {
            failWith(CompactResult::Status::Failed, why);
        } else if (!q.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE"))
                   || !q.exec(QStringLiteral("BEGIN EXCLUSIVE")) || !q.exec(QStringLiteral("COMMIT"))) {
            // The exclusive lock stays with this connection until it closes, so nobody
            // writes to the file between the copy and the rename.
            failWith(CompactResult::Status::InUse, q.lastError().text());
        } else {
            // Nobody else writes the file now (nor may another copy of the program open it).
            readWholeFileQuickly(db, info.absoluteFilePath());
            watch.interrupts(db);
            if (const FileCheck check = runCheck(db, "integrity_check"); !check.sound()) {
                failWith(check.status == FileCheck::Status::Damaged ? CompactResult::Status::Damaged
                                                                    : CompactResult::Status::Failed,
                         check.detail);
            } else if (const FileCheck copied = compactInto(db, q, info.absoluteFilePath(), watch); !copied.sound()) {
                failWith(CompactResult::Status::Failed, copied.detail);
            } else {
                result.status = CompactResult::Status::Compacted;
            }
        }
    });
    if (result.status != CompactResult::Status::Compacted && watch.cancelled()) {
        result.status = CompactResult::Status::Cancelled;
        result.detail.clear();
    }
    if (result.status != CompactResult::Status::Compacted)
        return result;
    result.sizeAfter = QFileInfo(info.absoluteFilePath()).size();
    return result;
}

namespace {

// Reads rows of one table in ID order from a damaged file: a read that fails is resumed
// past the damage, so every row that can be reached is seen once.
class DamagedTableReader
{
public:
    DamagedTableReader(const QSqlDatabase& db, const QString& table, const QString& id, const QStringList& columns)
        : m_db(db)
        , m_id(id)
    {
        QStringList quoted;
        for (const QString& c : columns)
            quoted << QLatin1Char('"') + c + QLatin1Char('"');
        m_select = QStringLiteral(R"(SELECT "%1", %2 FROM "%3" WHERE "%1" > ? ORDER BY "%1")")
                       .arg(m_id, quoted.join(QLatin1Char(',')), table);
        m_probe = QStringLiteral(R"(SELECT "%1" FROM "%2" WHERE "%1" > ? ORDER BY "%1" LIMIT 1)").arg(m_id, table);
    }

    // Calls row for every readable row; false when the table could not be read at all.
    bool read(const std::function<void(const QSqlQuery&)>& row)
    {
        qint64 after = std::numeric_limits<qint64>::min();
        bool readAny = false;
        for (;;) {
            QSqlQuery q(m_db);
            q.setForwardOnly(true);
            if (!q.prepare(m_select))
                return readAny;
            q.addBindValue(after);
            bool damaged = !q.exec();
            while (!damaged && q.next()) {
                const qint64 id = q.value(0).toLongLong();
                if (id <= after) { // a damaged tree can lead back to rows already seen
                    damaged = true;
                    break;
                }
                after = id;
                readAny = true;
                row(q);
            }
            if (!damaged && !q.lastError().isValid())
                return true;
            m_damaged = true;
            const std::optional<qint64> resume = resumePoint(after);
            if (!resume)
                return readAny;
            after = *resume;
        }
    }

    bool sawDamage() const { return m_damaged; }

private:
    enum class Probe
    {
        Row,
        End,
        Error
    };

    Probe probe(qint64 after) const
    {
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!q.prepare(m_probe))
            return Probe::Error;
        q.addBindValue(after);
        if (!q.exec())
            return Probe::Error;
        if (q.next())
            return Probe::Row;
        return q.lastError().isValid() ? Probe::Error : Probe::End;
    }

    // The smallest point past `after` from which the table reads again; nullopt when
    // nothing past the damage can be reached.
    std::optional<qint64> resumePoint(qint64 after) const
    {
        if (after == std::numeric_limits<qint64>::min())
            after = -1;
        constexpr qint64 Limit = qint64(1) << 40;
        qint64 step = 1;
        while (step < Limit) {
            const Probe p = probe(after + step);
            if (p == Probe::End && step == 1)
                return std::nullopt;
            if (p != Probe::Error) {
                // Readable from after + step: narrow down to the first readable point.
                qint64 bad = after + step / 2, good = after + step;
                if (step == 1)
                    return good;
                while (good - bad > 1) {
                    const qint64 mid = bad + (good - bad) / 2;
                    (probe(mid) == Probe::Error ? bad : good) = mid;
                }
                return good;
            }
            step *= 2;
        }
        return std::nullopt;
    }

    QSqlDatabase m_db;
    QString m_id;
    QString m_select;
    QString m_probe;
    bool m_damaged = false;
};

// The codes of the products: keyed by their text, read in its order. Damage is stepped
// over by moving the start to the next code with a shorter common beginning (the next
// ten, hundred, … codes), as far as needed for the table to read again.
class DamagedCodeReader
{
public:
    explicit DamagedCodeReader(const QSqlDatabase& db)
        : m_db(db)
    { }

    // Calls row (code, 品名ID, 順番) for every readable code.
    void read(const std::function<void(const QSqlQuery&)>& row)
    {
        QString from = QStringLiteral(""); // before every code; a null text would bind NULL
        bool inclusive = true;
        for (;;) {
            QSqlQuery q(m_db);
            q.setForwardOnly(true);
            q.prepare(QStringLiteral(R"(SELECT "コード", "品名ID", "順番" FROM "商品コード" WHERE "コード" %1 ?
                ORDER BY "コード")")
                          .arg(inclusive ? QStringLiteral(">=") : QStringLiteral(">")));
            q.addBindValue(from);
            bool damaged = !q.exec();
            while (!damaged && q.next()) {
                const QString code = q.value(0).toString();
                if (code < from || (!inclusive && code == from)) { // a damaged tree leading back
                    damaged = true;
                    break;
                }
                from = code;
                inclusive = false;
                row(q);
            }
            if (!damaged && !q.lastError().isValid())
                return;
            m_damaged = true;
            const std::optional<QString> resume = resumePoint(from);
            if (!resume)
                return;
            from = *resume;
            inclusive = true;
        }
    }

    bool sawDamage() const { return m_damaged; }

private:
    bool readsFrom(const QString& start) const
    {
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral(R"(SELECT "コード" FROM "商品コード" WHERE "コード" >= ? ORDER BY "コード" LIMIT 1)"));
        q.addBindValue(start);
        return q.exec() && (q.next() || !q.lastError().isValid());
    }

    std::optional<QString> resumePoint(const QString& after) const
    {
        // Codes are digits: the next start past every code beginning with after's first p+1
        // characters is those p characters followed by the next digit.
        for (qsizetype p = after.size() - 1; p >= -1; --p) {
            const QString prefix = after.left(std::max<qsizetype>(p, 0));
            const QChar next = p >= 0 ? QChar(after.at(p).unicode() + 1) : QLatin1Char(':');
            if (p >= 0 && after.at(p) >= QLatin1Char('9'))
                continue;
            const QString start = prefix + next;
            if (readsFrom(start))
                return start;
        }
        return std::nullopt;
    }

    QSqlDatabase m_db;
    bool m_damaged = false;
};

bool hasTable(const QSqlDatabase& db, const QString& name)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    q.addBindValue(name);
    return q.exec() && q.next();
}

// Copies the readable codes whose product was saved; the file of an older version has none.
void salvageCodes(const QSqlDatabase& in, QSqlDatabase& out, SalvageResult& result)
{
    const QString codes = QStringLiteral("商品コード");
    if (!hasTable(in, codes))
        return;
    SalvagedTable counts;
    counts.table = codes;
    QSqlQuery write(out);
    write.prepare(QStringLiteral(R"(INSERT INTO "商品コード" ("コード", "品名ID", "順番")
        SELECT ?, "品名ID", ? FROM "仕入商品" WHERE "品名ID" = ? ON CONFLICT DO NOTHING)"));
    DamagedCodeReader reader(in);
    reader.read([&](const QSqlQuery& row) {
        write.bindValue(0, row.value(0));
        write.bindValue(1, row.value(2));
        write.bindValue(2, row.value(1));
        if (write.exec() && write.numRowsAffected() > 0)
            ++counts.saved;
    });
    // A code of a product that could not be saved is lost with it.
    QSqlQuery count(in);
    if (count.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "商品コード")")) && count.next()
        && count.value(0).toLongLong() >= counts.saved)
        counts.lost = int(count.value(0).toLongLong() - counts.saved);
    result.tables << counts;
}

} // namespace

SalvageResult salvageDatabase(const QString& source, const QString& templatePath, const QString& target)
{
    SalvageResult result;
    const QString temp = temporaryPathFor(target);
    if (!QFileInfo(source).isFile()) {
        result.detail = QStringLiteral("%1 does not exist").arg(source);
        return result;
    }
    if (!QFile::copy(templatePath, temp)) {
        result.detail = QStringLiteral("%1: cannot be copied").arg(templatePath);
        return result;
    }
    QFile(temp).setPermissions(QFile(temp).permissions() | QFileDevice::WriteOwner);
    bool written = false;
    {
        const FileConnection in(source, FileConnection::Mode::ReadOnly);
        const FileConnection out(temp, FileConnection::Mode::ReadWrite);
        QSqlDatabase outDb = out.db();
        if (!in.isOpen() || !out.isOpen()) {
            result.detail = in.isOpen() ? out.error() : in.error();
        } else if (!outDb.transaction()) {
            result.detail = outDb.lastError().text();
        } else {
            QSqlQuery write(outDb);
            // The history and the finalisations go with the lines, as they were: the lines
            // copied are no new entries (the bulk marker), and the finalisations come after
            // them (they lock their dates). A source older than the history has none.
            QList<std::pair<QString, QString>> tables;
            for (Table table : { Table::Tana, Table::Koumoku, Table::Shohin, Table::Tani })
                tables.append({ tableName(table), idColumn(table) });
            if (HistoryTrail::hasHistory(in.db())) {
                for (const char* table :
                     { HistoryTrail::HistoryTable, HistoryTrail::FinalisedTable, HistoryTrail::SealTable })
                    tables.append({ QString::fromUtf8(table), QStringLiteral("番号") });
            }
            const bool history = HistoryTrail::hasHistory(outDb);
            if (history)
                write.exec(QStringLiteral(R"(INSERT INTO "履歴一括" ("番号") VALUES (1))"));
            for (const auto& [name, id] : tables) {
                if (name == QString::fromUtf8(HistoryTrail::SealTable) && !history)
                    continue;
                write.exec(QStringLiteral(R"(DELETE FROM "%1")").arg(name));
                QStringList columns, marks;
                const QSqlRecord record = outDb.record(name);
                for (int i = 0; i < record.count(); ++i) {
                    columns << QLatin1Char('"') + record.fieldName(i) + QLatin1Char('"');
                    marks << QStringLiteral("?");
                }
                write.prepare(QStringLiteral(R"(INSERT INTO "%1" (%2) VALUES (%3))")
                                  .arg(name, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
                SalvagedTable counts;
                counts.table = name;
                int refused = 0;
                QStringList plain;
                for (int i = 0; i < record.count(); ++i)
                    plain << record.fieldName(i);
                DamagedTableReader reader(in.db(), name, id, plain);
                const bool readable = reader.read([&](const QSqlQuery& row) {
                    for (int i = 0; i < record.count(); ++i)
                        write.bindValue(i, row.value(i + 1));
                    if (write.exec())
                        ++counts.saved;
                    else
                        ++refused;
                });
                // The count may still come from an index when the table's own pages are damaged.
                QSqlQuery count(in.db());
                if (readable && !reader.sawDamage())
                    counts.lost = refused;
                else if (count.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "%1")").arg(name)) && count.next()
                         && count.value(0).toLongLong() >= counts.saved)
                    counts.lost = int(count.value(0).toLongLong() - counts.saved);
                if (name != QString::fromUtf8(HistoryTrail::SealTable))
                    result.tables << counts;
            }
            salvageCodes(in.db(), outDb, result);
            if (history)
                write.exec(QStringLiteral(R"(DELETE FROM "履歴一括")"));
            // The reserved category belongs in every file, whatever became of it.
            write.exec(QStringLiteral(
                           R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (0, '%1') ON CONFLICT DO NOTHING)")
                           .arg(QString::fromUtf8(Schema::ReservedCategoryName)));
            written = outDb.commit();
            if (!written)
                result.detail = outDb.lastError().text();
        }
    }
    if (!written) {
        removeDatabaseFile(temp);
        return result;
    }
    const FileCheck published = publish(temp, QFileInfo(target).absoluteFilePath());
    result.ok = published.sound();
    result.detail = published.detail;
    return result;
}

namespace {

// Each entry of the deletion list, with the tables it empties.
struct DeletionEntry
{
    const char* text;
    DataItem item;
    QList<Table> tables;
};

const QList<DeletionEntry>& deletionEntries()
{
    static const QList<DeletionEntry> entries = {
        { "すべて選択", DataItem::All, { Table::Tana, Table::Koumoku, Table::Shohin, Table::Tani } },
        { "棚卸表", DataItem::Lines, { Table::Tana } },
        { "項目分類情報", DataItem::Categories, { Table::Koumoku } },
        { "品名情報", DataItem::Products, { Table::Shohin } },
        { "数量単位情報", DataItem::Units, { Table::Tani } },
    };
    return entries;
}

} // namespace

std::optional<DataItem> dataItemFromText(const QString& text)
{
    for (const DeletionEntry& e : deletionEntries()) {
        if (text == QString::fromUtf8(e.text))
            return e.item;
    }
    return std::nullopt;
}

bool deleteData(const Database& db, DataItem item, QString* error)
{
    if (const QString refusal = refusalWhileShared(db); !refusal.isEmpty())
        return fail(error, refusal);
    QList<Table> tables;
    for (const DeletionEntry& e : deletionEntries()) {
        if (e.item == item)
            tables = e.tables;
    }
    // The lines of a finalised date stay; deleting every line is one entry of the history.
    const bool lines = tables.contains(Table::Tana);
    if (lines && HistoryTrail::refuseAnyLocked(db, error))
        return false;
    Transaction transaction(db);
    if (!transaction.isActive())
        return fail(error, QStringLiteral("the database is not open"));
    // The products' codes go with them, those of products gone before included; emptied
    // first, the trigger that removes a product's codes has nothing left to look for.
    QSqlDatabase connection = db.connection();
    if (tables.contains(Table::Shohin) && Schema::version(connection) >= Schema::CodesVersion
        && !db.exec(QStringLiteral(R"(DELETE FROM "商品コード")"), {}, error))
        return false;
    qint64 lineCount = 0;
    if (lines) {
        QSqlQuery count(db.connection());
        if (count.exec(QStringLiteral(R"(SELECT count(*) FROM "棚卸マスター")")) && count.next())
            lineCount = count.value(0).toLongLong();
    }
    std::optional<HistoryTrail::BulkChange> bulk;
    if (lines && db.hasHistory()) {
        // The marker holds the file's write lock: with no date finalised now, the lines'
        // triggers step aside while every line goes at once.
        bulk.emplace(db.connection());
        if (HistoryTrail::refuseAnyLocked(db, error))
            return false;
        for (const QString& sql : HistoryTrail::suspendLineTriggers(db.connection())) {
            if (!db.exec(sql, {}, error))
                return false;
        }
    }
    for (Table table : tables) {
        if (!NameIndex::deleteAllRows(db, table, error))
            return false;
    }
    for (const QString& sql : bulk ? HistoryTrail::resumeLineTriggers(db.connection()) : QStringList()) {
        if (!db.exec(sql, {}, error))
            return false;
    }
    if (bulk
        && !bulk->finish(QString::fromUtf8(HistoryTrail::KindBulkDeleted), {},
                         QStringLiteral(R"({"行数": %1})").arg(lineCount), error))
        return false;
    if (tables.contains(Table::Koumoku)
        && !db.exec(QStringLiteral(R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (0, ?))"),
                    { QString::fromUtf8(Schema::ReservedCategoryName) }, error))
        return false;
    return transaction.commit(error);
}

QString refusalWhileShared(const Database& db)
{
    const std::optional<int> others = db.otherStations();
    if (!others)
        return QStringLiteral("ほかの端末が接続しているかどうかを確かめられません。"
                              "しばらくしてからやり直してください。");
    if (*others == 0)
        return {};
    return QStringLiteral("ほかに %1 台の端末がこのデータベースに接続しています。"
                          "この作業はデータベースをひとりで使うときにしかできません。"
                          "ほかの端末で Kotrina を終了してから、やり直してください。")
        .arg(*others);
}

CompactResult compactServer(const Database& db)
{
    CompactResult result;
    if (const QString refusal = refusalWhileShared(db); !refusal.isEmpty()) {
        result.status = CompactResult::Status::InUse;
        result.detail = refusal;
        return result;
    }
    QSqlDatabase connection = db.connection();
    if (const QStringList problems = ServerSchema::problems(connection); !problems.isEmpty()) {
        result.status = CompactResult::Status::Damaged;
        result.detail = problems.join(QLatin1Char('\n'));
        return result;
    }
    // VACUUM runs outside any transaction, and as a statement of its own (the server
    // prepares no VACUUM).
    QSqlQuery vacuum(connection);
    if (!vacuum.exec(QStringLiteral("VACUUM (ANALYZE)"))) {
        result.detail = vacuum.lastError().text();
        return result;
    }
    result.status = CompactResult::Status::Compacted;
    return result;
}

QString salvageOnServerMessage()
{
    return QStringLiteral("データの救出はデータベースファイルのための機能です。"
                          "サーバーのデータベースはサーバーが守っているため、救出するものはありません。"
                          "サーバーのデータが壊れたときは、サーバーの管理者にバックアップからの復元を頼んでください。");
}

} // namespace FileOps
