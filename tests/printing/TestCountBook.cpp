#include "SheetFile.h"
#include "TestRegistry.h"
#include "core/printing/CountBook.h"

namespace {

const QString earlier = u"2025-03-31"_qs;

PdfText print(const SheetFile& f, std::optional<int> category = {})
{
    return f.print([&](const QString& file, QString* problem) {
        const std::optional<SheetDocument> doc = CountBook::load(f.db, QDate(2025, 3, 31), category, problem);
        return doc && CountBook::writePdf(*doc, mincho, file, problem);
    });
}

} // namespace

class TestCountBook : public QObject
{
    Q_OBJECT

private slots:
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

        const PdfText pdf = print(f);
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
        const PdfText one = print(f, 3);
        QCOMPARE(one.pages, 1);
        QVERIFY(one.find(u"未分類品"_qs).isEmpty());
        QVERIFY(one.find(u"未区分"_qs).isEmpty());

        // A date without lines is said and nothing is printed.
        QString problem;
        QVERIFY(!CountBook::load(f.db, QDate(2024, 3, 31), {}, &problem));
        QCOMPARE(problem, u"該当する棚卸はありません。前期の棚卸日を確認してください。"_qs);
    }
};

KOTRINA_REGISTER_TEST(TestCountBook)
#include "TestCountBook.moc"
