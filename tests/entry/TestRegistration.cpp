// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/lines/LineRegistration.h"
#include "core/masters/LookupModel.h"
#include "core/rules/TextRules.h"
#include "core/store/NameIndex.h"
#include "core/store/Schema.h"

#include <QFile>
#include <QProcess>
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

LineInput line(const QString& product, double quantity, double unitPrice, const QString& unit = u"個"_qs)
{
    LineInput input;
    input.date = QDate(2026, 3, 31);
    input.categoryId = 1;
    input.product = product;
    input.quantity = quantity;
    input.unit = unit;
    input.unitPrice = unitPrice;
    input.memo = u"棚A"_qs;
    return input;
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
        rows << u"product "_qs + products.data(products.index(r)).toString();
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
    void mastersFillThemselvesOrNotAtAll();
    void byteLength_data();
    void byteLength();
    void numbersAsTyped_data();
    void numbersAsTyped();
    void numberLimitsAndTotals();
    void statusLineFollowsEveryChange();
    void lookupListsWhatContainsTheText();
    void nameIndexFindsWhatTheScanFinds();
};

void TestRegistration::amounts_data()
{
    QTest::addColumn<double>("quantity");
    QTest::addColumn<double>("unitPrice");
    QTest::addColumn<double>("amount");
    QTest::addColumn<QVariant>("note");
    const QVariant none;
    const QVariant noPrice = u"単価未入力"_qs;
    QTest::newRow("3 x 12.5") << 3.0 << 12.5 << 37.0 << none;
    QTest::newRow("0.5 x 99") << 0.5 << 99.0 << 49.0 << none;
    QTest::newRow("negative truncates toward zero") << -3.0 << 12.5 << -37.0 << none;
    QTest::newRow("no unit price") << 4.0 << 0.0 << 0.0 << noPrice;
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
    const auto registered = registerLine(s.db, line(u"りんご"_qs, quantity, unitPrice));
    QVERIFY(registered);
    const QVariantList r = s.row(uR"(SELECT * FROM "棚卸マスター")"_qs);
    QCOMPARE(
        r,
        QVariantList({ 1, u"2026-03-31"_qs, 1, u"りんご"_qs, quantity, u"個"_qs, unitPrice, amount, u"棚A"_qs,
                       note.isValid() ? note : QVariant(QMetaType(QMetaType::QString)), registered->productId, 0 }));
}

