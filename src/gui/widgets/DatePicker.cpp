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

bool DatePicker::runIsWhole() const
{
    static const QRegularExpression whole(QStringLiteral("^(\\d{4}/\\d{1,2}/\\d{2}|\\d{8})$"));
    return whole.match(m_run).hasMatch();
}

namespace {

// The date of a whole date as typed, by its numbers; invalid when there is no such day.
QDate typedDate(const QString& run)
{
    if (!run.contains(QLatin1Char('/')))
        return QDate(run.left(4).toInt(), run.mid(4, 2).toInt(), run.mid(6, 2).toInt());
    const QStringList parts = run.split(QLatin1Char('/'));
    return QDate(parts.at(0).toInt(), parts.at(1).toInt(), parts.at(2).toInt());
}

bool isModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta
        || key == Qt::Key_AltGr;
}

} // namespace

void DatePicker::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    // Only the first key after the click counts, whatever it is.
    const bool fromYear = std::exchange(m_typeFromYear, false);
    const bool plain
        = typed.size() == 1 && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const bool dateKey = plain && (typed.at(0).isDigit() || typed == QLatin1String("/"));
    if (!dateKey && !isModifierKey(event->key())) {
        m_run.clear();
        m_dropRest = false;
    }
    if (m_dropRest && dateKey) {
        m_run += typed;
        m_dropRest = !runIsWhole() && m_run.size() < 10;
        showRefusal(true, refusalText());
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
        // With the whole date selected, at its start, or first after the click that came
        // into the picker, a digit starts the year.
        const bool startsYear = typed.at(0).isDigit()
            && (fromYear || at == 0 || (edit->hasSelectedText() && edit->selectedText() == shown));
        if (dateKey && !startsYear && !m_run.isEmpty())
            m_run = runIsWhole() ? QString() : m_run + typed;
        if (startsYear) {
            m_before = date();
            m_run = typed;
            setSelectedSection(sectionAt(0));
        }
        // Every part of a whole date shown has all its digits, so a digit typed at a mere
        // cursor (where a click into the picker leaves it) would be refused; it starts the
        // part under the cursor instead. A part being typed shows fewer digits and is left be.
        else if (typed.at(0).isDigit() && !edit->hasSelectedText() && shown == textFromDateTime(dateTime()))
            setSelectedSection(currentSection());
    }
    QDateEdit::keyPressEvent(event);
    // A digit the date cannot take (a 13th month, a 30th of February) leaves the text, the
    // cursor and the selection as they were; a whole date typed is checked by its own
    // numbers, whatever the parts made of it.
    if ((dateKey && typed.at(0).isDigit() && edit->text() == shown && where() == wasAt)
        || (dateKey && runIsWhole() && !typedDate(m_run).isValid()))
        refuse();
}

QString DatePicker::refusalText() const
{
    return (m_run.isEmpty() ? QStringLiteral("その日付はありません。")
                            : QStringLiteral("「%1」という日付はありません。").arg(m_run))
        + QStringLiteral("日付は %1 のままです。").arg(m_before.toString(QString::fromLatin1(DateText::Format)));
}

void DatePicker::refuse()
{
    m_dropRest = !m_run.isEmpty() && !runIsWhole();
    m_restoring = true;
    setDate(m_before);

    m_restoring = false;
    selectAll();
    showRefusal(true, refusalText());
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
