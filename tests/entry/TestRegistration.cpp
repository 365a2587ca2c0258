#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/lines/LineRegistration.h"
#include "core/lines/LinesModel.h"
#include "core/masters/LookupModel.h"
#include "core/rules/TextRules.h"
#include "core/store/NameIndex.h"
#include "core/store/Schema.h"

#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace {

struct Store
{
    TestEnvironment env;
    Database db;
    Store() { db.open(env.newDatabase()); }

    QVariantList row(const QString& sql) const
    {
        QSqlQuery q(db.connection());
        QVariantList values;
        if (q.exec(sql) && q.next()) {
            for (int i = 0; i < q.record().count(); ++i)
                values << q.value(i);
        }
        return values;
    }
};

LineInput line(const QString& product, double quantity, double unitPrice, const QString& unit = QStringLiteral("個"))
{
    LineInput input;
    input.date = QDate(2026, 3, 31);
    input.categoryId = 1;
    input.product = product;
    input.quantity = quantity;
    input.unit = unit;
    input.unitPrice = unitPrice;
    input.memo = QStringLiteral("棚A");
    return input;
}

// Makes the file at path what a file looked like before the name indexes existed.
bool dropNameIndexes(const QString& path)
{
    return onRawConnection(path, [](QSqlQuery& q) {
        QStringList drops;
        if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'")))
            return false;
        while (q.next())
            drops << QStringLiteral(R"(DROP TRIGGER "%1")").arg(q.value(0).toString());
        for (const QString& table : NameIndex::indexTables())
            drops << QStringLiteral(R"(DROP TABLE "%1")").arg(table);
        drops << QStringLiteral("PRAGMA user_version = 1");
        const bool ok = std::all_of(drops.begin(), drops.end(), [&](const QString& sql) { return q.exec(sql); });
        q.finish();
        return ok;
    });
}

// What the history and the product look-up list for text, in their order.
QStringList found(const Database& db, const QString& text)
{
    QStringList rows;
    for (int limit : { 500, 2 }) { // the whole history, and one cut short across dates
        for (const HistoryLine& h : lineHistory(db, text, limit))
            rows << h.date.toString(Qt::ISODate) + QLatin1Char(' ') + h.product;
    }
    LookupModel products(LookupModel::Kind::Product);
    products.setDatabase(&db);
    products.refresh(text);
    while (products.canFetchMore({}))
        products.fetchMore({});
    for (int r = 0; r < products.rowCount(); ++r)
        rows << QStringLiteral("product ") + products.data(products.index(r)).toString();
    return rows;
}

} // namespace

// Registration of counted lines and the rules that go with it, without a window.
class TestRegistration : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void amounts_data();
    void amounts();
    void mastersFillThemselves();
    void failureWritesNothing();
    void categories();
    void byteLength_data();
    void byteLength();
    void numbersAsTyped_data();
    void numbersAsTyped();
    void numberLimitsAndTotals();
    void lookupListsWhatContainsTheText();
    void linesAreReadInPagesInAnyOrder();
    void nameIndexFindsWhatTheScanFinds();
};

void TestRegistration::amounts_data()
{
    QTest::addColumn<double>("quantity");
    QTest::addColumn<double>("unitPrice");
    QTest::addColumn<double>("amount");
    QTest::addColumn<QVariant>("note");
    const QVariant none;
    const QVariant noPrice = QStringLiteral("単価未入力");
    QTest::newRow("3 x 12.5") << 3.0 << 12.5 << 37.0 << none;
    QTest::newRow("0.5 x 99") << 0.5 << 99.0 << 49.0 << none;
    QTest::newRow("negative truncates toward zero") << -3.0 << 12.5 << -37.0 << none;
    QTest::newRow("no unit price") << 4.0 << 0.0 << 0.0 << noPrice;
    QTest::newRow("large") << 1200.0 << 1980.75 << 2376900.0 << none;
    // Decimal prices give the decimal amount, not the binary product's yen less.
    QTest::newRow("4.35 x 100") << 100.0 << 4.35 << 435.0 << none;
    QTest::newRow("1.15 x 100") << 100.0 << 1.15 << 115.0 << none;
    QTest::newRow("100 x 0.29") << 0.29 << 100.0 << 29.0 << none;
    QTest::newRow("100 x 19.99") << 19.99 << 100.0 << 1999.0 << none;
    QTest::newRow("-4.35 x 100") << -100.0 << 4.35 << -435.0 << none;
    QTest::newRow("12 digits") << 3.0 << 333333333333.33 << 999999999999.0 << none;
}

