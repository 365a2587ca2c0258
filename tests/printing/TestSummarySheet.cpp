#include "CliRun.h"
#include "OutsideFile.h"
#include "PdfText.h"
#include "SheetFile.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/printing/SummarySheet.h"

#include <QFile>
#include <QTest>

using SummarySheet::By;

namespace {

const QDate day(2026, 3, 31);

// Lines of 2026-03-31 with their categories and products.
struct Totals : SheetFile
{
    void line(int category, int product, const QVariant& price)
    {
        QVERIFY(db.exec(QStringLiteral(R"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位",
                "単価", "価格", "品名ID") VALUES (?, '2026-03-31', ?, '品', 1, '個', ?, ?, ?))"),
                        { nextId++, category, price, price, product }));
    }
    PdfText print(By by, QString* problem = nullptr)
    {
        QString why;
        const std::optional<SheetDocument> doc = SummarySheet::load(db, by, day, &why);
        if (problem)
            *problem = why;
        const QString file = env.path(QStringLiteral("summary.pdf"));
        if (!doc
            || !SummarySheet::writePdf(*doc, SummarySheet::title(by), SummarySheet::heading(by),
                                       QStringLiteral("ＭＳ 明朝"), file, &why))
            return { 0, {}, why };
        return readPdf(file);
    }
};

// The amounts of a row of the sheet: 合計 and 集計数 after the name.
QList<double> amounts(const PdfText& pdf, int page, double y)
{
    QList<double> values;
    for (const PdfWord& w : pdf.row(page, y).mid(1))
        values << amountOf(w.text);
    return values;
}

} // namespace

class TestSummarySheet : public QObject
{
    Q_OBJECT

private slots:
    void productsByNameOnPagesOf28WithSubtotalsAndTheTotal()
    {
        Totals t;
        t.category(1, QStringLiteral("食品"));
        for (int i = 1; i <= 28; ++i) {
            t.product(i, QStringLiteral("品%1").arg(i, 2, 10, QLatin1Char('0')));
            t.line(1, i, 100 * i);
        }
        // Two products of one name are one row, after 品01 … 品28; a line of no product is on no row.
        t.product(40, QStringLiteral("箱"));
        t.product(41, QStringLiteral("箱"));
        t.line(1, 40, 1000.4);
        t.line(1, 41, 2000);
        t.line(1, 41, 3000);
        t.line(1, 99, 70000);

        const PdfText pdf = t.print(By::Product);
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        QCOMPARE(pdf.pages, 2);
        QCOMPARE(pdf.at(1, 77, 11).text, QStringLiteral("棚卸表"));
        QCOMPARE(pdf.at(1, 22, 30).text, QStringLiteral("品名"));
        QCOMPARE(pdf.at(1, 134, 30).text, QStringLiteral("集計数"));
        QCOMPARE(pdf.at(1, 15, 38).text, QStringLiteral("品01"));
        QCOMPARE(pdf.at(1, 15, 38 + 8 * 27).text, QStringLiteral("品28"));
        QCOMPARE(amounts(pdf, 1, 38 + 8 * 27), QList<double>({ 2800, 1 }));
        // Row 29 on the top row of page 2; page 1 ends with its own subtotal, the total only on page 2.
        QCOMPARE(pdf.at(2, 15, 38).text, QStringLiteral("箱"));
        QCOMPARE(amounts(pdf, 2, 38), QList<double>({ 6000, 3 }));
        QCOMPARE(pdf.find(QStringLiteral("箱")).size(), 1);
        QCOMPARE(pdf.row(1, 258).value(0).text, QStringLiteral("小計"));
        QCOMPARE(amounts(pdf, 1, 258), QList<double>({ 40600 }));
        QCOMPARE(amounts(pdf, 2, 258), QList<double>({ 6000 }));
        QVERIFY(pdf.find(QStringLiteral("合計"), 1).isEmpty());
        QCOMPARE(amounts(pdf, 2, 262), QList<double>({ 46600 }));
        // Amounts end where "合計" printed at 120 ends: every row's and the subtotal's at one x.
        const double end = pdf.row(1, 38).value(1).x1;
        QVERIFY(std::fabs(pdf.row(2, 38).value(1).x1 - end) < 0.2);
        QVERIFY(std::fabs(pdf.row(1, 258).value(1).x1 - end) < 0.2);
    }

