// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/rules/TextRules.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringEncoder>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace TextRules {

int byteLength(const QString& text)
{
    int length = 0;
    QStringEncoder encoder("windows-31j");
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x80) {
            ++length;
            continue;
        }
        if (c >= 0xFF61 && c <= 0xFF9F) { // half-width katakana
            ++length;
            continue;
        }
        const QString one = QString::fromUcs4(&c, 1);
        encoder.resetState();
        const QByteArray bytes = encoder.encode(one);
        length += encoder.hasError() || bytes.isEmpty() ? 2 : int(bytes.size());
    }
    return length;
}

int nameLimit(Name name)
{
    return name == Name::Unit ? 4 : 40;
}

std::optional<QString> nameTooLong(Name name, const QString& text)
{
    if (byteLength(text) <= nameLimit(name))
        return std::nullopt;
    switch (name) {
    case Name::Category:
        return QStringLiteral("項目/分類名は全角で２０文字以内にしてください。");
    case Name::Product:
        return QStringLiteral("品名は全角で２０文字以内にしてください。");
    case Name::Unit:
        return QStringLiteral("単位は全角で２文字以内にしてください。");
    }
    return std::nullopt;
}

namespace {

// Characters of the spreadsheet forms in the ASCII copy of a text: letters no typed number holds.
constexpr char YenMark = 'Y';
constexpr char TriangleMark = 'T'; // △ ▲: an accounting negative
constexpr char EnMark = 'J'; // 円 after the number

void skipBlanks(const char*& begin, const char*& end)
{
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && end[-1] == ' ')
        --end;
}

// The marks a spreadsheet puts around a number, taken off begin and end: before the digits at
// most one sign of any form ("-", "+", "(", "△", "▲") and at most one yen sign, in either order
// and with blanks between ("-\1,200", "\-1,200", "\ (1,000)"); after them the closing
// parenthesis of an opening one and "円" (not with a yen sign as well). False when the marks do
// not go together. sign is the sign written, 0 for none.
bool takeSpreadsheetMarks(const char*& begin, const char*& end, char* sign)
{
    bool yen = false;
    *sign = 0;
    for (skipBlanks(begin, end); begin < end; skipBlanks(begin, end)) {
        const char c = *begin;
        if (c == YenMark && !yen)
            yen = true;
        else if ((c == '+' || c == '-' || c == '(' || c == TriangleMark) && *sign == 0)
            *sign = c;
        else
            break;
        ++begin;
    }
    bool closed = *sign != '(';
    bool en = false;
    for (; end > begin; skipBlanks(begin, end)) {
        const char c = end[-1];
        if (c == ')' && !closed)
            closed = true;
        else if (c == EnMark && !en && !yen)
            en = true;
        else
            break;
        --end;
    }
    return closed;
}

} // namespace

std::optional<double> parseNumber(const QString& text, NumberForms forms)
{
    const bool spreadsheet = forms == NumberForms::Spreadsheet;
    // The text in ASCII: full-width digits, signs and marks as their half-width forms,
    // every kind of blank as a space. Anything else cannot be part of a number. (Imports
    // read millions of numbers: no regular expression, no allocation.)
    char buffer[256];
    int length = 0;
    for (const QChar ch : text) {
        char16_t c = ch.unicode();
        if (c >= u'０' && c <= u'９')
            c = char16_t(u'0' + (c - u'０'));
        else if (c == u'．')
            c = u'.';
        else if (c == u'，')
            c = u',';
        else if (c == u'－' || c == u'−' || c == u'ー')
            c = u'-';
        else if (c == u'＋')
            c = u'+';
        else if (ch.isSpace())
            c = u' ';
        else if (spreadsheet) {
            switch (c) {
            case u'\\': // the yen sign of code page 932 (byte 0x5C) as it is decoded
            case u'¥':
            case u'￥':
                c = YenMark;
                break;
            case u'△':
            case u'▲':
                c = TriangleMark;
                break;
            case u'円':
                c = EnMark;
                break;
            case u'（':
                c = u'(';
                break;
            case u'）':
                c = u')';
                break;
            case u'Ｅ':
            case u'ｅ':
                c = u'E';
                break;
            default:
                break;
            }
        }
        if (c >= 0x80 || length == int(sizeof buffer))
            return std::nullopt;
        buffer[length++] = char(c);
    }
    const char* begin = buffer;
    const char* end = buffer + length;
    skipBlanks(begin, end);
    bool negative = false;
    if (spreadsheet) {
        char sign = 0;
        if (!takeSpreadsheetMarks(begin, end, &sign))
            return std::nullopt;
        // The accounting format writes zero as a dash alone.
        if (begin == end)
            return sign == '-' ? std::optional(0.0) : std::nullopt;
        negative = sign == '-' || sign == '(' || sign == TriangleMark;
    } else if (begin < end && (*begin == '+' || *begin == '-')) {
        negative = *begin++ == '-';
    }

    // Digits with at most one decimal point, or commas between groups of three digits of
    // the whole part: "1,5" is a typing slip (or a decimal comma), never fifteen.
    // A spreadsheet's exponent ("E+03") may follow digits that are not grouped.
    char digits[256 + 8];
    int kept = 0;
    int wholeDigits = 0, digitCount = 0, groupDigits = -1;
    bool point = false;
    const char* p = begin;
    for (; p < end; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            ++digitCount;
            if (!point) {
                ++wholeDigits;
                if (groupDigits >= 0 && ++groupDigits > 3)
                    return std::nullopt;
            }
        } else if (c == '.' && !point) {
            point = true;
            if (groupDigits >= 0 && groupDigits != 3)
                return std::nullopt;
        } else if (c == ',' && !point) {
            if ((groupDigits < 0 && (wholeDigits < 1 || wholeDigits > 3)) || (groupDigits >= 0 && groupDigits != 3))
                return std::nullopt;
            groupDigits = 0;
            continue;
        } else if ((c == 'E' || c == 'e') && spreadsheet && digitCount > 0 && groupDigits < 0) {
            break;
        } else {
            return std::nullopt;
        }
        digits[kept++] = c;
    }
    if (digitCount == 0 || (groupDigits >= 0 && !point && groupDigits != 3))
        return std::nullopt;
    if (p < end) { // the exponent: a sign, then one to three digits
        digits[kept++] = 'e';
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            digits[kept++] = *p++;
        const char* const exponent = p;
        for (; p < end && *p >= '0' && *p <= '9' && p - exponent < 3; ++p)
            digits[kept++] = *p;
        if (p != end || p == exponent)
            return std::nullopt;
    }
    // from_chars gives the double nearest to the decimal written: 1.2E+03 is 1200 exactly.
    double value = 0;
    const std::from_chars_result read = std::from_chars(digits, digits + kept, value);
    if (read.ec != std::errc() || read.ptr != digits + kept)
        return std::nullopt;
    return negative ? -value : value;
}

