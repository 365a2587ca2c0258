// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "DatePicker.h"

#include "core/app/Clock.h"
#include "gui/widgets/InputMethodGuard.h"
#include "gui/widgets/Named.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolTip>
#include <utility>

DatePicker::DatePicker(QWidget* parent)
    : QDateEdit(parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QString::fromLatin1(DateText::Format));
    setDateRange(QDate(1900, 1, 1), QDate(9999, 12, 31));
    takesNumbersOnly(this);
    // A date typed or chosen afterwards takes the place of the refused one.
    connect(this, &QDateEdit::dateChanged, this, [this] {
        if (!m_restoring)
            showRefusal(false);
    });
}

void DatePicker::focusInEvent(QFocusEvent* event)
{
    m_typeFromYear = event->reason() == Qt::MouseFocusReason;
    m_run.clear();
    m_dropRest = false;
    m_before = date();
    QDateEdit::focusInEvent(event);
}

void DatePicker::focusOutEvent(QFocusEvent* event)
{
    // What was typed is judged before the picker makes a date of its text on the way out.
    if (!m_dropRest)
        settleRun(true);
    m_run.clear();
    m_dropRest = false;
    QDateEdit::focusOutEvent(event);
}

namespace {

bool isModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta
        || key == Qt::Key_AltGr;
}

// How many digits a part takes once it begins with these: the year four; a month or a day
// whose first digit no second one can follow is complete at once, as the picker takes it.
// Whether keys typed make a whole date as people type one, "2026/3/31" or "20260331": the
// keys of a refused date are dropped up to there.
bool looksWhole(const QString& run)
{
    static const QRegularExpression whole(QStringLiteral("^(\\d{4}/\\d{1,2}/\\d{2}|\\d{8})$"));
    return run.size() >= 10 || whole.match(run).hasMatch();
}

int partWidth(int part, QChar first)
{
    const int digit = first.digitValue();
    if (part == 0)
        return 4;
    return (part == 1 ? digit >= 2 : digit >= 4) ? 1 : 2;
}

} // namespace

void DatePicker::startRun(int part)
{
    m_before = date();
    m_run.clear();
    m_runPart = part;
    m_shownParts = textFromDateTime(dateTime()).split(QLatin1Char('/'));
}

std::optional<QDate> DatePicker::typedDate(bool ended) const
{
    if (m_shownParts.size() != 3)
        return std::nullopt;
    QStringList parts = m_shownParts;
    int part = m_runPart;
    QString current; // the digits typed into the part being typed
    for (const QChar key : m_run) {
        if (part > 2)
            break;
        if (key == QLatin1Char('/')) {
            // A slash ends a part being typed; after a complete part the picker had moved on.
            if (!current.isEmpty()) {
                ++part;
                current.clear();
            }
            continue;
        }
        current += key;
        parts[part] = current;
        if (current.size() >= partWidth(part, current.at(0))) {
            ++part;
            current.clear();
        }
    }
    if (part <= 2 && !ended)
        return std::nullopt;
    if (parts.at(0).size() != 4)
        return QDate();
    const QDate typed(parts.at(0).toInt(), parts.at(1).toInt(), parts.at(2).toInt());
    return typed >= minimumDate() && typed <= maximumDate() ? typed : QDate();
}

bool DatePicker::settleRun(bool ended)
{
    std::optional<QDate> typed;
    if (!m_run.isEmpty()) {
        typed = typedDate(ended);
        if (!typed)
            return true; // still being typed
    } else if (ended && lineEdit()->text() != textFromDateTime(dateTime())) {
        // Text changed otherwise than by a run of keys (erased and typed over): it is taken
        // only as the date it shows.
        typed = QDate::fromString(lineEdit()->text(), QString::fromLatin1(DateText::Format));
        if (typed->isValid() && (*typed < minimumDate() || *typed > maximumDate()))
            typed = QDate();
    } else {
        return true;
    }
    if (!typed->isValid()) {
        refuse(!ended);
        return false;
    }
    m_run.clear();
    if (*typed != date())
        setDate(*typed);
    return true;
}

