#include "core/printing/PrintQueue.h"

#include <QFile>
#include <cups/cups.h>

namespace PrintQueue {

bool exists(const QString& printer)
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    const bool found = cupsGetDest(printer.toUtf8().constData(), nullptr, count, dests) != nullptr;
    cupsFreeDests(count, dests);
    return found;
}

bool submit(const QString& printer, const QString& pdfFile, const QString& title, QString* error)
{
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, printer.toUtf8().constData(),
                                   QFile::encodeName(pdfFile).constData(), title.toUtf8().constData(), 0, nullptr);
    if (job > 0)
        return true;
    if (error)
        *error = QString::fromUtf8(cupsLastErrorString());
    return false;
}

} // namespace PrintQueue
