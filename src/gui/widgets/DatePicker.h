// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDateEdit>
#include <QStringList>
#include <optional>

// The settlement-date picker of a working window: a calendar drops down, the date shows
// as yyyy/MM/dd, and a date typed whole, with or without its slashes ("2026/03/31",
// "2026/3/31", "20260331"), is taken as typed. After a click that brings the keyboard
// into the picker, typing starts at the year wherever the click landed, so a whole date
// typed next replaces the date; a further click places the cursor in one part to change
// that part alone.
//
// A date that does not exist ("2026/02/30", "2026/13/40") is refused, never bent into
// another one: the picker goes back to the date it held before the typing began, frames
// itself in red and says so in a tip, until the next date is typed or chosen. The rest of
// the refused date, still being typed, is dropped with it.
class DatePicker : public QDateEdit
{
public:
    explicit DatePicker(QWidget* parent = nullptr);

    // Whether the picker shows that the last date typed was refused.
    bool showsRefusal() const { return m_refusedSign; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Puts back the date held before the typing began and shows why; dropRest drops the
    // keys of the refused date still to come.
    void refuse(bool dropRest);
    QString refusalText() const;
    void showRefusal(bool shown, const QString& why = {});
    // Starts a run of typed keys in the part with this index (0 year, 1 month, 2 day).
    void startRun(int part);
    // The date the keys typed since the run began stand for, the parts not typed as shown
    // when it began; invalid when there is no such day, nullopt while the last part typed
    // may still take a digit (ended says no more keys come).
    std::optional<QDate> typedDate(bool ended) const;
    // Checks the date of a run that ended or is complete: a date that does not exist is
    // refused, another one is taken as typed. False when it was refused.
    bool settleRun(bool ended);

    bool m_typeFromYear = false;
    // The keys (digits and slashes) typed since a run began, the part it began in, the
    // parts shown then, and the date held before.
    QString m_run;
    int m_runPart = 0;
    QStringList m_shownParts;
    QDate m_before;
    bool m_dropRest = false;
    bool m_refusedSign = false;
    bool m_restoring = false;
};

// The picker of a working window, named "DTPicker1".
QDateEdit* makeDatePicker(QWidget* parent);
