#include "CliRun.h"
#include "OutsideFile.h"
#include "PdfText.h"
#include "SheetFile.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/printing/CountBook.h"
#include "core/printing/PageSurface.h"

#include <QFile>
#include <QPdfWriter>
#include <QTest>

namespace {

const QDate earlier(2025, 3, 31);
const QString mincho = QStringLiteral("ＭＳ 明朝");

// Lines of an earlier stocktaking, 2025-03-31.
struct Earlier : SheetFile
{
    void line(int category, const QString& name, double unitPrice)
    {
        QVERIFY(db.exec(QStringLiteral(R"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位",
                "単価", "価格", "備考", "品名ID") VALUES (?, '2025-03-31', ?, ?, 3, '個', ?, ?, '棚A', 1))"),
                        { nextId++, category, name, unitPrice, std::trunc(3 * unitPrice) }));
    }
    PdfText print(std::optional<int> category = {})
    {
        QString problem;
        const std::optional<SheetDocument> doc = CountBook::load(db, earlier, category, &problem);
        if (!doc)
            return { 0, {}, problem };
        const QString file = env.path(QStringLiteral("book.pdf"));
        if (!CountBook::writePdf(*doc, mincho, file, &problem))
            return { 0, {}, problem };
        return readPdf(file);
    }
};

// Where text printed from x ends, in the book's text font.
double endOf(const QString& text, double x)
{
    QPdfWriter pdf(QStringLiteral("/dev/null"));
    pdf.setResolution(1200);
    PageSurface s(pdf);
    s.setFont(mincho, 9.75);
    return x + s.textWidth(text);
}

bool near(double a, double b, double tolerance = 0.2)
{
    return std::fabs(a - b) < tolerance;
}

} // namespace

class TestCountBook : public QObject
{
    Q_OBJECT

private slots:
    void everyCategoryOnItsOwnPagesWithTheEarlierUnitPrices()
    {
        Earlier e;
        e.category(1, QStringLiteral("食品"));
        e.category(2, QStringLiteral("空の分類"));
        e.category(3, QStringLiteral("雑貨"));
        for (int i = 1; i <= 29; ++i)
            e.line(1, QStringLiteral("品%1").arg(i), 10 * i);
        e.line(3, QStringLiteral("ほうき"), 1234.5);
        e.line(3, QStringLiteral("ちりとり"), 100);
        e.line(0, QStringLiteral("未分類品"), 7);
        e.line(9, QStringLiteral("消えた分類の品"), 50);

        const PdfText pdf = e.print();
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        // 食品 on two pages, the empty category on its own, 雑貨, then 未区分 last.
        QCOMPARE(pdf.pages, 5);
        QCOMPARE(pdf.at(1, 87, 11).text, QStringLiteral("棚"));
        QCOMPARE(pdf.at(1, 142, 20).text, QStringLiteral("前期棚卸日"));
        QCOMPARE(pdf.at(1, 165, 20).text, QStringLiteral("2025/03/31"));
        QCOMPARE(pdf.at(1, 117, 30).text, QStringLiteral("参考単価"));
        QCOMPARE(pdf.at(1, 20, 18).text, QStringLiteral("食品"));
        // 28 rows on a page; the 29th starts the next one at its top row, under the heading again.
        QCOMPARE(pdf.at(1, 15, 38 + 8 * 27).text, QStringLiteral("品28"));
        QCOMPARE(pdf.at(2, 15, 38).text, QStringLiteral("品29"));
        QCOMPARE(pdf.at(2, 20, 18).text, QStringLiteral("食品"));
        // A row: name, unit and the earlier price; quantity, price and remark left for the pen.
        const QList<PdfWord> row = pdf.row(1, 38);
        QCOMPARE(row.size(), 3);
        QCOMPARE(row[1].text, QStringLiteral("個"));
        QCOMPARE(row[2].text, QStringLiteral("10"));
        // The category without lines has a page with its heading only.
        QCOMPARE(pdf.at(3, 20, 18).text, QStringLiteral("空の分類"));
        QVERIFY(pdf.row(3, 38).isEmpty());
        // No amounts at all.
        QVERIFY(pdf.find(QStringLiteral("小計")).isEmpty());
        QVERIFY(pdf.find(QStringLiteral("合計")).isEmpty());

        // 1,234.5: two decimals, its whole digits ending where the whole prices end.
        const PdfWord fraction = pdf.row(4, 38).constLast();
        const PdfWord whole = pdf.row(4, 46).constLast();
        QCOMPARE(fraction.text, QStringLiteral("1,234.50"));
        QCOMPARE(whole.text, QStringLiteral("100"));
        QVERIFY(near(whole.x1, endOf(QStringLiteral("単価"), 125)));
        QVERIFY2(near(endOf(QStringLiteral("1,234"), fraction.x0), whole.x1), qPrintable(QString::number(fraction.x0)));

        // Category 0 last; the line of the deleted category nowhere.
        QVERIFY(pdf.row(5, 18).constLast().text.endsWith(QStringLiteral("未区分")));
        QCOMPARE(pdf.at(5, 15, 38).text, QStringLiteral("未分類品"));
        QVERIFY(pdf.find(QStringLiteral("消えた分類の品")).isEmpty());

        // One category: its lines only, no 未区分 page.
        const PdfText one = e.print(3);
        QCOMPARE(one.pages, 1);
        QVERIFY(one.find(QStringLiteral("未分類品")).isEmpty());
        QVERIFY(one.find(QStringLiteral("未区分")).isEmpty());

        // A date without lines is said and nothing is printed.
        QString problem;
        QVERIFY(!CountBook::load(e.db, QDate(2024, 3, 31), {}, &problem));
        QCOMPARE(problem, QStringLiteral("該当する棚卸はありません。前期の棚卸日を確認してください。"));
    }

    void commandLinePrintsAFileMadeOutside()
    {
        TestEnvironment env;
        const QString file = madeOutside(env);
        QVERIFY(!file.isEmpty());
        const QString pdf = env.path(QStringLiteral("book.pdf"));
        const QStringList args = { u"print"_qs, u"book"_qs, file, u"--date"_qs, u"2026-03-31"_qs, u"--pdf"_qs, pdf };
        Run r = kotrina(args);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(u"1 頁、3 品"_qs), qPrintable(r.out));
        // 食品 by ID; the line of the deleted 雑貨 is left out, and 未区分 has none.
        const PdfText text = readPdf(pdf);
        QCOMPARE(text.pages, 1);
        QCOMPARE(text.at(1, 20, 18).text, u"食品"_qs);
        const QStringList names = { u"りんご"_qs, u"りんご"_qs, u"幻の品"_qs };
        const QStringList prices = { u"100"_qs, u"100"_qs, u"5"_qs };
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(text.at(1, 15, 38 + 8 * i).text, names[i]);
            QCOMPARE(text.row(1, 38 + 8 * i).constLast().text, prices[i]);
        }
        QVERIFY(text.row(1, 38 + 8 * 3).isEmpty());

        QFile::remove(pdf);
        r = kotrina({ u"print"_qs, u"book"_qs, file, u"--date"_qs, u"2026-04-01"_qs, u"--pdf"_qs, pdf });
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains(u"該当する棚卸はありません。前期の棚卸日を確認してください。"_qs));
        QVERIFY(!QFile::exists(pdf));
    }
};

KOTRINA_REGISTER_TEST(TestCountBook)
#include "TestCountBook.moc"
