// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/PrinterCatalog.h"

// The printers of the CUPS scheduler as Qt sees them, with what Qt cannot tell (the largest
// copy count, the paper tray, the user's default paper) asked of CUPS directly. With no
// scheduler running the list is empty.
class CupsPrinterCatalog final : public PrinterCatalog
{
public:
    QStringList printerNames() const override;
    QString defaultPrinter() const override;
    std::optional<PrinterDetails> details(const QString& printer) const override;
    // Written as the CUPS destination option "media" of this user, the way `lpoptions -o` does.
    bool setDefaultPaper(const QString& printer, int code) override;
};
