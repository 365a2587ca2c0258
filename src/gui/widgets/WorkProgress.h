#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

// The window of long work (an upgrade, a compaction, the backup at closing): what is being
// done, how far it has come, and a button to cancel it. Work that ends within ShowAfterMs
// never shows it. While shown it is modal: the windows beneath take no input, and step()
// repaints it and takes the user's clicks. Requests from outside (another start of the
// program handing over a file, a request to end) wait until the work is done.
class WorkProgress
{
public:
    static constexpr int ShowAfterMs = 700;

    WorkProgress(QWidget* parent, const QString& caption, const QString& text);
    ~WorkProgress();
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;

    // done of total; total 0 or less when how far cannot be told (the bar then only moves).
    // False once the user has cancelled.
    bool step(qint64 done, qint64 total);
    void setText(const QString& text);
    // Work that cannot stop offers no cancel; cancellable is the default.
    void setCancellable(bool cancellable);
    // Whether the window has been shown (the work took longer than ShowAfterMs).
    bool wasShown() const { return m_shown; }

private:
    void show();

    QPointer<QWidget> m_parent;
    QString m_caption;
    QString m_text;
    bool m_cancellable = true;
    bool m_cancelled = false;
    bool m_shown = false;
    QElapsedTimer m_since;
    QDialog* m_dialog = nullptr;
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
};
