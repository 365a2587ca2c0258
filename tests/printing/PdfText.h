// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QList>
#include <QString>

// The words of a PDF file as poppler's pdftotext -bbox reads them, boxes in mm from the
// page's top-left corner.
struct PdfWord
{
    int page = 0; // from 1
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    QString text;
};

struct PdfText
{
    int pages = 0;
    QList<PdfWord> words;
    QString problem; // why the file could not be read; empty when it was

    // The words equal to text, on page (0: any page), in reading order.
    QList<PdfWord> find(const QString& text, int page = 0) const;
    // The words of page whose top lies within 1 mm of y, left to right.
    QList<PdfWord> row(int page, double y) const;
    // The word of page that starts within 0.5 mm of (x, y); an empty word when there is none.
    PdfWord at(int page, double x, double y) const;
    // The words of a row from its word `from` on as amounts (-1 for a word that is none).
    QList<double> amounts(int page, double y, int from = 0) const;
};

PdfText readPdf(const QString& path);

// An amount as printed ("1,234") as a number; -1 when the text is none.
double amountOf(const QString& text);
