// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDate>
#include <QString>

// The source of "today", injectable so tests can fix the day.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDate today() const override { return QDate::currentDate(); }
};

class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDate day)
        : m_day(day)
    { }
    QDate today() const override { return m_day; }
    void setToday(QDate day) { m_day = day; }

private:
    QDate m_day;
};

// Dates are shown, stored in settings and put into messages in one fixed form.
namespace DateText {
inline constexpr auto Format = "yyyy/MM/dd";
QString toText(QDate date);
QDate fromText(const QString& text); // invalid when text is not in the form
} // namespace DateText
