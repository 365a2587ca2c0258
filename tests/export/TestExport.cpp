// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "ReadBack.h"
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/export/SpreadsheetExport.h"
#include "core/lines/LineChecks.h"
#include "core/masters/ProductCodes.h"
#include "core/store/Schema.h"
#include "gui/masters/frmInShohin.h"

#include <QDir>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTest>

namespace {

const QDate Day(2026, 3, 31);

// Categories 1 and 2, and lines of Day given out of ID order, with the names that are easy
// to spoil: quotes, half-width katakana, a name of digits; a line of a deleted category 9
// and a line of another date.
bool fillLines(const Database& db)
{
    return db.exec(uR"(INSERT INTO "項目分類" VALUES (1, '食品'), (2, '雑貨'))"_qs)
        && db.exec(uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位",
                       "単価", "価格", "品名ID") VALUES
            (7, '2026-03-31', 2, 'ﾃｽﾄｶﾀｶﾅ', 0.125, '個', 0, 0, 3),
            (2, '2026-03-31', 1, '"特選" ''茶''', 3, '袋', 250, 750, 1),
            (5, '2026-03-31', 9, '消えた項目', 1, '個', 10, 10, 2),
            (4, '2026-03-31', 1, '0123', 2, '本', 1500.5, 3001, 2),
            (3, '2025-03-31', 1, '前期', 1, '個', 1, 1, 1))"_qs);
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void linesReadBackAndProductCheck()
    {
        TestSession t;
        QVERIFY(t.openNewDatabase());
        QVERIFY(fillLines(t.db()));
        const QString file = t.env.path(u"lines.xlsx"_qs);
        QString error;
        QVERIFY(SpreadsheetExport::writeLines(t.db(), Day, SpreadsheetExport::LinesView::All, file, &error));
        ReadBack book = readWorkbook(file);
        QVERIFY2(book.problem.isEmpty(), qPrintable(book.problem));
        QCOMPARE(book.sheets, QStringList { u"Sheet1"_qs });
        const QList<QVariantList> all {
            QVariantList(
                { u"項目分類"_qs, u"品名"_qs, u"数量"_qs, u"単位"_qs, u"単価"_qs, u"金額"_qs, u"JANコード"_qs }),
            QVariantList({ u"食品"_qs, u"\"特選\" '茶'"_qs, 3.0, u"袋"_qs, 250.0, 750.0 }),
            QVariantList({ u"食品"_qs, u"0123"_qs, 2.0, u"本"_qs, 1500.5, 3001.0 }),
            QVariantList({ u"雑貨"_qs, u"ﾃｽﾄｶﾀｶﾅ"_qs, 0.125, u"個"_qs, 0.0, 0.0 }),
        };
        QCOMPARE(book.rows, all);
        // Quantities, unit prices and amounts are numbers to the reader (as text they would compare
        // equal above); a name of digits stays text.
        for (int column : { 2, 4, 5 })
            QCOMPARE(book.rows[2][column].typeId(), QMetaType::Double);
        QCOMPARE(book.rows[2][1].typeId(), QMetaType::QString);

        QVERIFY(
            SpreadsheetExport::writeLines(t.db(), Day, SpreadsheetExport::LinesView::WithoutUnitPrice, file, &error));
        book = readWorkbook(file);
        QCOMPARE(book.rows, (QList<QVariantList> { all[0], all[3] }));

        // A date without lines: the heading row alone.
        QVERIFY(
            SpreadsheetExport::writeLines(t.db(), QDate(2024, 3, 31), SpreadsheetExport::LinesView::All, file, &error));
        QCOMPARE(readWorkbook(file).rows, QList<QVariantList> { all[0] });

        // The product check marks the lines of the date whose product has no row: 4 and 5 name product 2.
        QVERIFY(t.db().exec(uR"(INSERT INTO "仕入商品" VALUES (1, 'a', 1, '個'), (3, 'c', 1, '個'))"_qs));
        QVERIFY(t.db().exec(uR"(UPDATE "棚卸マスター" SET "区分調整" = 1 WHERE "ID" IN (2, 3))"_qs));
        QCOMPARE(markLinesWithoutProduct(t.db(), Day), std::optional<int>(2));
        QSqlQuery q(t.db().connection());
        QVERIFY(q.exec(uR"(SELECT "ID" FROM "棚卸マスター" WHERE "区分調整" = 1 ORDER BY "ID")"_qs));
        QList<int> marked;
        while (q.next())
            marked << q.value(0).toInt();
        QCOMPARE(marked, (QList<int> { 3, 4, 5 })); // 3 is of another date and keeps its mark
    }

