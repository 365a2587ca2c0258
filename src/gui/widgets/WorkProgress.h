// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

// The window of long work (an upgrade, a compaction, the backup at closing, pages printed):
// what is being done, how far it has come, and a button to cancel it. Work that ends within
// showAfter() (ShowAfterMs) never shows it. While shown it is modal: the windows beneath take
// no input, and step() repaints it and takes the user's clicks. Requests from outside
// (another start of the program handing over a file, a request to end) wait until the work is
// done.
class WorkProgress : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ShowAfterMs = 700;

    WorkProgress(QWidget* parent, const QString& caption, const QString& text);
    ~WorkProgress() override;

    // done of total; total 0 or less when how far cannot be told (the bar then only moves).
    // False once the user has cancelled.
    bool step(qint64 done, qint64 total);
    void setText(const QString& text);
    // The unit the count is shown in, after "done / total" ("ページ"); without one only the
    // bar shows how far the work has come.
    void setUnit(const QString& unit) { m_unit = unit; }
    // Work that cannot stop offers no cancel; cancellable is the default.
    void setCancellable(bool cancellable);
    bool cancelled() const { return m_cancelled; }
    // Whether the window has been shown (the work took longer than showAfter()).
    bool wasShown() const { return m_shown; }

    // How long work runs before the window shows; tests set 0 to see it at once.
    static int showAfter();
    static void setShowAfter(int milliseconds);

protected:
    void reject() override;

private:
    void appear();

    QLabel* m_text;
    QLabel* m_count;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    QElapsedTimer m_started;
    QElapsedTimer m_lastEvents;
    QString m_unit;
    bool m_cancellable = true;
    bool m_cancelled = false;
    bool m_shown = false;
};
