// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>

class QAbstractItemView;
class QComboBox;
class QDateEdit;
class QDialog;
class QWidget;

// Helpers for tests that drive the real windows.
namespace ScreenTest {

// Lets posted events run: activation steps, posted Tab keys, queued focus handling.
void settle();

// Shows a window, makes it the active one and lets its opening steps run, as a start does.
void showActive(QWidget* window);

// The texts of a column of a grid, top to bottom, and the items of a combo, in order.
QStringList columnTexts(const QAbstractItemView* grid, int column);
QStringList itemTexts(const QComboBox* combo);
// The record IDs a grid lists in its first column, top to bottom.
QList<int> columnIds(const QAbstractItemView* grid);

// Types text into a control as a user does: Latin letters and digits as key presses,
// anything else as the input method hands it over (a committed string).
void type(QWidget* control, const QString& text);

// Replaces what a box or an editable combo holds by typing, as a user does: focus, Ctrl+A,
// the new text (Delete for none). No key that leaves the control is pressed.
void replaceText(QWidget* control, const QString& text);

// Clicks a grid cell, as a user does to make it current. False when it did not become current.
bool clickCell(QAbstractItemView* grid, int row, int column);

// Types a date into a date picker as a user does: a click on its first part, then the
// keys, then Enter.
void typeDate(QDateEdit* picker, const QString& text);

// Edits a grid cell as a user does: a click selects it, F2 opens the editor, the text
// replaces what was there and the finishing key (Enter, or Tab to go on to the next cell)
// ends the edit. False when no editor opened.
bool editCell(QAbstractItemView* grid, int row, int column, const QString& text, Qt::Key finish = Qt::Key_Return);
// Types into the editor open in the grid (as Tab opens it on the next cell) and ends the
// edit with the finishing key. False when no editor is open.
bool typeInOpenEditor(QAbstractItemView* grid, const QString& text, Qt::Key finish = Qt::Key_Return);

// The rows of a case asked once with No and once with Yes: column bool "yes".
void addNoAndYes();

// Chooses an item of a combo from its pop-up list with the keys, as a user does: Alt+Down
// opens the list, Up/Down move to the item, Enter takes it. False when the item is not there.
bool chooseFromList(QComboBox* combo, const QString& item);

// A screen under test, found by its controls' object names; deleted with the driver.
template<typename Screen> struct Driver
{
    QPointer<Screen> screen;

    ~Driver() { delete screen; }
    template<typename T = QWidget> T* find(const char* name) const
    {
        return screen->template findChild<T*>(QString::fromLatin1(name));
    }
    // Clicks a button with the mouse; a hidden or disabled one does nothing, as for a user.
    void click(const char* name)
    {
        QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton);
        settle();
    }
};

} // namespace ScreenTest

// Answers the modal windows that are not dialogs of the Prompter: the tip window is read
// and closed with OK, any other modal screen is recorded and closed at once, after the
// steps a test gave for it, if any, have been taken (once).
class ModalAnswerer : public QObject
{
    Q_OBJECT
public:
    ModalAnswerer();

    QStringList tips; // texts of the tip windows shown
    QStringList screens; // object names of other modal screens opened
    std::map<QString, std::function<void(QDialog*)>> steps; // by object name

private:
    QTimer m_timer;
};

// Presses キャンセル in the long-work window of owner as soon as it shows, as a user does;
// said holds what the window read then: its title, its text and its count.
class CancelWhenShown
{
public:
    explicit CancelWhenShown(QWidget* owner);
    QStringList said;

private:
    QTimer m_user;
};
