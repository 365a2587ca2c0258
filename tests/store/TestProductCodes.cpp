// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/masters/ProductCodes.h"
#include "core/store/Database.h"
#include "core/store/FileOps.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTest>

namespace {

// Every code of the file with its product, in code order: "code:品名ID".
QStringList allCodes(const Database& db)
{
    QStringList codes;
    QSqlQuery q(db.connection());
    if (q.exec(uR"(SELECT "コード", "品名ID" FROM "商品コード" ORDER BY "コード")"_qs)) {
        while (q.next())
            codes << q.value(0).toString() + QLatin1Char(':') + q.value(1).toString();
    }
    return codes;
}

QStringList allCodes(const QString& path)
{
    Database db;
    return db.open(path, nullptr, Database::Access::ReadOnly) ? allCodes(db) : QStringList { u"cannot open"_qs };
}

// Products 1..count each get the EAN-13 4900000000NNN with its check digit.
bool giveEveryProductACode(const Database& db, int count)
{
    Transaction transaction(db);
    for (int id = 1; id <= count; ++id) {
        const QString digits = u"4900%1"_qs.arg(id, 8, 10, QLatin1Char('0'));
        if (!db.exec(uR"(INSERT INTO "商品コード" VALUES (?, ?, 0))"_qs,
                     QVariantList { QString(digits + QString::number(ProductCodes::checkDigit(digits))), id }))
            return false;
    }
    return transaction.commit();
}

} // namespace

// The codes of the products: what is taken as a code, keeping them on products, and what
// the whole-file work does with them.
class TestProductCodes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checking_data();
    void checking();
    void codesOnProducts();
    void codesWhoseProductIsGone();
    void wholeFileWorkCarriesCodes();
    void deletingProductsTakesTheirCodes_data();
    void deletingProductsTakesTheirCodes();
};

void TestProductCodes::checking_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept"); // empty: refused
    QTest::addColumn<int>("form");
    QTest::addColumn<QString>("error");
    using F = ProductCodes::Form;
    QTest::newRow("EAN-13") << u"4901234567894"_qs << u"4901234567894"_qs << int(F::Ean13) << QString();
    QTest::newRow("EAN-8") << u"49123456"_qs << u"49123456"_qs << int(F::Ean8) << QString();
    QTest::newRow("UPC-A as EAN-13") << u"036000291452"_qs << u"0036000291452"_qs << int(F::UpcA) << QString();
    QTest::newRow("in-store 20") << u"2000000000015"_qs << u"2000000000015"_qs << int(F::InStore) << QString();
    QTest::newRow("full-width, blanks around")
        << u" ４９０１２３４５６７８９４　"_qs << u"4901234567894"_qs << int(F::Ean13) << QString();
    QTest::newRow("check digit 0") << u"4512345678906"_qs << u"4512345678906"_qs << int(F::Ean13) << QString();
    QTest::newRow("EAN-13 wrong")
        << u"4901234567890"_qs << QString() << 0
        << u"コード 4901234567890 のチェックデジット（最後の桁）が違います。最後の桁は 4 のはずです。"_qs;
    QTest::newRow("EAN-8 wrong")
        << u"49123457"_qs << QString() << 0
        << u"コード 49123457 のチェックデジット（最後の桁）が違います。最後の桁は 6 のはずです。"_qs;
    QTest::newRow("UPC-A wrong")
        << u"036000291453"_qs << QString() << 0
        << u"コード 036000291453 のチェックデジット（最後の桁）が違います。最後の桁は 2 のはずです。"_qs;
    QTest::newRow("two digits swapped")
        << u"4901324567894"_qs << QString() << 0
        << u"コード 4901324567894 のチェックデジット（最後の桁）が違います。最後の桁は 6 のはずです。"_qs;
    QTest::newRow("letters") << u"49O1234567894"_qs << QString() << 0
                             << u"コード「49O1234567894」に数字以外の文字があります。"_qs;
    QTest::newRow("7 digits")
        << u"4912345"_qs << QString() << 0
        << u"コード「4912345」の桁数が違います。JANコードは13桁または8桁、UPCは12桁の数字です。"_qs;
    QTest::newRow("a blank inside") << u"4901234 567894"_qs << QString() << 0
                                    << u"コード「4901234 567894」に数字以外の文字があります。"_qs;
}

