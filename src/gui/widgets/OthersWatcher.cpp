// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/OthersWatcher.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QScrollBar>

OthersWatcher::OthersWatcher(const Database& db, QWidget* window)
    : QObject(window)
    , m_db(db)
    , m_window(window)
{
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &OthersWatcher::look);
    m_timer.start();
    // The screen has just read what it shows: what others commit from now on is news.
    if (const std::optional<Database::ChangeStamp> stamp = db.changeStamp())
        m_seen = stamp->othersVersion;
}

void OthersWatcher::look()
{
    const QWidget* window = m_window.data();
    if (window == nullptr || !window->isVisible() || !m_db.isOpen())
        return;
    // A question or a dialog of the screen's own is answered first.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window)
        return;
    const std::optional<Database::ChangeStamp> stamp = m_db.changeStamp();
    if (!stamp)
        return;
    const bool moved = m_seen && *m_seen != stamp->othersVersion;
    m_seen = stamp->othersVersion;
    if (moved)
        Q_EMIT othersChanged();
}

void chooseAgainInPlace(QAbstractItemView* grid, const std::function<void()>& choose)
{
    // An editor is a child of the grid's viewport.
    const QWidget* viewport = grid->viewport();
    for (const QWidget* w = QApplication::focusWidget(); w != nullptr && w != viewport; w = w->parentWidget()) {
        if (w->parentWidget() == viewport)
            return;
    }
    const QModelIndex current = grid->currentIndex();
    const int row = current.row();
    const int column = current.column();
    const int top = grid->verticalScrollBar()->value();
    const int left = grid->horizontalScrollBar()->value();
    choose();
    QAbstractItemModel* model = grid->model();
    if (row >= 0 && model && model->rowCount() > 0)
        grid->setCurrentIndex(model->index(std::min(row, model->rowCount() - 1), column));
    grid->verticalScrollBar()->setValue(top);
    grid->horizontalScrollBar()->setValue(left);
}
