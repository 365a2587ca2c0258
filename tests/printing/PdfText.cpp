// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "PdfText.h"

#include <QProcess>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>

namespace {
constexpr double mmPerPoint = 25.4 / 72;
}

PdfText readPdf(const QString& path)
{
    PdfText result;
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), { QStringLiteral("-bbox"), path, QStringLiteral("-") });
    if (!pdftotext.waitForFinished(60000) || pdftotext.exitCode() != 0) {
        result.problem = QString::fromLocal8Bit(pdftotext.readAllStandardError());
        return result;
    }
    QXmlStreamReader xml(pdftotext.readAllStandardOutput());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("page")) {
            ++result.pages;
        } else if (xml.name() == QLatin1String("word")) {
            const auto a = xml.attributes();
            PdfWord w;
            w.page = result.pages;
            w.x0 = a.value(QLatin1String("xMin")).toDouble() * mmPerPoint;
            w.y0 = a.value(QLatin1String("yMin")).toDouble() * mmPerPoint;
            w.x1 = a.value(QLatin1String("xMax")).toDouble() * mmPerPoint;
            w.y1 = a.value(QLatin1String("yMax")).toDouble() * mmPerPoint;
            w.text = xml.readElementText();
            result.words << w;
        }
    }
    if (xml.hasError())
        result.problem = xml.errorString();
    return result;
}

QList<PdfWord> PdfText::find(const QString& text, int page) const
{
    QList<PdfWord> found;
    for (const PdfWord& w : words) {
        if (w.text == text && (page == 0 || w.page == page))
            found << w;
    }
    return found;
}

QList<PdfWord> PdfText::row(int page, double y) const
{
    QList<PdfWord> found;
    for (const PdfWord& w : words) {
        if (w.page == page && std::fabs(w.y0 - y) < 1)
            found << w;
    }
    std::sort(found.begin(), found.end(), [](const PdfWord& a, const PdfWord& b) { return a.x0 < b.x0; });
    return found;
}

PdfWord PdfText::at(int page, double x, double y) const
{
    for (const PdfWord& w : words) {
        if (w.page == page && std::fabs(w.x0 - x) < 0.5 && std::fabs(w.y0 - y) < 0.5)
            return w;
    }
    return {};
}

QList<double> PdfText::amounts(int page, double y, int from) const
{
    QList<double> values;
    for (const PdfWord& w : row(page, y).mid(from))
        values << amountOf(w.text);
    return values;
}

double amountOf(const QString& text)
{
    bool ok = false;
    const double value = QString(text).remove(QLatin1Char(',')).toDouble(&ok);
    return ok ? value : -1;
}
