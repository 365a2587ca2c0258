// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/FileOps.h"

#include <QDateTime>
#include <QString>

class Paths;
class Settings;

// The backup copy the main window leaves at every close, "BackupKotrina.idb" in the data
// folder. The copy can be opened and worked on like any business file, so before a new
// backup takes its place the old one is looked at: one that was changed after the program
// wrote it is kept under a dated name beside the new one, never overwritten.
//
// "Changed after it was written" is told by what the file shows of itself: the change
// counter in its header (every program that writes the file in the engine's usual journal
// mode counts it up), its size and its modification time, recorded in the settings when
// the copy is written, and a write-ahead log beside it that holds pages not yet in the file.
class BackupKeeper
{
public:
    BackupKeeper(const Paths& paths, Settings& settings);

    QString backupPath() const;
    bool isBackup(const QString& file) const;
    // Whether a close makes a backup of the database named: of a file, yes; a database on a
    // server is backed up by the server's own means (and kotrina copy makes a file of it).
    static bool appliesTo(const QString& database);

    enum class State
    {
        Missing, // there is no backup
        Unchanged, // exactly as the program wrote it
        Changed, // written to since
        Unknown, // nothing was recorded of it (written by an earlier version, or the record was lost)
    };
    State state() const;

    struct Outcome
    {
        bool written = false; // a new backup is in place
        QString failure; // why no new backup was made, in the close's message; empty when made
        QString keptAs; // where the old backup was kept, when it had changed; empty otherwise
        State previous = State::Missing;
    };
    // Makes the backup of the database file source; source must not be open in this program.
    // A database on a server is left to the server: nothing is written, nothing is said.
    // The new copy is written and checked first; only then is the old one moved aside (when
    // changed) and the new one put in its place, so a failure leaves the old backup as it was,
    // and so does a backup cancelled through progress.
    Outcome write(const QString& source, const FileOps::Progress& progress = {});

    // The message of a close that made no backup (failure) or kept a changed one.
    static QString message(const Outcome& outcome);

    // Where a backup last changed at modified is kept: "BackupKotrina-YYYYMMDD-HHMMSS.idb"
    // beside it, with "-2", "-3", … added when that name is taken.
    QString keptName(const QDateTime& modified) const;

private:
    QString recordedStamp() const;
    void record();

    const Paths& m_paths;
    Settings& m_settings;
};