void TestRegistration::amounts()
{
    QFETCH(double, quantity);
    QFETCH(double, unitPrice);
    QFETCH(double, amount);
    QFETCH(QVariant, note);
    Store s;
    const auto registered = registerLine(s.db, line(QStringLiteral("りんご"), quantity, unitPrice));
    QVERIFY(registered);
    QCOMPARE(registered->lineId, 1);
    const QVariantList r = s.row(QStringLiteral(R"(SELECT * FROM "棚卸マスター")"));
    QCOMPARE(r.size(), 12);
    QCOMPARE(r[1].toString(), QStringLiteral("2026-03-31"));
    QCOMPARE(r[4].toDouble(), quantity);
    QCOMPARE(r[6].toDouble(), unitPrice);
    QCOMPARE(r[7].toDouble(), amount);
    QCOMPARE(r[8].toString(), QStringLiteral("棚A"));
    QCOMPARE(r[9], note.isValid() ? note : QVariant(QMetaType(QMetaType::QString)));
    QCOMPARE(r[10].toInt(), registered->productId);
    QCOMPARE(r[11].toInt(), 0);
}

void TestRegistration::mastersFillThemselves()
{
    Store s;
    const QString odd = QStringLiteral("O'Neil 100%_品");
    QVERIFY(registerLine(s.db, line(odd, 1, 10)));
    QVERIFY(registerLine(s.db, line(QStringLiteral("みかん"), 2, 20, QStringLiteral("箱"))));
    // The same product again: no new product, its unit and price follow the last line.
    const auto again = registerLine(s.db, line(odd, 3, 0, QStringLiteral("箱")));
    QVERIFY(again);
    QCOMPARE(again->productId, 1);
    QCOMPARE(again->lineId, 3);
    QCOMPARE(rowCount(s.db, Table::Shohin), 2);
    QCOMPARE(s.row(QStringLiteral(R"(SELECT "品名", "単価", "単位" FROM "仕入商品" WHERE "品名ID" = 1)")),
             QVariantList({ odd, 0.0, QStringLiteral("箱") }));
    QCOMPARE(s.row(QStringLiteral(R"(SELECT COUNT(*), MAX("単位ID") FROM "単位")")), QVariantList({ 2, 2 }));
    // An empty unit is no unit.
    QVERIFY(registerLine(s.db, line(QStringLiteral("ばなな"), 1, 1, QString())));
    QCOMPARE(rowCount(s.db, Table::Tani), 2);

    const auto product = findProduct(s.db, odd);
    QVERIFY(product);
    QCOMPARE(product->unit.toString(), QStringLiteral("箱"));
    QVERIFY(!findProduct(s.db, QStringLiteral("O'Neil 100%")));

    // History: lines whose name contains the text, newest date first; % and _ are characters.
    LineInput older = line(odd, 9, 5);
    older.date = QDate(2025, 3, 31);
    QVERIFY(registerLine(s.db, older));
    const QList<HistoryLine> history = lineHistory(s.db, QStringLiteral("100%_"));
    QCOMPARE(history.size(), 3);
    QCOMPARE(history.first().date, QDate(2026, 3, 31));
    QCOMPARE(history.last().date, QDate(2025, 3, 31));
    QCOMPARE(lineHistory(s.db, QStringLiteral("0_%")).size(), 0);
}