void TestRegistration::mastersFillThemselvesOrNotAtAll()
{
    Store s;
    const QString odd = u"O'Neil 100%_品"_qs;
    QVERIFY(registerLine(s.db, line(odd, 1, 10)));
    QVERIFY(registerLine(s.db, line(u"みかん"_qs, 2, 20, u"箱"_qs)));
    // The same product again: no new product, its unit and price follow the last line.
    const auto again = registerLine(s.db, line(odd, 3, 0, u"箱"_qs));
    QVERIFY(again);
    QCOMPARE(again->productId, 1);
    QCOMPARE(again->lineId, 3);
    QCOMPARE(rowCount(s.db, Table::Shohin), 2);
    QCOMPARE(s.row(uR"(SELECT "品名", "単価", "単位" FROM "仕入商品" WHERE "品名ID" = 1)"_qs),
             QVariantList({ odd, 0.0, u"箱"_qs }));
    QCOMPARE(s.row(uR"(SELECT COUNT(*), MAX("単位ID") FROM "単位")"_qs), QVariantList({ 2, 2 }));
    // An empty unit is no unit.
    QVERIFY(registerLine(s.db, line(u"ばなな"_qs, 1, 1, QString())));
    QCOMPARE(rowCount(s.db, Table::Tani), 2);

    const auto product = findProduct(s.db, odd);
    QVERIFY(product);
    QCOMPARE(product->unit.toString(), u"箱"_qs);
    QVERIFY(!findProduct(s.db, u"O'Neil 100%"_qs));

    // History: lines whose name contains the text, newest date first; % and _ are characters.
    LineInput older = line(odd, 9, 5);
    older.date = QDate(2025, 3, 31);
    QVERIFY(registerLine(s.db, older));
    const QList<HistoryLine> history = lineHistory(s.db, u"100%_"_qs);
    QCOMPARE(history.size(), 3);
    QCOMPARE(history.first().date, QDate(2026, 3, 31));
    QCOMPARE(history.last().date, QDate(2025, 3, 31));
    QCOMPARE(lineHistory(s.db, u"0_%"_qs).size(), 0);

    // Categories: found by name, registered when new; the reserved one is no match for its name.
    bool registered = false;
    QCOMPARE(findOrRegisterCategory(s.db, u"食品"_qs, &registered), std::optional<int>(1));
    QVERIFY(registered);
    QCOMPARE(findOrRegisterCategory(s.db, u"食品"_qs, &registered), std::optional<int>(1));
    QVERIFY(!registered);
    QCOMPARE(findOrRegisterCategory(s.db, u"未区分"_qs, &registered), std::optional<int>(2));

    // A line row that cannot be written takes its new unit and product with it.
    QVERIFY(s.db.exec(uR"(CREATE TRIGGER refuse BEFORE INSERT ON "棚卸マスター"
        BEGIN SELECT RAISE(ABORT, 'disk full'); END)"_qs));
    QString error;
    QVERIFY(!registerLine(s.db, line(u"新商品"_qs, 1, 10, u"新単位"_qs), &error));
    QVERIFY(error.contains(u"disk full"_qs));
    QCOMPARE(QList<int>({ rowCount(s.db, Table::Shohin), rowCount(s.db, Table::Tani), rowCount(s.db, Table::Tana) }),
             QList<int>({ 3, 2, 5 }));
}

void TestRegistration::byteLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::newRow("ascii") << u"abc 123"_qs << 7;
    QTest::newRow("full-width") << u"りんご"_qs << 6;
    QTest::newRow("half-width katakana") << u"ﾃﾞｰﾀ"_qs << 4;
    QTest::newRow("mixed") << u"A４箱ｱ"_qs << 6;
    QTest::newRow("NEC special and IBM extension") << u"①髙"_qs << 4;
    QTest::newRow("outside the code page") << u"€😀"_qs << 4;
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
    QTest::newRow("plain") << u"12.5"_qs << QVariant(12.5);
    QTest::newRow("full-width") << u"１２．５"_qs << QVariant(12.5);
    QTest::newRow("thousands") << u"1,234"_qs << QVariant(1234.0);
    QTest::newRow("full-width thousands") << u"１，２３４"_qs << QVariant(1234.0);
    QTest::newRow("blanks and minus") << u"　－３ "_qs << QVariant(-3.0);
    QTest::newRow("leading point") << u".5"_qs << QVariant(0.5);
    QTest::newRow("text") << u"三個"_qs << QVariant();
    QTest::newRow("two points") << u"1.2.3"_qs << QVariant();
    QTest::newRow("empty") << QString() << QVariant();
    QTest::newRow("exponent is no typing") << u"1e5"_qs << QVariant();
    QTest::newRow("thousands of a fraction") << u"1,500.25"_qs << QVariant(1500.25);
    QTest::newRow("decimal comma") << u"1,5"_qs << QVariant();
    QTest::newRow("comma before four digits") << u"1,5000"_qs << QVariant();
    QTest::newRow("comma in the fraction") << u"1.500,000"_qs << QVariant();
    QTest::newRow("leading comma") << u",500"_qs << QVariant();
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
    QCOMPARE(TextRules::readNumber(u"単価"_qs, u"999,999,999,999.5"_qs).value, std::optional<double>(999999999999.5));
    // A total beyond any 64-bit integer is still the number it is.
    QCOMPARE(TextRules::formatAmount(-9999999999999.0), u"-9,999,999,999,999"_qs);
    Store s;
    QVERIFY(registerLine(s.db, line(u"a"_qs, 1, 1)));
    QVERIFY(registerLine(s.db, line(u"b"_qs, 1, 1)));
    QVERIFY(s.db.exec(uR"(UPDATE "棚卸マスター" SET "価格" = 9.0e18 WHERE "日付" = '2026-03-31')"_qs));
    QCOMPARE(statusLineText(s.db, QDate(2026, 3, 31)), u"Max Record 2   Total 18,000,000,000,000,000,000"_qs);
}

