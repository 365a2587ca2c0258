// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/CupsPrinterCatalog.h"

#include <QPageSize>
#include <QPrinterInfo>
#include <QSet>
#include <cups/cups.h>
#include <map>
#include <memory>

namespace {

// The destinations of this user (the scheduler's printers with the user's lpoptions), freed at
// the end of the scope.
class Destinations
{
public:
    Destinations() { m_count = cupsGetDests2(CUPS_HTTP_DEFAULT, &m_dests); }
    ~Destinations() { cupsFreeDests(m_count, m_dests); }
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;

    cups_dest_t* find(const QString& printer) const
    {
        return cupsGetDest(printer.toUtf8().constData(), nullptr, m_count, m_dests);
    }
    bool save() const { return cupsSetDests2(CUPS_HTTP_DEFAULT, m_count, m_dests) == 0; }

private:
    int m_count = 0;
    cups_dest_t* m_dests = nullptr;
};

// The paper sizes as the driver lists them, each DMPAPER code once ("A4" and "A4.Fullbleed"
// are one paper to the user); sizes without a code are told apart by their names.
QList<QPageSize> distinctSizes(const QPrinterInfo& info)
{
    QList<QPageSize> sizes;
    QSet<QString> seen;
    for (const QPageSize& size : info.supportedPageSizes()) {
        const QString key = size.windowsId() != 0 ? QString::number(size.windowsId()) : size.name();
        if (!seen.contains(key)) {
            seen.insert(key);
            sizes << size;
        }
    }
    return sizes;
}

// DMBIN code of a tray named by its PPD key or IPP keyword; 0 for a tray without one.
int binCode(const QString& tray)
{
    static const std::map<QString, int> codes = {
        { QStringLiteral("upper"), 1 },
        { QStringLiteral("onlyone"), 1 },
        { QStringLiteral("top"), 1 },
        { QStringLiteral("lower"), 2 },
        { QStringLiteral("bottom"), 2 },
        { QStringLiteral("middle"), 3 },
        { QStringLiteral("manual"), 4 },
        { QStringLiteral("envelope"), 5 },
        { QStringLiteral("envmanual"), 6 },
        { QStringLiteral("auto"), 7 },
        { QStringLiteral("tractor"), 8 },
        { QStringLiteral("anysmallformat"), 9 },
        { QStringLiteral("anylargeformat"), 10 },
        { QStringLiteral("largecapacity"), 11 },
        { QStringLiteral("large-capacity"), 11 },
        { QStringLiteral("cassette"), 14 },
        { QStringLiteral("formsource"), 15 },
    };
    const auto found = codes.find(tray.toLower());
    return found == codes.end() ? 0 : found->second;
}

} // namespace

QStringList CupsPrinterCatalog::printerNames() const
{
    return QPrinterInfo::availablePrinterNames();
}

QString CupsPrinterCatalog::defaultPrinter() const
{
    return QPrinterInfo::defaultPrinterName();
}

std::optional<PrinterDetails> CupsPrinterCatalog::details(const QString& printer) const
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    if (info.isNull())
        return std::nullopt;
    const QList<QPageSize> sizes = distinctSizes(info);
    PrinterDetails details;
    for (const QPageSize& size : sizes)
        details.papers.append({ size.windowsId(), size.name() });

    const Destinations destinations;
    cups_dest_t* dest = destinations.find(printer);
    QPageSize paper = info.defaultPageSize();
    details.maxCopies = 9999; // what CUPS allows unless the printer says otherwise
    if (dest) {
        // The user's own default paper, written by setDefaultPaper or lpoptions.
        const QString media = QString::fromUtf8(cupsGetOption("media", dest->num_options, dest->options));
        for (const QPageSize& size : sizes) {
            if (!media.isEmpty() && (size.key() == media || size.name() == media))
                paper = size;
        }
        if (cups_dinfo_t* dinfo = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
            if (ipp_attribute_t* copies = cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, dinfo, "copies")) {
                int upper = 0;
                ippGetRange(copies, 0, &upper);
                if (upper > 0)
                    details.maxCopies = upper;
            }
            if (ipp_attribute_t* source = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, dinfo, "media-source"))
                details.paperBin = binCode(QString::fromUtf8(ippGetString(source, 0, nullptr)));
            cupsFreeDestInfo(dinfo);
        }
        if (const char* slot = cupsGetOption("InputSlot", dest->num_options, dest->options))
            details.paperBin = binCode(QString::fromUtf8(slot));
    }
    details.paperCode = paper.windowsId();
    const QSizeF mm = paper.size(QPageSize::Millimeter);
    details.physicalWidthMm = int(mm.width());
    details.physicalHeightMm = int(mm.height());
    return details;
}

bool CupsPrinterCatalog::setDefaultPaper(const QString& printer, int code)
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    if (info.isNull())
        return false;
    QString key;
    for (const QPageSize& size : distinctSizes(info)) {
        if (size.windowsId() == code) {
            key = size.key();
            break;
        }
    }
    if (key.isEmpty())
        return false;
    const Destinations destinations;
    cups_dest_t* dest = destinations.find(printer);
    if (!dest)
        return false;
    dest->num_options = cupsAddOption("media", key.toUtf8().constData(), dest->num_options, &dest->options);
    return destinations.save();
}