void TestRegistration::failureWritesNothing()
{
    Store s;
    QVERIFY(registerLine(s.db, line(QStringLiteral("りんご"), 1, 10)));
    // A line row that cannot be written (its ID is taken) must take the new unit and
    // product with it.
    QVERIFY(s.db.exec(QStringLiteral(R"(CREATE TRIGGER refuse BEFORE INSERT ON "棚卸マスター"
        BEGIN SELECT RAISE(ABORT, 'disk full'); END)")));
    QString error;
    QVERIFY(!registerLine(s.db, line(QStringLiteral("新商品"), 1, 10, QStringLiteral("新単位")), &error));
    QVERIFY(error.contains(QStringLiteral("disk full")));
    QCOMPARE(rowCount(s.db, Table::Shohin), 1);
    QCOMPARE(rowCount(s.db, Table::Tani), 1);
    QCOMPARE(rowCount(s.db, Table::Tana), 1);
    QCOMPARE(s.row(QStringLiteral(R"(SELECT "単価" FROM "仕入商品")")), QVariantList { 10.0 });
}

void TestRegistration::categories()
{
    Store s;
    bool registered = false;
    QCOMPARE(findOrRegisterCategory(s.db, QStringLiteral("食品"), &registered), std::optional<int>(1));
    QVERIFY(registered);
    QCOMPARE(findOrRegisterCategory(s.db, QStringLiteral("食品"), &registered), std::optional<int>(1));
    QVERIFY(!registered);
    // The reserved category is no match for its name.
    QCOMPARE(findOrRegisterCategory(s.db, QStringLiteral("未区分"), &registered), std::optional<int>(2));
    QVERIFY(registered);
}

void TestRegistration::byteLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::newRow("ascii") << QStringLiteral("abc 123") << 7;
    QTest::newRow("full-width") << QStringLiteral("りんご") << 6;
    QTest::newRow("half-width katakana") << QStringLiteral("ﾃﾞｰﾀ") << 4;
    QTest::newRow("mixed") << QStringLiteral("A４箱ｱ") << 6;
    QTest::newRow("NEC special and IBM extension") << QStringLiteral("①髙") << 4;
    QTest::newRow("outside the code page") << QStringLiteral("€😀") << 4;
    QTest::newRow("20 full-width") << QString(20, QChar(u'あ')) << 40;
}

void TestRegistration::byteLength()
{
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QCOMPARE(TextRules::byteLength(text), bytes);
}

void TestRegistration::numbersAsTyped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("plain") << QStringLiteral("12.5") << QVariant(12.5);
    QTest::newRow("full-width") << QStringLiteral("１２．５") << QVariant(12.5);
    QTest::newRow("thousands") << QStringLiteral("1,234") << QVariant(1234.0);
    QTest::newRow("full-width thousands") << QStringLiteral("１，２３４") << QVariant(1234.0);
    QTest::newRow("blanks and minus") << QStringLiteral("　－３ ") << QVariant(-3.0);
    QTest::newRow("leading point") << QStringLiteral(".5") << QVariant(0.5);
    QTest::newRow("text") << QStringLiteral("三個") << QVariant();
    QTest::newRow("two points") << QStringLiteral("1.2.3") << QVariant();
    QTest::newRow("empty") << QString() << QVariant();
    QTest::newRow("exponent is no typing") << QStringLiteral("1e5") << QVariant();
    QTest::newRow("thousands of a fraction") << QStringLiteral("1,500.25") << QVariant(1500.25);
    QTest::newRow("full-width 1,500") << QStringLiteral("１，５００") << QVariant(1500.0);
    QTest::newRow("decimal comma") << QStringLiteral("1,5") << QVariant();
    QTest::newRow("comma before four digits") << QStringLiteral("1,5000") << QVariant();
    QTest::newRow("comma in the fraction") << QStringLiteral("1.500,000") << QVariant();
    QTest::newRow("leading comma") << QStringLiteral(",500") << QVariant();
}

void TestRegistration::numbersAsTyped()
{
    QFETCH(QString, text);
    QFETCH(QVariant, value);
    const std::optional<double> parsed = TextRules::parseNumber(text);
    QCOMPARE(parsed.has_value(), value.isValid());
    if (parsed)
        QCOMPARE(*parsed, value.toDouble());
}

void TestRegistration::numberLimitsAndTotals()
{
    // Twelve whole digits are what the sheets print.
    QCOMPARE(TextRules::readNumber(QStringLiteral("単価"), QStringLiteral("999,999,999,999.5")).value,
             std::optional<double>(999999999999.5));
    QCOMPARE(TextRules::readNumber(QStringLiteral("単価"), QStringLiteral("-1000000000000")).refusal,
             QStringLiteral("単価は整数部１２桁以内で入力してください。"));
    // The status line counts the lines of its date only.
    Store s;
    const QDate day(2026, 3, 31);
    QCOMPARE(statusLineText(s.db, day), QStringLiteral("Max Record 0   Total "));
    QVERIFY(registerLine(s.db, line(QStringLiteral("a"), 1000, 1234.5)));
    QVERIFY(registerLine(s.db, line(QStringLiteral("b"), 1, 1)));
    LineInput other = line(QStringLiteral("c"), 5, 5);
    other.date = day.addDays(1);
    QVERIFY(registerLine(s.db, other));
    QCOMPARE(statusLineText(s.db, day), QStringLiteral("Max Record 2   Total 1,234,501"));

    // A total beyond any 64-bit integer is still the number it is.
    QCOMPARE(TextRules::formatAmount(-9999999999999.0), QStringLiteral("-9,999,999,999,999"));
    QVERIFY(s.db.exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "価格" = 9.0e18 WHERE "日付" = '2026-03-31')")));
    QCOMPARE(statusLineText(s.db, QDate(2026, 3, 31)),
             QStringLiteral("Max Record 2   Total 18,000,000,000,000,000,000"));
}

