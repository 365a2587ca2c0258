// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>

// The texts the printer settings show for the codes of a printer driver: DMPAPER paper
// sizes and DMBIN paper sources, as the printers' users know them from Windows.
namespace PrinterPapers {

// The name of a paper size: the DMPAPER constant without its prefix ("A4", "JENV_YOU4_ROTATED"),
// "UNKNOWN(n)" for a code below 256 without a name and "USER(n)" for the printer's own sizes.
QString paperName(int code);

// The description of the printer's paper size; widthMm and heightMm are the physical page
// and appear only for sizes without a description of their own.
QString description(int code, int widthMm, int heightMm);

// What the paper source of a DMBIN code does; empty for codes without a text.
QString paperSource(int bin);

// The sentence that tells the largest number of copies.
QString copiesMessage(int copies);

} // namespace PrinterPapers
