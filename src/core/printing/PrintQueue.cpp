// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/PrintQueue.h"

#include <QFile>
#include <cups/cups.h>

namespace PrintQueue {

namespace {

// The queue by name from the user's list of destinations (lpoptions included); freed with it.
class Destination
{
public:
    explicit Destination(const QString& printer)
        : m_count(cupsGetDests2(CUPS_HTTP_DEFAULT, &m_dests))
        , m_dest(cupsGetDest(printer.toUtf8().constData(), nullptr, m_count, m_dests))
    { }
    ~Destination() { cupsFreeDests(m_count, m_dests); }
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;

    cups_dest_t* get() const { return m_dest; }

private:
    cups_dest_t* m_dests = nullptr;
    int m_count = 0;
    cups_dest_t* m_dest = nullptr;
};

} // namespace

bool exists(const QString& printer)
{
    return Destination(printer).get() != nullptr;
}

QMarginsF unprintableMargins(const QString& printer)
{
    const Destination dest(printer);
    if (!dest.get())
        return {};
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest.get());
    if (!info)
        return {};
    // The driver's margins of the paper (a PPD's ImageableArea, a printer's
    // media-*-margin-supported), in hundredths of a millimetre.
    cups_size_t size = {};
    const bool known
        = cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, dest.get(), info, CUPS_MEDIA_A4, CUPS_MEDIA_FLAGS_DEFAULT, &size);
    cupsFreeDestInfo(info);
    if (!known)
        return {};
    return QMarginsF(size.left, size.top, size.right, size.bottom) / 100.0;
}

int submit(const QString& printer, const QString& pdfFile, const QString& title, QString* error)
{
    // The pages are A4 whatever paper the queue takes by default, as the sheets are laid out.
    cups_option_t* options = nullptr;
    const int count = cupsAddOption("media", "A4", 0, &options);
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, printer.toUtf8().constData(),
                                   QFile::encodeName(pdfFile).constData(), title.toUtf8().constData(), count, options);
    cupsFreeOptions(count, options);
    if (job > 0)
        return job;
    if (error)
        *error = QString::fromUtf8(cupsLastErrorString());
    return 0;
}

} // namespace PrintQueue
