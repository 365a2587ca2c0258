// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/NearestWord.h"

#include <algorithm>
#include <vector>

int editDistance(const QString& a, const QString& b)
{
    // Three rows of the table suffice: a swap looks two rows back.
    const qsizetype n = b.size();
    std::vector<int> twoBack(size_t(n + 1)), previous(size_t(n + 1)), current(size_t(n + 1));
    for (qsizetype j = 0; j <= n; ++j)
        previous[size_t(j)] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= n; ++j) {
            const int changed = a[i - 1] == b[j - 1] ? 0 : 1;
            int best
                = std::min({ previous[size_t(j)] + 1, current[size_t(j - 1)] + 1, previous[size_t(j - 1)] + changed });
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                best = std::min(best, twoBack[size_t(j - 2)] + 1);
            current[size_t(j)] = best;
        }
        std::swap(twoBack, previous);
        std::swap(previous, current);
    }
    return previous[size_t(n)];
}

QString nearestWord(const QString& word, const QStringList& candidates)
{
    QString best;
    int bestDistance = 0;
    for (const QString& candidate : candidates) {
        const int distance = editDistance(word, candidate);
        if (best.isEmpty() || distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}
