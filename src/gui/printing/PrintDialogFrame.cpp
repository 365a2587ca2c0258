// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/PrintDialogFrame.h"

#include "core/app/AppState.h"
#include "core/app/FileFolders.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/app/WaitCursor.h"
#include "core/files/FailureCause.h"
#include "core/printing/PageSurface.h"
#include "core/printing/PrintQueue.h"
#include "core/printing/PrinterCatalog.h"
#include "gui/printing/frmPrinterP.h"
#include "gui/widgets/EnterAsTab.h"
#include "gui/widgets/InputMethodGuard.h"
#include "gui/widgets/Named.h"
#include "gui/widgets/WorkProgress.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The offsets are whole millimetres; the continuous form turns them into 16-bit twips.
constexpr int offsetLimit = 100;

const QString pagesUnit = QStringLiteral("ページ");
const QString databaseFailed
    = QStringLiteral("データベースの接続に失敗しました。データベースが使用可能になってから再度実行してください。");

} // namespace

PrintDialogFrame::PrintDialogFrame(AppState& state, const QString& title, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
{
    setWindowTitle(title);
    buildControls();
    EnterAsTab::install(this);
}

void PrintDialogFrame::buildControls()
{
    m_form = new QGridLayout;

    auto* Frame2 = named(new QGroupBox(this), "Frame2");
    Combo6 = named(new QComboBox(Frame2), "Combo6");
    Combo6->setMinimumWidth(240);
    Combo6->setPlaceholderText(QStringLiteral("（プリンタがありません）"));
    auto* Command7 = named(new QPushButton(QStringLiteral("ﾌﾟﾘﾝﾀの設定(&U)"), Frame2), "Command7");
    auto* Command1 = named(new QPushButton(QStringLiteral("ﾌｫﾝﾄの変更(&F)"), Frame2), "Command1");
    txtFontName = named(new QLineEdit(Frame2), "txtFontName");
    txtFontName->setReadOnly(true);
    auto* printerRows = new QGridLayout(Frame2);
    printerRows->addWidget(namedLabel("Label3", QStringLiteral("ﾌﾟﾘﾝﾀ名(&N)"), Combo6, Frame2), 0, 0);
    printerRows->addWidget(Combo6, 0, 1);
    printerRows->addWidget(Command7, 0, 2);
    printerRows->addWidget(txtFontName, 1, 1);
    printerRows->addWidget(Command1, 1, 2);

    Frame12 = named(new QGroupBox(QStringLiteral("出力位置の調整(&S)"), this), "Frame12");
    Text2 = named(new QLineEdit(Frame12), "Text2");
    Text8 = named(new QLineEdit(Frame12), "Text8");
    UpDown2 = named(new QSpinBox(Frame12), "UpDown2");
    UpDown1 = named(new QSpinBox(Frame12), "UpDown1");
    const QList<std::pair<QSpinBox*, QLineEdit*>> offsets { { UpDown2, Text2 }, { UpDown1, Text8 } };
    for (const auto& [upDown, box] : offsets) {
        upDown->setRange(-offsetLimit, offsetLimit);
        upDown->setFixedWidth(upDown->sizeHint().height());
        box->setMaxLength(4);
        takesNumbersOnly(box);
        takesNumbersOnly(upDown);
        box->setMaximumWidth(60);
        // The spinner steps from what the box shows, the box shows where the spinner is.
        connect(upDown, &QSpinBox::valueChanged, box, [box](int value) { box->setText(QString::number(value)); });
        connect(box, &QLineEdit::textEdited, upDown, [upDown](const QString& text) {
            bool ok = false;
            const int value = text.trimmed().toInt(&ok);
            if (ok) {
                const QSignalBlocker quiet(upDown);
                upDown->setValue(value);
            }
        });
    }
    auto* offsetRows = new QGridLayout(Frame12);
    offsetRows->addWidget(named(new QLabel(QStringLiteral("横方向 右へ"), Frame12), "Label25"), 0, 0);
    offsetRows->addWidget(Text2, 0, 1);
    offsetRows->addWidget(UpDown2, 0, 2);
    offsetRows->addWidget(named(new QLabel(QStringLiteral("㎜"), Frame12), "Label27"), 0, 3);
    offsetRows->addWidget(named(new QLabel(QStringLiteral("縦方向 下へ"), Frame12), "Label26"), 1, 0);
    offsetRows->addWidget(Text8, 1, 1);
    offsetRows->addWidget(UpDown1, 1, 2);
    offsetRows->addWidget(named(new QLabel(QStringLiteral("㎜"), Frame12), "Label28"), 1, 3);
    offsetRows->setColumnStretch(4, 1);

    Command3 = named(new QPushButton(QStringLiteral("印刷(&P)"), this), "Command3");
    auto* preview = named(new QPushButton(QStringLiteral("プレビュー(&V)"), this), "cmdPreview");
    auto* pdf = named(new QPushButton(QStringLiteral("PDF保存(&A)"), this), "cmdPdf");
    // Enter moves on; no button is pressed by it.
    for (QPushButton* button : { Command3, preview, pdf, Command1, Command7 })
        button->setAutoDefault(false);

    connect(Combo6, &QComboBox::activated, this, &PrintDialogFrame::choosePrinter);
    connect(Command1, &QPushButton::clicked, this, &PrintDialogFrame::chooseFont);
    connect(Command7, &QPushButton::clicked, this, &PrintDialogFrame::showPrinterSettings);
    connect(Command3, &QPushButton::clicked, this, &PrintDialogFrame::print);
    connect(preview, &QPushButton::clicked, this, &PrintDialogFrame::preview);
    connect(pdf, &QPushButton::clicked, this, &PrintDialogFrame::savePdf);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command3);
    buttons->addWidget(preview);
    buttons->addWidget(pdf);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_form);
    layout->addWidget(Frame2);
    layout->addWidget(Frame12);
    layout->addLayout(buttons);
}

