// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed and memory of the stocktaking sheet: 28,000 lines of one date in one category, a
// sheet of 1,000 A4 pages, written to a PDF file; and the same lines on the continuous form.
//   bench_print   (the data file is made in the temporary folder when missing)

#include "BenchData.h"
#include "core/app/MemoryReuse.h"
#include "core/printing/StocktakingSheet.h"
#include "core/store/Database.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>
#include <ctime>

namespace {

void printSheet(const StocktakingSheet::Document& doc, StocktakingSheet::Layout layout, const QString& out,
                const char* what)
{
    resetPeakResident();
    const double before = residentMegabytes();
    QElapsedTimer timer;
    timer.start();
    const std::clock_t processorStart = std::clock();
    QString error;
    const auto printed = StocktakingSheet::writePdf(doc, layout, QStringLiteral("ＭＳ 明朝"), 0, 0, out, &error);
    const double seconds = timer.nsecsElapsed() / 1e9;
    // On a machine shared with other work the wall clock says more about the others.
    const double processor = double(std::clock() - processorStart) / CLOCKS_PER_SEC;
    if (!printed) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return;
    }
    std::printf("%s: %d pages in %.2f s, %.0f pages/s (processor %.2f s, %.0f pages/s); resident %.0f MB before, "
                "peak %.0f MB; PDF %.1f MB\n",
                what, printed->pages, seconds, printed->pages / seconds, processor, printed->pages / processor, before,
                residentMegabytes("VmHWM"), QFileInfo(out).size() / 1e6);
}

} // namespace

int main(int argc, char* argv[])
{
    // As the program does at its start; without it the bench measures the page faults of
    // the PDF engine's compression. KOTRINA_BENCH_PLAIN_MALLOC=1 measures them.
    if (qEnvironmentVariableIsEmpty("KOTRINA_BENCH_PLAIN_MALLOC"))
        keepFreedMemoryForReuse();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString data = QDir::temp().filePath(QStringLiteral("kotrina-print-28000.idb"));
    const QString out = QDir::temp().filePath(QStringLiteral("kotrina-print-bench.pdf"));
    QString error;
    if (!QFileInfo::exists(data)
        && !generateBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), data, { 28000, 1, 5000, 1 }, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    Database db;
    if (!db.open(data, nullptr, Database::Access::ReadOnly))
        return 1;
    const QDate day = QDate::fromString(benchDate(0), Qt::ISODate);

    QElapsedTimer timer;
    timer.start();
    const auto doc = StocktakingSheet::load(db, day);
    if (!doc)
        return 1;
    std::printf("counted %lld lines in %.0f ms\n", static_cast<long long>(doc->lineCount()),
                timer.nsecsElapsed() / 1e6);

    for (int run = 1; run <= 3; ++run)
        printSheet(*doc, StocktakingSheet::Layout::Original, out, "A4 original");
    printSheet(*doc, StocktakingSheet::Layout::Simple, out, "A4 simple");
    printSheet(*doc, StocktakingSheet::Layout::Hisago1151, out, "HISAGO 1151");
    return 0;
}
