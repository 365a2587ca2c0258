#include "PdfText.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/printing/PageSurface.h"
#include "core/printing/SheetText.h"
#include "core/printing/StocktakingSheet.h"

#include <QPdfWriter>
#include <QTest>

using namespace StocktakingSheet;

namespace {

const QDate day(2026, 3, 31);
const QString mincho = QStringLiteral("ＭＳ 明朝");

struct Shop
{
    TestEnvironment env;
    Database db;
    int nextId = 1;

    Shop() { db.open(env.newDatabase()); }
    void category(int id, const QString& name)
    {
        QVERIFY(db.exec(QStringLiteral(R"(INSERT INTO "項目分類" VALUES (?, ?))"), { id, name }));
    }
    void line(int category, const QString& name, double quantity, double unitPrice, const QString& remark = {})
    {
        QVERIFY(db.exec(QStringLiteral(R"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位",
                "単価", "価格", "備考", "品名ID") VALUES (?, '2026-03-31', ?, ?, ?, '個', ?, ?, ?, 1))"),
                        { nextId++, category, name, quantity, unitPrice, std::trunc(quantity * unitPrice),
                          remark.isEmpty() ? QVariant() : QVariant(remark) }));
    }
    PdfText print(Layout layout, std::optional<int> category = {}, double offsetX = 0, double offsetY = 0,
                  Printed* printed = nullptr)
    {
        const std::optional<Document> doc = load(db, day, category);
        if (!doc)
            return {};
        const QString file = env.path(QStringLiteral("sheet.pdf"));
        QString error;
        const std::optional<Printed> result = writePdf(*doc, layout, mincho, offsetX, offsetY, file, &error);
        if (!result)
            return { 0, {}, error };
        if (printed)
            *printed = *result;
        return readPdf(file);
    }
};

bool near(double a, double b, double tolerance = 0.5)
{
    return std::fabs(a - b) < tolerance;
}

// The end of a label's width from base in the sheet's text font.
double labelEnd(const QString& label, double base)
{
    QPdfWriter pdf(QStringLiteral("/dev/null"));
    pdf.setResolution(1200);
    PageSurface s(pdf);
    s.setFont(mincho, 9.75);
    return base + s.textWidth(label);
}

} // namespace

