// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/files/FailureCause.h"

#include "core/store/Database.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace FailureCause {

namespace {

// Room the engine needs at the least to write a copy of a file: its size, and never less
// than a megabyte, since a journal or a temporary file comes with every write.
bool diskFull(const QString& folder, const QString& path)
{
    const QStorageInfo storage(folder);
    if (!storage.isValid())
        return false;
    const qint64 needed = std::max<qint64>(QFileInfo(path).size(), 1 << 20);
    return storage.bytesAvailable() < needed;
}

} // namespace

QString readOnlyReason(const QString& path)
{
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (file.exists() && !file.isWritable())
        return QStringLiteral("ファイル（%1）は読み取り専用か、書き込む権限がありません。")
            .arg(file.absoluteFilePath());
    // The engine keeps its journal beside the file, so a folder that cannot be written
    // makes the file read-only as well.
    if (!QFileInfo(folder).isWritable())
        return QStringLiteral("フォルダ（%1）は読み取り専用か、書き込む権限がありません。").arg(folder);
    return {};
}

QString ofWrite(const QString& path, const QString& detail)
{
    if (const QString held = inUse(detail); !held.isEmpty())
        return held;
    const QString text = detail.toLower();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("フォルダ（%1）が見つかりません。").arg(folder);
    if (const QString reason = readOnlyReason(path); !reason.isEmpty())
        return reason;
    if (text.contains(QLatin1String("disk is full")) || text.contains(QLatin1String("no space"))
        || text.contains(QLatin1String("too large")) || diskFull(folder, path))
        return QStringLiteral("ディスクの空き容量が足りないか、ファイルの大きさの上限を超えています。");
    // The engine says no more than this when the system refused a write, which a full disk
    // or the file-size limit of the process do as well as a failing disk.
    if (text.contains(QLatin1String("disk i/o error")))
        return QStringLiteral("ディスクに書き込めませんでした。ディスクの空き容量が足りないか、ファイルの大きさの上限を"
                              "超えているか、ディスクに異常があります。");
    if (text.contains(QLatin1String("permission")) || text.contains(QLatin1String("readonly"))
        || text.contains(QLatin1String("read-only")))
        return QStringLiteral("書き込む権限がありません。");
    return {};
}

QString ofDatabaseWrite(const Database& db, const QString& detail)
{
    // A server has no file to look at: what can be told is that it went away.
    if (db.engine() == Engine::Postgres)
        return db.isConnectionLost() ? serverGone() : QString();
    const QString path = QDir::toNativeSeparators(db.fileName());
    switch (db.fileState()) {
    case Database::FileState::Missing:
        return QStringLiteral("ファイル（%1）が見つかりません。ほかのプログラムで削除されたか、移動されています。")
            .arg(path);
    case Database::FileState::Replaced:
        return QStringLiteral("ファイル（%1）は、開いた後でほかのプログラムによって置き換えられています。").arg(path);
    case Database::FileState::Same:
        break;
    }
    return ofWrite(db.fileName(), detail);
}

QString serverGone()
{
    return QStringLiteral("サーバーとの接続が切れています。サーバーが動いているか、ネットワークにつながっているかを"
                          "確かめてください。接続が戻ったら、もう一度操作してください。");
}

QString inUse(const QString& detail)
{
    const QString text = detail.toLower();
    if (text.contains(QLatin1String("locked")) || text.contains(QLatin1String("busy")))
        return QStringLiteral("ほかのプログラムがファイルを使用中です。");
    return {};
}

QString ofOpen(const QString& path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("ファイル（%1）が見つかりません。").arg(file.absoluteFilePath());
    if (file.isFile() && !file.isReadable())
        return QStringLiteral("ファイル（%1）を読む権限がありません。").arg(file.absoluteFilePath());
    return {};
}

QString withCause(const QString& message, const QString& cause)
{
    return cause.isEmpty() ? message : message + QLatin1Char('\r') + cause;
}

} // namespace FailureCause
