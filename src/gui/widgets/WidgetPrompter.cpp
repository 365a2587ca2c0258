#include "gui/widgets/WidgetPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon toBoxIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::None:
        return QMessageBox::NoIcon;
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::Exclamation:
        return QMessageBox::Warning;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// Messages carry the carriage returns they were written with; a label breaks lines on "\n".
QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// The pointer may be the hourglass while a long action asks something; a dialog needs the arrow.
class ArrowWhileOpen
{
public:
    ArrowWhileOpen() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~ArrowWhileOpen() { QApplication::restoreOverrideCursor(); }
    ArrowWhileOpen(const ArrowWhileOpen&) = delete;
    ArrowWhileOpen& operator=(const ArrowWhileOpen&) = delete;
};

std::optional<QString> runFileDialog(const FileDialogRequest& request, QFileDialog::AcceptMode mode)
{
    ArrowWhileOpen arrow;
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen && request.mustExist ? QFileDialog::ExistingFile
                                                                            : QFileDialog::AnyFile);
    const QStringList filters = request.nameFilters();
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    // Whether an existing file may be replaced is the program's own question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

void WidgetPrompter::notice(const QString& text, Icon icon, const QString& title)
{
    ArrowWhileOpen arrow;
    QMessageBox box(toBoxIcon(icon), title, displayText(text), QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool WidgetPrompter::ask(const QString& text, const QString& title)
{
    ArrowWhileOpen arrow;
    QMessageBox box(QMessageBox::Question, title, displayText(text), QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> WidgetPrompter::openFile(const FileDialogRequest& request)
{
    return runFileDialog(request, QFileDialog::AcceptOpen);
}

std::optional<QString> WidgetPrompter::saveFile(const FileDialogRequest& request)
{
    return runFileDialog(request, QFileDialog::AcceptSave);
}

std::optional<QString> WidgetPrompter::chooseFont(const QString& family, int pointSize)
{
    ArrowWhileOpen arrow;
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, QFont(family, pointSize), QApplication::activeWindow());
    if (!ok)
        return std::nullopt;
    return font.family();
}