void TestProductCodes::checking()
{
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QFETCH(int, form);
    QFETCH(QString, error);
    const ProductCodes::Checked checked = ProductCodes::check(text);
    QCOMPARE(checked.code, kept);
    QCOMPARE(checked.error, error);
    QCOMPARE(checked.valid(), !kept.isEmpty());
    if (checked.valid())
        QCOMPARE(int(checked.form), form);
    // The entry screen takes any text of a code's shape as a scan, check digit right or wrong.
    const bool shaped = error.isEmpty() || error.contains(u"チェックデジット"_qs);
    QCOMPARE(ProductCodes::looksLikeCode(text), shaped);
}

void TestProductCodes::codesOnProducts()
{
    TestEnvironment env;
    Database db;
    QVERIFY(db.open(sampleDatabase(env, 3)));
    const QString second = u"商品名・サンプル第1号（特大）"_qs;
    QCOMPARE(ProductCodes::productIdByName(db, second), std::optional<int>(2));
    QCOMPARE(ProductCodes::productIdByName(db, u"ない品名"_qs), std::nullopt);

    // Each form is kept as check() keeps it, after the codes the product has.
    QString error;
    QVERIFY2(ProductCodes::addCode(db, 1, u"4901234567894"_qs, &error), qPrintable(error));
    QVERIFY(ProductCodes::addCode(db, 1, u"０３６０００２９１４５２"_qs, &error));
    QVERIFY(ProductCodes::addCode(db, 1, u"49123456"_qs, &error));
    QVERIFY(ProductCodes::addCode(db, 1, u"4901234567894"_qs, &error)); // already there: no change
    QCOMPARE(ProductCodes::codesOf(db, 1), QStringList({ u"4901234567894"_qs, u"0036000291452"_qs, u"49123456"_qs }));
    const auto owner = ProductCodes::findByCode(db, u"0036000291452"_qs);
    QVERIFY(owner);
    QCOMPARE(owner->productId, 1);
    QCOMPARE(owner->name, u"商品名・サンプル第0号（特大）"_qs);
    QCOMPARE(owner->unit.toString(), u"個"_qs);
    QCOMPARE(owner->unitPrice.toInt(), 100);
    QVERIFY(!ProductCodes::findByCode(db, u"4512345678906"_qs));

    // A code on another product is refused, naming that product; nothing changes.
    const QString onFirst = u"コード 4901234567894 は品名「商品名・サンプル第0号（特大）」に登録されています。"_qs;
    QVERIFY(!ProductCodes::addCode(db, 2, u"4901234567894"_qs, &error));
    QCOMPARE(error, onFirst);
    QCOMPARE(ProductCodes::checkFor(db, 2, u"4901234567894"_qs).error, onFirst);
    QVERIFY(ProductCodes::checkFor(db, 1, u"4901234567894"_qs).valid());
    QVERIFY(!ProductCodes::addCode(db, 2, u"4901234567890"_qs, &error));
    QVERIFY2(error.contains(u"最後の桁は 4 のはず"_qs), qPrintable(error));
    QVERIFY(!ProductCodes::addCode(db, 99, u"4512345678906"_qs, &error));
    QCOMPARE(error, u"品名ID 99 の品名は登録されていません。"_qs);

    // setCodes replaces the list in the order given, or changes nothing at all.
    QVERIFY(ProductCodes::setCodes(db, 2, { u"4512345678906"_qs, u"2000000000015"_qs }, &error));
    const QStringList before = allCodes(db);
    QVERIFY(!ProductCodes::setCodes(db, 2, { u"49017779"_qs, u"4912345"_qs, u"2912345678906"_qs }, &error));
    QVERIFY2(error.contains(u"桁数"_qs), qPrintable(error));
    QVERIFY(!ProductCodes::setCodes(db, 2, { u"49017779"_qs, u"49123456"_qs }, &error));
    QCOMPARE(error, u"コード 49123456 は品名「商品名・サンプル第0号（特大）」に登録されています。"_qs);
    QCOMPARE(allCodes(db), before);
    QVERIFY2(ProductCodes::setCodes(db, 2, { u"2000000000015"_qs, u"49017779"_qs, u"２００００００００００１５"_qs },
                                    &error),
             qPrintable(error));
    QCOMPARE(ProductCodes::codesOf(db, 2), QStringList({ u"2000000000015"_qs, u"49017779"_qs }));
    QVERIFY(!ProductCodes::findByCode(db, u"4512345678906"_qs));

    // The list of the command line: products with codes by ID, or all of them.
    QStringList listed;
    auto record = [&](int id, const QString& name, const QStringList& codes) {
        listed << u"%1 %2 %3"_qs.arg(id).arg(name, codes.join(QLatin1Char(',')));
    };
    QVERIFY(ProductCodes::forEachProduct(db, false, record));
    QCOMPARE(listed,
             QStringList({ u"1 商品名・サンプル第0号（特大） 4901234567894,0036000291452,49123456"_qs,
                           u"2 商品名・サンプル第1号（特大） 2000000000015,49017779"_qs }));
    listed.clear();
    QVERIFY(ProductCodes::forEachProduct(db, true, record));
    QCOMPARE(listed.size(), 3);
    QCOMPARE(listed[2], u"3 商品名・サンプル第2号（特大） "_qs);

    // The first code of each product beside it in a list, whatever the outer query calls its table.
    for (const QString& alias : { u"s"_qs, u"c"_qs }) {
        QSqlQuery q(db.connection());
        QVERIFY(q.exec(uR"(SELECT %1 FROM "仕入商品" AS %2 ORDER BY %2."品名ID")"_qs.arg(
            ProductCodes::firstCodeExpression(alias + uR"(."品名ID")"_qs), alias)));
        QStringList first;
        while (q.next())
            first << q.value(0).toString();
        QCOMPARE(first, QStringList({ u"4901234567894"_qs, u"2000000000015"_qs, QString() }));
    }

    // Taken off, the code is free for another product; a product's codes go with it.
    QVERIFY(ProductCodes::removeCode(db, u"49123456"_qs));
    QVERIFY(ProductCodes::addCode(db, 3, u"49123456"_qs, &error));
    QVERIFY(db.exec(uR"(DELETE FROM "仕入商品" WHERE "品名ID" = 1)"_qs));
    QCOMPARE(allCodes(db), QStringList({ u"2000000000015:2"_qs, u"49017779:2"_qs, u"49123456:3"_qs }));
}