int PrintDialogFrame::offsetX() const
{
    return Text2->text().trimmed().toInt();
}

int PrintDialogFrame::offsetY() const
{
    return Text8->text().trimmed().toInt();
}

void PrintDialogFrame::loadFrame()
{
    const Settings& settings = m_state.settings;
    for (const auto& [setting, upDown] : { std::pair { Setting::stOffsetX, UpDown2 }, { Setting::stOffsetY, UpDown1 } })
        upDown->setValue(settings.value(setting).toInt());
    Text2->setText(QString::number(UpDown2->value()));
    Text8->setText(QString::number(UpDown1->value()));
    if (m_state.PrinterFont.isEmpty())
        m_state.PrinterFont = settings.value(Setting::PrinterFont);
    listPrinters();
    refresh();
}

void PrintDialogFrame::listPrinters()
{
    const QStringList names = m_state.printers ? m_state.printers->printerNames() : QStringList();
    Combo6->clear();
    Combo6->addItems(names);
    // The printer last chosen by name; with the same name twice, the later one.
    const int index = int(names.lastIndexOf(m_state.PrinterName));
    if (index >= 0) {
        m_state.PrinterIndex = index;
        m_state.currentPrinter = names.at(index);
    } else if (!names.contains(m_state.currentPrinter)) {
        m_state.currentPrinter = names.isEmpty() ? QString() : names.constFirst();
    }
    Command3->setEnabled(!names.isEmpty());
}

void PrintDialogFrame::refresh()
{
    Combo6->setCurrentIndex(int(Combo6->findText(m_state.currentPrinter)));
    txtFontName->setText(m_state.PrinterFont);
}

