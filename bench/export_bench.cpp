// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed and memory of the spreadsheet export on a large business file.
//   bench_export [FILE.idb]   (made when missing, as for bench_entry; default /tmp/large.idb)
// A file of 20,000 lines of one date is made beside the output in the temporary folder.

#include "BenchData.h"
#include "core/export/SpreadsheetExport.h"
#include "core/store/Database.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <ctime>

namespace {

bool exportLines(const Database& db, const QString& date, const QString& target)
{
    QString error;
    if (SpreadsheetExport::writeLines(db, QDate::fromString(date, Qt::ISODate), SpreadsheetExport::LinesView::All,
                                      target, &error))
        return true;
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/large.idb");
    const QString out = QDir::temp().filePath(QStringLiteral("kotrina-export-bench.xlsx"));
    const QString small = QDir::temp().filePath(QStringLiteral("kotrina-export-20000.idb"));
    if (!ensureBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), path))
        return 1;
    QString error;
    if (!QFileInfo::exists(small)
        && !generateBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), small, { 20000, 1, 5000, 60 }, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    {
        Database db;
        if (!db.open(small, nullptr, Database::Access::ReadOnly))
            return 1;
        // The processor time too: on a machine shared with other work the clock time says less.
        const std::clock_t start = std::clock();
        measure("export 20,000 lines of a date", 10, [&](int) { exportLines(db, benchDate(0), out); });
        std::printf("  processor time per export %.1f ms\n", double(std::clock() - start) * 1000 / CLOCKS_PER_SEC / 10);
    }

    Database db;
    if (!db.open(path, nullptr, Database::Access::ReadOnly))
        return 1;
    measure("export 100,000 products by name", 3,
            [&](int) { SpreadsheetExport::writeProducts(db, MasterOrder::ByName, out, nullptr); });

    // Memory: the peak over the export against what was resident before it.
    resetPeakResident();
    const double before = residentMegabytes();
    QElapsedTimer timer;
    timer.start();
    if (!exportLines(db, benchDate(0), out))
        return 1;
    const double seconds = double(timer.elapsed()) / 1000;
    const double peak = residentMegabytes("VmHWM");
    std::printf("export all 200,000 lines of %s: %.2f s, %lld bytes\n", qPrintable(benchDate(0)), seconds,
                static_cast<long long>(QFileInfo(out).size()));
    std::printf("  resident %.2f MB before, peak %.2f MB during, %.2f MB after: growth %.2f MB\n", before, peak,
                residentMegabytes(), peak - before);
    return 0;
}
