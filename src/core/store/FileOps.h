#pragma once

#include <QString>
#include <optional>

class Database;

// Whole-file work on business files. Every write goes to a temporary file in the
// target's directory and is renamed over the target only when complete, so an
// interrupted copy or compaction leaves the old target intact.
namespace FileOps {

// A name in target's directory for the file that will take target's place; unique to
// this process, hidden, and ending in ".tmp".
QString temporaryBeside(const QString& target);

// Makes the finished file temp reach the disk and renames it over target, the one step
// that makes it visible. On failure temp is left for the caller to remove.
bool replaceWith(const QString& temp, const QString& target, QString* error = nullptr);

bool copyFileAtomically(const QString& source, const QString& target, QString* error = nullptr);

// Case-insensitive path equality, as file names were compared where these files came from.
bool samePathIgnoringCase(const QString& a, const QString& b);

// Writes a consistent copy of the open database to target (replacing it atomically),
// through the engine, so a copy is never taken in the middle of another program's write.
bool copyDatabase(const Database& db, const QString& target, QString* error = nullptr);

// The temporary file a compaction writes before it takes the database's place.
QString compactionPath(const QString& databasePath);

struct CompactResult
{
    enum class Status
    {
        Compacted,
        InUse, // another program holds the file
        Damaged, // the integrity check found faults; the file was left as it was
        Failed, // missing, not ours, or the new copy could not be written
    };
    Status status = Status::Failed;
    qint64 sizeBefore = -1;
    qint64 sizeAfter = -1;
    QString detail;
};

// Checks the database file's integrity and rewrites it compacted: a new copy is written
// beside it and renamed over it, all under an exclusive lock. The database must not be
// open in this program. Anything short of success leaves the file untouched.
CompactResult compactDatabase(const QString& path);

// What the main window's data deletion can empty.
enum class DataItem
{
    All,
    Lines,
    Categories,
    Products,
    Units
};

// The item of a deletion list entry ("すべて選択", "棚卸表", …); nullopt for any other text.
std::optional<DataItem> dataItemFromText(const QString& text);

// Empties the tables of the item in one transaction; emptying the categories puts the
// reserved category 0 back.
bool deleteData(const Database& db, DataItem item, QString* error = nullptr);

} // namespace FileOps
