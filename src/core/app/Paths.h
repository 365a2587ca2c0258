// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>
#include <QStringList>

// The database file named on the command line (the first argument after the program),
// made absolute, without the quotation marks a shortcut may have put around it.
QString commandLineFile(const QStringList& arguments);

// Where the program finds its own files and keeps the ones it writes for the user.
class Paths
{
public:
    // programDir: the directory of the program.
    // dataDir: per-user files the program writes (backup, import layouts).
    // settingsFile: the INI file of the settings store.
    Paths(QString programDir, QString dataDir, QString settingsFile);

    // The program's own files (template, manual) lie beside the program in a build tree and
    // under <prefix>/share/kotrina beside <prefix>/bin once installed. One rule decides
    // for all of them: the program's directory when the template is there, else the shared
    // folder when it exists, else the program's directory.
    static QString filesDirFor(const QString& programDir);

    // From the running program: the executable's directory; the data directory is
    // $KOTRINA_HOME when set, else the per-user application data directory; settings
    // follow the XDG configuration directory.
    static Paths fromEnvironment();

    const QString& programDir() const { return m_programDir; }
    const QString& dataDir() const { return m_dataDir; }
    const QString& settingsFile() const { return m_settingsFile; }
    // Where the template and the manual are.
    const QString& filesDir() const { return m_filesDir; }

    QString templatePath() const;
    // The first page of the user's manual.
    QString manualIndex() const;
    QString backupPath() const;
    QString inProgramDir(const QString& name) const;
    QString inDataDir(const QString& name) const;

    // Makes sure the data directory exists; false when it cannot be made.
    bool ensureDataDir() const;

private:
    QString m_programDir;
    QString m_dataDir;
    QString m_settingsFile;
    QString m_filesDir;
};