void TestRegistration::lookupListsWhatContainsTheText()
{
    Store s;
    QVERIFY(addSampleLines(s.db, 1000)); // 1000 products "商品名・サンプル第N号（特大）"
    QVERIFY(s.db.exec(
        QStringLiteral(R"(INSERT INTO "仕入商品" ("品名ID", "品名") VALUES (5000, '50%_off'), (5001, '5000off'))")));
    LookupModel products(LookupModel::Kind::Product);
    products.setDatabase(&s.db);
    products.refresh(QString());
    // The first page only; the rest comes as the list is scrolled.
    QCOMPARE(products.rowCount(), LookupModel::PageSize);
    QVERIFY(products.canFetchMore({}));
    while (products.canFetchMore({}))
        products.fetchMore({});
    QCOMPARE(products.rowCount(), 1002);

    products.refresh(QStringLiteral("第99"));
    QCOMPARE(products.rowCount(), 11); // 第99号, 第990..999号
    QVERIFY(!products.canFetchMore({}));
    QCOMPARE(products.data(products.index(0)).toString(), QStringLiteral("商品名・サンプル第990号（特大）"));
    QCOMPARE(products.firstId(), QVariant(991));

    products.refresh(QStringLiteral("0%_"));
    QCOMPARE(products.rowCount(), 1);
    QCOMPARE(products.firstId(), QVariant(5000));
    products.refresh(QStringLiteral("該当なし"));
    QCOMPARE(products.rowCount(), 0);
    QVERIFY(products.firstId().isNull());

    // Category 0 is never listed.
    LookupModel categories(LookupModel::Kind::Category);
    categories.setDatabase(&s.db);
    categories.refresh(QString());
    QCOMPARE(categories.rowCount(), 0);
}

void TestRegistration::linesAreReadInPagesInAnyOrder()
{
    Store s;
    QVERIFY(addSampleLines(s.db, 3000));
    QVERIFY(s.db.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "ID" % 7 = 0)"))); // gaps in the IDs
    QList<int> expected;
    QSqlQuery q(s.db.connection());
    QVERIFY(q.exec(QStringLiteral(R"(SELECT "ID" FROM "棚卸マスター" ORDER BY "ID")")));
    while (q.next())
        expected << q.value(0).toInt();

    LinesModel lines;
    lines.setDatabase(&s.db);
    lines.selectDate(QDate(2026, 3, 31));
    QCOMPARE(lines.rowCount(), expected.size());
    // Jump into the middle, read backwards past page edges, then forwards to the end, then
    // far back to the start: every row holds its line whichever way its page was found.
    QList<int> rows;
    for (int r = 1300; r >= 0; r -= 37)
        rows << r;
    for (int r = 1301; r < expected.size(); r += 41)
        rows << r;
    rows << expected.size() - 1 << 0 << 255 << 256 << 257;
    for (int r : rows)
        QCOMPARE(lines.index(r, 0).data().toInt(), expected[r]);
}

