// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/frmPrinterP.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/WaitCursor.h"
#include "core/printing/PrinterCatalog.h"
#include "core/printing/PrinterPapers.h"
#include "gui/widgets/ActivationWatcher.h"
#include "gui/widgets/InputMethodGuard.h"
#include "gui/widgets/Named.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

frmPrinterP::frmPrinterP(AppState& state, PrinterCatalog& printers, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_printers(printers)
{
    setObjectName(QStringLiteral("frmPrinterP"));
    setWindowTitle(QStringLiteral("プリンタの設定"));
    buildControls();
    connect(new ActivationWatcher(this), &ActivationWatcher::activated, this, [] { restoreArrowCursor(); });
    connect(Combo3, &QComboBox::activated, this, &frmPrinterP::choosePrinter);
    connect(Combo2, &QComboBox::activated, this, &frmPrinterP::choosePaper);
    listPrinters();
}

void frmPrinterP::buildControls()
{
    auto* Frame2 = named(new QGroupBox(QStringLiteral("プリンタ"), this), "Frame2");
    Combo3 = named(new QComboBox(Frame2), "Combo3");
    Combo3->setMinimumWidth(260);
    auto* Command3 = named(new QPushButton(QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ(&P)..."), Frame2), "Command3");
    Label4 = named(new QLabel(Frame2), "Label4");
    Label6 = named(new QLabel(Frame2), "Label6");
    auto* printerRows = new QGridLayout(Frame2);
    printerRows->addWidget(namedLabel("Label1", QStringLiteral("名前(&N)："), Combo3, Frame2), 0, 0);
    printerRows->addWidget(Combo3, 0, 1);
    printerRows->addWidget(Command3, 0, 2);
    printerRows->addWidget(Label4, 1, 1, 1, 2);
    printerRows->addWidget(Label6, 2, 0, 1, 3);

    Frame1 = named(new QGroupBox(QStringLiteral("プリンタの用紙"), this), "Frame1");
    // The driver's own names are shown; the description of the current paper stands in the
    // box even when it is not one of them, so the box takes text but not typing.
    Combo2 = named(new QComboBox(Frame1), "Combo2");
    Combo2->setEditable(true);
    Combo2->setInsertPolicy(QComboBox::NoInsert);
    Combo2->lineEdit()->setReadOnly(true);
    Combo1 = named(new QComboBox(Frame1), "Combo1");
    Combo1->setVisible(false);
    Label2 = namedLabel("Label2", QStringLiteral("サイズ(&Z)："), Combo2, Frame1);
    Label3 = named(new QLabel(QStringLiteral("給紙方法："), Frame1), "Label3");
    Label7 = named(new QLabel(Frame1), "Label7");
    Label8 = named(new QLabel(Frame1), "Label8");
    Label8->setVisible(false);
    auto* paperRows = new QGridLayout(Frame1);
    paperRows->addWidget(Label2, 0, 0);
    paperRows->addWidget(Combo2, 0, 1);
    paperRows->addWidget(Label3, 1, 0);
    paperRows->addWidget(Label7, 1, 1);

    // The offsets of the printed sheets are set in the print dialogs; this group stays disabled.
    auto* Frame12 = named(new QGroupBox(QStringLiteral("出力位置の調整"), this), "Frame12");
    Text1 = named(new QLineEdit(Frame12), "Text1");
    Text3 = named(new QLineEdit(Frame12), "Text3");
    UpDown1 = named(new QSpinBox(Frame12), "UpDown1");
    UpDown2 = named(new QSpinBox(Frame12), "UpDown2");
    for (QSpinBox* upDown : { UpDown1, UpDown2 }) {
        upDown->setRange(-100, 100);
        upDown->setButtonSymbols(QSpinBox::UpDownArrows);
        upDown->setFixedWidth(upDown->sizeHint().height());
        takesNumbersOnly(upDown);
    }
    for (QLineEdit* box : { Text1, Text3 })
        takesNumbersOnly(box);
    connect(UpDown1, &QSpinBox::valueChanged, Text1, [this](int value) { Text1->setText(QString::number(value)); });
    connect(UpDown2, &QSpinBox::valueChanged, Text3, [this](int value) { Text3->setText(QString::number(value)); });
    auto* Command2 = named(new QPushButton(QStringLiteral("登録（&I)"), Frame12), "Command2");
    auto* Command4 = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), Frame12), "Command4");
    connect(Command2, &QPushButton::clicked, this, [this] { registerOffsets(true); });
    connect(Command4, &QPushButton::clicked, this, [this] { registerOffsets(false); });
    auto* offsetRows = new QGridLayout(Frame12);
    offsetRows->addWidget(named(new QLabel(QStringLiteral("印字位置を調整します"), Frame12), "Label21"), 0, 0, 1, 4);
    offsetRows->addWidget(named(new QLabel(QStringLiteral("横方向 右へ"), Frame12), "Label25"), 1, 0);
    offsetRows->addWidget(Text1, 1, 1);
    offsetRows->addWidget(UpDown1, 1, 2);
    offsetRows->addWidget(named(new QLabel(QStringLiteral("㎜"), Frame12), "Label27"), 1, 3);
    offsetRows->addWidget(Command2, 1, 4);
    offsetRows->addWidget(named(new QLabel(QStringLiteral("縦方向 下へ"), Frame12), "Label26"), 2, 0);
    offsetRows->addWidget(Text3, 2, 1);
    offsetRows->addWidget(UpDown2, 2, 2);
    offsetRows->addWidget(named(new QLabel(QStringLiteral("㎜"), Frame12), "Label28"), 2, 3);
    offsetRows->addWidget(Command4, 2, 4);
    Frame12->setEnabled(false);

    auto* Command1 = named(new QPushButton(QStringLiteral("OK"), this), "Command1");
    auto* Command5 = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "Command5");
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Command5, &QPushButton::clicked, this, &QDialog::reject);
    connect(Command3, &QPushButton::clicked, this, &frmPrinterP::showPrinterSettings);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command5);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame2);
    layout->addWidget(Frame1);
    layout->addWidget(Frame12);
    layout->addLayout(buttons);

    setTabOrder(Combo3, Command3);
    setTabOrder(Command3, Combo2);
    setTabOrder(Combo2, Command1);
    setTabOrder(Command1, Command5);
}

