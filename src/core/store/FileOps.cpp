#include "core/store/FileOps.h"

#include "core/store/Database.h"
#include "core/store/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace FileOps {

namespace {

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

// Renames over the target: the one step that makes a finished copy visible.
bool renameOver(const QString& from, const QString& to, QString* error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) {
        syncToDisk(QFileInfo(to).absolutePath());
        return true;
    }
    return fail(error, QString::fromLocal8Bit(std::strerror(errno)));
}

// The engine writes a compacted copy of the connection's database to temp, which then
// replaces target. On failure temp is removed and target is as it was.
bool vacuumInto(QSqlQuery& q, const QString& temp, const QString& target, QString* error)
{
    // A file left there by an interrupted run never took the target's place.
    removeDatabaseFile(temp);
    q.setForwardOnly(true);
    bool ok = q.prepare(QStringLiteral("VACUUM INTO ?"));
    if (ok) {
        q.addBindValue(temp);
        ok = q.exec();
    }
    if (!ok)
        fail(error, q.lastError().text());
    q.finish();
    ok = ok && replaceWith(temp, target, error);
    if (!ok)
        removeDatabaseFile(temp);
    return ok;
}

} // namespace

QString temporaryBeside(const QString& target)
{
    const QFileInfo info(target);
    return info.dir().filePath(
        QStringLiteral(".%1.%2.tmp").arg(info.fileName()).arg(QCoreApplication::applicationPid()));
}

bool replaceWith(const QString& temp, const QString& target, QString* error)
{
    if (!syncToDisk(temp))
        return fail(error, QString::fromLocal8Bit(std::strerror(errno)));
    return renameOver(temp, target, error);
}

bool copyDatabase(const Database& db, const QString& target, QString* error)
{
    QSqlQuery q(db.connection());
    return vacuumInto(q, temporaryBeside(target), QFileInfo(target).absoluteFilePath(), error);
}

bool copyFileAtomically(const QString& source, const QString& target, QString* error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("%1: %2").arg(source, in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return fail(error, QStringLiteral("%1: %2").arg(target, out.errorString()));
    constexpr qint64 ChunkSize = 1 << 20;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(ChunkSize);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            out.cancelWriting();
            return fail(error, QStringLiteral("%1: %2").arg(source, in.errorString()));
        }
        if (out.write(chunk) != chunk.size()) {
            const QString why = out.errorString();
            out.cancelWriting();
            return fail(error, QStringLiteral("%1: %2").arg(target, why));
        }
    }
    if (!out.commit())
        return fail(error, QStringLiteral("%1: %2").arg(target, out.errorString()));
    return true;
}

bool samePathIgnoringCase(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

QString compactionPath(const QString& databasePath)
{
    return QFileInfo(databasePath).dir().filePath(QStringLiteral("CompactFileName.idb"));
}

CompactResult compactDatabase(const QString& path)
{
    CompactResult result;
    const QFileInfo info(path);
    if (!info.isFile()) {
        result.detail = QStringLiteral("%1 does not exist").arg(path);
        return result;
    }
    result.sizeBefore = info.size();
    const QString temp = compactionPath(info.absoluteFilePath());

    const QString name = QStringLiteral("kotrina-compact");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        QUrl uri = QUrl::fromLocalFile(info.absoluteFilePath());
        uri.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=1000"));
        QSqlQuery q(db);
        auto failWith = [&](CompactResult::Status status, const QString& detail) {
            result.status = status;
            result.detail = detail;
            q.finish();
        };
        if (!db.open()) {
            failWith(CompactResult::Status::Failed, db.lastError().text());
        } else if (QString why; !Schema::verify(db, &why)) {
            failWith(CompactResult::Status::Failed, why);
        } else if (!q.exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE"))
                   || !q.exec(QStringLiteral("BEGIN EXCLUSIVE")) || !q.exec(QStringLiteral("COMMIT"))) {
            // The exclusive lock stays with this connection until it closes, so nobody
            // writes to the file between the copy and the rename.
            failWith(CompactResult::Status::InUse, q.lastError().text());
        } else {
            q.setForwardOnly(true);
            QStringList problems;
            if (!q.exec(QStringLiteral("PRAGMA integrity_check"))) {
                problems << q.lastError().text();
            } else {
                while (q.next()) {
                    const QString line = q.value(0).toString();
                    if (line != QLatin1String("ok"))
                        problems << line;
                }
            }
            if (!problems.isEmpty()) {
                failWith(CompactResult::Status::Damaged, problems.mid(0, 5).join(QLatin1Char('\n')));
            } else if (QString reason; !vacuumInto(q, temp, info.absoluteFilePath(), &reason)) {
                failWith(CompactResult::Status::Failed, reason);
            } else {
                result.status = CompactResult::Status::Compacted;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (result.status != CompactResult::Status::Compacted)
        return result;
    result.sizeAfter = QFileInfo(info.absoluteFilePath()).size();
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
    QList<Table> tables;
    for (const DeletionEntry& e : deletionEntries()) {
        if (e.item == item)
            tables = e.tables;
    }
    Transaction transaction(db);
    if (!transaction.isActive())
        return fail(error, QStringLiteral("the database is not open"));
    for (Table table : tables) {
        if (!db.exec(QStringLiteral(R"(DELETE FROM "%1")").arg(tableName(table)), {}, error))
            return false;
    }
    if (tables.contains(Table::Koumoku)
        && !db.exec(QStringLiteral(R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (0, ?))"),
                    { QString::fromUtf8(Schema::ReservedCategoryName) }, error))
        return false;
    return transaction.commit(error);
}

} // namespace FileOps
