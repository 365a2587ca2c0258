// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <optional>

class PageSurface;

// EAN-13 and EAN-8 symbols (JAN codes, UPC-A kept as its EAN-13, the shop's own 20–29 codes)
// encoded by libzint and drawn as filled rectangles on a page surface, so they stay sharp on
// every printer the pages go to.
namespace Barcode {

// The width of one module (the narrowest bar or space), mm. 0.375 mm is 114 % of the
// standard's 0.33 mm (80–200 % allowed) and exactly 3 dots of a 203-dpi label printer
// (0.125 mm dots), the coarsest printer the sheets meet: every bar and space there is a
// whole number of dots. A 300-dpi printer (4.4 dots a module) and a 600-dpi one (8.9 dots)
// place an edge at most half a dot off, 11 % and 6 % of a module, well inside what a reader
// tolerates. No module width within the allowed range is a whole number of dots on both a
// 203-dpi and a 300-dpi printer.
constexpr double moduleMm = 0.375;
// The grid the left edge of a symbol is put on, mm from the paper's corner: the dots of a
// 203-dpi printer, so that all edges of its bars fall between two dots.
constexpr double dotMm = 0.125;
// How far the guard bars reach below the others (the standard's 5 modules), mm.
constexpr double guardDescentMm = 5 * moduleMm;
// The size of the digits under the bars, points.
constexpr double digitPointSize = 7.5;
// From the foot of the bars to the digits' baseline, mm.
constexpr double digitBaselineMm = 2.2;

// A symbol laid out from its top-left corner (the outer edge of the left quiet zone), mm.
struct Symbol
{
    QString code;
    QList<QRectF> bars;
    // The digits printed under the bars: each group centred on x, or ending at x (the first
    // digit of an EAN-13, in the left quiet zone).
    struct Digits
    {
        double x = 0;
        bool endsAtX = false;
        QString text;
    };
    QList<Digits> digits;
    double width = 0; // with both quiet zones (EAN-13: 11 and 7 modules; EAN-8: 7 and 7)
    double barHeight = 0; // of the bars that are not guards
    // From the top of the bars to the foot of the digits.
    double height() const { return barHeight + digitBaselineMm + 0.4; }
};

// The symbol of an EAN-13 or EAN-8 code (13 or 8 digits, the last its check digit) with bars
// barHeight mm high; nullopt when the code is not one.
std::optional<Symbol> ean(const QString& code, double barHeight);

// Draws symbol with its top-left corner at about (x, y): the corner is moved left by less
// than a dot so that it lies on the dot grid of the paper. The digits are printed in the
// surface's face at digitPointSize; the surface's font size is kept.
void draw(PageSurface& surface, double x, double y, const Symbol& symbol);

} // namespace Barcode
