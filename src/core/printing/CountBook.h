// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/SheetLayout.h"
#include "core/store/Database.h"

#include <QDate>
#include <QString>
#include <optional>

// The count book (棚卸記入帳): the lines of an earlier stocktaking by category, with their
// name, unit and unit price as a reference, and empty quantity, price and remark columns for
// the counter's pen. It prints the lines the stocktaking sheet of that date would print.
namespace CountBook {

const SheetLayout& layout();

// The lines of the earlier date: all categories (with 未区分 last), or only the one of
// categoryId. nullopt with the message for the user in problem when the date has no lines
// or the database refused.
std::optional<SheetDocument> load(const Database& db, QDate date, std::optional<int> categoryId, QString* problem);

// The title of the print job and of the PDF file.
QString documentTitle(QDate date);

SheetPrinted draw(PageSurface& surface, const SheetDocument& document, const QString& fontFamily);

// The book written into a PDF file, beside path and renamed over it when complete. nullopt
// with the reason in error on failure (error empty when the progress of setup cancelled it).
std::optional<SheetPrinted> writePdf(const SheetDocument& document, const QString& fontFamily, const QString& path,
                                     QString* error, const PageSetup& setup = {});

} // namespace CountBook
