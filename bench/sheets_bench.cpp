// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed of the A4 sheets on the 200,000 lines of one date of the large business file: the
// count book against the stocktaking sheet in pages per second, and the summary sheets
// (100,000 products, 60 categories) from the query to the finished PDF file.
// "codes" times the count book of that date before and after every product got a code of its
// own (an in-store EAN-13; written into FILE, so give it a copy), every line then printing bars.
//   bench_sheets [FILE.idb [summary|codes]]   (made when missing, as for bench_entry; "summary": those only)

#include "BenchData.h"
#include "core/app/MemoryReuse.h"
#include "core/masters/ProductCodes.h"
#include "core/printing/CountBook.h"
#include "core/printing/StocktakingSheet.h"
#include "core/printing/SummarySheet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSqlQuery>
#include <cstdio>
#include <ctime>

namespace {

const QString font = QStringLiteral("ＭＳ 明朝");

double seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// Processor time of this process, s: on a machine shared with other work the wall clock says
// more about the others than about the sheet.
double processorSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// Processor time at the start of the sheet being measured.
double started = 0;

void report(const char* what, const std::optional<SheetPrinted>& printed, double read, double written,
            const QString& out)
{
    if (!printed) {
        std::printf("%s: not written\n", what);
        return;
    }
    std::printf("%s: read %.2f s; %d pages in %.2f s, %.0f pages/s; %.2f s in all (processor %.2f s); peak %.0f MB; "
                "PDF %.1f MB\n",
                what, read, printed->pages, written, printed->pages / written, read + written,
                processorSeconds() - started, residentMegabytes("VmHWM"), QFileInfo(out).size() / 1e6);
}

// Gives every product without a code the in-store code 2 + its ID in 11 digits + check digit.
bool codeEveryProduct(const Database& db)
{
    QSqlDatabase connection = db.connection();
    QSqlQuery ids(connection);
    ids.setForwardOnly(true);
    if (!connection.transaction() || !ids.exec(QStringLiteral(R"(SELECT "品名ID" FROM "仕入商品" s
               WHERE NOT EXISTS (SELECT 1 FROM "商品コード" c WHERE c."品名ID" = s."品名ID"))")))
        return false;
    QSqlQuery add(connection);
    add.prepare(QStringLiteral(R"(INSERT INTO "商品コード" ("コード", "品名ID", "順番") VALUES (?, ?, 0))"));
    int added = 0;
    while (ids.next()) {
        const QString digits = QStringLiteral("2%1").arg(ids.value(0).toLongLong(), 11, 10, QLatin1Char('0'));
        add.addBindValue(QString(digits + QString::number(ProductCodes::checkDigit(digits))));
        add.addBindValue(ids.value(0));
        if (!add.exec())
            return false;
        ++added;
    }
    std::printf("codes added: %d\n", added);
    return connection.commit();
}

void printBook(const Database& db, QDate day, const QString& out, QString& error)
{
    resetPeakResident();
    started = processorSeconds();
    QElapsedTimer timer;
    timer.start();
    const auto book = CountBook::load(db, day, std::nullopt, &error);
    const double bookRead = seconds(timer);
    timer.start();
    const auto bookPrinted = book ? CountBook::writePdf(*book, font, out, &error) : std::nullopt;
    report("count book", bookPrinted, bookRead, seconds(timer), out);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("KOTRINA_BENCH_PLAIN_MALLOC"))
        keepFreedMemoryForReuse();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Database db;
    if (!openBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), argc, argv, db))
        return 1;
    const QDate day = QDate::fromString(benchDate(0), Qt::ISODate);
    const QString out = QDir::temp().filePath(QStringLiteral("kotrina-sheets-bench.pdf"));
    QString error;
    QElapsedTimer timer;

    if (argc > 2 && qstrcmp(argv[2], "codes") == 0) {
        std::printf("before:\n");
        printBook(db, day, out, error);
        if (!codeEveryProduct(db)) {
            std::fprintf(stderr, "the codes could not be added\n");
            return 1;
        }
        std::printf("with a code on every line:\n");
        for (int run = 1; run <= 2; ++run)
            printBook(db, day, out, error);
        if (!error.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(error));
        return 0;
    }

    const bool summaryOnly = argc > 2 && qstrcmp(argv[2], "summary") == 0;
    for (int run = 1; run <= (summaryOnly ? 0 : 2); ++run) {
        resetPeakResident();
        started = processorSeconds();
        timer.start();
        const auto sheet = StocktakingSheet::load(db, day);
        const double read = seconds(timer);
        timer.start();
        const auto printed = sheet
            ? StocktakingSheet::writePdf(*sheet, StocktakingSheet::Layout::Original, font, 0, 0, out, &error)
            : std::nullopt;
        report("stocktaking sheet", printed, read, seconds(timer), out);

        printBook(db, day, out, error);
    }

    for (const SummarySheet::By by : { SummarySheet::By::Product, SummarySheet::By::Category }) {
        for (int run = 1; run <= 3; ++run) {
            resetPeakResident();
            started = processorSeconds();
            timer.start();
            const auto rows = SummarySheet::load(db, by, day, &error);
            const double read = seconds(timer);
            timer.start();
            const auto printed = rows
                ? SummarySheet::writePdf(*rows, SummarySheet::title(by), SummarySheet::heading(by), font, out, &error)
                : std::nullopt;
            report(by == SummarySheet::By::Product ? "summary by product" : "summary by category", printed, read,
                   seconds(timer), out);
        }
    }
    if (!error.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return 0;
}
