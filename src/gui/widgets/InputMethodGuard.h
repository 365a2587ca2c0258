// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QAbstractItemView;
class QInputMethodEvent;
class QWidget;

// Keeps the text of a Japanese input method in the box it was typed into.
//
// While a conversion is still open (its pre-edit shown in a box) and the user clicks into
// another box, Qt commits the pre-edit into the box that showed it, and the input method
// (ibus with mozc) commits the same text once more, a moment later, into whatever box has
// the focus by then. That second copy is the one this filter stops: a commit that arrives
// at another box than the one holding the pre-edit is not inserted there; when the holder
// has not received the text yet, it goes to the holder instead. Likewise a conversion the
// user cancelled (Escape) is not committed by Qt when the focus leaves its box.
//
// Installed once for the whole application, it covers every window, present and future.
class InputMethodGuard : public QObject
{
    Q_OBJECT
public:
    // Installs the filter on the application; a second call does nothing.
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit InputMethodGuard(QObject* parent);
    enum State
    {
        Idle,
        Composing, // a pre-edit shows in the holder
        Committed, // the holder received it; the input method may send it once more
        Cancelled, // cleared without a commit; Qt may still commit it when the focus leaves
    };
    // The box of the last conversion and its pre-edit.
    QPointer<QObject> m_holder;
    QString m_composed;
    State m_state = Idle;
};

// Declares a box that takes only numbers or dates (a quantity, a price, an ID, an offset, a
// date picker): no input method composes into it, so digits arrive as they are typed.
// Spin boxes and date pickers pass this to the text box inside them.
void takesNumbersOnly(QWidget* box);

// Makes the editors a grid opens on its cells of numbers, IDs and dates (those whose model
// answers CellRoles::NumbersOnly) take numbers only, as the boxes above.
void takesNumbersOnlyInNumberCells(QAbstractItemView* grid);
