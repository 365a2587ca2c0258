// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/files/BackupKeeper.h"

#include "core/app/Paths.h"
#include "core/app/Settings.h"
#include "core/files/DatabaseFiles.h"
#include "core/files/FailureCause.h"
#include "core/store/DatabaseName.h"
#include "core/store/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

// Where what the backup looked like when it was written is recorded.
const QString StampSection = QStringLiteral("Settings");
const QString StampKey = QStringLiteral("BackupStamp");

// What the engine leaves beside a database file while a write is under way or after a
// program stopped in the middle of one: the pages belong to the file and go where it goes.
const QStringList Companions = { QStringLiteral("-journal"), QStringLiteral("-wal") };

// The change counter of an SQLite file's header (bytes 24 to 27, big-endian); 0 for a file
// that is no SQLite database.
quint32 changeCounter(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray header = file.read(28);
    if (header.size() < 28 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return 0;
    return qFromBigEndian<quint32>(header.constData() + 24);
}

// What is recorded of a backup when it is written, and compared before it is replaced.
QString stampOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    return QStringLiteral("%1 %2 %3")
        .arg(changeCounter(path))
        .arg(info.size())
        .arg(info.lastModified().toMSecsSinceEpoch());
}

bool holdsPendingPages(const QString& path)
{
    return QFileInfo(path + QStringLiteral("-wal")).size() > 0
        || QFileInfo(path + QStringLiteral("-journal")).size() > 0;
}

// Moves the database file from to to, with what the engine left beside it.
bool moveDatabaseFile(const QString& from, const QString& to, QString* error)
{
    if (!FileOps::replaceWith(from, to, error))
        return false;
    for (const QString& suffix : Companions) {
        if (QFileInfo::exists(from + suffix))
            FileOps::replaceWith(from + suffix, to + suffix);
    }
    return true;
}

} // namespace

BackupKeeper::BackupKeeper(const Paths& paths, Settings& settings)
    : m_paths(paths)
    , m_settings(settings)
{ }

QString BackupKeeper::backupPath() const
{
    return m_paths.backupPath();
}

bool BackupKeeper::isBackup(const QString& file) const
{
    if (file.isEmpty())
        return false;
    if (FileOps::samePathIgnoringCase(file, backupPath()))
        return true;
    const QFileInfo a(file), b(backupPath());
    return a.exists() && b.exists() && a.canonicalFilePath() == b.canonicalFilePath();
}

QString BackupKeeper::recordedStamp() const
{
    return m_settings.read(StampSection, StampKey);
}

void BackupKeeper::record()
{
    m_settings.write(StampSection, StampKey, stampOf(backupPath()));
}

BackupKeeper::State BackupKeeper::state() const
{
    const QString path = backupPath();
    if (!QFileInfo(path).isFile())
        return State::Missing;
    if (holdsPendingPages(path))
        return State::Changed;
    const QString recorded = recordedStamp();
    if (recorded.isEmpty())
        return State::Unknown;
    return recorded == stampOf(path) ? State::Unchanged : State::Changed;
}

QString BackupKeeper::keptName(const QDateTime& modified) const
{
    const QFileInfo backup(backupPath());
    const QString stem = backup.completeBaseName() + QLatin1Char('-') + modified.toString(u"yyyyMMdd-HHmmss");
    const QString suffix = QLatin1Char('.') + backup.suffix();
    QString name = backup.absoluteDir().filePath(stem + suffix);
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = backup.absoluteDir().filePath(stem + QStringLiteral("-%1").arg(n) + suffix);
    return name;
}

BackupKeeper::Outcome BackupKeeper::write(const QString& source, const FileOps::Progress& progress)
{
    Outcome outcome;
    const QString path = backupPath();
    outcome.previous = state();
    if (!appliesTo(source))
        return outcome;
    const bool hadOne = outcome.previous != State::Missing;
    const QString keptOld = hadOne ? QStringLiteral("前回のバックアップをそのまま残しました。") : QString();
    const QString failed = QStringLiteral("データベースのバックアップに失敗しました。");

    if (!m_paths.ensureDataDir()) {
        outcome.failure = FailureCause::withCause(failed, FailureCause::ofWrite(path));
        return outcome;
    }
    // The new copy is complete and checked before anything happens to the old one.
    const QString fresh = FileOps::temporaryPathFor(path);
    const FileOps::FileCheck copy = FileOps::backupDatabase(source, fresh, progress);
    if (!copy.sound()) {
        QFile::remove(fresh);
        if (copy.status == FileOps::FileCheck::Status::Cancelled)
            outcome.failure = QStringLiteral("バックアップの作成を中止しました。")
                + (hadOne ? keptOld : QStringLiteral("バックアップは作成されていません。"));
        else if (copy.status == FileOps::FileCheck::Status::Damaged)
            outcome.failure = failed + QLatin1Char('\r') + DatabaseFiles::damageMessage() + keptOld;
        else
            outcome.failure = FailureCause::withCause(failed, FailureCause::ofWrite(path, copy.detail))
                + (hadOne ? QLatin1Char('\r') + keptOld : QString());
        return outcome;
    }

    QString why;
    if (outcome.previous == State::Changed || outcome.previous == State::Unknown) {
        const QString kept = keptName(QFileInfo(path).lastModified());
        if (!moveDatabaseFile(path, kept, &why)) {
            QFile::remove(fresh);
            outcome.failure
                = FailureCause::withCause(failed, FailureCause::ofWrite(kept, why)) + QLatin1Char('\r') + keptOld;
            return outcome;
        }
        outcome.keptAs = kept;
    }
    if (!FileOps::replaceWith(fresh, path, &why)) {
        QFile::remove(fresh);
        outcome.failure = FailureCause::withCause(failed, FailureCause::ofWrite(path, why));
        if (hadOne && outcome.keptAs.isEmpty())
            outcome.failure += QLatin1Char('\r') + keptOld;
        return outcome;
    }
    // A write-ahead log of the old file must not be taken for pages of the new one.
    for (const QString& suffix : Companions)
        QFile::remove(path + suffix);
    outcome.written = true;
    record();
    return outcome;
}

bool BackupKeeper::appliesTo(const QString& database)
{
    return !DatabaseName::isServer(database);
}

QString BackupKeeper::message(const Outcome& outcome)
{
    QStringList parts;
    if (!outcome.failure.isEmpty())
        parts << outcome.failure;
    if (!outcome.keptAs.isEmpty()) {
        parts << (outcome.previous == State::Changed
                      ? QStringLiteral("前回のバックアップは作成された後に変更されていたため、次の名前で残しました。")
                      : QStringLiteral("前回のバックアップが作成された後に変更されたかどうかを確かめられないため、"
                                       "次の名前で残しました。"))
                + QLatin1Char('\r') + outcome.keptAs;
    }
    return parts.join(QLatin1Char('\r'));
}
