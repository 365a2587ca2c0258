// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/WorkProgress.h"

#include "gui/widgets/Named.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

int delayMs = WorkProgress::ShowAfterMs;
// Events are taken this often while the window shows: often enough for a smooth bar and a
// prompt cancel, rarely enough to cost the work nothing.
constexpr int eventsEveryMs = 50;

} // namespace

WorkProgress::WorkProgress(QWidget* parent, const QString& caption, const QString& text)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("WorkProgress"));
    setWindowTitle(caption);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) & ~Qt::WindowContextHelpButtonHint);
    m_text = named(new QLabel(text, this), "lblWork");
    m_text->setWordWrap(true);
    m_text->setMinimumWidth(380);
    m_bar = named(new QProgressBar(this), "barWork");
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 0);
    m_count = named(new QLabel(this), "lblCount");
    m_count->hide();
    m_cancel = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "cmdCancel");
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &WorkProgress::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->addWidget(m_count);
    layout->addLayout(buttons);
    m_started.start();
}

WorkProgress::~WorkProgress()
{
    if (m_shown)
        QGuiApplication::restoreOverrideCursor();
}

int WorkProgress::showAfter()
{
    return delayMs;
}

void WorkProgress::setShowAfter(int milliseconds)
{
    delayMs = milliseconds;
}

bool WorkProgress::step(qint64 done, qint64 total)
{
    if (!m_shown) {
        if (m_started.elapsed() < delayMs)
            return !m_cancelled;
        appear();
    }
    if (total > 0) {
        // The bar counts in ints: a thousand steps show every change the eye can see.
        m_bar->setRange(0, 1000);
        m_bar->setValue(int(std::clamp(done * 1000 / total, qint64(0), qint64(1000))));
    } else {
        m_bar->setRange(0, 0);
    }
    if (!m_unit.isEmpty() && total > 0) {
        const QLocale numbers(QLocale::English);
        m_count->setText(QStringLiteral("%1 / %2 %3").arg(numbers.toString(done), numbers.toString(total), m_unit));
        m_count->show();
    }
    if (!m_lastEvents.isValid() || m_lastEvents.elapsed() >= eventsEveryMs) {
        m_lastEvents.start();
        // Only the window's own events: the requests that come through sockets (a later start
        // of the program, a request to end) would start other work in the middle of this one.
        QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    }
    return !m_cancelled;
}

void WorkProgress::setText(const QString& text)
{
    m_text->setText(text);
}

void WorkProgress::setCancellable(bool cancellable)
{
    m_cancellable = cancellable;
    m_cancel->setEnabled(cancellable && !m_cancelled);
}

void WorkProgress::reject()
{
    // The close box and Escape cancel as the button does, where the work can stop; otherwise
    // the window stays until the work is done.
    if (!m_cancellable || m_cancelled)
        return;
    m_cancelled = true;
    m_cancel->setEnabled(false);
    m_text->setText(m_text->text() + QStringLiteral("\n中止しています…"));
}

void WorkProgress::appear()
{
    m_shown = true;
    // The hourglass of the command that started the work is not for the cancel button.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    show();
    raise();
    repaint();
}