class TestStocktakingSheet : public QObject
{
    Q_OBJECT

private slots:
    void a4PagesCarryTheirSubtotalsAndTheLastOneTheTotal()
    {
        Shop shop;
        shop.category(1, QStringLiteral("食品"));
        shop.category(2, QStringLiteral("空の分類"));
        shop.category(3, QStringLiteral("雑貨"));
        for (int i = 1; i <= 29; ++i)
            shop.line(1, QStringLiteral("品%1").arg(i), 1, i * 100);
        const QString longName(60, QChar(0x68DA)); // 60 × 棚
        shop.line(3, longName, 2.5, 100, QStringLiteral("棚A"));
        shop.line(0, QStringLiteral("未分類品"), 1, 7);
        shop.line(0, QStringLiteral("未分類品二"), 1, 8);

        const PdfText pdf = shop.print(Layout::Original);
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        // 食品 on two pages, the empty category on its own page, 雑貨, then 未区分 last.
        QCOMPARE(pdf.pages, 5);
        // pdftotext splits words at ideographic spaces.
        QCOMPARE(pdf.at(1, 87, 11).text, QStringLiteral("棚"));
        QCOMPARE(pdf.at(1, 20, 18).text, QStringLiteral("食品"));
        QCOMPARE(pdf.at(1, 15, 38).text, QStringLiteral("品1"));
        QCOMPARE(pdf.at(1, 15, 38 + 8 * 27).text, QStringLiteral("品28"));
        QCOMPARE(pdf.at(1, 152, 20).text, QStringLiteral("2026/03/31"));
        // The 29th line starts the second page at its first row, under the heading again.
        QCOMPARE(pdf.at(2, 15, 38).text, QStringLiteral("品29"));
        QCOMPARE(pdf.at(2, 20, 18).text, QStringLiteral("食品"));
        QCOMPARE(pdf.at(3, 20, 18).text, QStringLiteral("空の分類"));
        QCOMPARE(pdf.at(4, 20, 18).text, QStringLiteral("雑貨"));
        QVERIFY(pdf.at(5, 12, 18).text.startsWith(QStringLiteral("項目")));
        QVERIFY(pdf.row(5, 18).constLast().text.endsWith(QStringLiteral("未区分")));

        // Subtotals at y = 258 ending where "小計" printed at 154 ends; the total only on the last page.
        const double sumEnd = labelEnd(QStringLiteral("小計"), 154);
        const QList<double> subtotals = { 40600, 2900, 0, 250, 15 };
        for (int page = 1; page <= 5; ++page) {
            const QList<PdfWord> row = pdf.row(page, 258);
            QCOMPARE(row.size(), 2);
            QCOMPARE(row[0].text, QStringLiteral("小計"));
            QVERIFY(near(row[0].x0, 17));
            QCOMPARE(amountOf(row[1].text), subtotals[page - 1]);
            QVERIFY2(near(row[1].x1, sumEnd, 0.2), qPrintable(QString::number(row[1].x1)));
        }
        QCOMPARE(pdf.find(QStringLiteral("合計")).size(), 1);
        const QList<PdfWord> total = pdf.row(5, 262);
        QCOMPARE(total.value(0).page, 5);
        QCOMPARE(amountOf(total.value(1).text), 43765.0);

        // 2.5 × 100: the quantity's whole digit ends with the other quantities, its decimals beyond.
        const QList<PdfWord> line = pdf.row(4, 38);
        QCOMPARE(line.size(), 5);
        QCOMPARE(line[0].text, QStringLiteral("2.50"));
        // A half-width digit is half an em of 9.75 points wide.
        const double quantityEnd = labelEnd(QStringLiteral("数量"), 90);
        QVERIFY(near(line[0].x0 + 9.75 / 2 * 25.4 / 72, quantityEnd, 0.2));
        QVERIFY(line[0].x1 > quantityEnd + 4);
        QCOMPARE(line[4].text, QStringLiteral("棚A"));
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
        Shop shop;
        shop.category(1, QStringLiteral("食品"));
        for (int i = 1; i <= 59; ++i)
            shop.line(1, QStringLiteral("品%1").arg(i), 1, 100);
        shop.line(1, QStringLiteral("消費税"), 1, 480);

        Printed printed;
        const PdfText pdf = shop.print(Layout::Hisago1151, {}, 0, 0, &printed);
        QCOMPARE(pdf.pages, 3);
        QCOMPARE(printed.taxTotal, 480.0);
        QCOMPARE(pdf.at(1, 43, 29.5).text, QStringLiteral("品1"));
        QCOMPARE(pdf.at(1, 18, 29.5).text, QStringLiteral("03/31"));
        QCOMPARE(pdf.at(1, 43, 29.5 + 8 * 29).text, QStringLiteral("品30"));
        QCOMPARE(pdf.at(2, 43, 37.5).text, QStringLiteral("品31"));
        QCOMPARE(pdf.at(2, 43, 37.5 + 8 * 28).text, QStringLiteral("品59"));
        QCOMPARE(pdf.at(3, 43, 37.5).text, QStringLiteral("消費税"));
        QCOMPARE(pdf.at(1, 190, 10).text, QStringLiteral("1"));

        // Carry-out lines: carried amount, the page's own amount, the running total.
        auto amounts = [&](int page) {
            QList<double> values;
            for (const PdfWord& w : pdf.row(page, 270))
                values << amountOf(w.text);
            return values;
        };
        QCOMPARE(pdf.at(1, 43, 270).text, QStringLiteral("次頁へ繰越"));
        QCOMPARE(amounts(1), QList<double>({ -1, 3000, 3000, 3000 }));
        QCOMPARE(amounts(2), QList<double>({ -1, 5900, 2900, 5900 }));
        QCOMPARE(amounts(3), QList<double>({ 6380, 480, 6380 }));
        QVERIFY(pdf.find(QStringLiteral("前頁ヨリ繰越"), 1).isEmpty());
        QCOMPARE(pdf.at(2, 43, 30).text, QStringLiteral("前頁ヨリ繰越"));
        QCOMPARE(amountOf(pdf.row(3, 30).constLast().text), 5900.0);
        // Amounts padded to twelve characters end at the same x in every row.
        const double end = pdf.row(1, 270).constLast().x1;
        QVERIFY(near(pdf.row(3, 270).constLast().x1, end, 0.1));
        QVERIFY(near(pdf.row(2, 30).constLast().x1, end, 0.1));

        // The user's offsets shift everything by whole millimetres.
        const PdfText shifted = shop.print(Layout::Hisago1151, {}, 5, -3);
        QCOMPARE(shifted.at(1, 48, 26.5).text, QStringLiteral("品1"));
        QCOMPARE(shifted.at(2, 48, 27).text, QStringLiteral("前頁ヨリ繰越"));
    }
};

KOTRINA_REGISTER_TEST(TestStocktakingSheet)
#include "TestStocktakingSheet.moc"
