// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/masters/ProductCodes.h"
#include "core/store/Database.h"

#include <QString>

// What a text ended with Enter in the entry screen's product box stands for: a code of a
// product, a code nobody has yet, a name, or a text shaped like a code that is none.
namespace ScannedCode {

struct Result
{
    enum class Kind
    {
        Found, // a product has the code: owner
        Unknown, // a valid code no product has: code
        Name, // typed by hand, and a product has this text as its name: no code is meant
        NotACode, // error says why (a wrong check digit names the digit expected)
    };
    Kind kind = Kind::NotACode;
    QString code; // as it is kept (13 or 8 digits) when valid
    ProductCodes::Owner owner;
    QString error;
};

// A code is taken whenever a product has it. A text typed by hand that no product has as a
// code, but a product has as its name (names of digits only exist), stays a name; from a
// scanner it is always a code, since a scanner reads nothing else.
Result resolve(const Database& db, const QString& text, bool fromScanner);

} // namespace ScannedCode
