// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/Prompter.h"

#include <QString>
#include <memory>

class AppState;
struct ServerLogin;

// Long work the user sees going on: shown after a moment, told how far the work has come,
// and cancelled by the user where the work can stop.
class LongWork
{
public:
    virtual ~LongWork() = default;
    // done of total (total 0: how far cannot be told); false once the user has cancelled.
    virtual bool step(qint64 done, qint64 total) = 0;
    virtual void setText(const QString& text) = 0;
    // Whether the user has seen it (the work took long enough to be shown).
    virtual bool wasShown() const = 0;
};

// What the file commands show in the main window: the file name box (which names the
// file the next open will use), the status line and the sizes of a compaction.
class FileCommandsView
{
public:
    virtual ~FileCommandsView() = default;
    virtual QString fileName() const = 0;
    virtual void setFileName(const QString& name) = 0;
    virtual void showFileStatus(const QString& text) = 0;
    virtual void showSizeBefore(const QString& text) = 0;
    virtual void showSizeAfter(const QString& text) = 0;
    // Long work of a file command is shown here; nothing is shown without a window.
    virtual std::unique_ptr<LongWork> startWork(const QString& caption, const QString& text)
    {
        Q_UNUSED(caption);
        Q_UNUSED(text);
        return nullptr;
    }
};

// The whole-file commands of the main window: new, open, save as, open backup, repair
// and compact, and the deletion of data. After each one that succeeds, DatabaseFileName,
// the file name box, the status line and the setting "MDBFileName" name the open file.
// A command that fails keeps the file that was open, open.
class DatabaseFiles
{
public:
    DatabaseFiles(AppState& state, FileCommandsView& view);

    // Opens the database named in the file name box (a file, or a server's database) and
    // remembers it; a server's is remembered without its password.
    bool openAndRecord();
    // Opens name as the program's database: the template read-only, any other file for work.
    // A file of an older version is brought up to date on the way, which on a large file is
    // shown as long work (which the user may stop: the file then opens as it was). On failure
    // error (when given) holds the engine's reason.
    bool openConnection(const QString& name, QString* error = nullptr);
    // サーバーに接続: opens the server's database of login and remembers its name without the
    // password. With savePassword the password goes into libpq's password file, so the next
    // start connects without asking. On failure the user is told why (the server's reason
    // included) and the database that was open stays open.
    bool openServer(const ServerLogin& login, bool savePassword);
    // Whether the open database is a server's rather than a file.
    bool onServer() const;

    enum class Outcome
    {
        Done,
        Declined,
        Failed
    };
    // The file dialog of the database commands, starting in the open database's folder.
    FileDialogRequest databaseDialog(const QString& title, bool mustExist) const;

    // The message that names the missing template, or empty when the template is there.
    QString missingTemplate() const;

    // Makes chosen a copy of the template (after asking when it exists) and opens it.
    // On Failed, error holds what went wrong; open failures have been shown already.
    Outcome createFromTemplate(const QString& chosen, QString* error);

    // The message of a damaged database file, as the check at opening and the repair show it.
    static QString damageMessage();

    void newDatabase();
    // Asks for a file and opens it.
    void open();
    // Opens the file named, as open() does with the file chosen.
    void openNamed(const QString& name);
    // True when name is the database file that is open (its path, or the same file by
    // another path).
    bool isOpenFile(const QString& name) const;
    void saveAs();
    void openBackup();
    void repairAndCompact();
    void deleteData(const QString& item);

    // Before lines are entered or imported: when the open file is the backup copy, which the
    // next close sets aside for a new backup, says so once for each opening of it and offers
    // to save it under a name of the user's own (save as), where the work then goes.
    void offerSaveAsForBackup();
    // The open file is the backup copy and offerSaveAsForBackup has not yet spoken of it.
    bool backupUntold() const;

    // Tells the user the open file is damaged and offers to salvage what can still be read.
    void reportDamage();
    // Copies every readable row of the open (damaged) file into a new file the user names,
    // reports per table what was saved and lost, and offers to open the new file.
    void salvage();

    // Removes the temporary files crashed runs left in the data folder, beside the database
    // file and in every folder they noted (FileOps::keepTemporaryRecords); nothing but the
    // program's own temporary names is touched.
    void removeLeftovers() const;

private:
    // The repair and compaction of a database on a server (FileOps::compactServer).
    void compactServer();
    // The template is only ever copied: no command writes to it.
    bool isTemplate(const QString& name) const;
    // The database name just opened becomes the open one: in DatabaseFileName, the file name
    // box, the status line and the settings.
    void record(const QString& name);
    AppState& m_state;
    FileCommandsView& m_view;
    bool m_backupTold = false; // the open backup was said to be one
};
