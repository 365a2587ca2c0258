// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/FileUse.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

std::optional<FileIdentity> FileIdentity::of(const QString& path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity { quint64(st.st_dev), quint64(st.st_ino) };
}

// Found by argument-dependent lookup, so beside the type it hashes.
static size_t qHash(const FileIdentity& id, size_t salt = 0)
{
    return ::qHash(id.device, salt) ^ ::qHash(id.inode, salt);
}

namespace {

// The engine locks the bytes from 2^30 to 2^30 + 511 of a database file; this one is the
// first byte past them.
constexpr off_t ClaimByte = 0x40000200;

// One descriptor per file for all claims of the process. Closing any descriptor of a file
// drops every lock the engine holds on it in this process, so a descriptor is never closed
// while the file is there: a claim given up only unlocks, and the next claim on the same
// file uses the same descriptor again. Only the descriptor of a file that has been deleted
// or replaced meanwhile is closed.
struct Descriptor
{
    int fd = -1;
    bool canWrite = false; // opened for writing, so it can be claimed alone
    int shared = 0; // claims of this process alongside others
    bool alone = false;
};

QMutex poolMutex;
QHash<FileIdentity, Descriptor>& pool()
{
    static QHash<FileIdentity, Descriptor> descriptors;
    return descriptors;
}

bool setLock(int fd, short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = ClaimByte;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Whether another holder would stand in the way of a claim alone, for a file this process
// may only read.
bool othersHold(int fd)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = ClaimByte;
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

bool refusedByOthers()
{
    return errno == EAGAIN || errno == EACCES;
}

void closeDeleted()
{
    for (auto it = pool().begin(); it != pool().end();) {
        struct stat st = {};
        if (it->shared == 0 && !it->alone && (::fstat(it->fd, &st) != 0 || st.st_nlink == 0)) {
            ::close(it->fd);
            it = pool().erase(it);
        } else {
            ++it;
        }
    }
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

bool FileUse::share(const QString& path, QString* error)
{
    return claim(path, false, error);
}

bool FileUse::takeAlone(const QString& path, QString* error)
{
    return claim(path, true, error);
}

bool FileUse::claim(const QString& path, bool alone, QString* error)
{
    release();
    const QByteArray name = QFile::encodeName(path);
    const QMutexLocker locker(&poolMutex);
    closeDeleted();
    // The file may be replaced between looking it up and opening it: then it is looked up again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::optional<FileIdentity> id = FileIdentity::of(path);
        // A file that is not there, or cannot be opened here, is no other copy's: whatever
        // comes next tells why.
        if (!id)
            return true;
        if (!pool().contains(*id)) {
            Descriptor d;
            d.fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
            d.canWrite = d.fd >= 0;
            if (d.fd < 0)
                d.fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
            if (d.fd < 0)
                return true;
            struct stat st = {};
            if (::fstat(d.fd, &st) != 0 || FileIdentity { quint64(st.st_dev), quint64(st.st_ino) } != *id) {
                ::close(d.fd);
                continue;
            }
            pool().insert(*id, d);
        }
        Descriptor& d = pool()[*id];
        if (alone) {
            if (d.shared > 0 || d.alone)
                return fail(error, QStringLiteral("database is locked: %1 is open in this program").arg(path));
            if (d.canWrite ? !setLock(d.fd, F_WRLCK) && refusedByOthers() : othersHold(d.fd))
                return fail(error, QStringLiteral("database is locked: another program has %1 open").arg(path));
            d.alone = true;
        } else {
            if (d.alone)
                return fail(error, QStringLiteral("database is locked: %1 is being replaced").arg(path));
            // On a file system without these locks the file is used as before, without a claim.
            if (d.shared == 0 && !setLock(d.fd, F_RDLCK) && refusedByOthers())
                return fail(error, QStringLiteral("database is locked: another program is replacing %1").arg(path));
            ++d.shared;
        }
        m_held = true;
        m_alone = alone;
        m_file = *id;
        return true;
    }
    return fail(error, QStringLiteral("database is locked: %1 keeps being replaced").arg(path));
}

void FileUse::release()
{
    if (!m_held)
        return;
    const QMutexLocker locker(&poolMutex);
    const auto it = pool().find(m_file);
    if (it != pool().end()) {
        if (m_alone)
            it->alone = false;
        else
            --it->shared;
        if (it->shared == 0 && !it->alone)
            setLock(it->fd, F_UNLCK);
    }
    m_held = false;
    m_alone = false;
    closeDeleted();
}

bool FileUse::heldAloneHere(const QString& path)
{
    const std::optional<FileIdentity> id = FileIdentity::of(path);
    const QMutexLocker locker(&poolMutex);
    return id && pool().contains(*id) && pool().value(*id).alone;
}
