#pragma once

#include <QString>

// Hands a finished PDF file to a printer queue of the print system (CUPS), as `lp -d NAME`
// does, for output without a window.
namespace PrintQueue {

// Whether the print system knows a queue of this name.
bool exists(const QString& printer);

// Submits the file as one job titled title. On failure error holds the print system's reason.
bool submit(const QString& printer, const QString& pdfFile, const QString& title, QString* error);

} // namespace PrintQueue
