// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QMarginsF>
#include <QString>

// Hands a finished PDF file to a printer queue of the print system (CUPS), as `lp -d NAME`
// does, for output without a window, and says where on the paper a queue can print.
namespace PrintQueue {

// Whether the print system knows a queue of this name.
bool exists(const QString& printer);

// The edges of A4 paper the printer cannot print on, mm, as its driver states them for the
// paper; none when it states nothing. Every route to a printer lays the sheets out from the
// top-left corner of what is left: the print dialogs and `kotrina print … --printer` put the
// same page on the same spot.
QMarginsF unprintableMargins(const QString& printer);

// Submits the file (A4 pages) as one job titled title. The job's number, or 0 on failure with
// the print system's reason in error.
int submit(const QString& printer, const QString& pdfFile, const QString& title, QString* error);

} // namespace PrintQueue
