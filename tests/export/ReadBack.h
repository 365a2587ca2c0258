// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// A workbook as a real reader of the format (openpyxl) sees it.
struct ReadBack
{
    QStringList sheets;
    // Every row of "Sheet1"; a cell is a number (double), a text (QString) or null.
    QList<QVariantList> rows;
    QString problem; // why the file could not be read; empty when it was
};

ReadBack readWorkbook(const QString& path);