void TestRegistration::nameIndexFindsWhatTheScanFinds()
{
    Store s;
    QVERIFY(s.db.hasNameIndexes()); // the template carries them
    const QStringList names
        = { QStringLiteral("ABC商品"),    QStringLiteral("abc商品"),    QStringLiteral("ＡＢＣ商品"),
            QStringLiteral("ａｂｃ商品"), QStringLiteral("100%果汁"),   QStringLiteral("1000果汁"),
            QStringLiteral("a_b c"),      QStringLiteral("axb c"),      QStringLiteral("He said \"hi\""),
            QStringLiteral("O'Neil's"),   QStringLiteral("緑茶500ml"),  QStringLiteral("緑茶5"),
            QStringLiteral("𠮷野家弁当"), QStringLiteral("Straße"),     QStringLiteral("ÄÖÜ äöü"),
            QStringLiteral("AND OR"),     QStringLiteral("x*y NEAR z"), QStringLiteral("ab") };
    for (int i = 0; i < names.size(); ++i) {
        LineInput input = line(names[i], 1, 1);
        input.date = QDate(2020 + i % 3, 3, 31);
        QVERIFY(registerLine(s.db, input));
    }
    // Lines renamed or deleted afterwards are found under their new name only.
    const auto renamed = registerLine(s.db, line(QStringLiteral("旧名abc"), 1, 1));
    const auto deleted = registerLine(s.db, line(QStringLiteral("消えたabc"), 1, 1));
    QVERIFY(renamed && deleted);
    QVERIFY(s.db.exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "品名" = '新名ABC' WHERE "ID" = ?)"),
                      { renamed->lineId }));
    QVERIFY(deleteLine(s.db, deleted->lineId));

    const QString plainFile = s.env.path(QStringLiteral("plain.idb"));
    const QString indexedFile = s.db.fileName();
    s.db.close();
    QVERIFY(QFile::copy(indexedFile, plainFile));
    QVERIFY(dropNameIndexes(plainFile));
    Database indexed, plain;
    QVERIFY(indexed.open(indexedFile));
    // An older file opened read-only stays as it is and is searched the plain way.
    QVERIFY(plain.open(plainFile, nullptr, Database::Access::ReadOnly));
    QVERIFY(plain.isReadOnly() && !plain.hasNameIndexes());

    const QStringList texts = { QStringLiteral("abc"),     QStringLiteral("ABC"),    QStringLiteral("ａｂｃ"),
                                QStringLiteral("ＡＢＣ"),  QStringLiteral("Ab"),     QStringLiteral("bc商"),
                                QStringLiteral("0%果"),    QStringLiteral("00果"),   QStringLiteral("_b "),
                                QStringLiteral("a_b"),     QStringLiteral("\"hi"),   QStringLiteral("hi\""),
                                QStringLiteral("l's"),     QStringLiteral("緑茶5"),  QStringLiteral("緑茶50"),
                                QStringLiteral("茶5"),     QStringLiteral("𠮷野家"), QStringLiteral("𠮷野"),
                                QStringLiteral("äöü"),     QStringLiteral("ÄÖÜ"),    QStringLiteral("SSE"),
                                QStringLiteral("ße"),      QStringLiteral("AND"),    QStringLiteral("x*y"),
                                QStringLiteral("旧名"),    QStringLiteral("ｂ"),     QStringLiteral("茶"),
                                QStringLiteral("%"),       QStringLiteral("a_"),     QStringLiteral("𠮷"),
                                QStringLiteral("abc消"),   QStringLiteral("c"),      QString(),
                                QStringLiteral("該当なし") };
    for (const QString& text : texts)
        QCOMPARE(found(indexed, text), found(plain, text));
    QVERIFY(NameIndex::candidates(indexed, Table::Tana, QStringLiteral("ABC"), 100));
    QVERIFY(NameIndex::candidates(indexed, Table::Shohin, QStringLiteral("ABC"), 100));
    QVERIFY(NameIndex::candidates(indexed, Table::Tana, QStringLiteral("Ab"), 100));
    QVERIFY(NameIndex::candidates(indexed, Table::Shohin, QStringLiteral("𠮷"), 100));
    // Latin letters match in either case, full-width ones and everything else exactly;
    // newest date first, and the products by name.
    QCOMPARE(found(indexed, QStringLiteral("ABC")),
             QStringList({ QStringLiteral("2026-03-31 新名ABC"), QStringLiteral("2021-03-31 abc商品"),
                           QStringLiteral("2020-03-31 ABC商品"), QStringLiteral("2026-03-31 新名ABC"),
                           QStringLiteral("2021-03-31 abc商品"), QStringLiteral("product ABC商品"),
                           QStringLiteral("product abc商品"), QStringLiteral("product 旧名abc"),
                           QStringLiteral("product 消えたabc") }));
    QCOMPARE(found(indexed, QStringLiteral("Bc商")).size(), 6);
    QCOMPARE(found(indexed, QStringLiteral("ＡＢＣ")).size(), 3);
    QCOMPARE(found(indexed, QStringLiteral("0%果")).size(), 3);

    // Opened for writing, the older file gets its indexes and still finds the same.
    plain.close();
    QVERIFY(plain.open(plainFile));
    QVERIFY(plain.hasNameIndexes());
    QSqlQuery q(plain.connection());
    QVERIFY(q.exec(QStringLiteral("PRAGMA user_version")) && q.next());
    QCOMPARE(q.value(0).toInt(), Schema::UserVersion);
    for (const QString& text : texts)
        QCOMPARE(found(plain, text), found(indexed, text));
}

KOTRINA_REGISTER_TEST(TestRegistration)
#include "TestRegistration.moc"
