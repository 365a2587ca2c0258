// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/imports/TabFile.h"

#include <QString>

// A tab-delimited file of counted lines as a shop's spreadsheet exports it: a heading line
// with the seven field labels, then lines over 40 categories and 7,000 products with
// Japanese names, quantities, units, unit prices with thousands separators, amounts and
// remarks, each line ended by CRLF. The same lines in every encoding; about 90 bytes a
// line in code page 932.
struct ImportFileSize
{
    qint64 lines = 1000000;
    int categories = 40;
    int products = 7000;
};

// Writes the file at path; false with a reason when it cannot.
bool writeImportFile(const QString& path, TextEncoding encoding, const ImportFileSize& size, QString* error);
