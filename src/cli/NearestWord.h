// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>
#include <QStringList>

// How many characters must be typed, left out, changed or swapped with their neighbour to
// make one word of the other ("exprot" is one swap from "export").
int editDistance(const QString& a, const QString& b);

// The candidate nearest to word by editDistance(), the first of equally near ones; empty
// when there are no candidates.
QString nearestWord(const QString& word, const QStringList& candidates);
