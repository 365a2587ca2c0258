// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// Makes Enter move the focus to the next control of a window, as Tab does, and discards
// the Enter itself. Watches key presses application-wide and acts only on those whose
// target lies in the window it was installed for, so controls added later are covered too.
class EnterAsTab : public QObject
{
    Q_OBJECT
public:
    // The filter lives as long as the window.
    static void install(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit EnterAsTab(QWidget* window);
    QPointer<QWidget> m_window;
};