void TestRegistration::statusLineFollowsEveryChange()
{
    // A date's figures are counted once and kept; what this program changes through its
    // registration and deletion is carried into them, and any other change, by this program
    // or another, has them counted again. Each figure is the count's. (Corrections typed
    // into the correction screen's grid: TestCorrectionScreen::editing.)
    Store s;
    const QDate day(2026, 3, 31), earlier(2025, 3, 31);
    const auto status = [&s](QDate date) { return statusLineText(s.db, date); };
    QCOMPARE(status(day), u"Max Record 0   Total "_qs);
    const auto first = registerLine(s.db, line(u"みかん"_qs, 3, 12.5)); // 37
    QVERIFY(first);
    QCOMPARE(status(day), u"Max Record 1   Total 37"_qs);
    QVERIFY(registerLine(s.db, line(u"りんご"_qs, 2, 100)));
    QCOMPARE(status(day), u"Max Record 2   Total 237"_qs);
    LineInput older = line(u"なし"_qs, 1, 5);
    older.date = earlier;
    QVERIFY(registerLine(s.db, older));
    QCOMPARE(status(earlier), u"Max Record 1   Total 5"_qs);
    QCOMPARE(status(day), u"Max Record 2   Total 237"_qs);

    QVERIFY(deleteLine(s.db, first->lineId));
    QCOMPARE(status(day), u"Max Record 1   Total 200"_qs);
    QCOMPARE(status(earlier), u"Max Record 1   Total 5"_qs);

    // Another program adds a line and changes one: both dates are counted again.
    QProcess sqlite;
    sqlite.start(u"/usr/bin/sqlite3"_qs,
                 { s.db.fileName(), uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "品名", "価格")
                       VALUES (100, '2026-03-31', 'よそで数えた品', 40);
                       UPDATE "棚卸マスター" SET "価格" = 7 WHERE "日付" = '2025-03-31';)"_qs });
    QVERIFY(sqlite.waitForFinished(30000));
    QCOMPARE(sqlite.exitCode(), 0);
    QCOMPARE(status(day), u"Max Record 2   Total 240"_qs);
    QCOMPARE(status(earlier), u"Max Record 1   Total 7"_qs);
    // So does a change this program makes by other means.
    QVERIFY(s.db.exec(uR"(UPDATE "棚卸マスター" SET "価格" = "価格" * 2)"_qs));
    QCOMPARE(status(day), u"Max Record 2   Total 480"_qs);
    // Inside a transaction the lines are counted as they stand then, and a rollback puts
    // the figures back.
    {
        Transaction transaction(s.db);
        QVERIFY(s.db.exec(uR"(DELETE FROM "棚卸マスター")"_qs));
        QCOMPARE(status(day), u"Max Record 0   Total "_qs);
    }
    QCOMPARE(status(day), u"Max Record 2   Total 480"_qs);
    // Another file opened in its place has figures of its own.
    Store other;
    QVERIFY(registerLine(other.db, line(u"みかん"_qs, 1, 1)));
    QVERIFY(s.db.open(other.db.fileName()));
    QCOMPARE(status(day), u"Max Record 1   Total 1"_qs);
}

void TestRegistration::lookupListsWhatContainsTheText()
{
    Store s;
    QVERIFY(addSampleLines(s.db, 1000)); // 1000 products "商品名・サンプル第N号（特大）"
    LookupModel products(LookupModel::Kind::Product);
    products.setDatabase(&s.db);
    products.refresh(QString());
    // The first page only; the rest comes as the list is scrolled.
    QCOMPARE(products.rowCount(), LookupModel::PageSize);
    QVERIFY(products.canFetchMore({}));
    while (products.canFetchMore({}))
        products.fetchMore({});
    QCOMPARE(products.rowCount(), 1000);

    products.refresh(u"第99"_qs);
    QCOMPARE(products.rowCount(), 11); // 第99号, 第990..999号
    QVERIFY(!products.canFetchMore({}));
    QCOMPARE(products.data(products.index(0)).toString(), u"商品名・サンプル第990号（特大）"_qs);
    QCOMPARE(products.firstId(), QVariant(991));

    // Category 0 is never listed.
    LookupModel categories(LookupModel::Kind::Category);
    categories.setDatabase(&s.db);
    categories.refresh(QString());
    QCOMPARE(categories.rowCount(), 0);
}

