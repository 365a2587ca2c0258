// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The continuous form "HISAGO 1151": the paper carries its own grid and headings, so only
// the data is printed, at the form's positions.
#include "core/printing/PageSurface.h"
#include "core/printing/SheetText.h"
#include "core/printing/StocktakingSheet.h"

#include <cmath>
#include <cstdint>

namespace StocktakingSheet {

namespace {

constexpr double twipsPerMm = 56.7; // the form's positions were measured with this factor
constexpr double pointSize = 10;
// Rows of the first page (no carry-in line) and of the others.
constexpr int firstPageRows = 30;
constexpr int laterPageRows = 29;

// Amounts are right-aligned by blanks in front, the face being fixed-pitch; a text as long as
// the width or longer gets none.
QString padded(const QString& text, int width)
{
    return text.size() >= width ? text : QString(width - text.size(), QLatin1Char(' ')) + text;
}

// Positions of the form, measured from the paper's edge in mm, onto the surface, whose origin
// is the printable area's corner, shifted by the user's whole offsets.
class FormPosition
{
public:
    FormPosition(const PageSurface& s, double offsetX, double offsetY)
        : m_unprintable(s.unprintableOffset())
        , m_userX(toTwips(offsetX))
        , m_userY(toTwips(offsetY))
    { }
    double x(double mm) const { return toMm(std::round(mm * twipsPerMm) - m_unprintable.x() * 1440 / 25.4 + m_userX); }
    double y(double mm) const { return toMm(std::round(mm * twipsPerMm) - m_unprintable.y() * 1440 / 25.4 + m_userY); }

private:
    static double toTwips(double mm) { return static_cast<std::int16_t>(std::lround(mm * twipsPerMm)); }
    static double toMm(double twips) { return twips * 25.4 / 1440; }
    QPointF m_unprintable;
    double m_userX;
    double m_userY;
};

} // namespace

Printed drawContinuous(PageSurface& s, const Document& doc, const QString& fontFamily, double offsetX, double offsetY)
{
    const FormPosition at(s, offsetX, offsetY);
    auto text = [&](double x, double y, const QString& t) { s.drawText(at.x(x), at.y(y), t); };
    auto amounts = [&](double y, double carried, double page, double running) {
        text(135, y, padded(SheetText::amount(carried), 12));
        text(156, y, padded(SheetText::amount(page), 12));
        text(177, y, padded(SheetText::amount(running), 12));
    };
    s.setFont(fontFamily, pointSize);

    Printed printed;
    int pageNo = 0;
    auto pageHead = [&] {
        ++pageNo;
        text(190, 10, QString::number(pageNo));
        text(80, 10,
             QStringLiteral("棚卸表　　") + QStringLiteral("日付　") + SheetText::dateText(doc.date)
                 + QLatin1Char(' '));
    };

    double running = 0;
    double page = 0; // the sum of the lines of the page, shown in the middle column
    int rowsOnPage = firstPageRows; // the first page has no carry-in line and one row more
    int row = 0;
    pageHead();
    const bool read = !doc.rows || doc.rows([&](qsizetype section, const Line& line) {
        if (section < 0 || section >= doc.sections.size())
            return true;
        if (++row > rowsOnPage) {
            row = 1;
            text(43, 270, QStringLiteral("次頁へ繰越"));
            amounts(270, running, page, running);
            s.newPage();
            if (s.cancelled())
                return false;
            pageHead();
            text(43, 30, QStringLiteral("前頁ヨリ繰越"));
            text(177, 30, padded(SheetText::amount(running), 12));
            page = 0;
            rowsOnPage = laterPageRows;
        }
        running += line.price;
        page += line.price;
        if (line.name == QStringLiteral("消費税"))
            printed.taxTotal += line.price;

        const double y = (pageNo == 1 ? 29.5 : 37.5) + 8 * (row - 1);
        text(18, y, line.date.toString(QStringLiteral("MM/dd")));
        s.drawTextWithin(at.x(43), at.y(y), 110 - 1 - 43, line.name.left(30));
        text(110, y - 1.94,
             padded(SheetText::quantity(line.quantity), 9)
                 + (line.unit.isEmpty() ? QString() : line.unit + QLatin1Char(' ')));
        if (line.unitPrice != 0) {
            const bool wholePrice = line.unitPrice == std::trunc(line.unitPrice);
            text(110, y + 1.94, padded(SheetText::quantity(line.unitPrice), wholePrice ? 9 : 12));
        }
        text(135, y + 1.94, padded(SheetText::amount(line.price), 12));
        text(177, y + 1.94, padded(SheetText::amount(running), 12));
        return true;
    });
    amounts(270, running, page, running);
    printed.pages = pageNo;
    printed.total = running;
    printed.cancelled = s.cancelled();
    printed.unread = !read;
    return printed;
}

int continuousPages(const Document& doc)
{
    const qint64 lines = doc.lineCount();
    return int(lines <= firstPageRows ? 1 : 1 + (lines - firstPageRows + laterPageRows - 1) / laterPageRows);
}

} // namespace StocktakingSheet
