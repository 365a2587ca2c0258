#include "gui/widgets/WorkProgress.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

namespace {

// Its close box and Escape cancel as the button does, where the work can stop; otherwise the
// window stays until the work is done.
class WorkDialog final : public QDialog
{
public:
    WorkDialog(QWidget* parent, std::function<void()> cancel)
        : QDialog(parent)
        , m_cancel(std::move(cancel))
    { }

    void reject() override { m_cancel(); }

private:
    std::function<void()> m_cancel;
};

} // namespace

WorkProgress::WorkProgress(QWidget* parent, const QString& caption, const QString& text)
    : m_parent(parent)
    , m_caption(caption)
    , m_text(text)
{
    m_since.start();
}

WorkProgress::~WorkProgress()
{
    if (m_shown)
        QGuiApplication::restoreOverrideCursor();
    delete m_dialog;
}

bool WorkProgress::step(qint64 done, qint64 total)
{
    if (!m_shown && m_since.elapsed() < ShowAfterMs)
        return !m_cancelled;
    if (!m_shown)
        show();
    if (total > 0) {
        // The bar counts in ints: a thousand steps show every change the eye can see.
        m_bar->setRange(0, 1000);
        m_bar->setValue(int(qBound(qint64(0), done * 1000 / total, qint64(1000))));
    } else {
        m_bar->setRange(0, 0);
    }
    // Only the window's own events: the requests that come through sockets (a later start
    // of the program, a request to end) would start other work in the middle of this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    return !m_cancelled;
}

void WorkProgress::setText(const QString& text)
{
    m_text = text;
    if (m_label)
        m_label->setText(text);
}

void WorkProgress::setCancellable(bool cancellable)
{
    m_cancellable = cancellable;
    if (m_cancel)
        m_cancel->setEnabled(cancellable);
}

void WorkProgress::show()
{
    m_shown = true;
    m_dialog = new WorkDialog(m_parent, [this] {
        if (m_cancellable && !m_cancelled) {
            m_cancelled = true;
            m_cancel->setEnabled(false);
            m_label->setText(m_text + QStringLiteral("\n中止しています…"));
        }
    });
    m_dialog->setObjectName(QStringLiteral("WorkProgress"));
    m_dialog->setWindowTitle(m_caption);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setWindowFlags((m_dialog->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
                             & ~Qt::WindowContextHelpButtonHint);

    m_label = new QLabel(m_text, m_dialog);
    m_label->setObjectName(QStringLiteral("lblWork"));
    m_label->setWordWrap(true);
    m_label->setMinimumWidth(380);
    m_bar = new QProgressBar(m_dialog);
    m_bar->setObjectName(QStringLiteral("barWork"));
    m_bar->setRange(0, 0);
    m_cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), m_dialog);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cancel->setAutoDefault(false);
    m_cancel->setEnabled(m_cancellable);
    QObject::connect(m_cancel, &QPushButton::clicked, m_dialog, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(m_dialog);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);

    // The hourglass of the command that started the work is not for the cancel button.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->repaint();
}