void PrintDialogFrame::showEvent(QShowEvent* event)
{
    refresh();
    QDialog::showEvent(event);
    // The frame's controls were made before the dialog's own, so they would take the focus
    // first; the dialog opens at its own first control (the date at the top), and Enter goes
    // on from there down to the buttons and round again.
    if (!m_focusPlaced) {
        m_focusPlaced = true;
        const QWidget* last = findChild<QPushButton*>(QStringLiteral("cmdPdf"));
        for (QWidget* w = last->nextInFocusChain(); w != last; w = w->nextInFocusChain()) {
            if (w != this && isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled()
                && w->isVisibleTo(this)) {
                w->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
}

void PrintDialogFrame::choosePrinter(int index)
{
    if (Combo6->currentText().isEmpty())
        return;
    m_state.PrinterIndex = index;
    m_state.currentPrinter = Combo6->itemText(index);
}

void PrintDialogFrame::chooseFont()
{
    const std::optional<QString> chosen = m_state.prompter.chooseFont(m_state.PrinterFont, 16);
    if (!chosen || chosen->isEmpty())
        return;
    // A vertical face ("@" before the name) prints as its horizontal one.
    m_state.PrinterFont = chosen->startsWith(QLatin1Char('@')) ? chosen->mid(1) : *chosen;
    txtFontName->setText(m_state.PrinterFont);
}

void PrintDialogFrame::showPrinterSettings()
{
    if (!m_state.printers)
        return;
    {
        WaitCursor hourglass;
        frmPrinterP(m_state, *m_state.printers, this).exec();
    }
    listPrinters();
    refresh();
}

void PrintDialogFrame::done(int result)
{
    Settings& settings = m_state.settings;
    settings.setValue(Setting::stOffsetX, QString::number(offsetX()));
    settings.setValue(Setting::stOffsetY, QString::number(offsetY()));
    if (!Combo6->currentText().isEmpty())
        m_state.PrinterName = Combo6->currentText();
    QDialog::done(result);
}

PagesWritten PrintDialogFrame::drawPdf(const QString& path, const QMarginsF& margins, const QString& doing,
                                       SheetPrinted& printed)
{
    WaitCursor hourglass;
    WorkProgress progress(this, windowTitle(), doing);
    progress.setUnit(pagesUnit);
    const int total = pageCount();
    PageSetup setup;
    setup.margins = margins;
    setup.progress = [&progress, total](int done) { return progress.step(done, total); };
    return writePdfPages(
        path, documentTitle(),
        [&](PageSurface& surface) {
            printed = draw(surface);
            return !printed.unread;
        },
        setup);
}

void PrintDialogFrame::print()
{
    if (m_state.currentPrinter.isEmpty() || !prepare(Output::Printer))
        return;
    const QString printer = m_state.currentPrinter;
    // The pages are drawn into a file aside and handed to the queue only when all are there, so
    // a run stopped half-way leaves no job; `kotrina print … --printer` goes the same way and
    // places the pages from the same printable area.
    const QTemporaryDir spool;
    SheetPrinted drawn;
    PagesWritten written = PagesWritten::Failed;
    QString reason;
    // A printer the print system no longer knows cannot take the job.
    if (spool.isValid() && PrintQueue::exists(printer)) {
        const QString file = spool.filePath(QStringLiteral("print.pdf"));
        written = drawPdf(file, PrintQueue::unprintableMargins(printer),
                          documentName() + QStringLiteral("を印刷しています…"), drawn);
        if (written == PagesWritten::Done && PrintQueue::submit(printer, file, documentTitle(), &reason) == 0)
            written = PagesWritten::Failed;
    }
    if (written == PagesWritten::Cancelled)
        return;
    if (written == PagesWritten::Failed && drawn.unread) {
        m_state.prompter.notice(databaseFailed);
        return;
    }
    if (written == PagesWritten::Failed) {
        m_state.prompter.notice(
            QStringLiteral("プリンタ「%1」に出力できませんでした。\rプリンタの設定を確認してください。").arg(printer)
                + (reason.isEmpty() ? QString() : QStringLiteral("\r") + reason),
            Prompter::Icon::Exclamation);
        return;
    }
    printed();
}

void PrintDialogFrame::preview()
{
    if (!prepare(Output::Preview))
        return;
    QPrinter printer(QPrinter::HighResolution);
    if (!m_state.currentPrinter.isEmpty())
        printer.setPrinterName(m_state.currentPrinter);
    printer.setDocName(documentTitle());
    // The pages as they would go to the chosen printer, from the same printable area.
    printer.setFullPage(false);
    printer.setPageLayout(QPageLayout(
        QPageSize(QPageSize::A4), QPageLayout::Portrait,
        m_state.currentPrinter.isEmpty() ? QMarginsF() : PrintQueue::unprintableMargins(m_state.currentPrinter),
        QPageLayout::Millimeter));
    QPrintPreviewDialog dialog(&printer, this);
    dialog.setWindowTitle(documentTitle());
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this, &dialog](QPrinter* pages) {
        WaitCursor hourglass;
        WorkProgress progress(this, windowTitle(), documentName() + QStringLiteral("のプレビューを作成しています…"));
        progress.setUnit(pagesUnit);
        const int total = pageCount();
        PageSurface surface(*pages);
        surface.setProgress([&progress, total](int done) { return progress.step(done, total); });
        if (!surface.isActive())
            return;
        const SheetPrinted drawn = draw(surface);
        surface.finish();
        // A stopped preview is no preview: its window closes.
        if (!drawn.whole())
            QTimer::singleShot(0, &dialog, &QDialog::reject);
        if (drawn.unread)
            m_state.prompter.notice(databaseFailed);
    });
    dialog.exec();
}

void PrintDialogFrame::savePdf()
{
    if (!prepare(Output::Pdf))
        return;
    FileDialogRequest request;
    request.title = QStringLiteral("PDF保存");
    // The title without its blanks, and without the slashes of its date, which would name folders.
    request.fileName
        = documentTitle().simplified().remove(QLatin1Char(' ')).remove(QLatin1Char('/')) + QStringLiteral(".pdf");
    request.filter = QStringLiteral("PDF ﾌｧｲﾙ (*.pdf)|*.pdf|");
    request.defaultSuffix = QStringLiteral("pdf");
    const std::optional<QString> chosen = saveFileIn(FileFolder::Pdf, m_state.settings, m_state.prompter, request);
    if (!chosen || chosen->isEmpty())
        return;
    QString path = *chosen;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    // A file stays a file: the pages keep the whole paper.
    SheetPrinted drawn;
    const PagesWritten written
        = drawPdf(path, QMarginsF(), documentName() + QStringLiteral("をPDFファイルに保存しています…"), drawn);
    if (written == PagesWritten::Cancelled)
        return;
    if (written == PagesWritten::Failed) {
        m_state.prompter.notice(drawn.unread
                                    ? databaseFailed
                                    : FailureCause::withCause(QStringLiteral("PDFファイルを保存できませんでした。\r")
                                                                  + QDir::toNativeSeparators(path),
                                                              FailureCause::ofWrite(path)),
                                Prompter::Icon::Exclamation);
        return;
    }
    // Nothing else shows that the file is there, nor where.
    m_state.prompter.notice(QStringLiteral("PDFファイルを保存しました（%1 ページ）。\r%2")
                                .arg(QLocale(QLocale::English).toString(drawn.pages), QDir::toNativeSeparators(path)));
    printed();
}
