// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// Tells a screen when it "becomes active" the way its users mean it: the first time it is
// shown, and whenever the user comes back to it from another window of the program. Coming
// back from a message or a dialog it opened itself does not count, so a screen that asks
// something on activation does not ask again when the question closes.
class ActivationWatcher : public QObject
{
    Q_OBJECT
public:
    explicit ActivationWatcher(QWidget* window);

Q_SIGNALS:
    // Emitted after the activation event, so handlers may open modal windows.
    void activated();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    bool m_first = true;
    bool m_visitedOtherWindow = false;
};
