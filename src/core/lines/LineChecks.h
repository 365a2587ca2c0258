// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariantList>
#include <optional>

// A choice of lines of 棚卸マスター: a condition with its bound values.
struct LineSelection
{
    QString condition; // empty: every line
    QVariantList values;
};

namespace LineSelections {
LineSelection ofCategory(QDate date, int categoryId);
// Lines of the date whose product name contains text (every line of the date for an empty text).
LineSelection ofProduct(const Database& db, QDate date, const QString& text);
LineSelection all();
LineSelection withoutUnitPrice(QDate date);
// Lines of the date marked by the last check (区分調整 = 1).
LineSelection marked(QDate date);
// Lines of the date whose category, or product, has no master row; found without marking
// them, for a file that cannot be written.
LineSelection missingCategory(QDate date);
LineSelection missingProduct(QDate date);
} // namespace LineSelections

// Marks with 区分調整 = 1 exactly the lines of the date whose 項目ID has no row in 項目分類,
// and clears the mark on the others, in one statement that writes only the marks that
// change. Returns how many are marked;
// nullopt when the database refused.
std::optional<int> markLinesWithoutCategory(const Database& db, QDate date);

// Moves the marked lines of the date to 項目ID 0 and clears their mark. Returns the
// selection of the lines moved, so they can stay in view; nullopt when the database refused
// or the date is finalised (then error says so, naming the date and the time of finalising,
// and nothing is written).
std::optional<LineSelection> moveMarkedLinesToNoCategory(const Database& db, QDate date, QString* error = nullptr);

// Marks with 区分調整 = 1 exactly the lines of the date whose 品名ID has no row in 仕入商品,
// and clears the mark on the others, in one statement that writes only the marks that
// change. Returns how many are marked; nullopt when the database refused.
std::optional<int> markLinesWithoutProduct(const Database& db, QDate date);

// A line of a date whose category or product has no master row.
struct LineWithoutMaster
{
    int id = 0;
    int categoryId = 0;
    int productId = 0;
    QString name;
    double quantity = 0;
    QString unit;
    bool categoryMissing = false;
    bool productMissing = false;
};

// The lines of the date whose category or product is missing, in ID order, read without
// writing any mark; nullopt when the database refused.
std::optional<QList<LineWithoutMaster>> linesWithoutMaster(const Database& db, QDate date);
