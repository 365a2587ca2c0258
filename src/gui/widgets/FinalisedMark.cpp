// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/FinalisedMark.h"

#include "core/history/Finalisation.h"

FinalisedMark::FinalisedMark(QWidget* parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("lblKakutei"));
    setStyleSheet(QStringLiteral("QLabel { color: #c00000; font-weight: bold; }"));
    // The mark's room is kept while it is empty, so nothing beside or below it moves when a
    // date is finalised or undone.
    setMinimumHeight(fontMetrics().height());
}

bool FinalisedMark::showDate(const Database& db, QDate date)
{
    // A file that cannot be read, or one without finalised dates, shows no mark.
    const std::optional<Finalisation::DateLock> lock = db.isOpen() ? Finalisation::lockOf(db, date) : std::nullopt;
    m_finalised = lock.has_value();
    setText(m_finalised ? QStringLiteral("確定済み（%1）").arg(lock->since.toString(QStringLiteral("yyyy/MM/dd HH:mm")))
                        : QString());
    setToolTip(m_finalised ? Finalisation::refusal(*lock) : QString());
    return m_finalised;
}