void frmPrinterP::listPrinters()
{
    const QStringList names = m_printers.printerNames();
    if (m_state.currentPrinter.isEmpty())
        m_state.currentPrinter = m_printers.defaultPrinter();
    Combo3->clear();
    Combo3->addItems(names);
    // With the same name twice, the later one is taken, as the print dialogs do.
    m_selected = int(names.lastIndexOf(m_state.currentPrinter));
    if (m_selected < 0 && !names.isEmpty())
        m_selected = 0;
    Combo3->setCurrentIndex(m_selected);
    m_state.currentPrinter = Combo3->currentText();
    reloadPapers();
}

void frmPrinterP::choosePrinter(int index)
{
    if (Combo3->currentText().isEmpty())
        return;
    m_selected = index;
    m_state.currentPrinter = Combo3->itemText(index);
    reloadPapers();
}

void frmPrinterP::choosePaper(int index)
{
    Combo1->setCurrentIndex(index);
    if (Combo1->currentText().isEmpty() || Combo3->currentText().isEmpty())
        return;
    const int code = Combo1->currentData().toInt();
    // A printer whose default cannot be written keeps its paper; the list shows what was chosen.
    if (m_printers.setDefaultPaper(m_state.currentPrinter, code))
        m_paperCode = code;
}

void frmPrinterP::showPrinterSettings()
{
    const std::optional<int> chosen = m_state.prompter.printerSettings(Combo3->currentText(), m_paperCode);
    if (!chosen)
        Label4->setText(QStringLiteral("表示できません。"));
    else if (*chosen != m_paperCode && *chosen != 0)
        m_printers.setDefaultPaper(m_state.currentPrinter, *chosen);
    if (m_selected >= 0)
        Combo3->setCurrentIndex(m_selected);
    reloadPapers();
}

void frmPrinterP::reloadPapers()
{
    Combo1->clear();
    Combo2->clear();
    Label7->clear();
    Label8->clear();
    setPaperGroupEnabled(true);
    if (!fillPapers())
        setPaperGroupEnabled(false);
}

bool frmPrinterP::fillPapers()
{
    if (m_state.currentPrinter.isEmpty())
        return false;
    const std::optional<PrinterDetails> details = m_printers.details(m_state.currentPrinter);
    if (!details || details->papers.isEmpty())
        return false;
    for (const PrinterPaper& paper : details->papers)
        Combo1->addItem(PrinterPapers::paperName(paper.code), paper.code);
    if (details->maxCopies < 1)
        return false;
    Label6->setText(PrinterPapers::copiesMessage(details->maxCopies));
    Label7->setText(PrinterPapers::paperSource(details->paperBin));
    for (const PrinterPaper& paper : details->papers)
        Combo2->addItem(paper.name.section(QChar(0), 0, 0));
    m_paperCode = details->paperCode;
    Combo2->setCurrentIndex(-1);
    Combo2->setEditText(
        PrinterPapers::description(details->paperCode, details->physicalWidthMm, details->physicalHeightMm));
    return true;
}

void frmPrinterP::setPaperGroupEnabled(bool enabled)
{
    Frame1->setEnabled(true);
    for (QWidget* control :
         { static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label3), static_cast<QWidget*>(Label7),
           static_cast<QWidget*>(Label8), static_cast<QWidget*>(Combo2) })
        control->setEnabled(enabled);
    // A list that cannot be used looks like the face of a button.
    QPalette colours = Combo2->palette();
    colours.setColor(QPalette::Base, palette().color(enabled ? QPalette::Base : QPalette::Button));
    Combo2->setPalette(colours);
}

void frmPrinterP::registerOffsets(bool bold)
{
    for (QLineEdit* box : { Text1, Text3 }) {
        if (bold && box->text().isEmpty())
            box->setText(QStringLiteral("0"));
        QFont font = box->font();
        font.setBold(bold);
        box->setFont(font);
    }
}
