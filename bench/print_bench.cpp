// Speed and memory of the stocktaking sheet: 28,000 lines of one date in one category, a
// sheet of 1,000 A4 pages, written to a PDF file; and the same lines on the continuous form.
//   bench_print   (the data file is made in the temporary folder when missing)

#include "BenchData.h"
#include "core/printing/StocktakingSheet.h"
#include "core/store/Database.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

namespace {

void printSheet(const StocktakingSheet::Document& doc, StocktakingSheet::Layout layout, const QString& out,
                const char* what)
{
    resetPeakResident();
    const double before = residentMegabytes();
    QElapsedTimer timer;
    timer.start();
    QString error;
    const auto printed = StocktakingSheet::writePdf(doc, layout, QStringLiteral("ＭＳ 明朝"), 0, 0, out, &error);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!printed) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return;
    }
    std::printf("%s: %d pages in %.2f s, %.0f pages/s; resident %.0f MB before, peak %.0f MB; PDF %.1f MB\n", what,
                printed->pages, seconds, printed->pages / seconds, before, residentMegabytes("VmHWM"),
                QFileInfo(out).size() / 1e6);
}

} // namespace

int main(int argc, char* argv[])
{
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
    qsizetype lines = 0;
    for (const auto& section : doc->sections)
        lines += section.lines.size();
    std::printf("read %lld lines in %.0f ms\n", static_cast<long long>(lines), timer.nsecsElapsed() / 1e6);

    for (int run = 1; run <= 3; ++run)
        printSheet(*doc, StocktakingSheet::Layout::Original, out, "A4 original");
    printSheet(*doc, StocktakingSheet::Layout::Simple, out, "A4 simple");
    printSheet(*doc, StocktakingSheet::Layout::Hisago1151, out, "HISAGO 1151");
    return 0;
}
