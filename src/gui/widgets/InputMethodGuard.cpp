// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/InputMethodGuard.h"

#include "core/rules/CellRoles.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

InputMethodGuard::InputMethodGuard(QObject* parent)
    : QObject(parent)
{ }

void InputMethodGuard::install()
{
    auto* app = QCoreApplication::instance();
    if (!app || app->findChild<InputMethodGuard*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    app->installEventFilter(new InputMethodGuard(app));
}

namespace {

// The mark of a box that takes only numbers or dates.
constexpr char NumbersOnly[] = "kotrinaNumbersOnly";

// Answers for a box that takes only numbers or dates that it takes no input method; a
// line edit would say it does whenever it is editable, whatever its attribute says. The
// other questions asked with it are the box's own to answer.
void answerNumbersOnly(QObject* box, QInputMethodQueryEvent* query)
{
    const Qt::InputMethodQueries others = query->queries() & ~Qt::ImEnabled;
    if (others) {
        QInputMethodQueryEvent asked(others);
        QCoreApplication::sendEvent(box, &asked);
        for (int bit = 0; bit < 32; ++bit) {
            const auto one = Qt::InputMethodQuery(1u << bit);
            if (others & one)
                query->setValue(one, asked.value(one));
        }
    }
    query->setValue(Qt::ImEnabled, false);
    query->accept();
}

} // namespace

bool InputMethodGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::InputMethodQuery) {
        auto* query = static_cast<QInputMethodQueryEvent*>(event);
        if (!(query->queries() & Qt::ImEnabled) || !watched->property(NumbersOnly).toBool())
            return false;
        answerNumbersOnly(watched, query);
        return true;
    }
    if (event->type() != QEvent::InputMethod)
        return false;
    const auto* input = static_cast<const QInputMethodEvent*>(event);
    const QString commit = input->commitString();
    const QString preedit = input->preeditString();

    if (m_holder && watched != m_holder && !commit.isEmpty() && commit == m_composed
        && (m_state == Composing || m_state == Committed)) {
        // The text composed in the holder, arriving where the focus went: it belongs to the
        // holder, which has it already unless Qt skipped its own commit.
        QObject* holder = m_holder;
        const bool arrived = m_state == Committed;
        m_holder = nullptr;
        m_state = Idle;
        if (!arrived) {
            QInputMethodEvent moved;
            moved.setCommitString(commit);
            QCoreApplication::sendEvent(holder, &moved);
        }
        if (!preedit.isEmpty()) {
            // The same event opens a conversion here; that part is this box's own.
            QInputMethodEvent opened(preedit, input->attributes());
            QCoreApplication::sendEvent(watched, &opened);
        }
        return true;
    }
    if (watched == m_holder && m_state == Cancelled && preedit.isEmpty() && commit == m_composed) {
        // Qt still remembers a conversion the user cancelled and commits it when the focus
        // leaves; the user took it back.
        m_holder = nullptr;
        m_state = Idle;
        return true;
    }

    if (!preedit.isEmpty()) {
        m_holder = watched;
        m_composed = preedit;
        m_state = Composing;
    } else if (watched == m_holder) {
        if (!commit.isEmpty())
            m_state = Committed;
        else if (m_state == Composing)
            m_state = Cancelled; // cleared without a commit
        else {
            m_holder = nullptr; // confirmed and cleared in the box itself: nothing more to come
            m_state = Idle;
        }
    }
    return false;
}

void takesNumbersOnly(QWidget* box)
{
    QList<QWidget*> boxes { box };
    // A spin box or a date picker types into the text box inside it.
    if (qobject_cast<QAbstractSpinBox*>(box)) {
        for (QLineEdit* inner : box->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly))
            boxes << inner;
    }
    for (QWidget* each : boxes) {
        each->setProperty(NumbersOnly, true);
        each->setAttribute(Qt::WA_InputMethodEnabled, false);
        each->setInputMethodHints(each->inputMethodHints() | Qt::ImhPreferNumbers);
    }
}

namespace {

class NumberCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor && index.data(CellRoles::NumbersOnly).toBool())
            takesNumbersOnly(editor);
        return editor;
    }
};

} // namespace

void takesNumbersOnlyInNumberCells(QAbstractItemView* grid)
{
    grid->setItemDelegate(new NumberCellDelegate(grid));
}
