// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "TestEnvironment.h"

#include "core/store/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <unistd.h>

TestEnvironment::TestEnvironment()
{
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("program"));
    root.mkpath(QStringLiteral("home"));
    root.mkpath(QStringLiteral("config"));
    QFile::copy(buildTemplate(), QDir(programDir()).filePath(QStringLiteral("Kotrina.idb")));
    qputenv("KOTRINA_HOME", dataDir().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());
}

QString TestEnvironment::buildTemplate()
{
    // A test run from a copy of its program (as another user) is told where the copy is.
    return qEnvironmentVariable("KOTRINA_TEST_TEMPLATE", QStringLiteral(KOTRINA_TEST_TEMPLATE));
}

Paths TestEnvironment::paths() const
{
    return Paths(programDir(), dataDir(), settingsFile());
}

QString TestEnvironment::programDir() const
{
    return path(QStringLiteral("program"));
}

QString TestEnvironment::dataDir() const
{
    return path(QStringLiteral("home"));
}

QString TestEnvironment::settingsFile() const
{
    return path(QStringLiteral("config/Kotrina/Kotrina.conf"));
}

QString TestEnvironment::path(const QString& name) const
{
    return QDir(m_dir.path()).filePath(name);
}

QString TestEnvironment::newDatabase(const QString& name) const
{
    const QString target = path(name);
    FileOps::copyFileAtomically(buildTemplate(), target);
    return target;
}

QString TestEnvironment::writeFile(const QString& name, const QByteArray& bytes) const
{
    QFile file(path(name));
    QDir().mkpath(QFileInfo(file).path());
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {

bool chattr(const QString& flag, const QString& path)
{
    return QProcess::execute(QStringLiteral("chattr"), { flag, path }) == 0;
}

} // namespace

WriteProtection::WriteProtection(QString path)
    : m_path(std::move(path))
    , m_asRoot(geteuid() == 0)
{
    if (m_asRoot) {
        m_active = chattr(QStringLiteral("+i"), m_path);
    } else {
        const bool folder = QFileInfo(m_path).isDir();
        m_active = QFile::setPermissions(m_path, folder ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner);
    }
    m_active = m_active && !QFileInfo(m_path).isWritable();
}

WriteProtection::~WriteProtection()
{
    if (m_asRoot)
        chattr(QStringLiteral("-i"), m_path);
    else
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
