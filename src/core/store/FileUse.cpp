#include "core/store/FileUse.h"

#include <QFile>
#include <QMutex>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The engine locks the bytes from 2^30 to 2^30 + 511 of a database file; this one is the
// first byte past them.
constexpr off_t ClaimByte = 0x40000200;

struct Identity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const Identity&) const = default;
};

size_t qHash(const Identity& id, size_t seed = 0)
{
    return ::qHash(id.device, seed) ^ ::qHash(id.inode, seed);
}

// The files this process holds alone, so that its own replacement of such a file is not
// mistaken for another program's claim.
QMutex heldMutex;
QSet<Identity>& heldAlone()
{
    static QSet<Identity> held;
    return held;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

std::optional<Identity> identityOf(const QString& path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return Identity { quint64(st.st_dev), quint64(st.st_ino) };
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
    // The file may be replaced between its opening and the claim: the claim then holds
    // the old file, and is made again on the new one.
    for (int attempt = 0; attempt < 5; ++attempt) {
        int fd = ::open(name.constData(), (alone ? O_RDWR : O_RDONLY) | O_CLOEXEC);
        bool canWrite = alone;
        if (fd < 0 && alone && (errno == EACCES || errno == EROFS || errno == EPERM)) {
            // A read-only file can only be tested for other claims, not claimed alone.
            fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
            canWrite = false;
        }
        // A file that cannot be opened here is no other copy's: whatever comes next tells why.
        if (fd < 0)
            return true;
        struct flock lock = {};
        lock.l_type = alone ? F_WRLCK : F_RDLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = ClaimByte;
        lock.l_len = 1;
        bool taken = false;
        errno = 0;
        if (alone && !canWrite) {
            taken = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type == F_UNLCK;
        } else {
            taken = ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
        }
        if (!taken) {
            const int code = errno;
            ::close(fd);
            if (alone && !canWrite && code == 0)
                return fail(error, QStringLiteral("database is locked: another program has %1 open").arg(path));
            if (code == EAGAIN || code == EACCES)
                return fail(error,
                            alone ? QStringLiteral("database is locked: another program has %1 open").arg(path)
                                  : QStringLiteral("database is locked: another program is replacing %1").arg(path));
            // A file system without these locks: the file is used as before, without a claim.
            return true;
        }
        struct stat held = {};
        ::fstat(fd, &held);
        const Identity mine { quint64(held.st_dev), quint64(held.st_ino) };
        if (identityOf(path) != mine) {
            ::close(fd);
            continue;
        }
        m_fd = fd;
        m_alone = alone;
        m_device = mine.device;
        m_inode = mine.inode;
        if (alone) {
            const QMutexLocker locker(&heldMutex);
            heldAlone().insert(mine);
        }
        return true;
    }
    return fail(error, QStringLiteral("database is locked: %1 keeps being replaced").arg(path));
}

void FileUse::release()
{
    if (m_fd < 0)
        return;
    if (m_alone) {
        const QMutexLocker locker(&heldMutex);
        heldAlone().remove(Identity { m_device, m_inode });
    }
    ::close(m_fd);
    m_fd = -1;
    m_alone = false;
}

bool FileUse::heldAloneHere(const QString& path)
{
    const std::optional<Identity> id = identityOf(path);
    const QMutexLocker locker(&heldMutex);
    return id && heldAlone().contains(*id);
}
