// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed of the correction screen's work on a large business file.
//   bench_review [FILE.idb]   (made when missing, as for bench_entry)

#include "BenchData.h"
#include "core/lines/LineChecks.h"
#include "core/lines/LinesModel.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Database db;
    if (!openBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), argc, argv, db))
        return 1;

    LinesModel lines;
    lines.setDatabase(&db);
    lines.setEditable(true);
    measure("all lines (1,000,000): count and first screen of rows", 10, [&](int) {
        lines.select(LineSelections::all());
        for (int r = 0; r < 40; ++r)
            lines.data(lines.index(r, 3));
    });
    measure("scrolling down 40 rows at a time, from row 500,000", 200, [&](int i) {
        const int top = 500000 + i * 40;
        for (int r = top; r < top + 40; ++r)
            lines.data(lines.index(r, 3));
    });
    measure("jumping 5,000 rows at a time", 100, [&](int i) {
        const int top = i * 5000;
        for (int r = top; r < top + 40; ++r)
            lines.data(lines.index(r, 3));
    });
    measure("jump to the last screen of all lines", 10, [&](int) {
        lines.select(LineSelections::all());
        for (int r = lines.rowCount() - 40; r < lines.rowCount(); ++r)
            lines.data(lines.index(r, 3));
    });
    std::printf("resident memory after scrolling through all lines: %.0f MB\n", residentMegabytes());

    const QDate day(2026, 3, 31);
    // The line set of a search is its list of IDs, read at once; rows are read by ID as shown.
    measure("category search of a date with 200,000 lines: the list and the first screen", 20, [&](int) {
        lines.select(LineSelections::ofCategory(day, 60));
        for (int r = 0; r < 40; ++r)
            lines.data(lines.index(r, 3));
    });
    measure("all lines of a date with 200,000 lines: the list and the first screen", 20, [&](int) {
        lines.selectDate(day);
        for (int r = 0; r < 40; ++r)
            lines.data(lines.index(r, 3));
    });
    measure("an edit of a listed line, written and read back", 50, [&](int i) {
        lines.setData(lines.index(100 + i, 8), QStringLiteral("棚%1").arg(i));
        lines.data(lines.index(100 + i, 8));
    });
    db.exec(QStringLiteral(R"(DELETE FROM "項目分類" WHERE "項目ID" = 60)"));
    measure("category check of a date with 200,000 lines", 10, [&](int) { markLinesWithoutCategory(db, day); });
    measure("product search of a date with 200,000 lines, \"緑茶\"", 20, [&](int) {
        lines.select(LineSelections::ofProduct(db, day, QStringLiteral("緑茶")));
        lines.data(lines.index(0, 3));
    });
    db.exec(QStringLiteral(R"(INSERT INTO "項目分類" VALUES (60, '分類60'))"));
    markLinesWithoutCategory(db, day);
    return 0;
}