void TestProductCodes::codesWhoseProductIsGone()
{
    // The sqlite3 program, without this program's trigger, leaves codes of a deleted product
    // behind, and writes codes for products that never were.
    TestEnvironment env;
    const QString file = sampleDatabase(env, 3);
    QProcess sqlite;
    sqlite.start(u"sqlite3"_qs, { file });
    QVERIFY(sqlite.waitForStarted());
    sqlite.write(QByteArrayLiteral("DROP TRIGGER \"商品コード_品名削除\";\n"
                                   "INSERT INTO \"商品コード\" VALUES ('4901234567894', 1, 0), ('49123456', 7, 0);\n"
                                   "DELETE FROM \"仕入商品\" WHERE \"品名ID\" = 1;\n"));
    sqlite.closeWriteChannel();
    QVERIFY(sqlite.waitForFinished());
    QCOMPARE(sqlite.exitCode(), 0);

    Database db;
    QVERIFY(db.open(file));
    QVERIFY(!ProductCodes::findByCode(db, u"4901234567894"_qs));
    int listed = 0;
    QVERIFY(ProductCodes::forEachProduct(db, false, [&](int, const QString&, const QStringList&) { ++listed; }));
    QCOMPARE(listed, 0);
    // The codes are free: another product takes them, one by one or as its whole list.
    QString error;
    QVERIFY(ProductCodes::checkFor(db, 2, u"4901234567894"_qs).valid());
    QVERIFY2(ProductCodes::addCode(db, 2, u"4901234567894"_qs, &error), qPrintable(error));
    QVERIFY2(ProductCodes::setCodes(db, 3, { u"49123456"_qs }, &error), qPrintable(error));
    QCOMPARE(ProductCodes::findByCode(db, u"4901234567894"_qs)->productId, 2);
    QCOMPARE(ProductCodes::findByCode(db, u"49123456"_qs)->productId, 3);
    QCOMPARE(allCodes(db), QStringList({ u"4901234567894:2"_qs, u"49123456:3"_qs }));
}

