#pragma once

#include <QDateEdit>

// The settlement-date picker of a working window: a calendar drops down, the date shows
// as yyyy/MM/dd, and a date typed whole, with or without its slashes ("2026/03/31",
// "2026/3/31", "20260331"), is taken as typed. After a click that brings the keyboard
// into the picker, typing starts at the year wherever the click landed, so a whole date
// typed next replaces the date; a further click places the cursor in one part to change
// that part alone.
class DatePicker : public QDateEdit
{
public:
    explicit DatePicker(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool m_typeFromYear = false;
};

// The picker of a working window, named "DTPicker1".
QDateEdit* makeDatePicker(QWidget* parent);
