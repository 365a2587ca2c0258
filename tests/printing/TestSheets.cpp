// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SheetFile.h"
#include "TestRegistry.h"
#include "core/printing/CountBook.h"
#include "core/printing/SheetText.h"
#include "core/printing/StocktakingSheet.h"
#include "core/printing/SummarySheet.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <tuple>

using StocktakingSheet::Layout;
using StocktakingSheet::Printed;
using SummarySheet::By;

namespace {

// Draws pages into a PDF file of A4 paper without margins and reads the words back.
PdfText drawn(const TestEnvironment& env, const std::function<void(PageSurface&)>& draw)
{
    const QString file = env.path(QStringLiteral("surface.pdf"));
    {
        QPdfWriter pdf(file);
        pdf.setResolution(1200);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        PageSurface s(pdf);
        s.setFont(mincho, 9.75);
        draw(s);
        s.finish();
    }
    return readPdf(file);
}

const QString day = u"2026-03-31"_qs;
const QString earlier = u"2025-03-31"_qs;

PdfText printSheet(const SheetFile& f, Layout layout, double offsetX = 0, double offsetY = 0,
                   Printed* printed = nullptr)
{
    return f.print([&](const QString& file, QString* problem) {
        const std::optional<SheetDocument> doc = StocktakingSheet::load(f.db, QDate(2026, 3, 31), {});
        const std::optional<Printed> result
            = doc ? StocktakingSheet::writePdf(*doc, layout, mincho, offsetX, offsetY, file, problem) : std::nullopt;
        if (result && printed)
            *printed = *result;
        return result.has_value();
    });
}

PdfText printBook(const SheetFile& f, std::optional<int> category = {})
{
    return f.print([&](const QString& file, QString* problem) {
        const std::optional<SheetDocument> doc = CountBook::load(f.db, QDate(2025, 3, 31), category, problem);
        return doc && CountBook::writePdf(*doc, mincho, file, problem);
    });
}

PdfText printSummary(const SheetFile& f, By by)
{
    return f.print([&](const QString& file, QString* problem) {
        const std::optional<SheetDocument> doc = SummarySheet::load(f.db, by, QDate(2026, 3, 31), problem);
        return doc
            && SummarySheet::writePdf(*doc, SummarySheet::title(by), SummarySheet::heading(by), mincho, file, problem);
    });
}

} // namespace

