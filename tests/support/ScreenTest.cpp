// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "ScreenTest.h"

#include "gui/shell/frmTipA.h"
#include "gui/widgets/WorkProgress.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace ScreenTest {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

void showActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    settle();
}

QStringList columnTexts(const QAbstractItemView* grid, int column)
{
    QStringList texts;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        texts << grid->model()->index(r, column).data().toString();
    return texts;
}

QList<int> columnIds(const QAbstractItemView* grid)
{
    QList<int> ids;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        ids << grid->model()->index(r, 0).data().toInt();
    return ids;
}

QStringList itemTexts(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

void typeDate(QDateEdit* picker, const QString& text)
{
    // A real click lands on the text box inside the picker; one sent to the picker itself
    // would be taken for a click on its step-down button.
    auto* box = picker->findChild<QLineEdit*>();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    type(picker, text);
    QTest::keyClick(picker, Qt::Key_Return);
    settle();
}

void replaceText(QWidget* control, const QString& text)
{
    control->setFocus();
    QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(control, Qt::Key_Delete);
    else
        type(control, text);
    settle();
}

bool clickCell(QAbstractItemView* grid, int row, int column)
{
    const QModelIndex cell = grid->model()->index(row, column);
    grid->scrollTo(cell);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
    settle();
    return grid->currentIndex() == cell;
}

bool editCell(QAbstractItemView* grid, int row, int column, const QString& text, Qt::Key finish)
{
    if (!clickCell(grid, row, column))
        return false;
    QTest::keyClick(grid, Qt::Key_F2);
    return typeInOpenEditor(grid, text, finish);
}

bool typeInOpenEditor(QAbstractItemView* grid, const QString& text, Qt::Key finish)
{
    QWidget* editor = QApplication::focusWidget();
    if (!editor || editor == grid || !grid->isAncestorOf(editor))
        return false;
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    type(editor, text);
    QTest::keyClick(editor, finish);
    settle();
    return true;
}

void addNoAndYes()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("No") << false;
    QTest::newRow("Yes") << true;
}

bool chooseFromList(QComboBox* combo, const QString& item)
{
    const int target = combo->findText(item);
    if (target < 0)
        return false;
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    QAbstractItemView* list = combo->view();
    if (!QTest::qWaitForWindowExposed(list->window()))
        return false;
    while (list->currentIndex().row() < target)
        QTest::keyClick(list, Qt::Key_Down);
    while (list->currentIndex().row() > target)
        QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    settle();
    return true;
}

void type(QWidget* control, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(control, c.toLatin1());
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(control, &commit);
        }
    }
}

} // namespace ScreenTest

ModalAnswerer::ModalAnswerer()
{
    connect(&m_timer, &QTimer::timeout, this, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* tip = qobject_cast<frmTipA*>(modal)) {
            tips << tip->text();
            QTest::mouseClick(tip->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            screens << dialog->objectName();
            QPointer<QDialog> open = dialog;
            if (const auto it = steps.find(dialog->objectName()); it != steps.end()) {
                const auto take = std::move(it->second);
                steps.erase(it);
                take(dialog);
            }
            if (QDialog* still = open.data(); still != nullptr && still->isVisible())
                still->reject();
        }
    });
    m_timer.start(5);
}

CancelWhenShown::CancelWhenShown(QWidget* owner)
{
    m_user.setInterval(0);
    QObject::connect(&m_user, &QTimer::timeout, &m_user, [this, owner] {
        auto* progress = owner->findChild<WorkProgress*>();
        if (!progress || !progress->isVisible())
            return;
        said << progress->windowTitle() << progress->findChild<QLabel*>(QStringLiteral("lblWork"))->text()
             << progress->findChild<QLabel*>(QStringLiteral("lblCount"))->text();
        QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
        m_user.stop();
    });
    m_user.start();
}