    void theFirstCodeOfTheProductComesLast()
    {
        TestEnvironment env;
        const QString path = env.newDatabase();
        {
            Database db;
            QVERIFY(db.open(path));
            QVERIFY(fillLines(db));
            QVERIFY(db.exec(uR"(INSERT INTO "仕入商品" VALUES (1, '茶', 250, '袋'), (2, '0123', 1500, '本'),
                (3, 'ﾃｽﾄｶﾀｶﾅ', 0, '個'))"_qs));
            // The first code is the first of the product's list, whatever its digits: the
            // UPC-A goes in as its EAN-13, after the in-store code.
            QVERIFY(ProductCodes::setCodes(db, 2, { u"2000000000008"_qs, u"036000291452"_qs, u"49123456"_qs }));
            QVERIFY(ProductCodes::addCode(db, 1, u"4901234567894"_qs));
            // A line whose product was deleted and one of product 0 have no code.
            QVERIFY(db.exec(uR"(UPDATE "棚卸マスター" SET "品名ID" = 0 WHERE "ID" = 7)"_qs));
        }
        const QString xlsx = env.path(u"out.xlsx"_qs);
        Run r = kotrina({ u"export"_qs, u"lines"_qs, path, u"--date"_qs, u"2026-03-31"_qs, u"--xlsx"_qs, xlsx });
        QCOMPARE(r.err, QString());
        const QList<QVariantList> lines {
            QVariantList(
                { u"項目分類"_qs, u"品名"_qs, u"数量"_qs, u"単位"_qs, u"単価"_qs, u"金額"_qs, u"JANコード"_qs }),
            QVariantList({ u"食品"_qs, u"\"特選\" '茶'"_qs, 3.0, u"袋"_qs, 250.0, 750.0, u"4901234567894"_qs }),
            QVariantList({ u"食品"_qs, u"0123"_qs, 2.0, u"本"_qs, 1500.5, 3001.0, u"2000000000008"_qs }),
            QVariantList({ u"雑貨"_qs, u"ﾃｽﾄｶﾀｶﾅ"_qs, 0.125, u"個"_qs, 0.0, 0.0 }),
        };
        QCOMPARE(readWorkbook(xlsx).rows, lines);
        // A code is text to the reader, its leading zero kept.
        {
            Database db;
            QVERIFY(db.open(path));
            QVERIFY(ProductCodes::setCodes(db, 2, { u"036000291452"_qs }));
        }
        r = kotrina({ u"export"_qs, u"products"_qs, path, u"--order"_qs, u"id"_qs, u"--xlsx"_qs, xlsx });
        QCOMPARE(r.status, 0);
        const QList<QVariantList> products {
            QVariantList({ u"品名"_qs, u"単位"_qs, u"単価"_qs, u"JANコード"_qs }),
            QVariantList({ u"茶"_qs, u"袋"_qs, 250.0, u"4901234567894"_qs }),
            QVariantList({ u"0123"_qs, u"本"_qs, 1500.0, u"0036000291452"_qs }),
            QVariantList({ u"ﾃｽﾄｶﾀｶﾅ"_qs, u"個"_qs, 0.0 }),
        };
        QCOMPARE(readWorkbook(xlsx).rows, products);

        // A file older than the codes, which the export reads without upgrading: the column
        // is there, empty, and the file is left as it was.
        QVERIFY(makeVersion(path, Schema::CodesVersion - 1));
        const QByteArray before = readAll(path);
        r = kotrina({ u"export"_qs, u"products"_qs, path, u"--order"_qs, u"id"_qs, u"--xlsx"_qs, xlsx });
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QCOMPARE(readWorkbook(xlsx).rows,
                 (QList<QVariantList> { products[0], products[1].mid(0, 3), products[2].mid(0, 3), products[3] }));
        r = kotrina({ u"export"_qs, u"lines"_qs, path, u"--date"_qs, u"2026-03-31"_qs, u"--xlsx"_qs, xlsx });
        QCOMPARE(r.status, 0);
        QCOMPARE(readWorkbook(xlsx).rows,
                 (QList<QVariantList> { lines[0], lines[1].mid(0, 6), lines[2].mid(0, 6), lines[3] }));
        QCOMPARE(schemaVersion(path), Schema::CodesVersion - 1);
        QCOMPARE(readAll(path), before);
    }

    void tooManyProductsAreRefusedBeforeWriting()
    {
        TestSession t;
        QVERIFY(t.openNewDatabase());
        // One more than a sheet holds below its heading row.
        QVERIFY(t.db().exec(uR"(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n
                WHERE i < 1048576) INSERT INTO "仕入商品" SELECT i, 'p', 1, '個' FROM n)"_qs));
        const QString file = t.env.path(u"products.xlsx"_qs);
        QString error;
        QVERIFY(!SpreadsheetExport::writeProducts(t.db(), MasterOrder::ById, file, &error));
        QVERIFY2(error.contains(u"1,048,575"_qs), qPrintable(error));
        QVERIFY(QDir(t.env.root()).entryList({ u"*.xlsx*"_qs, u".*.tmp"_qs }, QDir::Files | QDir::Hidden).isEmpty());
    }

    void aFailedWriteKeepsTheOldFile()
    {
        TestSession t;
        QVERIFY(t.openNewDatabase());
        QVERIFY(addSampleLines(t.db(), 5000, Day));
        QVERIFY(t.db().exec(uR"(INSERT INTO "項目分類" SELECT DISTINCT "項目ID", 'k' FROM "棚卸マスター")"_qs));
        const QString file = t.env.writeFile(u"old.xlsx"_qs, "the old list");
        QString error;
        {
            // Files of this process may not grow past 64 KB: the workbook fails part way.
            FileSizeLimit full(64 * 1024);
            QVERIFY(!SpreadsheetExport::writeLines(t.db(), Day, SpreadsheetExport::LinesView::All, file, &error));
        }
        QVERIFY2(error.startsWith(u"ファイルを保存できませんでした。"_qs), qPrintable(error));
        QCOMPARE(readAll(file), QByteArray("the old list"));
        QCOMPARE(QDir(t.env.root()).entryList({ u".*.tmp"_qs }, QDir::Files | QDir::Hidden), QStringList());

        // A folder that cannot be written is told as such.
        QVERIFY(!SpreadsheetExport::writeLines(t.db(), Day, SpreadsheetExport::LinesView::All,
                                               file + u"/inside.xlsx"_qs, &error));
        QVERIFY2(error.startsWith(u"保存先のフォルダーがないか、書き込めない"_qs), qPrintable(error));

        // A name longer than a cell holds is told with its row; the old file stays.
        QVERIFY(t.db().exec(QStringLiteral(
            R"(UPDATE "棚卸マスター" SET "品名" = replace(hex(zeroblob(20000)), '0', 'あ') WHERE "ID" = 3)")));
        QVERIFY(!SpreadsheetExport::writeLines(t.db(), Day, SpreadsheetExport::LinesView::All, file, &error));
        QCOMPARE(error, u"4 行目の文字列は長すぎて、1 つのセルに入りません（32,767 文字まで）。"_qs);
        QCOMPARE(readAll(file), QByteArray("the old list"));
    }

    void productScreenAsksBeforeReplacing()
    {
        TestSession t;
        QVERIFY(t.openNewDatabase());
        QVERIFY(t.db().exec(QStringLiteral(
            R"(INSERT INTO "仕入商品" VALUES (1, 'ﾊﾟﾝ', 120, '個'), (2, 'あめ', 30, '袋'), (3, 'あめ', 0.5, '本'))")));
        QVERIFY(ProductCodes::addCode(t.db(), 2, u"4901234567894"_qs));
        const QList<QUrl>& opened = t.desktop.opened;
        const QString file = t.env.writeFile(u"list.xlsx"_qs, "the old list");
        ScreenTest::Driver<frmInShohin> d;
        d.screen = new frmInShohin(t.state);
        ScreenTest::showActive(d.screen);

        // A name typed without its suffix gets .xlsx; No leaves the file as it was.
        // Command3 saves the list as the file answered, Yes or No answered to replacing it.
        auto save = [&](const QString& name, bool replace) {
            t.prompter.clear();
            t.prompter.answerFile(name);
            t.prompter.answerAsk(replace);
            d.click("Command3");
        };
        save(t.env.path(u"list"_qs), false);
        QCOMPARE(t.prompter.texts(), QStringList { u"指定した名前のファイルが存在します。\r上書きしますか？"_qs });
        QCOMPARE(readAll(file), QByteArray("the old list"));
        QVERIFY(opened.isEmpty());

        // Yes replaces it with the list in ID order (Option1) and opens it.
        QTest::mouseClick(d.find<QRadioButton>("Option1"), Qt::LeftButton);
        save(file, true);
        const QVariantList heading { u"品名"_qs, u"単位"_qs, u"単価"_qs, u"JANコード"_qs };
        const QVariantList bread { u"ﾊﾟﾝ"_qs, u"個"_qs, 120.0 };
        const QVariantList candy { u"あめ"_qs, u"袋"_qs, 30.0, u"4901234567894"_qs };
        const QVariantList stick { u"あめ"_qs, u"本"_qs, 0.5 };
        QCOMPARE(readWorkbook(file).rows, (QList<QVariantList> { heading, bread, candy, stick }));
        QCOMPARE(opened, QList<QUrl> { QUrl::fromLocalFile(file) });

        // By name (Option2) as the grid sorts: half-width katakana after hiragana, equal names by ID.
        // A desktop without a program for the file: the file stays and the user is told.
        QTest::mouseClick(d.find<QRadioButton>("Option2"), Qt::LeftButton);
        t.desktop.succeeds = false;
        save(file, true);
        QCOMPARE(t.prompter.shown().size(), 3);
        QVERIFY(t.prompter.shown()[2].text.startsWith(
            u"ファイルは保存しましたが、開くプログラムが見つかりませんでした。"_qs));
        QCOMPARE(readWorkbook(file).rows, (QList<QVariantList> { heading, candy, stick, bread }));

        // The summary list's views without an export ask nothing and write nothing.
        t.prompter.clear();
        QVERIFY(!SpreadsheetExport::exportLines(t.state, Day, u"品名別集計表"_qs));
        QVERIFY(t.prompter.shown().isEmpty());
    }
};

KOTRINA_REGISTER_TEST(TestExport)
#include "TestExport.moc"
