// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/entry/ScannerKeys.h"

#include "core/masters/ProductCodes.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <utility>

namespace {

// The text box a key typed into target edits; none for a button or a grid.
QLineEdit* editOf(QWidget* target)
{
    if (auto* edit = qobject_cast<QLineEdit*>(target))
        return edit;
    if (auto* combo = qobject_cast<QComboBox*>(target))
        return combo->lineEdit();
    return nullptr;
}

bool isEnter(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

ScannerKeys::ScannerKeys(QWidget* window, QWidget* codeBox, Handler onCode)
    : QObject(window)
    , m_window(window)
    , m_codeBox(codeBox)
    , m_onCode(std::move(onCode))
{
    m_burstEnd.setSingleShot(true);
    // Long enough that keys waiting while the program was busy are not taken for the end.
    m_burstEnd.setInterval(250);
    connect(&m_burstEnd, &QTimer::timeout, this, &ScannerKeys::giveBack);
    // Installed after the window's Enter-as-Tab filter, so it sees the keys first.
    qApp->installEventFilter(this);
}

bool ScannerKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::InputMethod && m_codeBox && (watched == m_codeBox || watched == editOf(m_codeBox))) {
        inputMethodCommit(static_cast<const QInputMethodEvent*>(event));
        return false;
    }
    if (event->type() != QEvent::KeyPress || !m_window || !watched->isWidgetType())
        return false;
    auto* target = static_cast<QWidget*>(watched);
    // A key travels up the parents when a control does not take it: it is seen once, at the
    // control with the focus.
    if (target->window() != m_window || target != m_window->focusWidget())
        return false;
    return keyPressed(target, static_cast<const QKeyEvent*>(event));
}

bool ScannerKeys::keyPressed(QWidget* target, const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Shift: // a scanner types capitals with Shift, within its burst
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
        return false;
    default:
        break;
    }
    const ulong time = key->timestamp();
    const bool timed = time != 0 && m_lastTime != 0 && time >= m_lastTime;
    const bool fast = timed && time - m_lastTime <= BurstGap;
    const bool close = timed && time - m_lastTime <= RunGap;
    m_lastTime = time;
    const bool afterScan = std::exchange(m_afterScan, false);
    if (key->isAutoRepeat() || (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        if (m_inBurst)
            giveBack();
        forgetFirstKey();
        return false;
    }
    // A scanner set to end its codes with a line feed ends them so too.
    const bool lineFeed = m_inBurst && key->text() == QLatin1String("\n");
    if (isEnter(key) || lineFeed) {
        if (m_inBurst && fast) {
            m_burstEnd.stop();
            m_inBurst = false;
            const QString text = std::exchange(m_burst, QString());
            m_onCode(text, true);
            m_afterScan = true;
            return true;
        }
        if (m_inBurst)
            giveBack();
        forgetFirstKey();
        if (target == m_codeBox) {
            const QString text = editOf(target)->text();
            if (ProductCodes::looksLikeCode(text) && m_onCode(text, false))
                return true;
        }
        return false;
    }
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint()) {
        if (m_inBurst)
            giveBack();
        forgetFirstKey();
        return false;
    }
    if (m_inBurst) {
        m_burst += text;
        m_burstEnd.start();
        return true;
    }
    if (fast && afterScan) {
        // The next code of a scanner that reads several in one go.
        beginBurst(text);
        return true;
    }
    if (fast && m_firstTarget == target) {
        // The keys before were the start of a burst: they come back out of the box.
        if (QLineEdit* edit = editOf(target)) {
            edit->setText(m_before);
            if (m_beforeSelection >= 0)
                edit->setSelection(m_beforeSelection, m_beforeSelectionLength);
            else
                edit->setCursorPosition(m_beforeCursor);
        }
        beginBurst(std::exchange(m_run, QString()) + text);
        return true;
    }
    if (close && m_firstTarget == target) {
        // A scanner slowed down by a busy moment, or a person: known once the next key comes.
        m_run += text;
        return false;
    }
    // Perhaps the first key of a burst: it goes to its box, which is noted as it was.
    m_firstTarget = target;
    m_run = text;
    if (const QLineEdit* edit = editOf(target)) {
        m_before = edit->text();
        m_beforeCursor = edit->cursorPosition();
        m_beforeSelection = edit->selectionStart();
        m_beforeSelectionLength = int(edit->selectedText().size());
    }
    return false;
}

void ScannerKeys::inputMethodCommit(const QInputMethodEvent* event)
{
    // With a Japanese input method on, a code's digits are composed as full-width ones and
    // the Enter that ends them commits the conversion without reaching the box: the commit
    // of digits that make the box's text a code is that Enter.
    const QString commit = event->commitString();
    if (commit.isEmpty() || !event->preeditString().isEmpty())
        return;
    for (const QChar c : commit) {
        if (!c.isDigit())
            return;
    }
    // Once the box holds the committed text.
    QTimer::singleShot(0, this, [this] {
        QLineEdit* edit = m_codeBox ? editOf(m_codeBox) : nullptr;
        if (edit && m_codeBox->hasFocus() && ProductCodes::looksLikeCode(edit->text()))
            m_onCode(edit->text(), false);
    });
}

void ScannerKeys::beginBurst(const QString& text)
{
    m_inBurst = true;
    m_burst = text;
    m_burstEnd.start();
}

void ScannerKeys::giveBack()
{
    m_burstEnd.stop();
    m_inBurst = false;
    const QString text = std::exchange(m_burst, QString());
    if (QLineEdit* edit = m_firstTarget ? editOf(m_firstTarget) : nullptr) {
        // Typed, as the keys would have typed it.
        edit->insert(text);
    }
    forgetFirstKey();
}

void ScannerKeys::forgetFirstKey()
{
    m_firstTarget = nullptr;
    m_run.clear();
    m_before.clear();
    m_beforeSelection = -1;
}
