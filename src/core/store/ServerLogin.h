// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>
#include <optional>

// Where a business database on a PostgreSQL server is found and who logs in to it: what the
// dialog サーバーに接続 asks, and what a database name of the form
// postgresql://user@host:port/database carries. A database is named either by a file path or
// by such a name; the password travels in a name only on its way to the connection and is
// left out of every name the program shows or remembers.
struct ServerLogin
{
    static constexpr int DefaultPort = 5432;

    QString host = QStringLiteral("localhost");
    int port = DefaultPort;
    QString database;
    QString user;
    QString password;
    QString options; // the name's query (sslmode=require …), kept as it was written

    // Whether name names a server database rather than a file.
    static bool isServerName(const QString& name);
    // The parts of a server database's name; nullopt for a file path or a name that cannot be read.
    static std::optional<ServerLogin> fromName(const QString& name);
    // The name of the database; with the password only when asked for (the connection's own use).
    QString name(bool withPassword = false) const;
    // name as the program shows and remembers it: a server's name without its password, a
    // file path unchanged.
    static QString shown(const QString& name);
    // Whether a and b name the same server database (host, port, database, user), whatever
    // their passwords or the way they are written; false when either is a file path.
    static bool sameDatabase(const QString& a, const QString& b);

    // What the user is told when the server refuses or cannot be reached, in Japanese, from
    // the connection library's reason (which follows on a line of its own).
    static QString problem(const QString& reason);
};

// libpq's password file (~/.pgpass, or the file PGPASSFILE names), where a station keeps the
// password of its server so that it is asked only once; the program's own settings never
// hold a password.
namespace PasswordFile {

// The file libpq reads.
QString path();
// Puts the login's password into the file for its host, port, database and user, replacing
// the line kept for them before; the file is readable by its owner alone (libpq ignores a
// file others may read). On failure error says why and the file is as it was.
bool store(const ServerLogin& login, QString* error = nullptr);

} // namespace PasswordFile
