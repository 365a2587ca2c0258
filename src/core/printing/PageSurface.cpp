// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/PageSurface.h"

#include "core/app/BuiltinPicture.h"
#include "core/store/FileOps.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QRectF>
#include <cmath>

namespace {

// Lines as thin as a pen of the old printers: one pixel of a 170 dpi device.
constexpr double lineWidthMm = 0.15;
// The smallest size a text is shrunk to, points; smaller sizes would no longer print as letters.
constexpr double smallestPointSize = 3.0;

} // namespace

PageSurface::PageSurface(QPagedPaintDevice& device)
    : m_device(device)
    , m_k(device.logicalDpiX() / 25.4)
{
    // The faces named by the settings are the Windows ones; the substitutions are what
    // makes them print with an installed Japanese face in every process that draws.
    static const bool substituted = (BuiltinPicture::installFontSubstitutions(), true);
    Q_UNUSED(substituted);
    // A file that cannot be written leaves the painter inactive; isActive() tells the caller.
    if (m_painter.begin(&device)) {
        m_painter.setRenderHint(QPainter::Antialiasing, false);
        setPen(Line::Solid);
    }
}

void PageSurface::setFont(const QString& family, double pointSize)
{
    FontInUse* chosen = nullptr;
    for (const auto& known : m_fonts) {
        if (known->family == family && known->pointSize == pointSize)
            chosen = known.get();
    }
    if (!chosen) {
        QFont font(family);
        font.setPointSizeF(pointSize);
        m_fonts.push_back(
            std::make_unique<FontInUse>(FontInUse { family, pointSize, font, QFontMetricsF(font, &m_device), {} }));
        chosen = m_fonts.back().get();
    }
    if (chosen == m_current)
        return;
    m_current = chosen;
    m_font = chosen->font;
    m_painter.setFont(m_font);
    m_ascent = chosen->metrics.ascent() / m_k;
}

void PageSurface::setFontSize(double pointSize)
{
    setFont(m_current ? m_current->family : m_font.family(), pointSize);
}

double PageSurface::textWidth(const QString& text) const
{
    if (!m_current)
        return QFontMetricsF(m_font, &m_device).horizontalAdvance(text) / m_k;
    // Bounded: a sheet of unique amounts must not grow it without end.
    constexpr std::size_t mostKept = 20000;
    std::unordered_map<QString, double>& widths = m_current->widths;
    if (const auto known = widths.find(text); known != widths.end())
        return known->second;
    if (widths.size() >= mostKept)
        widths.clear();
    return widths.emplace(text, m_current->metrics.horizontalAdvance(text) / m_k).first->second;
}

void PageSurface::drawText(double x, double y, const QString& text)
{
    if (!text.isEmpty())
        m_painter.drawText(QPointF(px(x), px(y + m_ascent)), text);
}

void PageSurface::drawTextWithin(double x, double y, double width, const QString& text)
{
    // A text that cannot be wider than its column, even with every character as wide as the
    // font's widest, is printed without measuring it.
    if (m_current && text.size() * m_current->metrics.maxWidth() / m_k <= width) {
        drawText(x, y, text);
        return;
    }
    // Names are measured without keeping their widths: most differ from row to row, and a
    // sheet of a million names would hold them all.
    const double natural = m_current ? m_current->metrics.horizontalAdvance(text) / m_k : textWidth(text);
    if (natural <= width) {
        drawText(x, y, text);
        return;
    }
    const QFont kept = m_font;
    const double keptAscent = m_ascent;
    QFont smaller = m_font;
    smaller.setPointSizeF(std::max(smallestPointSize, m_font.pointSizeF() * width / natural));
    m_painter.setFont(smaller);
    // The smaller text keeps the row's vertical middle.
    const QFontMetricsF metrics(smaller, &m_device);
    const double ascent = metrics.ascent() / m_k;
    // Even the smallest size too wide (a name far beyond what entry allows): cut at the edge.
    const bool cut = metrics.horizontalAdvance(text) / m_k > width;
    if (cut) {
        m_painter.save();
        m_painter.setClipRect(QRectF(px(x), px(y - 2), px(width), px(2 * keptAscent + 4)));
    }
    m_painter.drawText(QPointF(px(x), px(y + (keptAscent + ascent) / 2)), text);
    if (cut)
        m_painter.restore();
    m_painter.setFont(kept);
}

