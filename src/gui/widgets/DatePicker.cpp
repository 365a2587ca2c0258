#include "DatePicker.h"

#include "core/app/Clock.h"
#include "gui/widgets/Named.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <utility>

DatePicker::DatePicker(QWidget* parent)
    : QDateEdit(parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QString::fromLatin1(DateText::Format));
    setDateRange(QDate(1900, 1, 1), QDate(9999, 12, 31));
}

void DatePicker::focusInEvent(QFocusEvent* event)
{
    m_typeFromYear = event->reason() == Qt::MouseFocusReason;
    QDateEdit::focusInEvent(event);
}

void DatePicker::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    // Only the first key after the click counts, whatever it is.
    const bool fromYear = std::exchange(m_typeFromYear, false);
    if (typed.size() == 1 && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        const QLineEdit* edit = lineEdit();
        const QString shown = edit->text();
        const int at = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
        // A full year or a month that takes no second digit moves on to the next part by
        // itself; the slash typed after it would skip that part too and send the month
        // into the day. It only confirms the move that was made.
        if (typed == QLatin1String("/") && at > 0 && shown.at(at - 1) == QLatin1Char('/')) {
            event->accept();
            return;
        }
        // With the whole date selected, or first after the click that came into the
        // picker, a digit starts the year.
        if (typed.at(0).isDigit() && (fromYear || (edit->hasSelectedText() && edit->selectedText() == shown)))
            setSelectedSection(sectionAt(0));
        // Every part of a whole date shown has all its digits, so a digit typed at a mere
        // cursor (where a click into the picker leaves it) would be refused; it starts the
        // part under the cursor instead. A part being typed shows fewer digits and is left be.
        else if (typed.at(0).isDigit() && !edit->hasSelectedText() && shown == textFromDateTime(dateTime()))
            setSelectedSection(currentSection());
    }
    QDateEdit::keyPressEvent(event);
}

QDateEdit* makeDatePicker(QWidget* parent)
{
    return named(new DatePicker(parent), "DTPicker1");
}
