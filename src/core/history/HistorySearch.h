// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/history/ChangeHistory.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

// The search of a date's change history as the user types it: a name, an amount range and a
// time range, each part optional. Read into a ChangeHistory::Filter, or refused with a message
// that names the box at fault.
namespace HistorySearch {

struct Input
{
    QDate date;
    QString name;
    QString minAmount; // 価格 from / to, as typed (full-width digits and "1,000" taken)
    QString maxAmount;
    QString from; // "yyyy/MM/dd", "yyyy/MM/dd hh:mm" or "yyyy/MM/dd hh:mm:ss"
    QString until;
};

// Which box a refusal is about.
enum class Box
{
    MinAmount,
    MaxAmount,
    From,
    Until,
};

struct Refusal
{
    Box box;
    QString message;
};

// The filter the input stands for; a refusal when a box holds what is no amount or no time,
// or a range runs backwards. A date alone in "until" takes in the whole of that day.
std::optional<ChangeHistory::Filter> filterOf(const Input& input, Refusal* refusal = nullptr);

// A time as typed; nullopt when the text is no time. endOfDay: a date without its time stands
// for the moment after that day (the end of a range) rather than its start.
std::optional<QDateTime> timeOf(const QString& text, bool endOfDay);

// The conditions typed, in words, for a printed page: "品名「りんご」、価格 100 ～ 500、
// 日時 2026/03/31 10:00 から". Empty when nothing narrows the date's history.
QString conditionText(const Input& input);

// What an entry did, as the lists and the sheet show it beside the entry's line ID and name: a
// line added or deleted by the values it had, without its ID and name, without the date when it
// is date (the date shown), and without empty columns; anything else as ChangeHistory::describe.
QString contentText(const ChangeHistory::Entry& entry, QDate date);
// A value of a line's column as written in a history entry: numbers without separators (as the
// correction grid shows them), empty for none.
QString valueText(const QVariant& value);

// An entry's time as lists, prints and exports show it: "2026/03/31 14:05:33".
QString timeText(const QDateTime& time);

} // namespace HistorySearch
