// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <optional>

// Reading the change history (変更履歴) of the counted lines: what the triggers and the program
// recorded (core/store/HistoryTrail.h tells how it is written). Everything here only reads.
namespace ChangeHistory {

enum class Kind
{
    Inserted, // 追加: a line was added (new values: every column)
    Changed, // 変更: columns of a line changed (old and new values of those columns only)
    Deleted, // 削除: a line was deleted (old values: every column)
    Imported, // インポート: lines imported at once (new values: "ファイル", "行数")
    BulkDeleted, // データ削除: every line deleted at once (old values: "行数")
    Finalised, // 確定: the date was finalised ("行数", "合計", "明細SHA256", "PDFSHA256", "様式")
    Undone, // 確定の取消: a finalisation undone ("理由")
    Other, // a kind this program does not know (written by another program)
};

struct Entry
{
    qint64 number = 0; // 番号: increasing in the order written
    QDateTime time; // local time, to the millisecond
    Kind kind = Kind::Other;
    QString kindName; // as stored: "追加", "変更", …
    qint64 lineId = 0; // 0 for entries about no single line
    QDate date; // invalid for entries about every date
    QVariantMap oldValues; // column → value; empty for none
    QVariantMap newValues;
    QString station; // "user@host", "外部のプログラム", or empty while not yet marked
    bool outside = false; // written without this program
    bool sealed = false;
    // The line's name and amount as the entry tells them (new values, else old ones, else the
    // line as it is now); empty / nullopt when none is known.
    QString name;
    std::optional<double> amount;
};

// The columns of an entry's changes in the order of 棚卸マスター.
QStringList columnOrder();
// "数量: 3 → 5、単価: 100 → 120" for a change; "インポート 棚卸.txt（1,000 行）" and the like
// for the other kinds: one line of text for lists, prints and exports.
QString describe(const Entry& entry);
// The column headings a list, print or export of entries uses, and an entry's cells under them:
// 番号, 日時, 種類, ID, 日付, 品名, 金額, 内容, 端末.
QStringList headings();
QStringList cells(const Entry& entry);

// The history of one line (by its ID), oldest first. nullopt when the file cannot be read
// (or has no history: an older file opened read-only).
std::optional<QList<Entry>> ofLine(const Database& db, qint64 lineId);

// What a date's history is narrowed to; empty members do not narrow it.
struct Filter
{
    QDate date; // required: the entries of this date (the bulk deletions of every date included)
    QString nameText; // the line's name contains it (old, new or current name)
    std::optional<double> minAmount; // the line's amount (価格) at least / at most this
    std::optional<double> maxAmount;
    QDateTime from; // written at or after / before this time
    QDateTime until;
};

// The entries of the filter in the order written (time order), from the one after
// afterNumber (0: from the first), at most limit of them: a list reads page after page, each
// page reading on from afterNumber in number order until it has limit entries, so no page
// costs more than the rows between it and the one before. nullopt when the file cannot be read.
std::optional<QList<Entry>> page(const Database& db, const Filter& filter, qint64 afterNumber, int limit);
// How many entries the filter holds; nullopt when the file cannot be read.
std::optional<qint64> count(const Database& db, const Filter& filter);
// Every entry of the filter in order, one at a time (false from visit stops, which is no
// failure); false when the file cannot be read. For prints and exports of any size.
bool forEach(const Database& db, const Filter& filter, const std::function<bool(const Entry&)>& visit);

} // namespace ChangeHistory