// The page surface, and the stocktaking sheet, count book and summary sheets drawn on it.
// The three A4 documents are drawn by one routine, so its paging, page subtotals and
// sections are tried on the stocktaking sheet only; the others keep what their own layouts
// and selections decide.
class TestSheets : public QObject
{
    Q_OBJECT

private slots:
    void pagesAreCountedBeforeAndStoppedWhileTheyAreDrawn()
    {
        // Sections at and around the page's 28 rows, an empty one, 未区分, and lines of a
        // category gone, which no sheet prints.
        SheetFile f;
        f.category(1, QStringLiteral("食品"));
        f.category(2, QStringLiteral("雑貨"));
        f.category(3, QStringLiteral("空き"));
        for (int i = 0; i < 28; ++i)
            f.line(day, 1, QStringLiteral("品%1").arg(i), 1, 10);
        for (int i = 0; i < 29; ++i)
            f.line(day, 2, QStringLiteral("品%1").arg(i), 1, 20);
        f.line(day, 0, QStringLiteral("未区分の品"), 1, 5);
        f.line(day, 9, QStringLiteral("消えた分類の品"), 1, 1000);
        const QDate date(2026, 3, 31);
        const std::optional<SheetDocument> all = StocktakingSheet::load(f.db, date);
        const std::optional<SheetDocument> one = StocktakingSheet::load(f.db, date, 2);
        QVERIFY(all && one);
        QCOMPARE(all->lineCount(), 58);
        const QString file = f.env.path(QStringLiteral("counted.pdf"));
        QString problem;
        const QList<std::tuple<const SheetDocument*, Layout, int>> cases { { &*all, Layout::Original, 5 },
                                                                           { &*all, Layout::Hisago1151, 2 },
                                                                           { &*one, Layout::Simple, 2 } };
        for (const auto& [doc, layout, pages] : cases) {
            QCOMPARE(StocktakingSheet::pageCount(*doc, layout), pages);
            const std::optional<Printed> printed
                = StocktakingSheet::writePdf(*doc, layout, mincho, 0, 0, file, &problem);
            QVERIFY2(printed, qPrintable(problem));
            QCOMPARE(printed->pages, pages);
            QCOMPARE(readPdf(file).pages, pages);
            QCOMPARE(printed->total, doc == &*all ? 28 * 10 + 29 * 20 + 5 : 29 * 20);
        }

        // Stopped after the first page: the file of the earlier run stays as it was, and no
        // part of the new one is left beside it.
        QFile earlier(file);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        const QByteArray before = earlier.readAll();
        earlier.close();
        QList<int> told;
        PageSetup setup;
        setup.progress = [&](int done) {
            told << done;
            return false;
        };
        for (const Layout layout : { Layout::Original, Layout::Hisago1151 }) {
            told.clear();
            problem = QStringLiteral("unchanged");
            QVERIFY(!StocktakingSheet::writePdf(*all, layout, mincho, 0, 0, file, &problem, setup));
            QCOMPARE(problem, QString());
            QCOMPARE(told, QList<int> { 1 });
            QVERIFY(earlier.open(QIODevice::ReadOnly));
            QCOMPARE(earlier.readAll(), before);
            earlier.close();
            QCOMPARE(
                QDir(f.env.path({}))
                    .entryList({ QStringLiteral("*.pdf*"), QStringLiteral(".*.pdf*") }, QDir::Files | QDir::Hidden),
                QStringList { QStringLiteral("counted.pdf") });
        }
    }

    void thePrintableAreaMovesTheA4SheetsButNotTheForm()
    {
        // A printer that cannot print on 5 mm at the left and 7 mm at the top: the A4 sheets are
        // laid out from the corner of what it can print, the pre-printed form keeps to the paper.
        SheetFile f;
        f.category(1, QStringLiteral("食品"));
        f.line(day, 1, QStringLiteral("りんご"), 1, 10);
        const std::optional<SheetDocument> doc = StocktakingSheet::load(f.db, QDate(2026, 3, 31));
        QVERIFY(doc);
        PageSetup printer;
        printer.margins = QMarginsF(5, 7, 3, 4);
        const QString file = f.env.path(QStringLiteral("placed.pdf"));
        QString problem;
        for (const bool margins : { false, true }) {
            QVERIFY(StocktakingSheet::writePdf(*doc, Layout::Original, mincho, 0, 0, file, &problem,
                                               margins ? printer : PageSetup {}));
            const double dx = margins ? 5 : 0;
            const double dy = margins ? 7 : 0;
            const PdfText a4 = readPdf(file);
            QCOMPARE(a4.at(1, 15 + dx, 38 + dy).text, QStringLiteral("りんご"));
            QCOMPARE(a4.at(1, 20 + dx, 18 + dy).text, QStringLiteral("食品"));
            QVERIFY(StocktakingSheet::writePdf(*doc, Layout::Hisago1151, mincho, 0, 0, file, &problem,
                                               margins ? printer : PageSetup {}));
            const PdfText form = readPdf(file);
            QCOMPARE(form.at(1, 43, 29.5).text, QStringLiteral("りんご"));
            QCOMPARE(form.at(1, 18, 29.5).text, QStringLiteral("03/31"));
        }
    }

