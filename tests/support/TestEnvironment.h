// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/Paths.h"

#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>

// A fresh place for one test case: a program directory holding the template, a per-user
// data directory (KOTRINA_HOME), a configuration directory (XDG_CONFIG_HOME) and room for
// database files. Everything goes when the object does.
class TestEnvironment
{
public:
    TestEnvironment();

    Paths paths() const;
    QString root() const { return m_dir.path(); }
    QString programDir() const;
    QString dataDir() const;
    QString settingsFile() const;

    // A new database file made from the template, in the test's own directory.
    QString newDatabase(const QString& name = QStringLiteral("shop.idb")) const;
    // A file with the given bytes, in a folder made for it where there is none.
    QString writeFile(const QString& name, const QByteArray& bytes) const;
    QString path(const QString& name) const;

    // The template the build made.
    static QString buildTemplate();

private:
    QTemporaryDir m_dir;
};

QByteArray readAll(const QString& path);

// Makes a file or folder one this process may read but not write, for as long as the object
// lives: by its permissions, or as root (whom permissions do not stop) by the immutable
// attribute. isActive() is false when neither works on this file system.
class WriteProtection
{
public:
    explicit WriteProtection(QString path);
    ~WriteProtection();
    WriteProtection(const WriteProtection&) = delete;
    WriteProtection& operator=(const WriteProtection&) = delete;

    bool isActive() const { return m_active; }

private:
    QString m_path;
    bool m_asRoot = false;
    bool m_active = false;
};

// Writes beyond limit bytes fail for as long as the object lives, as on a full disk; the
// signal such a write raises is ignored meanwhile, so the write returns an error instead.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
        : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lower = m_saved;
        lower.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    void (*m_handler)(int);
    rlimit m_saved {};
};
