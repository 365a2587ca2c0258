// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>

// The JAN (EAN-13, EAN-8), UPC-A and in-store codes of the products, kept in 商品コード.
// A product may have several codes (piece, pack, case); a code belongs to one product.
namespace ProductCodes {

enum class Form
{
    Ean13,
    Ean8,
    UpcA, // kept as the EAN-13 with a leading 0
    InStore, // an EAN-13 starting 20–29: the shop's own
};

// What a typed or scanned text is as a code.
struct Checked
{
    QString code; // as it is kept: 13 or 8 digits; empty when the text is not a valid code
    Form form = Form::Ean13;
    QString error; // why not, in Japanese, for the user; empty when valid
    bool valid() const { return !code.isEmpty(); }
};

// Checks a code: digits only (full-width digits count as digits, blanks around are
// dropped), 8, 12 or 13 of them, the last the check digit of the others. A wrong check
// digit says which digit was expected.
Checked check(const QString& text);

// The check digit of the digits before it (GS1's modulo 10); -1 when text is not digits.
int checkDigit(QStringView digits);

// Whether text has the shape of a code (8, 12 or 13 digits, full-width ones too), check
// digit right or wrong: the entry screen takes such a text as a scan rather than a name.
bool looksLikeCode(const QString& text);

// check() for a code to go on a product: also refused (error naming the owner) when the
// code is on another product. A code left behind by a product that is gone is free.
Checked checkFor(const Database& db, int productId, const QString& text);

// The product a code belongs to.
struct Owner
{
    int productId = 0;
    QString name;
    QVariant unit; // null when the product has none
    QVariant unitPrice;
};

// Whether the file holds codes (it may be older, opened read-only as it is).
bool available(const Database& db);

// The product of a valid code (as check() keeps it); nullopt when none has it, the file is
// older than the codes or cannot be read now (another program holds it: not waited for).
std::optional<Owner> findByCode(const Database& db, const QString& code);

// A product's codes, the first one first; empty when it has none.
QStringList codesOf(const Database& db, int productId);

// Attaches a code (any form check() takes) to a product, after the codes it has. False
// with the reason in error (Japanese, for the user) when the code is not valid, belongs to
// another product (named), the product does not exist or the file refused. Attaching a
// code the product has already is no change and succeeds.
bool addCode(const Database& db, int productId, const QString& text, QString* error = nullptr);

// Replaces a product's codes by codes, in that order, in one transaction; nothing changes
// when one of them is not valid or belongs to another product (error says which).
bool setCodes(const Database& db, int productId, const QStringList& codes, QString* error = nullptr);

// Takes a code off whatever product has it.
bool removeCode(const Database& db, const QString& code, QString* error = nullptr);

// The product the entry screen takes for a name: the first of that name by ID; nullopt
// when there is none.
std::optional<int> productIdByName(const Database& db, const QString& name);

// Calls each for every product with its codes (the first first), by 品名ID; with all,
// also for the products without a code. Codes whose product is gone are not listed. False
// with the driver's text when the file cannot be read.
bool forEachProduct(const Database& db, bool all,
                    const std::function<void(int productId, const QString& name, const QStringList& codes)>& each,
                    QString* error = nullptr);

// The SQL expression of a product's first code, for lists that show it beside the name:
// productIdExpression names the product's ID in the outer query, qualified by its table
// ("仕入商品"."品名ID"): a bare "品名ID" would be the codes' own column.
QString firstCodeExpression(const QString& productIdExpression);

// "コード … は品名「…」に登録されています。": why a code cannot go to another product.
QString inUseMessage(const QString& code, const QString& ownerName);

// The codes of one cell of an imported file: separated by "," or ";" (full-width ones too),
// blanks around each and empty items dropped. Each is as typed: check() tells what it is.
QStringList splitCell(const QString& cell);

} // namespace ProductCodes