    void textLandsAtItsMillimetresAndMeasuresWhatItPrints()
    {
        TestEnvironment env;
        double width = 0;
        const PdfText pdf = drawn(env, [&](PageSurface& s) {
            s.drawText(20, 30, QStringLiteral("棚卸表"));
            width = s.textWidth(QStringLiteral("棚卸表"));
            s.drawLine(12, 35, 192, 35, PageSurface::Line::Dotted);
            s.drawRoundBox(12, 29, 192, 270, 1);
            s.newPage();
            s.setFontSize(14.25);
            s.drawText(87, 11, QStringLiteral("項目"));
            // Page numbers end at one edge however many digits they have.
            SheetText::drawPageNumber(s, 10);
            s.newPage();
            SheetText::drawPageNumber(s, 9);
        });
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        QCOMPARE(pdf.pages, 3);
        const QList<PdfWord> title = pdf.find(QStringLiteral("棚卸表"), 1);
        QCOMPARE(title.size(), 1);
        QVERIFY2(std::fabs(title[0].x0 - 20) < 0.5, qPrintable(QString::number(title[0].x0)));
        QVERIFY2(std::fabs(title[0].y0 - 30) < 0.5, qPrintable(QString::number(title[0].y0)));
        QVERIFY2(std::fabs(title[0].x1 - title[0].x0 - width) < 0.2, qPrintable(QString::number(width)));
        // 9.75 points: three full-width characters of 3.44 mm each.
        QVERIFY2(std::fabs(width - 3 * 9.75 * 25.4 / 72) < 0.2, qPrintable(QString::number(width)));
        const PdfWord big = pdf.at(2, 87, 11);
        QCOMPARE(big.text, QStringLiteral("項目"));
        QVERIFY(std::fabs(big.x1 - big.x0 - 2 * 14.25 * 25.4 / 72) < 0.2);
        const PdfWord ten = pdf.find(QStringLiteral("10"), 2).value(0);
        const PdfWord nine = pdf.find(QStringLiteral("9"), 3).value(0);
        QVERIFY(!nine.text.isEmpty() && !ten.text.isEmpty());
        QVERIFY2(std::fabs(nine.x1 - ten.x1) < 0.1, qPrintable(QStringLiteral("%1 %2").arg(nine.x1).arg(ten.x1)));
        QVERIFY(ten.x0 < nine.x0 - 1);

        // "ＭＳ 明朝" is printed with an installed Japanese face, not a Latin fallback.
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), { env.path(QStringLiteral("surface.pdf")) });
        QVERIFY(fonts.waitForFinished());
        QVERIFY2(fonts.readAllStandardOutput().contains("Mincho"), "the printer font is not substituted");
    }

    void a4PagesCarryTheirSubtotalsAndTheLastOneTheTotal()
    {
        SheetFile f;
        f.category(1, u"食品"_qs);
        f.category(2, u"空の分類"_qs);
        f.category(3, u"雑貨"_qs);
        for (int i = 1; i <= 29; ++i)
            f.line(day, 1, u"品%1"_qs.arg(i), 1, i * 100);
        const QString longName(60, QChar(0x68DA)); // 60 × 棚
        f.line(day, 3, longName, 2.5, 100, 1, u"棚A"_qs);
        f.line(day, 0, u"未分類品"_qs, 1, 7);
        f.line(day, 0, u"未分類品二"_qs, 1, 8);

        const PdfText pdf = printSheet(f, Layout::Original);
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        // 食品 on two pages, the empty category on its own page, 雑貨, then 未区分 last.
        QCOMPARE(pdf.pages, 5);
        // pdftotext splits words at ideographic spaces.
        QCOMPARE(pdf.at(1, 87, 11).text, u"棚"_qs);
        QCOMPARE(pdf.at(1, 20, 18).text, u"食品"_qs);
        QCOMPARE(pdf.at(1, 15, 38).text, u"品1"_qs);
        QCOMPARE(pdf.at(1, 15, 38 + 8 * 27).text, u"品28"_qs);
        QCOMPARE(pdf.at(1, 152, 20).text, u"2026/03/31"_qs);
        // The 29th line starts the second page at its first row, under the heading again.
        QCOMPARE(pdf.at(2, 15, 38).text, u"品29"_qs);
        QCOMPARE(pdf.at(2, 20, 18).text, u"食品"_qs);
        QCOMPARE(pdf.at(3, 20, 18).text, u"空の分類"_qs);
        QVERIFY(pdf.row(3, 38).isEmpty());
        QCOMPARE(pdf.at(4, 20, 18).text, u"雑貨"_qs);
        QVERIFY(pdf.at(5, 12, 18).text.startsWith(u"項目"_qs));
        QVERIFY(pdf.row(5, 18).constLast().text.endsWith(u"未区分"_qs));

        // Subtotals at y = 258 ending where "小計" printed at 154 ends; the total only on the last page.
        const double sumEnd = endOf(u"小計"_qs, 154);
        const QList<double> subtotals = { 40600, 2900, 0, 250, 15 };
        for (int page = 1; page <= 5; ++page) {
            const QList<PdfWord> row = pdf.row(page, 258);
            QCOMPARE(row.size(), 2);
            QCOMPARE(row[0].text, u"小計"_qs);
            QVERIFY(near(row[0].x0, 17));
            QCOMPARE(amountOf(row[1].text), subtotals[page - 1]);
            QVERIFY2(near(row[1].x1, sumEnd, 0.2), qPrintable(QString::number(row[1].x1)));
        }
        QCOMPARE(pdf.find(u"合計"_qs).size(), 1);
        QCOMPARE(pdf.amounts(5, 262, 1), QList<double> { 43765 });

        // 2.5 × 100: the quantity's whole digit ends with the other quantities, its decimals beyond.
        const QList<PdfWord> line = pdf.row(4, 38);
        QCOMPARE(line.size(), 5);
        QCOMPARE(line[0].text, u"2.50"_qs);
        // A half-width digit is half an em of 9.75 points wide.
        const double quantityEnd = endOf(u"数量"_qs, 90);
        QVERIFY(near(line[0].x0 + 9.75 / 2 * 25.4 / 72, quantityEnd, 0.2));
        QVERIFY(line[0].x1 > quantityEnd + 4);
        QCOMPARE(line[4].text, u"棚A"_qs);
        QVERIFY(near(line[4].x0, 164));
        // The name of 60 full-width characters is printed whole, smaller and in the row's middle,
        // before the column rule at 82.
        const PdfWord name = pdf.find(longName, 4).value(0);
        QVERIFY(near(name.x0, 15));
        QVERIFY2(name.x1 < 82, qPrintable(QString::number(name.x1)));
        QVERIFY(name.y0 > 38 && name.y1 < 42);
    }

    void continuousFormHolds30RowsThen29AndCarriesTheAmounts()
    {
        SheetFile f;
        f.category(1, u"食品"_qs);
        for (int i = 1; i <= 59; ++i)
            f.line(day, 1, u"品%1"_qs.arg(i), 1, 100);
        f.line(day, 1, u"消費税"_qs, 1, 480);

        Printed printed;
        const PdfText pdf = printSheet(f, Layout::Hisago1151, 0, 0, &printed);
        QCOMPARE(pdf.pages, 3);
        QCOMPARE(printed.taxTotal, 480.0);
        QCOMPARE(pdf.at(1, 43, 29.5).text, u"品1"_qs);
        QCOMPARE(pdf.at(1, 18, 29.5).text, u"03/31"_qs);
        QCOMPARE(pdf.at(1, 43, 29.5 + 8 * 29).text, u"品30"_qs);
        QCOMPARE(pdf.at(2, 43, 37.5).text, u"品31"_qs);
        QCOMPARE(pdf.at(2, 43, 37.5 + 8 * 28).text, u"品59"_qs);
        QCOMPARE(pdf.at(3, 43, 37.5).text, u"消費税"_qs);
        QCOMPARE(pdf.at(1, 190, 10).text, u"1"_qs);

        // Carry-out lines: carried amount, the page's own amount, the running total.
        QCOMPARE(pdf.at(1, 43, 270).text, u"次頁へ繰越"_qs);
        QCOMPARE(pdf.amounts(1, 270), QList<double>({ -1, 3000, 3000, 3000 }));
        QCOMPARE(pdf.amounts(2, 270), QList<double>({ -1, 5900, 2900, 5900 }));
        QCOMPARE(pdf.amounts(3, 270), QList<double>({ 6380, 480, 6380 }));
        QVERIFY(pdf.find(u"前頁ヨリ繰越"_qs, 1).isEmpty());
        QCOMPARE(pdf.at(2, 43, 30).text, u"前頁ヨリ繰越"_qs);
        QCOMPARE(amountOf(pdf.row(3, 30).constLast().text), 5900.0);
        // Amounts padded to twelve characters end at the same x in every row.
        const double end = pdf.row(1, 270).constLast().x1;
        QVERIFY(near(pdf.row(3, 270).constLast().x1, end, 0.1));
        QVERIFY(near(pdf.row(2, 30).constLast().x1, end, 0.1));

        // The user's offsets shift everything by whole millimetres.
        const PdfText shifted = printSheet(f, Layout::Hisago1151, 5, -3);
        QCOMPARE(shifted.at(1, 48, 26.5).text, u"品1"_qs);
        QCOMPARE(shifted.at(2, 48, 27).text, u"前頁ヨリ繰越"_qs);
    }

    void rowsOfTheEarlierStocktakingWithItsUnitPrices()
    {
        SheetFile f;
        f.category(1, u"食品"_qs);
        f.category(3, u"雑貨"_qs);
        // りんご costs 130 now and was counted at 140 this year: the book shows the 120 of then.
        f.product(1, u"りんご"_qs, 130);
        f.line(earlier, 1, u"りんご"_qs, 3, 120, 1, u"棚A"_qs);
        f.line(u"2026-03-31"_qs, 1, u"りんご"_qs, 3, 140);
        f.line(earlier, 3, u"ほうき"_qs, 3, 1234.5);
        f.line(earlier, 3, u"ちりとり"_qs, 3, 100);
        f.line(earlier, 0, u"未分類品"_qs, 3, 7);

        const PdfText pdf = printBook(f);
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        QCOMPARE(pdf.pages, 3);
        QCOMPARE(pdf.at(1, 87, 11).text, u"棚"_qs);
        QCOMPARE(pdf.at(1, 142, 20).text, u"前期棚卸日"_qs);
        QCOMPARE(pdf.at(1, 165, 20).text, u"2025/03/31"_qs);
        QCOMPARE(pdf.at(1, 117, 30).text, u"参考単価"_qs);
        QCOMPARE(pdf.at(1, 20, 18).text, u"食品"_qs);
        // A row: name, unit and the earlier price; quantity, price and remark left for the pen.
        const QList<PdfWord> row = pdf.row(1, 38);
        QCOMPARE(row.size(), 3);
        QCOMPARE(row[1].text, u"個"_qs);
        QCOMPARE(row[2].text, u"120"_qs);
        QVERIFY(pdf.row(1, 46).isEmpty());
        QVERIFY(pdf.find(u"小計"_qs).isEmpty());
        QVERIFY(pdf.find(u"合計"_qs).isEmpty());

        // 1,234.5: two decimals, its whole digits ending where the whole prices end.
        const PdfWord fraction = pdf.row(2, 38).constLast();
        const PdfWord whole = pdf.row(2, 46).constLast();
        QCOMPARE(fraction.text, u"1,234.50"_qs);
        QCOMPARE(whole.text, u"100"_qs);
        QVERIFY(near(whole.x1, endOf(u"単価"_qs, 125), 0.2));
        QVERIFY2(near(endOf(u"1,234"_qs, fraction.x0), whole.x1, 0.2), qPrintable(QString::number(fraction.x0)));

        // One category: its lines only, no 未区分 page.
        const PdfText one = printBook(f, 3);
        QCOMPARE(one.pages, 1);
        QVERIFY(one.find(u"未分類品"_qs).isEmpty());
        QVERIFY(one.find(u"未区分"_qs).isEmpty());

        // A date without lines is said and nothing is printed.
        QString problem;
        QVERIFY(!CountBook::load(f.db, QDate(2024, 3, 31), {}, &problem));
        QCOMPARE(problem, u"該当する棚卸はありません。前期の棚卸日を確認してください。"_qs);
    }

    void productsByName()
    {
        SheetFile f;
        f.category(1, u"食品"_qs);
        f.product(1, u"品01"_qs);
        f.product(2, u"品02"_qs);
        // Two products of one name are one row, before 品01 and 品02 (箱 is read はこ, 品 ひん); a line
        // of no product is on no row.
        f.product(40, u"箱"_qs);
        f.product(41, u"箱"_qs);
        for (const auto& [price, product] :
             { std::pair(200, 2), { 100, 1 }, { 1000, 40 }, { 2000, 41 }, { 3000, 41 }, { 70000, 99 } })
            f.line(day, 1, u"品"_qs, 1, price, product);

        const PdfText pdf = printSummary(f, By::Product);
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        QCOMPARE(pdf.pages, 1);
        QCOMPARE(pdf.at(1, 77, 11).text, u"棚卸表"_qs);
        QCOMPARE(pdf.at(1, 22, 30).text, u"品名"_qs);
        QCOMPARE(pdf.at(1, 134, 30).text, u"集計数"_qs);
        QCOMPARE(pdf.at(1, 15, 38).text, u"箱"_qs);
        QCOMPARE(pdf.amounts(1, 38, 1), QList<double>({ 6000, 3 }));
        QCOMPARE(pdf.at(1, 15, 46).text, u"品01"_qs);
        QCOMPARE(pdf.amounts(1, 46, 1), QList<double>({ 100, 1 }));
        QCOMPARE(pdf.at(1, 15, 54).text, u"品02"_qs);
        QCOMPARE(pdf.find(u"箱"_qs).size(), 1);
        QVERIFY(pdf.row(1, 62).isEmpty());
        QCOMPARE(pdf.row(1, 258).value(0).text, u"小計"_qs);
        QCOMPARE(pdf.amounts(1, 258, 1), QList<double>({ 6300 }));
        QCOMPARE(pdf.amounts(1, 262, 1), QList<double>({ 6300 }));
        // Amounts end where "合計" printed at 120 ends: every row's and the subtotal's at one x.
        const double end = endOf(u"合計"_qs, 120);
        QVERIFY(near(pdf.row(1, 54).value(1).x1, end, 0.2));
        QVERIFY(near(pdf.row(1, 258).value(1).x1, end, 0.2));
    }

    void categoriesByFallingTotalWithoutTheUnregisteredOnes()
    {
        SheetFile f;
        f.category(1, u"食品"_qs);
        f.category(2, u"雑貨"_qs);
        f.line(day, 1, u"品"_qs, 1, 300);
        f.line(day, 2, u"品"_qs, 1, 500);
        f.line(day, 2, u"品"_qs, 1, 250);
        f.line(day, 9, u"品"_qs, 1, 10000); // a category missing from 項目分類
        const PdfText pdf = printSummary(f, By::Category);
        QCOMPARE(pdf.pages, 1);
        QCOMPARE(pdf.at(1, 22, 30).text, u"項目/分類名"_qs);
        QCOMPARE(pdf.at(1, 15, 38).text, u"雑貨"_qs);
        QCOMPARE(pdf.amounts(1, 38, 1), QList<double>({ 750, 2 }));
        QCOMPARE(pdf.at(1, 15, 46).text, u"食品"_qs);
        QVERIFY(pdf.row(1, 54).isEmpty());
        QCOMPARE(pdf.amounts(1, 262, 1), QList<double>({ 1050 }));

        // A group whose 価格 are all empty has no total: nothing is printed, and it is named.
        f.category(3, u"未評価"_qs);
        f.line(day, 3, u"品"_qs, 1, QVariant());
        QFile::remove(f.env.path(u"sheet.pdf"_qs));
        const PdfText refused = printSummary(f, By::Category);
        QCOMPARE(refused.pages, 0);
        QVERIFY2(refused.problem.contains(u"項目/分類名：未評価"_qs), qPrintable(refused.problem));
        QVERIFY(!QFile::exists(f.env.path(u"sheet.pdf"_qs)));
    }
};

KOTRINA_REGISTER_TEST(TestSheets)
#include "TestSheets.moc"
