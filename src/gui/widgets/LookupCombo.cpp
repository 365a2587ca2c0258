// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/LookupCombo.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/files/FailureCause.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QTimer>

namespace {

// Whether the user was told that the look-ups cannot read; shared by every combo, so that
// moving on to the next one does not say it again.
bool unreadableShown = false;

} // namespace

LookupCombo::LookupCombo(LookupModel::Kind kind, AppState& state, QWidget* parent)
    : QComboBox(parent)
    , m_state(state)
    , m_model(new LookupModel(kind, this))
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr); // the list itself is the completion; inline completion would overwrite typing
    setMaxVisibleItems(15);
    m_model->setDatabase(&state.DatabaseConnection);
    setModel(m_model);
    connect(this, &QComboBox::editTextChanged, this, [this] {
        if (!m_choosing)
            refreshList();
    });
    connect(this, &QComboBox::activated, this, [this](int row) {
        m_choosing = false;
        if (m_idBox) {
            const QVariant id = m_model->index(row).data(LookupModel::IdRole);
            m_idBox->setText(id.isNull() ? QString() : id.toString());
        }
        Q_EMIT chosen();
    });
    lineEdit()->installEventFilter(this); // a click on the text is a click on the combo
}

void LookupCombo::mousePressEvent(QMouseEvent* event)
{
    Q_EMIT pressed();
    QComboBox::mousePressEvent(event);
}

bool LookupCombo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonPress)
        Q_EMIT pressed();
    return QComboBox::eventFilter(watched, event);
}

void LookupCombo::hidePopup()
{
    // A row chosen from the list comes right after: its name becomes the text, and the
    // list stays as it is so that the chosen row, not the first match of its name, is the
    // one announced.
    m_choosing = true;
    QComboBox::hidePopup();
    QMetaObject::invokeMethod(
        this, [this] { m_choosing = false; }, Qt::QueuedConnection);
}

void LookupCombo::setText(const QString& text)
{
    setEditText(text);
}

void LookupCombo::refreshList()
{
    if (m_refreshing)
        return;
    m_refreshing = true;
    QLineEdit* edit = lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    {
        const QSignalBlocker blocker(this);
        m_model->refresh(text);
        // A new list selects its first row, which would replace what was typed.
        if (edit->text() != text) {
            edit->setText(text);
            edit->setCursorPosition(cursor);
        }
    }
    if (m_idBox) {
        const QVariant id = m_model->firstId();
        m_idBox->setText(id.isNull() ? QString() : id.toString());
    }
    m_refreshing = false;
    if (!m_model->failure().isEmpty())
        reportUnreadable();
    else
        unreadableShown = false;
}

void LookupCombo::reportUnreadable()
{
    if (unreadableShown)
        return;
    unreadableShown = true;
    const QString message = FailureCause::withCause(QStringLiteral("データベースを読み込めませんでした。"),
                                                    FailureCause::inUse(m_model->failure()));
    // After the key or focus change that asked for the list, not inside its handling.
    QTimer::singleShot(0, this, [this, message] { m_state.prompter.notice(message, Prompter::Icon::Exclamation); });
}

void LookupCombo::focusInEvent(QFocusEvent* event)
{
    QComboBox::focusInEvent(event);
    if (event->reason() == Qt::PopupFocusReason)
        return;
    if (m_opensInputMethod)
        m_state.inputMethod->open();
    refreshList();
}

void LookupCombo::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    // Opening the list or switching to another program is no leaving.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    QMetaObject::invokeMethod(this, &LookupCombo::left, Qt::QueuedConnection);
}
