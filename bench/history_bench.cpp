// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed of the change-history screen's work on a large history.
//   bench_history [FILE.idb]   (made when missing, as for bench_entry; WRITTEN TO: give a copy)
// The 200,000 lines of 2026-03-31 are corrected once in one statement first, unless the date
// has that many entries already: 200,000 entries of one date to search, print and export.

#include "BenchData.h"
#include "core/history/HistoryListModel.h"
#include "core/history/HistorySheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    // The pages are drawn with fonts: a GUI application without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Database db;
    if (!openBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), argc, argv, db))
        return 1;
    ChangeHistory::Filter day;
    day.date = QDate(2026, 3, 31);
    if (ChangeHistory::count(db, day).value_or(0) < 200000) {
        std::printf("correcting the 200,000 lines of 2026-03-31 once …\n");
        if (!db.exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "数量" = "数量" + 1 WHERE "日付" = '2026-03-31')"))) {
            std::fprintf(stderr, "the lines could not be corrected\n");
            return 1;
        }
    }
    std::printf("entries of 2026-03-31: %lld\n", static_cast<long long>(ChangeHistory::count(db, day).value_or(-1)));

    HistoryListModel list;
    list.setDatabase(&db);
    measure("the screen's list of the date: count and first page", 10, [&](int) { list.select(day); });
    measure("scrolling on: the next page of 256 entries", 40, [&](int) { list.fetchMore({}); });
    ChangeHistory::Filter named = day;
    named.nameText = QStringLiteral("緑茶");
    measure("search by name \"緑茶\": count and first page", 10, [&](int) { list.select(named); });
    std::printf("  found %lld\n", static_cast<long long>(list.found()));
    ChangeHistory::Filter priced = day;
    priced.minAmount = 1000;
    priced.maxAmount = 1100;
    measure("search by amount 1,000 to 1,100: count and first page", 10, [&](int) { list.select(priced); });
    std::printf("  found %lld\n", static_cast<long long>(list.found()));
    ChangeHistory::Filter recent = day;
    recent.from = QDateTime::currentDateTime().addSecs(-3600);
    measure("search by time, the last hour: count and first page", 10, [&](int) { list.select(recent); });
    std::printf("  found %lld\n", static_cast<long long>(list.found()));

    const QTemporaryDir out;
    const qint64 printed = ChangeHistory::count(db, named).value_or(0);
    measure("printing the name search to PDF", 3, [&](int) {
        QString error;
        const std::optional<SheetPrinted> pages
            = HistorySheet::writePdf(db, named, QStringLiteral("品名「緑茶」"), QStringLiteral("ＭＳ 明朝"),
                                     out.filePath(QStringLiteral("history.pdf")), &error);
        if (!pages)
            std::fprintf(stderr, "%s\n", qPrintable(error));
        else if (pages->pages != HistorySheet::pageCount(printed))
            std::fprintf(stderr, "%d pages, %d expected\n", pages->pages, HistorySheet::pageCount(printed));
    });
    std::printf("  %lld entries, %d pages\n", static_cast<long long>(printed), HistorySheet::pageCount(printed));
    measure("exporting the name search to a workbook", 3, [&](int) {
        QString error;
        if (!HistoryExport::write(db, named, out.filePath(QStringLiteral("history.xlsx")), &error))
            std::fprintf(stderr, "%s\n", qPrintable(error));
    });
    std::printf("resident memory at the end: %.0f MB\n", residentMegabytes());
    return 0;
}
