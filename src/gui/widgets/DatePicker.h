#pragma once

#include <QDateEdit>

// The settlement-date picker of a working window: a calendar drops down, the date shows
// as yyyy/MM/dd, and a date typed whole, with or without its slashes ("2026/03/31",
// "2026/3/31", "20260331"), is taken as typed.
class DatePicker : public QDateEdit
{
public:
    explicit DatePicker(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The picker of a working window, named "DTPicker1".
QDateEdit* makeDatePicker(QWidget* parent);
