#include "gui/widgets/WorkProgress.h"

#include "gui/widgets/Named.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

int delayMs = 700;
// Events are taken this often while the window shows: often enough for a smooth bar and a
// prompt キャンセル, rarely enough to cost the work nothing.
constexpr int repaintMs = 50;

} // namespace

WorkProgress::WorkProgress(const QString& caption, const QString& text, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("WorkProgress"));
    setWindowTitle(caption);
    setModal(true);
    m_text = named(new QLabel(text, this), "lblWork");
    m_count = named(new QLabel(this), "lblCount");
    m_bar = named(new QProgressBar(this), "barWork");
    m_bar->setTextVisible(false);
    m_bar->setMinimumWidth(320);
    m_cancel = named(new QPushButton(QStringLiteral("キャンセル"), this), "cmdCancel");
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

int WorkProgress::showAfter()
{
    return delayMs;
}

void WorkProgress::setShowAfter(int milliseconds)
{
    delayMs = milliseconds;
}

bool WorkProgress::step(int done, int total)
{
    if (m_cancelled)
        return false;
    if (!isVisible()) {
        if (m_started.elapsed() < delayMs)
            return true;
        show();
        m_lastRepaint.invalidate();
    }
    if (m_lastRepaint.isValid() && m_lastRepaint.elapsed() < repaintMs)
        return true;
    m_lastRepaint.start();
    const QLocale numbers(QLocale::English);
    m_bar->setRange(0, std::max(total, 1));
    m_bar->setValue(std::clamp(done, 0, std::max(total, 1)));
    m_count->setText(
        QStringLiteral("%1 / %2 %3").arg(numbers.toString(done), numbers.toString(total), m_unit).trimmed());
    QApplication::processEvents();
    return !m_cancelled;
}

void WorkProgress::reject()
{
    // Closing the window is cancelling too; it stays until the work has stopped.
    if (m_cancelled)
        return;
    m_cancelled = true;
    m_cancel->setEnabled(false);
    m_text->setText(m_text->text() + QStringLiteral("\n中止しています…"));
}
