// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>
#include <optional>

// A file's identity on its file system: it stays with the file through a rename, and a file
// put in its place has another.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileIdentity&) const = default;

    // nullopt when there is no file at path.
    static std::optional<FileIdentity> of(const QString& path);
};

// Tells other copies of this program that a business file is in use. The engine holds no
// lock while a connection sits idle, so every copy that has a file open holds a shared
// claim on it for as long as the file is open, and whatever replaces the whole file
// (compaction, save as over it, a restore) first takes the claim for itself alone, without
// waiting: when another copy holds it, the file is in use and is not replaced.
//
// The claim is an open-file-description lock on one byte past the bytes the engine locks,
// so it never stands in the engine's way, and closing any other descriptor of the file
// does not drop it. The process keeps one descriptor per file for its claims and does not
// close it while the file is there, as that would drop the engine's own locks on the file.
// Programs other than this one (the sqlite3 shell) take no claim and are not seen.
class FileUse
{
public:
    FileUse() = default;
    ~FileUse() { release(); }
    FileUse(const FileUse&) = delete;
    FileUse& operator=(const FileUse&) = delete;

    // Claims path for reading and writing alongside other copies. Fails only while another
    // copy replaces the file (the error text says "locked"); a file that cannot be opened, or
    // lies on a file system without such locks, is let through unclaimed.
    bool share(const QString& path, QString* error = nullptr);
    // Claims path for this object alone. Fails (the error text says "locked") while any
    // other holder, in this process or another, has a claim on it.
    bool takeAlone(const QString& path, QString* error = nullptr);
    void release();

    // Whether this process holds path alone, through some FileUse.
    static bool heldAloneHere(const QString& path);

private:
    bool claim(const QString& path, bool alone, QString* error);
    bool m_held = false;
    bool m_alone = false;
    FileIdentity m_file;
};
