// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/printing/PrinterCatalog.h"

#include <map>

// Printers a test defines: each name with what its driver tells, and the default papers the
// window wrote.
class ListedPrinters final : public PrinterCatalog
{
public:
    QStringList names;
    std::map<QString, PrinterDetails> drivers; // a printer without an entry cannot be asked
    QStringList written; // "printer=code" for every default paper written

    QStringList printerNames() const override { return names; }
    QString defaultPrinter() const override { return names.value(0); }
    std::optional<PrinterDetails> details(const QString& printer) const override
    {
        const auto found = drivers.find(printer);
        return found == drivers.end() ? std::nullopt : std::optional(found->second);
    }
    bool setDefaultPaper(const QString& printer, int code) override
    {
        written << QStringLiteral("%1=%2").arg(printer).arg(code);
        drivers[printer].paperCode = code;
        return true;
    }
};
