// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDate>
#include <QLabel>

class Database;

// The mark beside a settlement date that says the date's stocktaking is finalised, and since
// when: 「確定済み（2026/04/10 15:20）」 in red; empty (and hidden) for a date that is not. The
// main window and the entry screen show the same mark.
class FinalisedMark : public QLabel
{
    Q_OBJECT
public:
    explicit FinalisedMark(QWidget* parent = nullptr);

    // Reads the lock of date in db and shows it; true when the date is finalised.
    bool showDate(const Database& db, QDate date);
    bool finalised() const { return m_finalised; }

private:
    bool m_finalised = false;
};