    void categoriesByFallingTotalWithoutTheUnregisteredOnes()
    {
        Totals t;
        t.category(1, QStringLiteral("食品"));
        t.category(2, QStringLiteral("雑貨"));
        t.line(1, 1, 300);
        t.line(2, 1, 500);
        t.line(2, 1, 250);
        t.line(9, 1, 10000); // a category missing from 項目分類
        const PdfText pdf = t.print(By::Category);
        QCOMPARE(pdf.pages, 1);
        QCOMPARE(pdf.at(1, 22, 30).text, QStringLiteral("項目/分類名"));
        QCOMPARE(pdf.at(1, 15, 38).text, QStringLiteral("雑貨"));
        QCOMPARE(amounts(pdf, 1, 38), QList<double>({ 750, 2 }));
        QCOMPARE(pdf.at(1, 15, 46).text, QStringLiteral("食品"));
        QVERIFY(pdf.row(1, 54).isEmpty());
        QCOMPARE(amounts(pdf, 1, 258), QList<double>({ 1050 }));
        QCOMPARE(amounts(pdf, 1, 262), QList<double>({ 1050 }));

        // A group whose 価格 are all empty has no total: nothing is printed, and it is named.
        t.category(3, QStringLiteral("未評価"));
        t.line(3, 1, QVariant());
        QString problem;
        QFile::remove(t.env.path(QStringLiteral("summary.pdf")));
        QCOMPARE(t.print(By::Category, &problem).pages, 0);
        QVERIFY2(problem.contains(QStringLiteral("項目/分類名：未評価")), qPrintable(problem));
        QVERIFY(!QFile::exists(t.env.path(QStringLiteral("summary.pdf"))));
    }

    void commandLinePrintsAFileMadeOutside()
    {
        TestEnvironment env;
        const QString file = madeOutside(env);
        QVERIFY(!file.isEmpty());
        const QString pdf = env.path(QStringLiteral("summary.pdf"));
        const QStringList args = { u"print"_qs, u"summary"_qs, file, u"--date"_qs, u"2026-03-31"_qs, u"--pdf"_qs, pdf };

        // 食品 holds りんご twice and 幻の品; the line of the deleted 雑貨 is on no row.
        Run r = kotrina(args + QStringList { u"--by"_qs, u"category"_qs });
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(u"1 頁、1 行、合計 1,017 円"_qs), qPrintable(r.out));
        PdfText text = readPdf(pdf);
        QCOMPARE(text.at(1, 15, 38).text, u"食品"_qs);
        QCOMPARE(amounts(text, 1, 38), QList<double>({ 1017, 3 }));

        // By product: 幻の品 has no product row, ﾒﾓ帳 counts although its category is gone.
        r = kotrina(args + QStringList { u"--by"_qs, u"product"_qs });
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(u"2 行、合計 1,172 円"_qs), qPrintable(r.out));
        text = readPdf(pdf);
        QCOMPARE(text.at(1, 15, 38).text, u"りんご"_qs);
        QCOMPARE(amounts(text, 1, 38), QList<double>({ 1012, 2 }));
        QCOMPARE(text.at(1, 15, 46).text, u"ﾒﾓ帳"_qs);
        QCOMPARE(amounts(text, 1, 46), QList<double>({ 160, 1 }));
        QCOMPARE(amounts(text, 1, 262), QList<double>({ 1172 }));

        QFile::remove(pdf);
        r = kotrina({ u"print"_qs, u"summary"_qs, file, u"--date"_qs, u"2026-04-01"_qs, u"--by"_qs, u"product"_qs,
                      u"--pdf"_qs, pdf });
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains(u"該当する棚卸はありません。決算日を確認してください。"_qs));
        QVERIFY(!QFile::exists(pdf));
    }
};

KOTRINA_REGISTER_TEST(TestSummarySheet)
#include "TestSummarySheet.moc"
