// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/WidgetPrompter.h"

#include "core/app/WaitCursor.h"
#include "core/printing/PrinterFonts.h"
#include "gui/widgets/FontChoiceDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QMainWindow>
#include <QMessageBox>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QTextStream>
#include <QTreeView>

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

// Qt's own file dialog is too narrow to tell files apart by their size, type and date, and
// cuts those columns short: it opens in its detail view, wide enough for them beside names
// of some length (within the screen), each of them as wide as its texts and the names
// taking the rest. A dialog of the desktop keeps its own ways.
void showDetails(QFileDialog& dialog)
{
    dialog.setViewMode(QFileDialog::Detail);
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    QSize size(900, 540);
    const QWidget* parent = dialog.parentWidget();
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog.resize(size.expandedTo(dialog.minimumSizeHint()));
}

} // namespace

QWidget* WidgetPrompter::owner()
{
    QWidget* active = QApplication::activeModalWidget();
    if (!active)
        active = QApplication::activeWindow();
    const QWidget* last = m_lastOwner.data();
    if (active) {
        m_lastOwner = active;
    } else if (last == nullptr || !last->isVisible()) {
        // Nothing asked before: the program's main window, the first one shown.
        m_lastOwner = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && qobject_cast<QMainWindow*>(w)) {
                m_lastOwner = w;
                break;
            }
        }
    }
    return m_lastOwner;
}

std::optional<QString> WidgetPrompter::runFileDialog(const FileDialogRequest& request, bool save)
{
    if (s_unattended)
        return std::nullopt;
    ArrowWhileOpen arrow;
    const QFileDialog::AcceptMode mode = save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen;
    QFileDialog dialog(owner(), request.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen && request.mustExist ? QFileDialog::ExistingFile
                                                                            : QFileDialog::AnyFile);
    const QStringList filters = request.nameFilters();
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.directory.isEmpty())
        dialog.setDirectory(request.directory);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    // Whether an existing file may be replaced is the program's own question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    showDetails(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void WidgetPrompter::notice(const QString& text, Icon icon, const QString& title)
{
    if (s_unattended) {
        QTextStream(stderr) << "kotrina: " << displayText(text) << Qt::endl;
        return;
    }
    ArrowWhileOpen arrow;
    QMessageBox box(toBoxIcon(icon), title, displayText(text), QMessageBox::Ok, owner());
    box.exec();
}

bool WidgetPrompter::ask(const QString& text, const QString& title)
{
    if (s_unattended) {
        QTextStream(stderr) << "kotrina: " << displayText(text) << " → いいえ" << Qt::endl;
        return false;
    }
    ArrowWhileOpen arrow;
    QMessageBox box(QMessageBox::Question, title, displayText(text), QMessageBox::Yes | QMessageBox::No, owner());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> WidgetPrompter::openFile(const FileDialogRequest& request)
{
    return runFileDialog(request, false);
}

std::optional<QString> WidgetPrompter::saveFile(const FileDialogRequest& request)
{
    return runFileDialog(request, true);
}

std::optional<QString> WidgetPrompter::chooseFont(const QString& family, int pointSize)
{
    if (s_unattended)
        return std::nullopt;
    ArrowWhileOpen arrow;
    QStringList families;
    QString current;
    {
        WaitCursor looking; // every installed face is measured
        families = PrinterFonts::eligibleFamilies();
        current = PrinterFonts::resolvedFamily(family);
    }
    FontChoiceDialog dialog(families, current, pointSize, owner());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenFamily();
}

std::optional<int> WidgetPrompter::printerSettings(const QString& printer, int paperCode)
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    if (s_unattended || printer.isEmpty() || info.isNull())
        return std::nullopt;
    ArrowWhileOpen arrow;
    QPrinter job(info, QPrinter::HighResolution);
    const QPageSize::PageSizeId start = QPageSize::id(paperCode);
    job.setPageSize(start == QPageSize::Custom ? info.defaultPageSize() : QPageSize(start));
    QPrintDialog dialog(&job, owner());
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setWindowTitle(printer);
    if (dialog.exec() != QDialog::Accepted)
        return paperCode;
    return job.pageLayout().pageSize().windowsId();
}

std::optional<int> WidgetPrompter::choose(const QString& text, const QStringList& choices, const QString& title)
{
    if (s_unattended) {
        QTextStream(stderr) << "kotrina: " << displayText(text) << Qt::endl;
        return std::nullopt;
    }
    ArrowWhileOpen arrow;
    QMessageBox box(QMessageBox::Question, title, displayText(text), QMessageBox::NoButton, owner());
    QList<QAbstractButton*> buttons;
    for (const QString& choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    // Enter, Escape and the window's close button answer as nothing was chosen.
    QPushButton* none = box.addButton(QMessageBox::Cancel);
    box.setEscapeButton(none);
    box.setDefaultButton(none);
    box.exec();
    const qsizetype chosen = buttons.indexOf(box.clickedButton());
    if (chosen < 0)
        return std::nullopt;
    return int(chosen);
}