bool fitsSheet(double number)
{
    static const double limit = std::pow(10.0, MaxIntegerDigits);
    return std::isfinite(number) && std::fabs(number) < limit;
}

NumberInput readNumber(const QString& field, const QString& text, NumberForms forms)
{
    if (text.trimmed().isEmpty())
        return {};
    const std::optional<double> number = parseNumber(text, forms);
    if (!number)
        return { std::nullopt, field + QStringLiteral("は数字で入力してください。") };
    if (!fitsSheet(*number))
        return { std::nullopt, field + QStringLiteral("は整数部１２桁以内で入力してください。") };
    return { number, QString() };
}

namespace {

__extension__ typedef __int128 Wide;

// A finite number as the shortest decimal that reads back as the same double:
// digits × 10^exponent ("4.35" is 435 × 10^-2, whatever its binary value is).
struct Decimal
{
    qint64 digits = 0;
    int exponent = 0;
};

Decimal shortestDecimal(double x)
{
    const QString text = QString::number(x, 'e', QLocale::FloatingPointShortest); // "-4.35e+00"
    const qsizetype e = text.indexOf(QLatin1Char('e'));
    QString mantissa = text.left(e);
    const qsizetype point = mantissa.indexOf(QLatin1Char('.'));
    int fractionDigits = 0;
    if (point >= 0) {
        fractionDigits = int(mantissa.size() - point - 1);
        mantissa.remove(point, 1);
    }
    return { mantissa.toLongLong(), text.mid(e + 1).toInt() - fractionDigits };
}

} // namespace

double lineAmount(double unitPrice, double quantity)
{
    const double binary = std::trunc(unitPrice * quantity);
    if (!std::isfinite(binary) || unitPrice == 0 || quantity == 0)
        return binary == 0 ? 0 : binary;
    // Up to 17 digits each, the product of the two decimals has at most 34 and fits.
    const Decimal a = shortestDecimal(unitPrice);
    const Decimal b = shortestDecimal(quantity);
    Wide product = Wide(a.digits) * Wide(b.digits);
    int exponent = a.exponent + b.exponent;
    for (; exponent < 0 && product != 0; ++exponent)
        product /= 10; // toward zero, one digit at a time
    if (exponent > 0)
        return binary; // no fraction to cut off: the binary product is as good
    return double(product);
}

} // namespace TextRules

namespace TextRules {

QString formatAmount(double amount)
{
    if (!std::isfinite(amount))
        return {};
    // Grouped from the digits themselves: a sum beyond the range of a 64-bit integer
    // is still shown as the number it is.
    QString digits = QString::number(std::fabs(std::round(amount)), 'f', 0);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return std::round(amount) < 0 ? QLatin1Char('-') + digits : digits;
}

QString numberText(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return {};
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    // Something else than a number in the column is shown as it is.
    if (!isNumber || value.typeId() == QMetaType::QString)
        return value.toString();
    return QString::number(number, 'f', QLocale::FloatingPointShortest);
}

QString containsPattern(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    escaped.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

} // namespace TextRules
