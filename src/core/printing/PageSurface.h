// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class QPagedPaintDevice;

// Told after every finished page how many pages are finished; false stops the drawing there.
using PageProgress = std::function<bool(int pagesDone)>;

// Pages drawn in millimetres from the top-left corner of the printable area, onto any paged
// device: a printer, the print preview's pages or a PDF file. The painter stays in device
// pixels and every position is converted here, once; fonts are sized in points, so texts
// measure on paper what they measure in the finished document.
class PageSurface
{
public:
    enum class Line
    {
        Solid,
        Dotted,
    };

    // Starts painting on device; the first page is open at once.
    explicit PageSurface(QPagedPaintDevice& device);
    PageSurface(const PageSurface&) = delete;
    PageSurface& operator=(const PageSurface&) = delete;

    // False when the device could not be opened for painting (a file that cannot be written).
    bool isActive() const { return m_painter.isActive(); }

    // The face by the name the user chose (substituted by an installed face when the name
    // is one of the Windows faces), in points.
    void setFont(const QString& family, double pointSize);
    void setFontSize(double pointSize);
    const QFont& font() const { return m_font; }

    // The width of text in the current font, mm.
    double textWidth(const QString& text) const;
    // From the top of a line of text to its baseline in the current font, mm.
    double ascent() const { return m_ascent; }

    // Text whose line starts at (x, y): y is the top of the line, not its baseline.
    void drawText(double x, double y, const QString& text);
    // Text that must end before x + width: a longer text is printed in a smaller size, so all
    // of it stays on the paper and nothing runs into the next column; a text too long even at
    // 3 points is cut at the edge.
    void drawTextWithin(double x, double y, double width, const QString& text);
    // A number right-aligned against a column's label: it ends where label, printed at base,
    // ends. The shift is measured on measured (the number as a whole number, "#,##0"), so
    // decimals printed in text stand out beyond the common edge and the integer digits line up.
    void drawAligned(double base, double y, const QString& label, const QString& text, const QString& measured);
    void drawAligned(double base, double y, const QString& label, const QString& text)
    {
        drawAligned(base, y, label, text, text);
    }

    void drawLine(double x1, double y1, double x2, double y2, Line style = Line::Solid);
    // Black rectangles moved by (x, y), filled, without an outline: their edges lie exactly
    // where given. All of them go to the device at once (a barcode's bars: one fill).
    void fillRects(double x, double y, const QList<QRectF>& rects);
    // A circle's arc around (cx, cy) from angle start to end, radians anticlockwise from the
    // positive x axis.
    void drawArc(double cx, double cy, double radius, double start, double end);
    // A rectangle with rounded corners of the given radius.
    void drawRoundBox(double x1, double y1, double x2, double y2, double radius);

    // Reports the finished page to the progress, then opens the next one, unless the progress
    // asked to stop: then no page is opened and cancelled() tells the drawing to end.
    void newPage();
    // Ends the document; false when the device reported a failure.
    bool finish();

    void setProgress(PageProgress progress) { m_progress = std::move(progress); }
    bool cancelled() const { return m_cancelled; }

    // The unprintable margin at the top-left of the paper, mm: where the surface's origin lies
    // on the paper.
    QPointF unprintableOffset() const;
    int pageCount() const { return m_pages; }

private:
    double px(double mm) const { return mm * m_k; }
    void setPen(Line style);

    QPagedPaintDevice& m_device;
    QPainter m_painter;
    double m_k; // device pixels per millimetre
    // A font in use with its metrics on the device and the widths of the texts measured in it
    // (labels, numbers, which the rows of a sheet measure again and again). A sheet switches
    // between a few fonts on every page; each is looked up once.
    struct FontInUse
    {
        QString family;
        double pointSize;
        QFont font;
        QFontMetricsF metrics;
        std::unordered_map<QString, double> widths; // mm
    };
    std::vector<std::unique_ptr<FontInUse>> m_fonts;
    FontInUse* m_current = nullptr;
    QFont m_font;
    double m_ascent = 0; // mm
    Line m_pen = Line::Solid;
    std::vector<QRectF> m_deviceRects; // fillRects' rectangles in device pixels, kept for reuse
    int m_pages = 1;
    PageProgress m_progress;
    bool m_cancelled = false;
};

// How pages go onto the paper and how the work is followed. margins is the part of the paper
// the printer cannot print on, mm (none for a file that stays a file); the pages are drawn from
// the printable area's top-left corner.
struct PageSetup
{
    QMarginsF margins;
    PageProgress progress;
};

enum class PagesWritten
{
    Done,
    Failed,
    Cancelled,
};

// Pages drawn by draw into a PDF file (A4 portrait, titled title), written beside path and
// renamed over it only when complete, so a failed or cancelled run leaves an older file as it
// was and no new one. draw returns false when its pages are not whole (the data could not be
// read).
PagesWritten writePdfPages(const QString& path, const QString& title, const std::function<bool(PageSurface&)>& draw,
                           const PageSetup& setup = {});
