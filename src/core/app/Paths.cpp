// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/app/Paths.h"

#include "core/store/ServerLogin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

Paths::Paths(QString programDir, QString dataDir, QString settingsFile)
    : m_programDir(std::move(programDir))
    , m_dataDir(std::move(dataDir))
    , m_settingsFile(std::move(settingsFile))
    , m_filesDir(filesDirFor(m_programDir))
{ }

QString Paths::filesDirFor(const QString& programDir)
{
    const QDir program(programDir);
    const QString shared = QDir::cleanPath(program.filePath(QStringLiteral("../share/kotrina")));
    if (!QFileInfo::exists(program.filePath(QStringLiteral("Kotrina.idb"))) && QFileInfo(shared).isDir())
        return shared;
    return programDir;
}

QString Paths::templatePath() const
{
    return QDir(m_filesDir).filePath(QStringLiteral("Kotrina.idb"));
}

QString Paths::manualIndex() const
{
    return QDir(m_filesDir).filePath(QStringLiteral("manual/index.html"));
}

Paths Paths::fromEnvironment()
{
    const QString home = qEnvironmentVariable("KOTRINA_HOME");
    const QString data = !home.isEmpty()
        ? QDir(home).absolutePath()
        : QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Kotrina");
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Kotrina/Kotrina.conf");
    return Paths(QCoreApplication::applicationDirPath(), data, config);
}

QString Paths::backupPath() const
{
    return inDataDir(QStringLiteral("BackupKotrina.idb"));
}

QString Paths::inProgramDir(const QString& name) const
{
    return QDir(m_programDir).filePath(name);
}

QString Paths::inDataDir(const QString& name) const
{
    return QDir(m_dataDir).filePath(name);
}

bool Paths::ensureDataDir() const
{
    return QDir().mkpath(m_dataDir);
}

QString commandLineFile(const QStringList& arguments)
{
    if (arguments.size() < 2)
        return {};
    QString path = arguments.at(1).trimmed();
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
        path = path.mid(1, path.size() - 2);
    // A server's database is named the same from any folder.
    if (ServerLogin::isServerName(path))
        return path;
    return path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}
