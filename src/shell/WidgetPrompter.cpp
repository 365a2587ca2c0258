#include "shell/WidgetPrompter.h"

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

std::optional<QString> runFileDialog(const FileDialogSpec& spec, QFileDialog::AcceptMode mode)
{
    ArrowWhileOpen arrow;
    QFileDialog dialog(QApplication::activeWindow(), spec.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen && spec.mustExist ? QFileDialog::ExistingFile
                                                                         : QFileDialog::AnyFile);
    const QStringList filters = spec.nameFilters();
    dialog.setNameFilters(filters);
    if (spec.filterIndex >= 1 && spec.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[spec.filterIndex - 1]);
    if (!spec.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(spec.defaultSuffix);
    if (!spec.fileName.isEmpty())
        dialog.selectFile(spec.fileName);
    if (mode == QFileDialog::AcceptOpen && !spec.mustExist)
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

std::optional<QString> WidgetPrompter::openFile(const FileDialogSpec& spec)
{
    return runFileDialog(spec, QFileDialog::AcceptOpen);
}

std::optional<QString> WidgetPrompter::saveFile(const FileDialogSpec& spec)
{
    return runFileDialog(spec, QFileDialog::AcceptSave);
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
