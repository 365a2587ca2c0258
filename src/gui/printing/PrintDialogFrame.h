// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/SheetLayout.h"

#include <QDialog>

class AppState;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// What every print dialog shares: the printer list, the printer font, the offsets of the print
// on the paper, Enter moving to the next control, and the three ways out: the printer, the
// print preview and a PDF file, all drawn by the same routine of the dialog. The dialog adds its
// own controls to form() and decides what is printed in prepare(), draw() and printed().
class PrintDialogFrame : public QDialog
{
    Q_OBJECT
public:
    PrintDialogFrame(AppState& state, const QString& title, QWidget* parent = nullptr);

    // The offsets of the print, whole millimetres to the right and downwards.
    int offsetX() const;
    int offsetY() const;

protected:
    enum class Output
    {
        Printer,
        Preview,
        Pdf,
    };

    // The grid the dialog's own controls go in, above the shared ones.
    QGridLayout* form() const { return m_form; }
    QGroupBox* offsetGroup() const { return Frame12; }
    // Reads the offsets and the printer list; called by the dialog once its controls are built.
    void loadFrame();

    // The checks and the data before a run; false stops it (the dialog has told the user why).
    virtual bool prepare(Output output) = 0;
    // How many pages draw() will make of what prepare() read, for the progress.
    virtual int pageCount() const = 0;
    virtual SheetPrinted draw(PageSurface& surface) = 0;
    // After the pages went to the printer or into a PDF file.
    virtual void printed() { }
    // The title of the print job and of the PDF file; the file name offered is built from it.
    virtual QString documentTitle() const = 0;
    // What the progress calls the document: "棚卸表".
    virtual QString documentName() const = 0;

    void done(int result) override;
    void showEvent(QShowEvent* event) override;

    AppState& m_state;

private:
    void buildControls();
    void listPrinters();
    void choosePrinter(int index);
    void chooseFont();
    void showPrinterSettings();
    void refresh();
    void print();
    void preview();
    void savePdf();
    // The pages drawn into a PDF file at path, placed from the printable area whose margins are
    // given, with a progress that says what (doing) and can stop it.
    PagesWritten drawPdf(const QString& path, const QMarginsF& margins, const QString& doing, SheetPrinted& printed);

    QGridLayout* m_form;
    QComboBox* Combo6;
    QLineEdit* txtFontName;
    QGroupBox* Frame12;
    QLineEdit* Text2;
    QLineEdit* Text8;
    QSpinBox* UpDown1;
    QSpinBox* UpDown2;
    QPushButton* Command3;
    bool m_focusPlaced = false;
};
