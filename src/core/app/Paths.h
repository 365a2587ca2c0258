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
    // programDir: the directory of the program (template, manual).
    // dataDir: per-user files the program writes (backup, import layouts).
    // settingsFile: the INI file of the settings store.
    Paths(QString programDir, QString dataDir, QString settingsFile);

    // From the running program: the executable's directory; the data directory is
    // $KOTRINA_HOME when set, else the per-user application data directory; settings
    // follow the XDG configuration directory.
    static Paths fromEnvironment();

    const QString& programDir() const { return m_programDir; }
    const QString& dataDir() const { return m_dataDir; }
    const QString& settingsFile() const { return m_settingsFile; }

    QString templatePath() const { return m_templatePath; }
    QString backupPath() const;
    QString inProgramDir(const QString& name) const;
    QString inDataDir(const QString& name) const;

    // Makes sure the data directory exists; false when it cannot be made.
    bool ensureDataDir() const;

private:
    QString m_programDir;
    QString m_dataDir;
    QString m_settingsFile;
    QString m_templatePath;
};
