// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/masters/MasterModel.h"

#include <QDate>
#include <QString>
#include <functional>
#include <optional>

class AppState;
class Database;

// Lists written to an .xlsx workbook: the lines of a settlement date as the summary list
// shows them, and the product list. One sheet "Sheet1", a heading row, then one row per
// line in the list's order; amounts and quantities as numbers, names exactly as stored.
namespace SpreadsheetExport {

enum class LinesView
{
    All, // "棚卸をすべて表示"
    WithoutUnitPrice, // "単価未入力の棚卸"
};

// The view of the summary list that has an export; nullopt for the other views.
std::optional<LinesView> linesView(const QString& viewName);

// 項目分類, 品名, 数量, 単位, 単価, 金額 and the first JANコード of the line's product for
// each line of the date (in ID order) whose category is registered; the codes' column is
// empty in a file older than the codes. A date without lines gives the heading row alone.
// On failure error holds the message for the user and target is as it was.
bool writeLines(const Database& db, QDate date, LinesView view, const QString& target, QString* error);

// 品名, 単位, 単価 and the first JANコード of every product, by 品名ID or by name (equal names
// in ID order); the codes' column is empty in a file older than the codes.
// A list longer than a sheet holds is refused before anything is written.
bool writeProducts(const Database& db, MasterOrder order, const QString& target, QString* error);

// The export of a screen: asks for the file name ("名前を付けて保存"), asks before replacing an
// existing file, writes, and opens the workbook with the desktop's program for it. Any
// failure is told in a message. True when the file was written.
bool exportLines(AppState& state, QDate date, const QString& viewName);
bool exportProducts(AppState& state, MasterOrder order);

// The same for any list: writeTo writes the workbook to the file chosen (false with the
// message for the user in its error); the file is then opened.
bool saveAndOpen(AppState& state, const std::function<bool(const QString& target, QString* error)>& writeTo);

} // namespace SpreadsheetExport
