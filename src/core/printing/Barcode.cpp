// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/Barcode.h"

#include "core/printing/PageSurface.h"

#include <cmath>
#include <memory>
#include <zint.h>

namespace Barcode {

namespace {

struct SymbolDeleter
{
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

bool isDigits(const QString& text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

} // namespace

std::optional<Symbol> ean(const QString& code, double barHeight)
{
    if ((code.size() != 13 && code.size() != 8) || !isDigits(code))
        return std::nullopt;
    const std::unique_ptr<zint_symbol, SymbolDeleter> z(ZBarcode_Create());
    if (!z)
        return std::nullopt;
    // The check digit is given and checked, never added; the quiet zones are the standard's.
    z->symbology = BARCODE_EANX_CHK;
    z->output_options = BARCODE_QUIET_ZONES;
    // Vector output at scale 0.5 is in modules.
    z->scale = 0.5f;
    z->height = float(barHeight / moduleMm);
    z->guard_descent = float(guardDescentMm / moduleMm);
    const QByteArray digits = code.toLatin1();
    if (ZBarcode_Encode(z.get(), reinterpret_cast<const unsigned char*>(digits.constData()), int(digits.size())) >= 5
        || ZBarcode_Buffer_Vector(z.get(), 0) >= 5 || !z->vector)
        return std::nullopt;
    Symbol symbol;
    symbol.code = code;
    symbol.barHeight = barHeight;
    symbol.width = z->vector->width * moduleMm;
    for (const zint_vector_rect* r = z->vector->rectangles; r; r = r->next)
        symbol.bars.push_back(QRectF(r->x * moduleMm, r->y * moduleMm, r->width * moduleMm, r->height * moduleMm));
    for (const zint_vector_string* s = z->vector->strings; s; s = s->next) {
        symbol.digits.push_back(
            { s->x * moduleMm, s->halign == 2, QString::fromUtf8(reinterpret_cast<const char*>(s->text), s->length) });
    }
    return symbol;
}

void draw(PageSurface& s, double x, double y, const Symbol& symbol)
{
    const double margin = s.unprintableOffset().x();
    const double left = std::floor((x + margin) / dotMm + 1e-6) * dotMm - margin;
    s.fillRects(left, y, symbol.bars);
    const double keptSize = s.font().pointSizeF();
    s.setFontSize(digitPointSize);
    const double top = y + symbol.barHeight + digitBaselineMm - s.ascent();
    for (const Symbol::Digits& group : symbol.digits) {
        const double width = s.textWidth(group.text);
        s.drawText(left + group.x - (group.endsAtX ? width : width / 2), top, group.text);
    }
    s.setFontSize(keptSize);
}

} // namespace Barcode
