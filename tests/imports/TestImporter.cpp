// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "ImportData.h"
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/imports/Importer.h"
#include "core/imports/TabFile.h"
#include "core/lines/LineRegistration.h"
#include "core/masters/ProductCodes.h"
#include "core/rules/TextRules.h"
#include "core/store/NameIndex.h"

#include <QTest>

namespace {

const QDate Day(2026, 3, 31);
const QString LinesHeading = u"項目/分類名\t品名\t数量\t単位\t単価\t価格\t備考"_qs;

// A file of records under a heading, each line ended by CRLF, in UTF-8.
QString dataFile(const TestEnvironment& env, const QString& heading, const QStringList& records,
                 const QString& name = u"data.txt"_qs)
{
    return env.writeFile(name, (QStringList { heading } + records).join(u"\r\n"_qs).toUtf8() + "\r\n");
}

ImportMapping headingMapping(ImportKind kind, const QString& file)
{
    return ImportMapping::fromHeadings(kind, readHeading(file));
}

QStringList lines(const Database& db)
{
    return rows(db, QStringLiteral(R"(SELECT "ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格", "備考",
        "品名ID", coalesce("備考1", '-') FROM "棚卸マスター" ORDER BY "ID")"));
}

} // namespace

class TestImporter : public QObject
{
    Q_OBJECT

private slots:
    void aGoodFileGoesInWithItsNamesRegisteredOnce()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(env.newDatabase()));
        const QString longName = QString(60, QChar(u'長'));
        const QString file = dataFile(
            env, LinesHeading,
            { u"食品\tりんご\t10\t個\t100\t1000\t"_qs, u"食品\t"_qs + longName + u"\t３\t箱\t12.5\t37.5\tメモ"_qs,
              u"\tO'Brien \"50%\" a_b\t1,500\t\t2.5\t-12.7\t"_qs, u"雑貨\t"_qs + longName + u"\t\t箱\t3.5\t0\t"_qs,
              u"未区分\tりんご\t1\tｹｰｽ\t\t99\t"_qs });
        const ImportOutcome outcome = importLines(db, file, Day, headingMapping(ImportKind::Lines, file));
        QCOMPARE(outcome.status, ImportOutcome::Status::Done);
        QCOMPARE(outcome.linesAdded, 5);
        QCOMPARE(outcome.categoriesAdded, 2);
        QCOMPARE(outcome.productsAdded, 3);

        const QString stored = longName.left(50);
        QCOMPARE(lines(db),
                 QStringList({ u"1|2026-03-31|1|りんご|10|個|100|1000||1|-"_qs,
                               u"2|2026-03-31|1|"_qs + stored + u"|3|箱|12.5|37|メモ|2|-"_qs,
                               u"3|2026-03-31|0|O'Brien \"50%\" a_b|1500||2.5|-12||3|-"_qs,
                               u"4|2026-03-31|2|"_qs + stored + u"|0|箱|3.5|0||2|-"_qs,
                               u"5|2026-03-31|0|りんご|1|ｹｰｽ|0|99||1|-"_qs }));
        // New products take the first line's unit and its price rounded halves to even.
        QCOMPARE(
            rows(db, u"SELECT * FROM 仕入商品 ORDER BY 品名ID"_qs),
            QStringList({ u"1|りんご|100|個"_qs, u"2|"_qs + stored + u"|12|箱"_qs, u"3|O'Brien \"50%\" a_b|2|"_qs }));
        QCOMPARE(rows(db, u"SELECT * FROM 項目分類 ORDER BY 項目ID"_qs),
                 QStringList({ u"0|未区分"_qs, u"1|食品"_qs, u"2|雑貨"_qs }));
        QCOMPARE(rows(db, u"SELECT * FROM 単位 ORDER BY 単位ID"_qs),
                 QStringList({ u"1|個"_qs, u"2|箱"_qs, u"3|ｹｰｽ"_qs }));

