#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

// The window of a long piece of work: what is being done, how far it got, and a button that
// stops it. Work that is over within a moment never shows it: it appears once the work has run
// for showAfter() (700 ms). The work calls step() as it goes; the window repaints and takes
// the click on キャンセル there, and step() tells the work to stop.
class WorkProgress : public QDialog
{
    Q_OBJECT
public:
    WorkProgress(const QString& caption, const QString& text, QWidget* parent = nullptr);

    // done of total finished; false once the user cancelled.
    bool step(int done, int total);
    bool cancelled() const { return m_cancelled; }
    // The unit the count is shown in, after "done / total" ("ページ").
    void setUnit(const QString& unit) { m_unit = unit; }

    // How long work runs before the window shows; tests set 0 to see it at once.
    static int showAfter();
    static void setShowAfter(int milliseconds);

protected:
    void reject() override;

private:
    QLabel* m_text;
    QLabel* m_count;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    QElapsedTimer m_started;
    QElapsedTimer m_lastRepaint;
    QString m_unit;
    bool m_cancelled = false;
};
