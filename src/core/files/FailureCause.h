// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>

class Database;

// The cause of a failed file operation, in words the user can act on. Messages keep their
// own text and name the cause on a second line, when the file system tells what it is.
namespace FailureCause {

// Why the database file at path can be read but not changed: the file or its folder may not
// be written (read-only, no permission). Empty when both can be written.
QString readOnlyReason(const QString& path);

// Why writing path (a file that may not exist yet) failed. detail is the error text of the
// engine or the system, if any. Empty when neither the file system nor detail explains it.
QString ofWrite(const QString& path, const QString& detail = {});

// Why a write to the open database failed: the file was deleted or replaced by another
// program since it was opened, or what ofWrite() finds for it; for a server's database,
// that the connection to it broke (serverGone()).
QString ofDatabaseWrite(const Database& db, const QString& detail);

// That the server of the open database went away; the next statement connects again.
QString serverGone();

// Why the file at path could not be opened, when that is plain: it is missing or may not be
// read. Empty otherwise (a file that is no database of ours says nothing here).
QString ofOpen(const QString& path);

// That another program holds the file, when the engine's error text detail says so; empty
// otherwise.
QString inUse(const QString& detail);

// message, then the cause on its own line; message alone when the cause is unknown.
QString withCause(const QString& message, const QString& cause);

} // namespace FailureCause
