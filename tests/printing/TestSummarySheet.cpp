#include "SheetFile.h"
#include "TestRegistry.h"
#include "core/printing/SummarySheet.h"

#include <QFile>

using SummarySheet::By;

namespace {

const QString day = u"2026-03-31"_qs;

PdfText print(const SheetFile& f, By by)
{
    return f.print([&](const QString& file, QString* problem) {
        const std::optional<SheetDocument> doc = SummarySheet::load(f.db, by, QDate(2026, 3, 31), problem);
        return doc
            && SummarySheet::writePdf(*doc, SummarySheet::title(by), SummarySheet::heading(by), mincho, file, problem);
    });
}

} // namespace

class TestSummarySheet : public QObject
{
    Q_OBJECT

private slots:
    void productsByName()
    {
        SheetFile f;
        f.category(1, u"食品"_qs);
        f.product(1, u"品01"_qs);
        f.product(2, u"品02"_qs);
        // Two products of one name are one row, after 品01 and 品02; a line of no product is on no row.
        f.product(40, u"箱"_qs);
        f.product(41, u"箱"_qs);
        f.line(day, 1, u"品"_qs, 1, 200, 2);
        f.line(day, 1, u"品"_qs, 1, 100, 1);
        f.line(day, 1, u"品"_qs, 1, 1000, 40);
        f.line(day, 1, u"品"_qs, 1, 2000, 41);
        f.line(day, 1, u"品"_qs, 1, 3000, 41);
        f.line(day, 1, u"品"_qs, 1, 70000, 99);

        const PdfText pdf = print(f, By::Product);
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        QCOMPARE(pdf.pages, 1);
        QCOMPARE(pdf.at(1, 77, 11).text, u"棚卸表"_qs);
        QCOMPARE(pdf.at(1, 22, 30).text, u"品名"_qs);
        QCOMPARE(pdf.at(1, 134, 30).text, u"集計数"_qs);
        QCOMPARE(pdf.at(1, 15, 38).text, u"品01"_qs);
        QCOMPARE(pdf.amounts(1, 38, 1), QList<double>({ 100, 1 }));
        QCOMPARE(pdf.at(1, 15, 46).text, u"品02"_qs);
        QCOMPARE(pdf.at(1, 15, 54).text, u"箱"_qs);
        QCOMPARE(pdf.amounts(1, 54, 1), QList<double>({ 6000, 3 }));
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
        const PdfText pdf = print(f, By::Category);
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
        const PdfText refused = print(f, By::Category);
        QCOMPARE(refused.pages, 0);
        QVERIFY2(refused.problem.contains(u"項目/分類名：未評価"_qs), qPrintable(refused.problem));
        QVERIFY(!QFile::exists(f.env.path(u"sheet.pdf"_qs)));
    }
};

KOTRINA_REGISTER_TEST(TestSummarySheet)
#include "TestSummarySheet.moc"