void TestRegistration::nameIndexFindsWhatTheScanFinds()
{
    Store s;
    QVERIFY(s.db.hasNameIndexes()); // the template carries them
    const QStringList names
        = { u"ABC商品"_qs,    u"abc商品"_qs, u"ＡＢＣ商品"_qs,     u"ａｂｃ商品"_qs, u"100%果汁"_qs,   u"1000果汁"_qs,
            u"a_b c"_qs,      u"axb c"_qs,   u"He said \"hi\""_qs, u"O'Neil's"_qs,   u"緑茶500ml"_qs,  u"緑茶5"_qs,
            u"𠮷野家弁当"_qs, u"Straße"_qs,  u"ÄÖÜ äöü"_qs,        u"AND OR"_qs,     u"x*y NEAR z"_qs, u"ab"_qs };
    for (int i = 0; i < names.size(); ++i) {
        LineInput input = line(names[i], 1, 1);
        input.date = QDate(2020 + i % 3, 3, 31);
        QVERIFY(registerLine(s.db, input));
    }
    // Lines renamed or deleted afterwards are found under their new name only.
    const auto renamed = registerLine(s.db, line(u"旧名abc"_qs, 1, 1));
    const auto deleted = registerLine(s.db, line(u"消えたabc"_qs, 1, 1));
    QVERIFY(renamed && deleted);
    QVERIFY(s.db.exec(uR"(UPDATE "棚卸マスター" SET "品名" = '新名ABC' WHERE "ID" = ?)"_qs, { renamed->lineId }));
    QVERIFY(deleteLine(s.db, deleted->lineId));

    const QString plainFile = s.env.path(u"plain.idb"_qs);
    const QString indexedFile = s.db.fileName();
    s.db.close();
    QVERIFY(QFile::copy(indexedFile, plainFile));
    QVERIFY(makeVersion(plainFile, 1));
    Database indexed, plain;
    QVERIFY(indexed.open(indexedFile));
    // An older file opened read-only stays as it is and is searched the plain way.
    QVERIFY(plain.open(plainFile, nullptr, Database::Access::ReadOnly));
    QVERIFY(plain.isReadOnly() && !plain.hasNameIndexes());

    const QStringList texts
        = { u"abc"_qs,    u"ABC"_qs, u"ａｂｃ"_qs, u"ＡＢＣ"_qs, u"Ab"_qs,   u"bc商"_qs,    u"0%果"_qs,
            u"00果"_qs,   u"_b "_qs, u"a_b"_qs,    u"\"hi"_qs,   u"hi\""_qs, u"l's"_qs,     u"緑茶5"_qs,
            u"緑茶50"_qs, u"茶5"_qs, u"𠮷野家"_qs, u"𠮷野"_qs,   u"äöü"_qs,  u"ÄÖÜ"_qs,     u"SSE"_qs,
            u"ße"_qs,     u"AND"_qs, u"x*y"_qs,    u"旧名"_qs,   u"ｂ"_qs,   u"茶"_qs,      u"%"_qs,
            u"a_"_qs,     u"𠮷"_qs,  u"abc消"_qs,  u"c"_qs,      QString(),  u"該当なし"_qs };
    for (const QString& text : texts)
        QCOMPARE(found(indexed, text), found(plain, text));
    QVERIFY(NameIndex::candidates(indexed, Table::Tana, u"ABC"_qs, 100));
    QVERIFY(NameIndex::candidates(indexed, Table::Shohin, u"ABC"_qs, 100));
    QVERIFY(NameIndex::candidates(indexed, Table::Tana, u"Ab"_qs, 100));
    QVERIFY(NameIndex::candidates(indexed, Table::Shohin, u"𠮷"_qs, 100));
    // Latin letters match in either case, full-width ones and everything else exactly;
    // newest date first, and the products by name.
    QCOMPARE(found(indexed, u"ABC"_qs),
             QStringList({ u"2026-03-31 新名ABC"_qs, u"2021-03-31 abc商品"_qs, u"2020-03-31 ABC商品"_qs,
                           u"2026-03-31 新名ABC"_qs, u"2021-03-31 abc商品"_qs, u"product ABC商品"_qs,
                           u"product abc商品"_qs, u"product 旧名abc"_qs, u"product 消えたabc"_qs }));
    QCOMPARE(found(indexed, u"Bc商"_qs).size(), 6);
    QCOMPARE(found(indexed, u"ＡＢＣ"_qs).size(), 3);
    QCOMPARE(found(indexed, u"0%果"_qs).size(), 3);

    // Opened for writing, an older file gets the indexes of today (a file of version 2 loses
    // its triggers on the lines) and still finds the same, also a line typed afterwards.
    plain.close();
    const QString version2File = s.env.path(u"version2.idb"_qs);
    indexed.close();
    QVERIFY(QFile::copy(indexedFile, version2File) && makeVersion(version2File, 2));
    QVERIFY(indexed.open(indexedFile));
    for (const QString& file : { plainFile, version2File }) {
        QVERIFY(plain.open(file));
        QVERIFY(plain.hasNameIndexes());
        QSqlQuery q(plain.connection());
        QVERIFY(q.exec(u"PRAGMA user_version"_qs) && q.next());
        QCOMPARE(q.value(0).toInt(), Schema::UserVersion);
        QVERIFY(
            q.exec(
                u"SELECT group_concat(name, ' ') FROM sqlite_master WHERE type = 'trigger' AND tbl_name = '棚卸マスター' AND name LIKE '%品名%'"_qs)
            && q.next());
        QCOMPARE(q.value(0).toString(), u"棚卸マスター_品名一覧_追加 棚卸マスター_品名一覧_変更"_qs);
        q.finish();
        for (const QString& text : texts)
            QCOMPARE(found(plain, text), found(indexed, text));
        QVERIFY(registerLine(plain, line(u"追加した品abc"_qs, 1, 1)));
        QCOMPARE(found(plain, u"品ab"_qs),
                 QStringList(
                     { u"2026-03-31 追加した品abc"_qs, u"2026-03-31 追加した品abc"_qs, u"product 追加した品abc"_qs }));
        plain.close();
    }
}

KOTRINA_REGISTER_TEST(TestRegistration)
#include "TestRegistration.moc"