void PageSurface::drawAligned(double base, double y, const QString& label, const QString& text, const QString& measured)
{
    drawText(base + textWidth(label) - textWidth(measured), y, text);
}

void PageSurface::setPen(Line style)
{
    QPen pen(Qt::black);
    pen.setWidthF(lineWidthMm * m_k);
    pen.setStyle(style == Line::Dotted ? Qt::DotLine : Qt::SolidLine);
    pen.setCapStyle(Qt::FlatCap);
    m_painter.setPen(pen);
    m_pen = style;
}

void PageSurface::drawLine(double x1, double y1, double x2, double y2, Line style)
{
    if (style != m_pen)
        setPen(style);
    m_painter.drawLine(QPointF(px(x1), px(y1)), QPointF(px(x2), px(y2)));
}

void PageSurface::fillRects(double x, double y, const QList<QRectF>& rects)
{
    m_deviceRects.clear();
    for (const QRectF& r : rects)
        m_deviceRects.push_back(QRectF(px(x + r.x()), px(y + r.y()), px(r.width()), px(r.height())));
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(Qt::black);
    m_painter.drawRects(m_deviceRects.data(), int(m_deviceRects.size()));
    m_painter.setBrush(Qt::NoBrush);
    setPen(m_pen);
}

void PageSurface::drawArc(double cx, double cy, double radius, double start, double end)
{
    if (m_pen != Line::Solid)
        setPen(Line::Solid);
    const QRectF box(px(cx - radius), px(cy - radius), px(2 * radius), px(2 * radius));
    constexpr double sixteenthsPerRadian = 16 * 180 / 3.1415926;
    m_painter.drawArc(box, static_cast<int>(std::lround(start * sixteenthsPerRadian)),
                      static_cast<int>(std::lround((end - start) * sixteenthsPerRadian)));
}

void PageSurface::drawRoundBox(double x1, double y1, double x2, double y2, double r)
{
    constexpr double pi = 3.1415926;
    drawArc(x1 + r, y1 + r, r, pi / 2, pi);
    drawArc(x1 + r, y2 - r, r, pi, 3 * pi / 2);
    drawArc(x2 - r, y2 - r, r, 3 * pi / 2, 2 * pi);
    drawArc(x2 - r, y1 + r, r, 0, pi / 2);
    drawLine(x1 + r, y1, x2 - r, y1);
    drawLine(x1, y1 + r, x1, y2 - r);
    drawLine(x1 + r, y2, x2 - r, y2);
    drawLine(x2, y1 + r, x2, y2 - r);
}

void PageSurface::newPage()
{
    if (m_cancelled)
        return;
    if (m_progress && !m_progress(m_pages)) {
        m_cancelled = true;
        return;
    }
    m_device.newPage();
    ++m_pages;
}

bool PageSurface::finish()
{
    return m_painter.end();
}

QPointF PageSurface::unprintableOffset() const
{
    return m_device.pageLayout().paintRect(QPageLayout::Millimeter).topLeft();
}

PagesWritten writePdfPages(const QString& path, const QString& title, const std::function<bool(PageSurface&)>& draw,
                           const PageSetup& setup)
{
    const QString temp = FileOps::temporaryPathFor(path);
    bool drawn = false;
    bool cancelled = false;
    {
        QPdfWriter pdf(temp);
        pdf.setResolution(1200);
        pdf.setCreator(QStringLiteral("Kotrina"));
        pdf.setTitle(title);
        pdf.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, setup.margins, QPageLayout::Millimeter));
        PageSurface surface(pdf);
        surface.setProgress(setup.progress);
        if (surface.isActive()) {
            const bool whole = draw(surface);
            drawn = surface.finish() && whole;
            cancelled = surface.cancelled();
        }
    }
    if (drawn && !cancelled && QFile::exists(temp) && FileOps::replaceWith(temp, path))
        return PagesWritten::Done;
    QFile::remove(temp);
    return cancelled ? PagesWritten::Cancelled : PagesWritten::Failed;
}