void TestProductCodes::wholeFileWorkCarriesCodes()
{
    TestEnvironment env;
    const QString file = sampleDatabase(env, 2000);
    QStringList codes;
    {
        Database db;
        QVERIFY(db.open(file));
        QVERIFY(giveEveryProductACode(db, 1000));
        QVERIFY(ProductCodes::addCode(db, 5, u"2000000000015"_qs));
        codes = allCodes(db);
    }
    QCOMPARE(codes.size(), 1001);

    // The backup and the compaction copy the whole file.
    const QString backup = env.path(u"backup.idb"_qs);
    QVERIFY(FileOps::backupDatabase(file, backup).sound());
    QCOMPARE(allCodes(backup), codes);
    QCOMPARE(FileOps::compactDatabase(file).status, FileOps::CompactResult::Status::Compacted);
    QCOMPARE(allCodes(file), codes);

    // A salvage takes every code whose product it saved, in order, and says how many.
    const QString rescued = env.path(u"rescued.idb"_qs);
    FileOps::SalvageResult result = FileOps::salvageDatabase(file, env.paths().templatePath(), rescued);
    QVERIFY2(result.ok, qPrintable(result.detail));
    QCOMPARE(allCodes(rescued), codes);
    QCOMPARE(result.tables.last().table, u"商品コード"_qs);
    QCOMPARE(result.tables.last().saved, 1001);
    QCOMPARE(result.tables.last().lost, 0);
    {
        Database db;
        QVERIFY(db.open(rescued));
        QCOMPARE(ProductCodes::codesOf(db, 5), QStringList({ u"4900000000054"_qs, u"2000000000015"_qs }));
    }

    // From a damaged file as well.
    QVERIFY(!damageDataPage(file).isEmpty());
    QVERIFY(QFile::remove(rescued));
    result = FileOps::salvageDatabase(file, env.paths().templatePath(), rescued);
    QVERIFY2(result.ok, qPrintable(result.detail));
    QCOMPARE(allCodes(rescued), codes);

    // A file of a version before the codes has none to give; the salvage is a file of today.
    const QString older = env.path(u"older.idb"_qs);
    QVERIFY(QFile::copy(backup, older) && makeVersion(older, 3));
    QVERIFY(QFile::remove(rescued));
    result = FileOps::salvageDatabase(older, env.paths().templatePath(), rescued);
    QVERIFY2(result.ok, qPrintable(result.detail));
    QCOMPARE(result.tables.size(), 4);
    Database db;
    QVERIFY(db.open(rescued));
    QCOMPARE(rowCount(db, Table::Shohin), 1000);
    QVERIFY(ProductCodes::addCode(db, 1, u"49123456"_qs));
}

void TestProductCodes::deletingProductsTakesTheirCodes_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("codesLeft");
    QTest::newRow("products") << int(FileOps::DataItem::Products) << 0;
    QTest::newRow("all") << int(FileOps::DataItem::All) << 0;
    QTest::newRow("lines") << int(FileOps::DataItem::Lines) << 501;
    QTest::newRow("units") << int(FileOps::DataItem::Units) << 501;
}

void TestProductCodes::deletingProductsTakesTheirCodes()
{
    QFETCH(int, item);
    QFETCH(int, codesLeft);
    TestEnvironment env;
    Database db;
    QVERIFY(db.open(sampleDatabase(env, 500)));
    QVERIFY(giveEveryProductACode(db, 500));
    // One left behind by a product deleted elsewhere goes too.
    QVERIFY(db.exec(uR"(INSERT INTO "商品コード" VALUES ('49123456', 4711, 0))"_qs));
    QString error;
    QVERIFY2(FileOps::deleteData(db, FileOps::DataItem(item), &error), qPrintable(error));
    QCOMPARE(allCodes(db).size(), codesLeft);
    // A product made afterwards with a freed ID starts without codes.
    if (codesLeft == 0) {
        QVERIFY(db.exec(uR"(INSERT INTO "仕入商品" ("品名ID", "品名") VALUES (1, '新しい品名'))"_qs));
        QCOMPARE(ProductCodes::codesOf(db, 1), QStringList());
    }
}

KOTRINA_REGISTER_TEST(TestProductCodes)
#include "TestProductCodes.moc"
