// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Progress.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class Database;

// Whole-file work on business files. Every write goes to a temporary file in the
// target's directory and is renamed over the target only when complete, so an
// interrupted copy or compaction leaves the old target intact.
namespace FileOps {

// The parts of a backup or a compaction, as the one waiting for it is told of them.
enum class Stage
{
    Checking, // the file is checked (how far cannot be told)
    Copying, // the copy is written: done is what it holds so far, of about total
    CheckingCopy, // the finished copy gets the full check (how far cannot be told)
};

// What a backup or a compaction tells while it runs: each stage as it begins (on the thread
// that started the work), and the steps within it. The work itself runs on threads of its
// own meanwhile; without a step it runs on the caller's thread and tells nothing.
struct Progress
{
    ProgressStep step;
    std::function<void(Stage)> stage;
};

// Every temporary file the program writes is named ".kotrina-tmp-<process id>-<n>" (both
// numbers of fixed width), beside the file it is to become, so a later start can tell its
// own leftovers from the user's files. Its folder is noted for keepTemporaryRecords.
QString temporaryPathFor(const QString& target);

// From now on notes, in dataDir, every folder this process writes temporary files in, and
// removes the leftovers in the folders noted by runs that are no longer alive (a killed
// export leaves its temporary file beside its output, wherever that is). Run at every
// start of the program and of a command. Returns how many files were removed.
int keepTemporaryRecords(const QString& dataDir);

// A write past the process's file-size limit raises SIGXFSZ, which ends the program on
// the spot. Ignored, the write fails and is reported like a full disk. Run once at start.
void letOversizedWritesFail();

// Removes from dir the temporary files of runs that are no longer alive. legacyName, when
// given, also removes "<legacyName>.XXXXXX", the temporary names earlier versions left there.
// Returns how many files were removed.
int removeLeftovers(const QString& dir, const QString& legacyName = {});

// Makes the finished file temp reach the disk and renames it over target, the one step
// that makes it visible. On failure temp is left for the caller to remove.
bool replaceWith(const QString& temp, const QString& target, QString* error = nullptr);

bool copyFileAtomically(const QString& source, const QString& target, QString* error = nullptr);

// Case-insensitive path equality, as file names were compared where these files came from.
bool samePathIgnoringCase(const QString& a, const QString& b);

// Writes a consistent copy of the open database to target (replacing it atomically),
// through the engine, so a copy is never taken in the middle of another program's write.
// The copy gets the full integrity check before it takes target's place.
bool copyDatabase(const Database& db, const QString& target, QString* error = nullptr);

// What the engine's quick check says of a database file.
struct FileCheck
{
    enum class Status
    {
        Sound,
        Damaged, // the file opens but its pages are not all in order
        Unreadable, // the file cannot be read as a database at all (or, for a copy, not written)
        Cancelled, // the one waiting stopped the work; nothing was written
    };
    Status status = Status::Unreadable;
    QString detail;
    bool sound() const { return status == Status::Sound; }
};

// Runs PRAGMA quick_check on its own read-only connection; safe on any thread.
FileCheck quickCheck(const QString& path);

// What a write that was cut off (a killed import or registration) left beside a database file.
enum class Interruption
{
    None, // nothing: no journal, or one of a program writing right now
    Recovered, // the file was put back as it was before that write
    CannotRecover, // the file or its folder cannot be written, so it cannot be put back
};

// Puts the file back as it was before a write that was cut off, as the engine does on the
// first read of a connection that may write; a read-only connection cannot, and refuses the
// file. detail gets the engine's text when the file does not read at all.
Interruption recoverInterruptedWrite(const QString& path, QString* detail = nullptr);

// Copies the database file source to target through the engine (its online backup, page by
// page), only when source passes the quick check; the copy gets the full integrity check
// before it replaces target. Anything short of Sound leaves target exactly as it was. The
// quick check and the copy run side by side, on two connections that read the same state of
// the file (the check holds its read until the copy is done, so no other program writes in
// between); the copy reaches the disk while it gets its full check. Cancelled through
// progress until the copy takes target's place.
FileCheck backupDatabase(const QString& source, const QString& target, const Progress& progress = {});

// What a salvage got out of one table.
struct SalvagedTable
{
    QString table;
    int saved = 0;
    int lost = -1; // rows that could not be read; -1 when the damaged file cannot say
};

struct SalvageResult
{
    bool ok = false;
    QString detail;
    QList<SalvagedTable> tables;
};

// Copies every row that can still be read from the damaged file source, table by table,
// into target made from the template, skipping what cannot be read. source is only read.
SalvageResult salvageDatabase(const QString& source, const QString& templatePath, const QString& target);

struct CompactResult
{
    enum class Status
    {
        Compacted,
        InUse, // another program holds the file
        Damaged, // the integrity check found faults; the file was left as it was
        Failed, // missing, not ours, or the new copy could not be written
        Cancelled, // stopped through the progress before the new copy took the file's place
    };
    Status status = Status::Failed;
    qint64 sizeBefore = -1;
    qint64 sizeAfter = -1;
    QString detail;
};

// Checks the database file's integrity and rewrites it compacted: a new copy is written
// beside it and renamed over it, all under an exclusive lock. The database must not be
// open in this program, nor in another copy of it (InUse, see FileUse). Anything short of success leaves the file
// untouched; progress may cancel it until the new copy takes the file's place.
CompactResult compactDatabase(const QString& path, const Progress& progress = {});

// Work that needs the database alone (the compaction, the deletion of data, a file-wide
// repair) is refused while other stations of the program work on it: the refusal names
// how many, in the user's words. Empty when the work may go on, as always for a file
// (FileUse keeps another program from it).
QString refusalWhileShared(const Database& db);

// The repair and compaction of a database on a server: its tables, sequences and change
// notices are checked (ServerSchema::problems), then the server's own upkeep (VACUUM ANALYZE) gives the room of
// deleted rows back and brings its statistics up to date. The file-wide copy of
// compactDatabase does not apply there. InUse (with the refusal as detail) while other
// stations are connected; Damaged when the tables are not as they should be.
CompactResult compactServer(const Database& db);

// Why the salvage of a damaged file does not apply to a database on a server.
QString salvageOnServerMessage();

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
// reserved category 0 back. Refused while other stations are connected (refusalWhileShared).
bool deleteData(const Database& db, DataItem item, QString* error = nullptr);

} // namespace FileOps