void DatePicker::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    // Only the first key after the click counts, whatever it is.
    const bool fromYear = std::exchange(m_typeFromYear, false);
    const bool plain
        = typed.size() == 1 && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const bool digit = plain && typed.at(0).isDigit();
    const bool dateKey = digit || (plain && typed == QLatin1String("/"));
    if (!dateKey && !isModifierKey(event->key())) {
        // Any other key (Enter, Tab, an arrow, a deletion) ends what was being typed.
        if (!m_dropRest)
            settleRun(true);
        m_run.clear();
        m_dropRest = false;
    }
    if (m_dropRest && dateKey) {
        m_run += typed;
        showRefusal(true, refusalText());
        if (looksWhole(m_run)) {
            m_run.clear();
            m_dropRest = false;
        }
        event->accept();
        return;
    }
    QLineEdit* edit = lineEdit();
    const QString shown = edit->text();
    const auto where = [edit] { return std::pair(edit->cursorPosition(), edit->selectedText()); };
    const auto wasAt = where();
    if (plain) {
        const int at = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
        // A full year or a month that takes no second digit moves on to the next part by
        // itself; the slash typed after it would skip that part too and send the month
        // into the day. It only confirms the move that was made.
        if (typed == QLatin1String("/") && at > 0 && shown.at(at - 1) == QLatin1Char('/')) {
            if (!m_run.isEmpty())
                m_run += typed;
            event->accept();
            return;
        }
        const bool whole = shown == textFromDateTime(dateTime());
        // With the whole date selected, at its start, or first after the click that came
        // into the picker, a digit starts the year.
        const bool startsYear
            = digit && (fromYear || at == 0 || (edit->hasSelectedText() && edit->selectedText() == shown));
        bool running = !m_run.isEmpty();
        if (startsYear) {
            startRun(0);
            running = true;
            setSelectedSection(sectionAt(0));
        }
        // Every part of a whole date shown has all its digits, so a digit typed at a mere
        // cursor (where a click into the picker leaves it) would be refused; it starts the
        // part under the cursor instead. A part being typed shows fewer digits and is left be.
        else if (digit && whole) {
            if (!edit->hasSelectedText())
                setSelectedSection(currentSection());
            if (!running) {
                startRun(currentSectionIndex());
                running = true;
            }
        }
        if (running && dateKey)
            m_run += typed;
    }
    QDateEdit::keyPressEvent(event);
    if (!dateKey || m_run.isEmpty())
        return;
    // A digit the date cannot take (a 13th month) leaves the text, the cursor and the
    // selection as they were; a date typed whole is checked by its own numbers, whatever
    // the parts made of it.
    if (digit && edit->text() == shown && where() == wasAt)
        refuse(true);
    else
        settleRun(false);
}

QString DatePicker::refusalText() const
{
    return (m_run.isEmpty() ? QStringLiteral("その日付はありません。")
                            : QStringLiteral("「%1」という日付はありません。").arg(m_run))
        + QStringLiteral("日付は %1 のままです。").arg(m_before.toString(QString::fromLatin1(DateText::Format)));
}

void DatePicker::refuse(bool dropRest)
{
    const QString why = refusalText();
    m_dropRest = dropRest && !m_run.isEmpty() && !looksWhole(m_run);
    if (!m_dropRest)
        m_run.clear();
    m_restoring = true;
    setDate(m_before);
    m_restoring = false;
    selectAll();
    showRefusal(true, why);
}

void DatePicker::showRefusal(bool shown, const QString& why)
{
    if (!shown && !m_refusedSign)
        return;
    m_refusedSign = shown;
    setStyleSheet(shown ? QStringLiteral("QDateEdit { border: 2px solid #d00000; }") : QString());
    setToolTip(why);
    if (shown)
        QToolTip::showText(mapToGlobal(QPoint(0, height())), why, this);
    else
        QToolTip::hideText();
}

QDateEdit* makeDatePicker(QWidget* parent)
{
    return named(new DatePicker(parent), "DTPicker1");
}
