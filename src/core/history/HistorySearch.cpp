// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/history/HistorySearch.h"

#include "core/rules/TextRules.h"

#include <QRegularExpression>
#include <QStringList>

namespace HistorySearch {

namespace {

const QString TimeForm = QStringLiteral("日時は yyyy/MM/dd または yyyy/MM/dd hh:mm の形で入力してください。");

std::optional<double> amountOf(const QString& text, bool* bad)
{
    *bad = false;
    if (text.trimmed().isEmpty())
        return std::nullopt;
    const std::optional<double> value = TextRules::parseNumber(text);
    if (!value)
        *bad = true;
    return value;
}

} // namespace

std::optional<QDateTime> timeOf(const QString& typed, bool endOfDay)
{
    // Full-width digits, slashes, colons and blanks as an input method gives them.
    const QString text = typed.normalized(QString::NormalizationForm_KC).simplified();
    static const QRegularExpression form(
        QStringLiteral(R"(^(\d{4})[/-](\d{1,2})[/-](\d{1,2})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    if (m.captured(4).isEmpty())
        return QDateTime(endOfDay ? date.addDays(1) : date, QTime(0, 0));
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).isEmpty() ? 0 : m.captured(6).toInt());
    if (!time.isValid())
        return std::nullopt;
    // A minute given as the end takes in the whole of that minute, a second the whole second.
    if (!endOfDay)
        return QDateTime(date, time);
    return QDateTime(date, time).addSecs(m.captured(6).isEmpty() ? 60 : 1);
}

std::optional<ChangeHistory::Filter> filterOf(const Input& input, Refusal* refusal)
{
    auto refuse = [refusal](Box box, const QString& message) {
        if (refusal)
            *refusal = { box, message };
        return std::nullopt;
    };
    ChangeHistory::Filter filter;
    filter.date = input.date;
    filter.nameText = input.name.trimmed();
    bool bad = false;
    filter.minAmount = amountOf(input.minAmount, &bad);
    if (bad)
        return refuse(Box::MinAmount, QStringLiteral("価格は数値で入力してください。"));
    filter.maxAmount = amountOf(input.maxAmount, &bad);
    if (bad)
        return refuse(Box::MaxAmount, QStringLiteral("価格は数値で入力してください。"));
    if (filter.minAmount && filter.maxAmount && *filter.minAmount > *filter.maxAmount)
        return refuse(Box::MaxAmount, QStringLiteral("価格の範囲は、小さい方から大きい方へ入力してください。"));
    if (!input.from.trimmed().isEmpty()) {
        const std::optional<QDateTime> from = timeOf(input.from, false);
        if (!from)
            return refuse(Box::From, TimeForm);
        filter.from = *from;
    }
    if (!input.until.trimmed().isEmpty()) {
        const std::optional<QDateTime> until = timeOf(input.until, true);
        if (!until)
            return refuse(Box::Until, TimeForm);
        filter.until = *until;
    }
    if (filter.from.isValid() && filter.until.isValid() && filter.from >= filter.until)
        return refuse(Box::Until, QStringLiteral("日時の範囲は、古い方から新しい方へ入力してください。"));
    return filter;
}

QString conditionText(const Input& input)
{
    QStringList parts;
    if (!input.name.trimmed().isEmpty())
        parts << QStringLiteral("品名「%1」").arg(input.name.trimmed());
    const QString minAmount = input.minAmount.trimmed();
    const QString maxAmount = input.maxAmount.trimmed();
    if (!minAmount.isEmpty() || !maxAmount.isEmpty())
        parts << QStringLiteral("価格 %1 ～ %2").arg(minAmount, maxAmount).simplified();
    const QString from = input.from.simplified();
    const QString until = input.until.simplified();
    if (!from.isEmpty() || !until.isEmpty())
        parts << QString(QStringLiteral("日時 ") + (from.isEmpty() ? QString() : from + QStringLiteral(" から "))
                         + (until.isEmpty() ? QString() : until + QStringLiteral(" まで")))
                     .trimmed();
    return parts.join(QStringLiteral("、"));
}

QString contentText(const ChangeHistory::Entry& e, QDate date)
{
    if (e.kind != ChangeHistory::Kind::Inserted && e.kind != ChangeHistory::Kind::Deleted)
        return ChangeHistory::describe(e);
    const QVariantMap& values = e.kind == ChangeHistory::Kind::Inserted ? e.newValues : e.oldValues;
    QStringList parts;
    for (const QString& column : ChangeHistory::columnOrder()) {
        const QString value = valueText(values.value(column));
        if (column == u"ID" || column == u"品名" || value.isEmpty())
            continue;
        if (column == u"日付" && QDate::fromString(value, Qt::ISODate) == date)
            continue;
        parts << column + QStringLiteral(": ") + value;
    }
    return parts.join(QStringLiteral("、"));
}

QString valueText(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return {};
    const int type = value.typeId();
    if (type == QMetaType::Double || type == QMetaType::LongLong || type == QMetaType::Int)
        return TextRules::numberText(value);
    return value.toString();
}

QString timeText(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

} // namespace HistorySearch
