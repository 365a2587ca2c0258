#pragma once

#include "core/app/Clock.h"
#include "gui/widgets/Named.h"

#include <QDateEdit>

// The settlement-date picker of a working window, "DTPicker1": a calendar drops down and
// the date shows as yyyy/MM/dd.
inline QDateEdit* makeDatePicker(QWidget* parent)
{
    auto* picker = named(new QDateEdit(parent), "DTPicker1");
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QString::fromLatin1(DateText::Format));
    picker->setDateRange(QDate(1900, 1, 1), QDate(9999, 12, 31));
    return picker;
}
