#include "shell/EnterAsTab.h"

#include <QApplication>
#include <QKeyEvent>

EnterAsTab::EnterAsTab(QWidget* window)
    : QObject(window)
    , m_window(window)
{
    qApp->installEventFilter(this);
}

void EnterAsTab::install(QWidget* window)
{
    new EnterAsTab(window);
}

bool EnterAsTab::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || !m_window)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    auto* target = static_cast<QWidget*>(watched);
    if (target->window() != m_window)
        return false;
    // A Tab posted to the focused control moves the focus the way the user's Tab would.
    QWidget* focus = QApplication::focusWidget();
    QWidget* receiver = focus && focus->window() == m_window ? focus : m_window.data();
    QCoreApplication::postEvent(receiver, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
    return true;
}
