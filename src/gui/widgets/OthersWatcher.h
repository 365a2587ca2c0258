// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class QAbstractItemView;

// Tells a screen that other stations have written to the database it shows: the open lists
// and status lines follow the others' lines while the screen is open, without the user
// coming back to it. On a server the others are the other stations (the server announces
// each commit to every station); on a file, the phones counting through this program or
// through `kotrina serve`, and any other program writing the file. The connection counts
// those into its change stamp, which is looked at a few times a second while the screen is
// shown.
class OthersWatcher : public QObject
{
    Q_OBJECT
public:
    OthersWatcher(const Database& db, QWidget* window);

    // How often the stamp is looked at; a commit shows within it.
    static constexpr int IntervalMs = 250;

Q_SIGNALS:
    // Another station committed something since the last look. Not emitted while a modal
    // window other than the screen is up: the screen catches up when the user comes back.
    void othersChanged();

private:
    void look();

    const Database& m_db;
    QPointer<QWidget> m_window;
    QTimer m_timer;
    std::optional<qint64> m_seen; // others' version at the last look
};

// Runs choose (which selects a grid's rows again) and puts the grid back where the user had
// it: the same current cell and the same scroll position, as far as the rows still reach.
// While a cell is being edited nothing is done: the grid catches up at a later change.
void chooseAgainInPlace(QAbstractItemView* grid, const std::function<void()>& choose);
