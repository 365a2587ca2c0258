// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>
#include <QVariant>
#include <optional>

// How typed text is measured and read.
namespace TextRules {

// Length of the text in code page 932 (Shift_JIS): half-width characters count 1,
// full-width 2. A character the code page cannot hold counts 2.
int byteLength(const QString& text);

// The names typed during entry and their limits, in code page 932 bytes: 40 for a
// category or product (20 full-width characters), 4 for a unit (2 full-width).
enum class Name
{
    Category,
    Product,
    Unit
};
int nameLimit(Name name);
// The message for a text over its name's limit; nullopt when the text fits.
std::optional<QString> nameTooLong(Name name, const QString& text);

// Which ways of writing a number are taken.
enum class NumberForms
{
    // As a user types it, with or without the Japanese input method: full-width digits and
    // signs, "．" or "." as the decimal point, "，" or "," between groups of three digits
    // ("1,500"; "1,5" is no number), blanks around it.
    Typed,
    // As a spreadsheet writes a cell in a tab-delimited file, the way it is displayed: what
    // is typed, and also a yen sign before the number ("\1,200" of code page 932, "¥1,200",
    // "￥1,200") or "円" after it ("1,200円"), the accounting forms of a negative number
    // ("(1,000)", "△1,000", "▲1,000"), the accounting zero ("-", "\ -") and the exponent
    // form of a narrow column ("1.2E+03").
    Spreadsheet
};

// The number the text writes; nullopt when the text is no number. The value is the double
// nearest to the decimal written ("1.2E+03" is 1200 exactly).
std::optional<double> parseNumber(const QString& text, NumberForms forms = NumberForms::Typed);

// The sheets print quantities, unit prices and amounts with at most this many digits
// before the decimal point.
inline constexpr int MaxIntegerDigits = 12;
bool fitsSheet(double number);

// A quantity, unit price or amount typed for the field named: the number, or why it is refused.
struct NumberInput
{
    std::optional<double> value; // nullopt for an empty text as well
    QString refusal; // empty when the text is a number that fits, or empty
};
NumberInput readNumber(const QString& field, const QString& text, NumberForms forms = NumberForms::Typed);

// Amount of a line: unit price times quantity as decimal numbers (4.35 × 100 = 435, not the
// binary product's 434.99…), truncated toward zero (12.5 × 3 = 37).
double lineAmount(double unitPrice, double quantity);

} // namespace TextRules

namespace TextRules {
// An amount as it is shown and printed: whole number with thousands separators ("#,##0").
QString formatAmount(double amount);
// A stored number as a grid shows it and its editor starts from it: every digit it has,
// never in exponent form, no grouping ("1234567", "398.5"). Empty for no value.
QString numberText(const QVariant& value);
// A LIKE pattern matching text anywhere, with %, _ and the escape character taken literally
// (use with ESCAPE '\'). The condition every list asks is NameIndex::containsFilter().
QString containsPattern(const QString& text);

} // namespace TextRules