        // The name indexes keep up with lines typed after an import.
        QVERIFY(registerLine(db, { Day, 1, u"みかん"_qs, 2, u"個"_qs, 30, {} }));
        QCOMPARE(lineHistory(db, u"みか"_qs).size(), 1);
        QCOMPARE(lineHistory(db, u"りんご"_qs).size(), 2);

        // Known names are found again by a second file: nothing new is registered.
        const ImportOutcome again = importLines(db, file, Day, headingMapping(ImportKind::Lines, file));
        QCOMPARE(again.linesAdded, 5);
        QCOMPARE(again.categoriesAdded + again.productsAdded, 0);
        QCOMPARE(rowCount(db, Table::Tana), 11);
        QCOMPARE(lineHistory(db, u"りんご"_qs).size(), 4);
    }

    void importedNamesAreIndexedAsTypedOnesAre()
    {
        // Names the index splits in unusual ways: a character outside the basic plane,
        // ASCII punctuation and blanks, half-width katakana, a name of one character.
        const QStringList names
            = { u"𠮷野家の弁当"_qs, u"a-b c_d%"_qs, u"ｽﾃﾝﾚｽ　ﾎﾞﾙﾄ"_qs, u"X"_qs, u"\"O'Brien\""_qs, u"ab𠀋"_qs };
        TestEnvironment env;
        Database imported, typed;
        QVERIFY(imported.open(env.newDatabase(u"imported.idb"_qs)));
        QVERIFY(typed.open(env.newDatabase(u"typed.idb"_qs)));
        QStringList records;
        for (const QString& name : names) {
            records << u"\t"_qs + name + u"\t1\t個\t1\t1\t"_qs;
            QVERIFY(registerLine(typed, { Day, 0, name, 1, u"個"_qs, 1, {} }));
        }
        const QString file = dataFile(env, LinesHeading, records);
        QCOMPARE(importLines(imported, file, Day, headingMapping(ImportKind::Lines, file)).linesAdded, names.size());

        const auto vocabulary = [](const Database& db, const QString& index) {
            db.exec(u"DROP TABLE IF EXISTS temp.words"_qs);
            db.exec(u"CREATE VIRTUAL TABLE temp.words USING fts5vocab(main, '%1', 'row')"_qs.arg(index));
            return rows(db, u"SELECT term, doc FROM temp.words ORDER BY term"_qs);
        };
        for (const QString& index : { u"棚卸マスター_品名短索引"_qs, u"仕入商品_品名短索引"_qs }) {
            QVERIFY(!vocabulary(imported, index).isEmpty());
            QCOMPARE(vocabulary(imported, index), vocabulary(typed, index));
        }
        // The triggers take the imported rows out of the index by the same words.
        QVERIFY(imported.exec(u"DELETE FROM 棚卸マスター"_qs));
        QVERIFY(imported.exec(u"DELETE FROM 仕入商品"_qs));
        for (const QString& sql : NameIndex::pruneStatements())
            QVERIFY(imported.exec(sql));
        QCOMPARE(vocabulary(imported, u"棚卸マスター_品名短索引"_qs), QStringList());
        QCOMPARE(vocabulary(imported, u"仕入商品_品名短索引"_qs), QStringList());
    }

    void aBadRecordWritesNothing_data()
    {
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QString>("problem");
        const QString good = u"食品\tりんご\t10\t個\t100\t1000\t"_qs;
        QTest::newRow("text in a number") << QStringList { good, u"食品\tなし\t十\t個\t1\t1\t"_qs, good }
                                          << u"行 3: 数量は数字で入力してください。"_qs;
        QTest::newRow("empty amount") << QStringList { good, good, u"食品\tなし\t1\t個\t1\t\t"_qs }
                                      << u"行 4: 価格が入力されていません。"_qs;
        QTest::newRow("empty name") << QStringList { u"食品\t\t1\t個\t1\t1\t"_qs, good }
                                    << u"行 2: 品名が入力されていません。"_qs;
        QTest::newRow("field beyond the end") << QStringList { good, u"食品\tなし\t1\t個"_qs }
                                              << u"行 3: 単価の列（5 列目）がありません（この行は 4 列です）。"_qs;
        QTest::newRow("price beyond a product's")
            << QStringList { good, u"食品\t新品\t1\t個\t3000000000\t1\t"_qs }
            << u"行 3: 単価が大きすぎます（品名情報の単価は 2,147,483,647 まで）。"_qs;
    }

    void aBadRecordWritesNothing()
    {
        QFETCH(QStringList, records);
        QFETCH(QString, problem);
        TestEnvironment env;
        const QString path = env.newDatabase();
        Database db;
        QVERIFY(db.open(path));
        QVERIFY(addSampleLines(db, 50));
        db.close();
        const QByteArray before = readAll(path);
        QVERIFY(db.open(path));
        const QString file = dataFile(env, LinesHeading, records);
        const ImportOutcome outcome = importLines(db, file, Day, headingMapping(ImportKind::Lines, file));
        QCOMPARE(outcome.status, ImportOutcome::Status::Refused);
        QCOMPARE(outcome.details(), problem);
        QCOMPARE(outcome.linesAdded + outcome.categoriesAdded + outcome.productsAdded, 0);
        db.close();
        QCOMPARE(readAll(path), before);
    }

    // A spreadsheet's tab-delimited save writes each cell as it is displayed: currency, the
    // accounting forms, the exponent of a narrow column. The unit price of a line as stored,
    // or the file's refusal; whether the entry screen takes the same text as typed.
    void numbersAsSpreadsheetsWriteThem_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("typedToo");
        const QString noNumber = u"行 2: 単価は数字で入力してください。"_qs;
        QTest::newRow("plain") << u"1200"_qs << u"1200"_qs << true;
        QTest::newRow("full-width digits, comma, minus") << u"－１，２００．５"_qs << u"-1200.5"_qs << true;
        QTest::newRow("yen sign of code page 932") << u"\\1,200"_qs << u"1200"_qs << false;
        QTest::newRow("yen sign") << u"¥1,200"_qs << u"1200"_qs << false;
        QTest::newRow("full-width yen sign") << u"￥１，２００"_qs << u"1200"_qs << false;
        QTest::newRow("minus before the yen sign") << u"-\\1,200"_qs << u"-1200"_qs << false;
        QTest::newRow("minus after the yen sign") << u"\\-1,200"_qs << u"-1200"_qs << false;
        QTest::newRow("accounting, blanks between") << u" \\ 1,200 "_qs << u"1200"_qs << false;
        QTest::newRow("parentheses") << u"(1,000)"_qs << u"-1000"_qs << false;
        QTest::newRow("full-width parentheses") << u"（１，０００）"_qs << u"-1000"_qs << false;
        QTest::newRow("yen sign in parentheses") << u"(\\1,000)"_qs << u"-1000"_qs << false;
        QTest::newRow("white triangle") << u"△1,000"_qs << u"-1000"_qs << false;
        QTest::newRow("black triangle") << u"▲1,000"_qs << u"-1000"_qs << false;
        QTest::newRow("exponent") << u"1.2E+03"_qs << u"1200"_qs << false;
        QTest::newRow("small exponent") << u"1.5e-01"_qs << u"0.15"_qs << false;
        QTest::newRow("exponent, exactly") << u"4.35E+00"_qs << u"4.35"_qs << false;
        QTest::newRow("en after the number") << u"1,200円"_qs << u"1200"_qs << false;
        QTest::newRow("accounting zero") << u"\\ -"_qs << u"0"_qs << false;
        QTest::newRow("dash alone") << u"-"_qs << u"0"_qs << false;
        QTest::newRow("yen sign and en") << u"\\1,200円"_qs << noNumber << false;
        QTest::newRow("parenthesis left open") << u"(1,000"_qs << noNumber << false;
        QTest::newRow("two signs") << u"△-1,000"_qs << noNumber << false;
        QTest::newRow("grouped mantissa") << u"1,200E+03"_qs << noNumber << false;
        QTest::newRow("exponent without digits") << u"1.2E+"_qs << noNumber << false;
        QTest::newRow("comma as decimal point") << u"\\1,5"_qs << noNumber << false;
        QTest::newRow("beyond the sheets' digits")
            << u"1E+12"_qs << u"行 2: 単価は整数部１２桁以内で入力してください。"_qs << false;
    }

    void numbersAsSpreadsheetsWriteThem()
    {
        QFETCH(QString, cell);
        QFETCH(QString, stored);
        QFETCH(bool, typedToo);
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(env.newDatabase()));
        // Saved as an older spreadsheet program saves: code page 932, where it holds the text.
        const QString text = LinesHeading + u"\r\n食品\tりんご\t1\t個\t"_qs + cell + u"\t0\t\r\n"_qs;
        const QString file = env.writeFile(u"data.txt"_qs, cell.contains(u'¥') ? text.toUtf8() : cp932(text));
        const ImportOutcome outcome = importLines(db, file, Day, headingMapping(ImportKind::Lines, file));
        if (stored.startsWith(u"行"_qs)) {
            QCOMPARE(outcome.details(), stored);
        } else {
            QCOMPARE(outcome.details(), QString());
            QCOMPARE(rows(db, u"SELECT 単価 FROM 棚卸マスター"_qs), QStringList { stored });
        }
        QCOMPARE(TextRules::parseNumber(cell).has_value(), typedToo);
    }

    // Units follow the entry screen's rule: two full-width characters or four half-width.
    void unitsTakeWhatTheEntryScreenTakes()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(env.newDatabase()));
        QString file = dataFile(env, LinesHeading,
                                { u"食品\tりんご\t1\tｶｰﾄﾝ\t1\t1\t"_qs, u"食品\tみかん\t1\t 箱 \t1\t1\t"_qs,
                                  u"食品\tかき\t1\tkg\t1\t1\t"_qs });
        QCOMPARE(importLines(db, file, Day, headingMapping(ImportKind::Lines, file)).details(), QString());
        QCOMPARE(rows(db, u"SELECT 単位 FROM 単位 ORDER BY 単位ID"_qs),
                 QStringList({ u"ｶｰﾄﾝ"_qs, u"箱"_qs, u"kg"_qs }));
        file = dataFile(env, LinesHeading, { u"食品\tりんご\t1\tケース\t1\t1\t"_qs, u"食品\tなし\t1\t箱\t1\t1\t"_qs });
        ImportOutcome outcome = importLines(db, file, Day, headingMapping(ImportKind::Lines, file));
        QCOMPARE(outcome.details(), u"行 2: 単位「ケース」が長すぎます。単位は全角で２文字以内にしてください。"_qs);
        file = dataFile(env, u"品名\t単位\t単価"_qs, { u"ねじ\tpcs.\t1"_qs, u"くぎ\tパック\t1"_qs });
        outcome = importProducts(db, file, headingMapping(ImportKind::Products, file), false);
        QCOMPARE(outcome.details(), u"行 3: 単位「パック」が長すぎます。単位は全角で２文字以内にしてください。"_qs);
        QCOMPARE(rowCount(db, Table::Tani), 3);
    }

    // UTF-16 saved without its byte-order mark reads as UTF-16, whichever byte comes first.
    void utf16WithoutItsMark()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(env.newDatabase()));
        const QString text = u"品名\t単位\t単価\r\n一式\t組\t１，０００\r\n"_qs;
        for (const auto order : { QStringEncoder::Utf16LE, QStringEncoder::Utf16BE }) {
            QStringEncoder encoder(order);
            const QString file = env.writeFile(u"utf16.txt"_qs, encoder.encode(text));
            const ImportOutcome outcome = importProducts(db, file, headingMapping(ImportKind::Products, file), true);
            QCOMPARE(outcome.details(), QString());
        }
        QCOMPARE(rows(db, u"SELECT * FROM 仕入商品"_qs), QStringList { u"1|一式|1000|組"_qs });
    }

    void manyBadRecordsAreCountedAfterTheFirstTen()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(env.newDatabase()));
        QStringList records(13, u"食品\tりんご\t1\t個\t1\tx\t"_qs);
        records.prepend(u"食品\tりんご\t1\t個\t1\t1\t"_qs);
        const QString file = dataFile(env, LinesHeading, records);
        // Without a column for the amount every record is refused.
        ImportMapping mapping = headingMapping(ImportKind::Lines, file);
        mapping.clear(6);
        ImportOutcome outcome = importLines(db, file, Day, mapping);
        QCOMPARE(outcome.problems.first().reason, u"価格の列が割り当てられていません。"_qs);

        outcome = importLines(db, file, Day, headingMapping(ImportKind::Lines, file));
        QStringList details = outcome.details().split(QLatin1Char('\n'));
        QCOMPARE(details.size(), 11);
        QCOMPARE(details.at(9), u"行 12: 価格は数字で入力してください。"_qs);
        QCOMPARE(details.last(), u"ほかに 3 行"_qs);
    }

    void productsWithAndWithoutUpdatingKnownOnes()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(env.newDatabase()));
        QVERIFY(db.exec(u"INSERT INTO 仕入商品 VALUES (1, 'りんご', 100, '個'), (7, 'なし', 50, '個')"_qs));
        const QString file = dataFile(env, u"品名\t単位\t単価"_qs,
                                      { u"りんご\t箱\t\t"_qs, u"\t個\t10"_qs, u"みかん\t袋\t2.5"_qs,
                                        u"みかん\t箱\t3.5"_qs, u"50%_'\"\t\t1,234.5"_qs });
        const ImportMapping mapping = headingMapping(ImportKind::Products, file);

        ImportOutcome outcome = importProducts(db, file, mapping, false);
        QCOMPARE(outcome.status, ImportOutcome::Status::Done);
        QCOMPARE(outcome.productsAdded, 2);
        QCOMPARE(
            rows(db, u"SELECT * FROM 仕入商品 ORDER BY 品名ID"_qs),
            QStringList({ u"1|りんご|100|個"_qs, u"7|なし|50|個"_qs, u"8|みかん|2|袋"_qs, u"9|50%_'\"|1234|"_qs }));

        // Known products (the file's own included) take the file's unit and price, an
        // empty price as 0; the line without a name is still skipped.
        outcome = importProducts(db, file, mapping, true);
        QCOMPARE(outcome.status, ImportOutcome::Status::Done);
        QCOMPARE(outcome.productsAdded, 0);
        QCOMPARE(rows(db, u"SELECT * FROM 仕入商品 ORDER BY 品名ID"_qs),
                 QStringList({ u"1|りんご|0|箱"_qs, u"7|なし|50|個"_qs, u"8|みかん|4|箱"_qs, u"9|50%_'\"|1234|"_qs }));
        QCOMPARE(rows(db, u"SELECT 単位 FROM 単位 ORDER BY 単位ID"_qs), QStringList({ u"袋"_qs, u"箱"_qs }));

        // A file without a price column changes the units only: the prices are not lost.
        ImportMapping unitsOnly = mapping;
        unitsOnly.clear(3);
        const QString units = dataFile(env, u"品名\t単位\t単価"_qs, { u"なし\t袋\t"_qs });
        QCOMPARE(importProducts(db, units, unitsOnly, true).status, ImportOutcome::Status::Done);
        QCOMPARE(rows(db, u"SELECT * FROM 仕入商品 WHERE 品名ID = 7"_qs), QStringList({ u"7|なし|50|袋"_qs }));
    }

    void codesComeWithTheirProducts()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(env.newDatabase()));
        QVERIFY(db.exec(u"INSERT INTO 仕入商品 VALUES (1, 'りんご', 100, '個')"_qs));
        QVERIFY(ProductCodes::addCode(db, 1, u"4901234567894"_qs));
        // Several codes in a cell, either separator, full-width digits and separators, blanks
        // around, a code twice, a UPC-A; a known product, a product without codes.
        const QString heading = u"品名\t単位\t単価\tJANコード"_qs;
        const QString file
            = dataFile(env, heading,
                       { u"みかん\t箱\t80\t 4512345678906 ; 49123456,4512345678906;"_qs, u"なし\t個\t50\t"_qs,
                         u"ぶどう\t房\t300\t４９０２１０２０７２６１８；036000291452"_qs,
                         u"りんご\t個\t120\t4909411012342, 4901234567894"_qs });
        const ImportMapping mapping = headingMapping(ImportKind::Products, file);
        QCOMPARE(mapping.columnNumber(4), 4);
        const auto codes
            = [&db] { return rows(db, u"SELECT 品名ID, コード, 順番 FROM 商品コード ORDER BY 品名ID, 順番"_qs); };

        ImportOutcome outcome = importProducts(db, file, mapping, false);
        QCOMPARE(outcome.details(), QString());
        QCOMPARE(outcome.productsAdded, 3);
        // Without updating, the known product keeps the codes it had.
        QCOMPARE(codes(),
                 QStringList({ u"1|4901234567894|0"_qs, u"2|4512345678906|0"_qs, u"2|49123456|1"_qs,
                               u"4|4902102072618|0"_qs, u"4|0036000291452|1"_qs }));
        QCOMPARE(ProductCodes::findByCode(db, u"0036000291452"_qs)->name, u"ぶどう"_qs);

        // Updating adds the new codes after those a product has; those it has stay once.
        outcome = importProducts(db, file, mapping, true);
        QCOMPARE(outcome.details(), QString());
        QCOMPARE(codes(),
                 QStringList({ u"1|4901234567894|0"_qs, u"1|4909411012342|1"_qs, u"2|4512345678906|0"_qs,
                               u"2|49123456|1"_qs, u"4|4902102072618|0"_qs, u"4|0036000291452|1"_qs }));

        // A mapping without the code field imports as before.
        ImportMapping withoutCodes = mapping;
        withoutCodes.clear(4);
        const QString more = dataFile(env, heading, { u"もも\t個\t200\t4512345678906"_qs }, u"more.txt"_qs);
        QCOMPARE(importProducts(db, more, withoutCodes, true).details(), QString());
        QVERIFY(ProductCodes::codesOf(db, 5).isEmpty());

        // A new product named twice, updated: the second record's codes follow the first's.
        const QString twice
            = dataFile(env, heading, { u"かき\t個\t90\t4512345678920"_qs, u"かき\t個\t90\t49123463;4512345678920"_qs },
                       u"twice.txt"_qs);
        QCOMPARE(importProducts(db, twice, mapping, true).details(), QString());
        QCOMPARE(rows(db, u"SELECT コード, 順番 FROM 商品コード WHERE 品名ID = 6 ORDER BY 順番"_qs),
                 QStringList({ u"4512345678920|0"_qs, u"49123463|1"_qs }));
    }

    void aBadCodeWritesNothing_data()
    {
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<bool>("update");
        QTest::addColumn<QString>("problem");
        const QString good = u"みかん\t箱\t80\t4512345678906"_qs;
        QTest::newRow("check digit") << QStringList { good, u"なし\t個\t1\t4901234567894;49012344"_qs } << false
                                     << u"行 3: コード 49012344 のチェックデジット（最後の桁）が違います。"
                                        "最後の桁は 7 のはずです。"_qs;
        QTest::newRow("length") << QStringList { u"なし\t個\t1\t49012345678"_qs, good } << false
                                << u"行 2: コード「49012345678」の桁数が違います。JANコードは13桁または8桁、"
                                   "UPCは12桁の数字です。"_qs;
        QTest::newRow("letters") << QStringList { good, u"なし\t個\t1\tJAN4901234567894"_qs } << false
                                 << u"行 3: コード「JAN4901234567894」に数字以外の文字があります。"_qs;
        // A known product is not changed without updating, but its record is checked all the same.
        QTest::newRow("known product") << QStringList { u"りんご\t個\t1\t4901234567895"_qs } << false
                                       << u"行 2: コード 4901234567895 のチェックデジット（最後の桁）が違います。"
                                          "最後の桁は 4 のはずです。"_qs;
        QTest::newRow("code of a product in the file")
            << QStringList { good, u"なし\t個\t1\t4512345678906"_qs } << false
            << u"行 3: コード 4512345678906 は品名「みかん」に登録されています。"_qs;
        QTest::newRow("code of a stored product")
            << QStringList { good, u"なし\t個\t1\t4901234567894"_qs } << false
            << u"行 3: コード 4901234567894 は品名「りんご」に登録されています。"_qs;
        QTest::newRow("another product's code added to a known one")
            << QStringList { good, u"りんご\t個\t1\t4512345678906"_qs } << true
            << u"行 3: コード 4512345678906 は品名「みかん」に登録されています。"_qs;
    }

    void aBadCodeWritesNothing()
    {
        QFETCH(QStringList, records);
        QFETCH(bool, update);
        QFETCH(QString, problem);
        TestEnvironment env;
        const QString path = env.newDatabase();
        Database db;
        QVERIFY(db.open(path));
        QVERIFY(db.exec(u"INSERT INTO 仕入商品 VALUES (1, 'りんご', 100, '個')"_qs));
        QVERIFY(ProductCodes::addCode(db, 1, u"4901234567894"_qs));
        db.close();
        const QByteArray before = readAll(path);
        QVERIFY(db.open(path));
        const QString file = dataFile(env, u"品名\t単位\t単価\tJANコード"_qs, records);
        const ImportOutcome outcome = importProducts(db, file, headingMapping(ImportKind::Products, file), update);
        QCOMPARE(outcome.status, ImportOutcome::Status::Refused);
        QCOMPARE(outcome.details(), problem);
        QCOMPARE(outcome.productsAdded, 0);
        db.close();
        QCOMPARE(readAll(path), before);
    }

    void aDiskFailureOrACancelLeavesTheFileAsBefore()
    {
        TestEnvironment env;
        const QString path = env.newDatabase();
        QStringList records;
        for (int i = 0; i < 100000; ++i)
            records << u"分類%1\t商品%2\t%3\t個\t120\t%4\t"_qs.arg(i % 40).arg(i % 7000).arg(i).arg(i * 120);
        const QString file = dataFile(env, LinesHeading, records);
        const QByteArray before = readAll(path);
        Database db;
        QVERIFY(db.open(path));
        const ImportMapping mapping = headingMapping(ImportKind::Lines, file);
        ImportOutcome outcome;
        {
            // Files of this process may not grow past the database's size and a little more.
            FileSizeLimit full(before.size() + 256 * 1024);
            outcome = importLines(db, file, Day, mapping);
        }
        QCOMPARE(outcome.status, ImportOutcome::Status::Failed);
        QVERIFY2(outcome.details().startsWith(u"データベースに書き込めませんでした。"_qs),
                 qPrintable(outcome.details()));
        // The database refuses a line halfway through the file (the writing thread sees it).
        QVERIFY(db.exec(uR"(CREATE TEMP TRIGGER refuse AFTER INSERT ON "棚卸マスター"
            WHEN new."ID" = 60000 BEGIN SELECT RAISE(ABORT, 'refused'); END)"_qs));
        outcome = importLines(db, file, Day, mapping);
        QCOMPARE(outcome.status, ImportOutcome::Status::Failed);
        QVERIFY2(outcome.details().contains(u"refused"_qs), qPrintable(outcome.details()));
        QVERIFY(db.exec(u"DROP TRIGGER temp.refuse"_qs));
        QCOMPARE(rowCount(db, Table::Tana) + rowCount(db, Table::Shohin), 0);

        qint64 calls = 0, lastDone = 0, lastTotal = 0;
        outcome = importLines(db, file, Day, mapping, [&](qint64, qint64) {
            ++calls;
            return false;
        });
        QCOMPARE(outcome.status, ImportOutcome::Status::Cancelled);
        QCOMPARE(calls, 1);
        db.close();
        QCOMPARE(readAll(path), before);

        // The same file goes in whole afterwards; the progress ends at the records in all.
        QVERIFY(db.open(path));
        // While the callback runs (a window repainting), the database can be read: it holds
        // the lines written so far.
        bool readable = true;
        outcome = importLines(db, file, Day, mapping, [&](qint64 done, qint64 total) {
            lastDone = done;
            lastTotal = total;
            const qint64 written = rowCount(db, Table::Tana);
            readable = readable && written >= 0 && written <= done;
            return true;
        });
        QVERIFY(readable);
        QCOMPARE(outcome.status, ImportOutcome::Status::Done);
        QCOMPARE(outcome.linesAdded, 100000);
        QCOMPARE(lastDone, 100000);
        QCOMPARE(lastTotal, 100000);
        QCOMPARE(rowCount(db, Table::Koumoku), 41);
        QCOMPARE(rowCount(db, Table::Shohin), 7000);
        // The lines' indexes, made afresh for so many lines, are there and agree with the table.
        QCOMPARE(
            rows(db,
                 u"SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = '棚卸マスター' ORDER BY 1"_qs),
            QStringList({ u"棚卸マスター_品名ID"_qs, u"棚卸マスター_日付"_qs }));
        QCOMPARE(rows(db, u"PRAGMA integrity_check"_qs), QStringList({ u"ok"_qs }));
        QCOMPARE(rows(db, u"SELECT count(*) FROM 棚卸マスター INDEXED BY 棚卸マスター_品名ID WHERE 品名ID = 7"_qs),
                 rows(db, u"SELECT count(*) FROM 棚卸マスター NOT INDEXED WHERE 品名ID = 7"_qs));
        QCOMPARE(rows(db, u"SELECT CAST(sum(価格) AS INTEGER), count(DISTINCT 品名ID) FROM 棚卸マスター"_qs),
                 QStringList({ QString::number(120.0 * 99999 * 100000 / 2, 'f', 0) + u"|7000"_qs }));
    }

    void theSurveyLooksAtTheLastRecord()
    {
        TestEnvironment env;
        const QString file
            = dataFile(env, LinesHeading, { u"食品\tりんご\t1\t個\t1\t1\t"_qs, u"食品\t\t1\t個\t1\t1"_qs });
        ImportSurvey survey = surveyImportFile(file, headingMapping(ImportKind::Lines, file));
        QVERIFY(survey.readable);
        QCOMPARE(survey.records, 2);
        QVERIFY(!survey.lastRecordHasName);
        const QString good = dataFile(env, LinesHeading, { u"食品\tりんご\t1\t個\t1\t1\t"_qs }, u"good.txt"_qs);
        survey = surveyImportFile(good, headingMapping(ImportKind::Lines, good));
        QCOMPARE(survey.records, 1);
        QVERIFY(survey.lastRecordHasName);
        survey = surveyImportFile(env.path(u"missing.txt"_qs), headingMapping(ImportKind::Lines, good));
        QVERIFY(!survey.readable);
        QVERIFY(!survey.error.isEmpty());
    }
};

KOTRINA_REGISTER_TEST(TestImporter)
#include "TestImporter.moc"
