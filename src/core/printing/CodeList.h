// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/SheetLayout.h"
#include "core/store/Database.h"

#include <QDate>
#include <QString>
#include <optional>

// The code list (商品コード一覧表): the products of the master with their codes as bars, one
// row for each code, with the product's name, unit and unit price and the kind of the code
// (JAN, EAN-8, UPC-A, the shop's own 店内コード), by name in Japanese order. A list to scan
// from: for the products whose packages carry no code, and for the shop's own codes.
namespace CodeList {

// The layout of one category's list (its name above every page), or of all products.
SheetLayout layout(bool oneCategory);

// The codes of all products, or of the products counted under the category of categoryId (on
// any date). made is the date printed as the list's date. nullopt with the message for the user
// in problem when no product has a code or the database refused.
std::optional<SheetDocument> load(const Database& db, QDate made, std::optional<int> categoryId, QString* problem);

// How many products have no code (all, or those of the category), and are not on the list.
std::optional<qint64> productsWithoutCode(const Database& db, std::optional<int> categoryId);

// The title of the print job and of the PDF file.
QString documentTitle(QDate made);

SheetPrinted draw(PageSurface& surface, const SheetDocument& document, const QString& fontFamily);

// The list written into a PDF file, beside path and renamed over it when complete. nullopt
// with the reason in error on failure (error empty when the progress of setup cancelled it).
std::optional<SheetPrinted> writePdf(const SheetDocument& document, const QString& fontFamily, const QString& path,
                                     QString* error, const PageSetup& setup = {});

} // namespace CodeList
