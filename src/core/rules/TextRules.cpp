#include "core/rules/TextRules.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringEncoder>
#include <algorithm>
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

std::optional<double> parseNumber(const QString& text)
{
    QString s;
    s.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= u'０' && c <= u'９')
            s += QChar(u'0' + (c - u'０'));
        else if (c == u'．')
            s += QLatin1Char('.');
        else if (c == u'，' || c == u',')
            continue; // thousands separators carry no value
        else if (c == u'－' || c == u'−' || c == u'ー')
            s += QLatin1Char('-');
        else if (c == u'＋')
            s += QLatin1Char('+');
        else if (c == u'　')
            s += QLatin1Char(' ');
        else
            s += ch;
    }
    s = s.trimmed();
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)$)"));
    if (!number.match(s).hasMatch())
        return std::nullopt;
    return s.toDouble();
}

double lineAmount(double unitPrice, double quantity)
{
    return std::trunc(unitPrice * quantity);
}

} // namespace TextRules

namespace TextRules {

QString formatAmount(double amount)
{
    static const QLocale grouped(QLocale::English, QLocale::UnitedStates);
    return grouped.toString(qint64(std::llround(amount)));
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

namespace TextRules {

ContainsFilter containsFilter(const QString& column, const QString& text)
{
    const bool letters = std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    });
    if (text.isEmpty()) // every row with a name
        return { QStringLiteral(R"("%1" IS NOT NULL AND coalesce(?, '') = '')").arg(column), text };
    if (letters)
        return { QStringLiteral(R"("%1" LIKE ? ESCAPE '\')").arg(column), containsPattern(text) };
    return { QStringLiteral(R"(instr("%1", ?) > 0)").arg(column), text };
}

} // namespace TextRules
