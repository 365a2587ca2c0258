// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One paper size a printer offers.
struct PrinterPaper
{
    int code = 0; // DMPAPER code; 0 for a size without one, 256 and above for the printer's own sizes
    QString name; // the driver's own name of the paper
};

// What a printer's driver tells about one printer.
struct PrinterDetails
{
    QList<PrinterPaper> papers; // in the driver's order
    int maxCopies = 0; // the largest number of copies of one job
    int paperBin = 0; // DMBIN code of the tray in use; 0 when the driver names none
    int paperCode = 0; // DMPAPER code of the printer's default paper
    int physicalWidthMm = 0; // the default paper, whole millimetres cut
    int physicalHeightMm = 0;
};

// The installed printers and their drivers, as the printer settings and the print dialogs
// need them. The program asks the printing service of the machine; tests give their own list.
class PrinterCatalog
{
public:
    virtual ~PrinterCatalog() = default;

    // Device names of the installed printers, in the order of the printing service.
    virtual QStringList printerNames() const = 0;
    // The printer the service prints to unless told otherwise; empty when there is none.
    virtual QString defaultPrinter() const = 0;
    // nullopt when the driver of the printer cannot be asked.
    virtual std::optional<PrinterDetails> details(const QString& printer) const = 0;
    // Makes the paper with the DMPAPER code the printer's default paper for every program of
    // this user; false when it could not be written.
    virtual bool setDefaultPaper(const QString& printer, int code) = 0;
};
