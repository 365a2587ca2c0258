// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Engine.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

// The change history (変更履歴) of the counted lines and the locks of finalised dates, as the
// file itself keeps them: triggers on 棚卸マスター write a row of 変更履歴 for every line
// inserted, changed or deleted, whatever program writes, and refuse every change to a line of
// a date that 棚卸確定 holds as finalised. The triggers use nothing but what every SQLite
// program has (json_object, strftime), so the sqlite3 program keeps writing the file.
//
// A row as the trigger writes it has no station (端末) and no seal (封印). This program fills
// both for its own rows inside its own transaction, just before the commit (Transaction does
// it): the rows of the transaction get this computer's station, rows another program committed
// before the transaction began get "外部のプログラム", and every row gets its seal, the SHA-256
// of its fields chained to the seal of the row before. Rows another program wrote while the
// file was not open here are marked and sealed the same way at the next opening (read-write).
// The last seal with its row number is also kept in 履歴封印, so a removed last row shows too.
//
// Bulk writes (an import, the deletion of every line) are one row each: while a row of
// 履歴一括 exists (only ever inside the bulk transaction of this program), the line triggers
// write nothing and the program writes one summary row itself.
//
// Changes of 区分調整 alone (the working mark of the checks before printing) are neither
// recorded nor refused: printing a finalised date stays possible.
namespace HistoryTrail {

inline constexpr auto HistoryTable = "変更履歴";
inline constexpr auto FinalisedTable = "棚卸確定";
inline constexpr auto SealTable = "履歴封印";
inline constexpr auto BulkTable = "履歴一括";
// The station of rows written without this program.
inline constexpr auto OutsideStation = "外部のプログラム";
// What the triggers say when a change to a line of a finalised date is refused (a literal:
// the engine's RAISE takes no expression); the program's own checks say more before.
inline constexpr auto LockedByTrigger = "確定済みの棚卸は変更できません。";

// The kinds of 変更履歴 rows (its column 種類).
inline constexpr auto KindInserted = "追加";
inline constexpr auto KindChanged = "変更";
inline constexpr auto KindDeleted = "削除";
inline constexpr auto KindImported = "インポート";
inline constexpr auto KindBulkDeleted = "データ削除";
inline constexpr auto KindFinalised = "確定";
inline constexpr auto KindUndone = "確定の取消";

// The tables, indexes and triggers of schema version 5 (Schema::HistoryVersion), for a new
// file and for the upgrade of an older one alike (the history then starts empty).
// On a server the tables are made with the others (Schema::create); these are what comes
// on top of them there.
QStringList createStatements(Engine engine = Engine::Sqlite);

// This computer's station as written into 端末: "user@host".
QString station();

// Whether the file has the history's tables (schema version 5 or later).
bool hasHistory(const QSqlDatabase& db);

// The number of the last history row as the transaction just begun sees it (0 for none);
// nullopt when the file has no history. Taken by Transaction after its BEGIN. On a server it
// names the transaction's station instead (ownStation, this computer's when empty), which the
// rows its triggers write take as they are written.
std::optional<qint64> markOf(const QSqlDatabase& db, const QString& ownStation = {});
// Inside the transaction begun at mark: gives the rows without station up to mark
// "外部のプログラム" and those after it this computer's station, then seals every unsealed
// row in number order. False with the engine's text in error; the caller rolls back.
// ownStation, when given, stands for this computer's station (a phone counting through us).
bool stampOwn(const QSqlDatabase& db, qint64 mark, QString* error = nullptr, const QString& ownStation = {});
// Puts back the triggers of the history and the locks that another program took away (the
// sqlite3 program can drop them): run at a read-write opening, so the file keeps recording
// and refusing from then on. What was changed meanwhile shows in verify (the lines' hash).
// restored gets the names of the triggers put back.
bool restoreTriggers(const QSqlDatabase& db, QStringList* restored = nullptr, QString* error = nullptr);
// In a transaction of its own: marks every row without station as "外部のプログラム" and
// seals what is unsealed. Run at a read-write opening. Nothing to do costs one look-up.
bool sealOutside(const QSqlDatabase& db, QString* error = nullptr);

// The seal of a row: SHA-256 (hex) of its fields and the seal before it (empty for the first).
QString sealOf(qint64 number, const QString& time, const QString& kind, const QVariant& lineId, const QVariant& date,
               const QVariant& oldValues, const QVariant& newValues, const QString& station,
               const QString& previousSeal);

// Inside the caller's transaction: while it lives the line triggers record nothing; finish()
// writes the one summary row (kind, date — null for every date —, values as a JSON object).
// Destroyed unfinished it takes the marker away only (the caller then rolls back anyway).
class BulkChange
{
public:
    explicit BulkChange(const QSqlDatabase& db);
    ~BulkChange();
    BulkChange(const BulkChange&) = delete;
    BulkChange& operator=(const BulkChange&) = delete;

    bool isActive() const { return m_active; }
    bool finish(const QString& kind, const QString& day, const QString& valuesJson, QString* error = nullptr);

private:
    QSqlDatabase m_db;
    bool m_active = false;
};

// For very many lines added in one transaction of ours (an import) that is one entry of the
// history, with its date checked unlocked inside that transaction: the statements that take the
// triggers of the lines (history and locks) away, and those that put them back before the
// commit. A rollback puts them back as well.
// On the server the triggers stay and a marker of the transaction keeps them from running;
// BulkChange::finish then refuses the change when the date was finalised meanwhile.
QStringList suspendLineTriggers(const QSqlDatabase& db);
QStringList resumeLineTriggers(const QSqlDatabase& db);

// What the readers of the history ask of the engine, in its own words: a member of a JSON
// object as text or as a number (json is an SQL expression of a column holding the object),
// the kind of a column's value as SQLite's typeof names it ("null", "integer", "real", "text",
// "blob"), and the time now as the history writes it.
QString jsonText(const QSqlDatabase& db, const QString& json, const QString& key);
QString jsonNumber(const QSqlDatabase& db, const QString& json, const QString& key);
QString valueType(const QSqlDatabase& db, const QString& column);
QString timeNow(const QSqlDatabase& db);

// A finalised date: since when, by which row of 棚卸確定.
struct DateLock
{
    QDate date;
    QDateTime since;
    qint64 finalisation = 0;
};

// The lock of date when it is finalised now; nullopt when it is not (or the file has no history).
std::optional<DateLock> lockOf(const Database& db, QDate date);
// Every finalised date, oldest date first.
QList<DateLock> locks(const Database& db);
// "2026/03/31 の棚卸は 2026/04/10 15:30 に確定されています。…": what a refused change says.
QString refusal(const DateLock& lock);
// True (with refusal() in error) when date is finalised: the change is not to be made.
bool refuseLocked(const Database& db, QDate date, QString* error);
// True (with the refusal of the first) when any date is finalised: for changes to every line.
bool refuseAnyLocked(const Database& db, QString* error);
// The engine's error text said by a lock trigger: what to show instead, naming a locked date
// when one of dates (as stored) is; the text itself otherwise.
QString explainRefusal(const Database& db, const QString& engineError, const QStringList& dates = {});

} // namespace HistoryTrail
