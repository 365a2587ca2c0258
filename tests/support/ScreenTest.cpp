#include "ScreenTest.h"

#include "gui/shell/frmTipA.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QTest>

namespace ScreenTest {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

bool editCell(QAbstractItemView* grid, int row, int column, const QString& text)
{
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row, column));
    QTest::keyClick(grid, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    if (!editor || editor == grid)
        return false;
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    type(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    settle();
    return true;
}

void type(QWidget* control, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(control, c.toLatin1());
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(control, &commit);
        }
    }
}

} // namespace ScreenTest

ModalAnswerer::ModalAnswerer()
{
    connect(&m_timer, &QTimer::timeout, this, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* tip = qobject_cast<frmTipA*>(modal)) {
            tips << tip->text();
            tip->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            screens << dialog->objectName();
            QPointer<QDialog> open = dialog;
            if (const auto it = steps.find(dialog->objectName()); it != steps.end()) {
                const auto take = std::move(it->second);
                steps.erase(it);
                take(dialog);
            }
            if (QDialog* still = open.data(); still != nullptr && still->isVisible())
                still->reject();
        }
    });
    m_timer.start(5);
}
