// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

// What one counted line is made of when it is registered.
struct LineInput
{
    QDate date;
    int categoryId = 0; // 0: without a category
    QString product;
    double quantity = 0;
    QString unit;
    double unitPrice = 0;
    QString memo;
};

struct RegisteredLine
{
    int lineId = 0;
    int productId = 0;
    double amount = 0;
};

// The note a line gets when it was counted without a unit price.
inline constexpr auto NoUnitPriceNote = "単価未入力";

// Registers a counted line in one transaction: the unit when it is new, the product
// (new, or updated with this unit and unit price), and the line itself with its amount
// = unit price × quantity truncated toward zero. Nothing is written when a step fails.
// Nothing is written either when the file is no longer the one opened (deleted or replaced
// by another program): the line would go where nobody sees it again.
// alongside, when given, runs inside the same transaction once the line is written (what
// must be written with the line or not at all); false from it (with error) writes nothing.
using AlongsideLine = std::function<bool(const RegisteredLine& line, QString* error)>;
std::optional<RegisteredLine> registerLine(const Database& db, const LineInput& line, QString* error = nullptr,
                                           const AlongsideLine& alongside = {});

// Writes line over the counted line lineId, in one transaction with the masters as
// registerLine() keeps them; refused (nothing written) when the line is gone or its date or
// the new one is finalised.
std::optional<RegisteredLine> changeLine(const Database& db, int lineId, const LineInput& line,
                                         QString* error = nullptr);

// The category of exactly this name (ID >= 1), registered with the next ID when there is
// none. nullopt when the database refused (the engine's text in error), or when a new one
// would go to a file that is no longer the one opened.
std::optional<int> findOrRegisterCategory(const Database& db, const QString& name, bool* registered = nullptr,
                                          QString* error = nullptr);

struct ProductInfo
{
    int id = 0;
    QVariant unit; // null when the product has none
    QVariant unitPrice;
};
// The product of exactly this name; nullopt when there is none (or the database refused).
// Read for the entry screen: a file another program holds is not waited for.
std::optional<ProductInfo> findProduct(const Database& db, const QString& name);

struct HistoryLine
{
    QDate date;
    QString product;
    QVariant quantity;
    QVariant unit;
    QVariant unitPrice;
};
// Earlier lines whose product name contains text, newest first; none when the file cannot
// be read now (another program holds it: this is not waited for).
QList<HistoryLine> lineHistory(const Database& db, const QString& text, int limit = 500);

// The lines of a date that have an amount, and their total, as the status line shows them.
struct DateTotals
{
    qint64 count = 0;
    std::optional<double> total; // none while no line has an amount

    // "Max Record 12   Total 34,560"; nothing after "Total " without a total.
    QString text() const;
};
// nullopt when the lines could not be read (with the engine's text in error): an unread date
// is not an empty one. A status line shows it, so a file another program holds is not waited for.
// The figures of a date are counted once and kept with the database (Database::remember) while
// its rows stay as they are: registerLine(), deleteLine() and a correction through LinesModel
// bring them up to date with the line they change, and any other change to the file, this
// program's or another's, has them counted again.
std::optional<DateTotals> dateTotals(const Database& db, QDate date, QString* error = nullptr);

// A line's date and amount (null: none), as the kept totals of dates take it.
struct LineAmount
{
    QString day; // as stored
    QVariant amount;
};
// Brings the kept totals of dates up to date after a change this connection made since before
// (taken with Database::changeStamp() just before the change): the lines in gone left their
// dates, those in come joined theirs. Totals the change cannot be carried over to exactly are
// forgotten, to be counted again.
void carryDateTotals(const Database& db, const std::optional<Database::ChangeStamp>& before,
                     const QList<LineAmount>& gone, const QList<LineAmount>& come);

// dateTotals(db, date)->text(); empty when the lines could not be read.
QString statusLineText(const Database& db, QDate date);

bool deleteLine(const Database& db, int lineId, QString* error = nullptr);

// The form a date is stored in.
QString storedDate(QDate date);
