// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/history/ChangeHistory.h"
#include "core/printing/SheetLayout.h"
#include "core/store/Database.h"

#include <QDate>
#include <QString>
#include <optional>

class AppState;

// The change history of a settlement date as an A4 sheet (変更履歴): an entry a row, 28 rows a
// page, with its time, station, kind, line ID, name and what changed; the search it was found
// by under the title, the number of entries on the last page. The entries are read while the
// pages are drawn, so a history of any length prints in little memory.
namespace HistorySheet {

constexpr int RowsPerPage = 28;

QString title(); // "変　更　履　歴"
// The title of the print job and of the PDF file: "変更履歴 2026/03/31".
QString documentTitle(QDate date);
// How many pages entries make: a page per 28, one at least.
int pageCount(qint64 entries);

// Draws the entries of filter from the surface's first page; conditions is the search in
// words (empty: the whole history of the date).
SheetPrinted draw(PageSurface& surface, const Database& db, const ChangeHistory::Filter& filter,
                  const QString& conditions, const QString& fontFamily);

// The sheet written into a PDF file, beside path and renamed over it when complete. nullopt
// with the reason in error on failure (error empty when the progress of setup cancelled it).
std::optional<SheetPrinted> writePdf(const Database& db, const ChangeHistory::Filter& filter, const QString& conditions,
                                     const QString& fontFamily, const QString& path, QString* error,
                                     const PageSetup& setup = {});

} // namespace HistorySheet

// The entries of a search written to an .xlsx workbook, one sheet "Sheet1": 番号, 日時, 種類, ID,
// 日付, 品名, 金額, 内容, 端末, in the order written; numbers as numbers.
namespace HistoryExport {

// On failure error holds the message for the user and target is as it was.
bool write(const Database& db, const ChangeHistory::Filter& filter, const QString& target, QString* error);
// The export of the history screen: asks for the file, writes it and opens it, as every list's
// export does. True when the file was written.
bool exportEntries(AppState& state, const ChangeHistory::Filter& filter);

} // namespace HistoryExport
