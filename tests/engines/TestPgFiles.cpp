// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
//
// Imports, exports, printing and the file commands on the engine the tests run on (a file,
// or a database on a server), each compared where it can be with the same work on a file.
#include "../export/ReadBack.h"
#include "../printing/PdfText.h"
#include "CliRun.h"
#include "ImportData.h"
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/export/SpreadsheetExport.h"
#include "core/imports/Importer.h"
#include "core/imports/TabFile.h"
#include "core/masters/MasterModel.h"
#include "core/printing/StocktakingSheet.h"
#include "core/store/FileOps.h"

#include <QTest>
#include <cmath>

namespace {

const QDate Day(2026, 3, 31);
const QString LinesHeading = u"項目/分類名\t品名\t数量\t単位\t単価\t価格\t備考"_qs;

// A lines file of count records over 7 categories, 300 products and 4 units; the price of
// each is quantity × unit price. total gets the sum of the prices.
QString linesFile(const TestEnvironment& env, int count, double* total, const QString& name = u"lines.txt"_qs)
{
    const QStringList units = { u"個"_qs, u"箱"_qs, u"ｹｰｽ"_qs, u"kg"_qs };
    QByteArray text = LinesHeading.toUtf8() + "\r\n";
    *total = 0;
    for (int i = 0; i < count; ++i) {
        const int quantity = 1 + i % 13;
        const double unitPrice = 10.5 + i % 97;
        // The price is kept in whole yen, the fraction cut off.
        *total += std::trunc(quantity * unitPrice);
        text += u"分類%1\t品名・第%2号\t%3\t%4\t%5\t%6\t備考%7\r\n"_qs.arg(i % 7)
                    .arg(i % 300)
                    .arg(quantity)
                    .arg(units.at(i % units.size()))
                    .arg(unitPrice)
                    .arg(quantity * unitPrice)
                    .arg(i)
                    .toUtf8();
    }
    return env.writeFile(name, text);
}

ImportMapping headingMapping(ImportKind kind, const QString& file)
{
    return ImportMapping::fromHeadings(kind, readHeading(file));
}

// Row counts of the four tables, to tell that a run left nothing behind.
QList<int> tableRows(const Database& db)
{
    return { rowCount(db, Table::Tana), rowCount(db, Table::Koumoku), rowCount(db, Table::Shohin),
             rowCount(db, Table::Tani) };
}

QStringList words(const PdfText& pdf)
{
    QStringList texts;
    for (const PdfWord& word : pdf.words)
        texts << word.text;
    return texts;
}

} // namespace

class TestPgFiles : public QObject
{
    Q_OBJECT

private slots:
    void importedLinesAddUpAndNameTheirMastersOnce()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(freshDatabase(env, u"imports"_qs)));
        double total = 0;
        const QString file = linesFile(env, 3000, &total);
        ImportOutcome outcome = importLines(db, file, Day, headingMapping(ImportKind::Lines, file));
        QCOMPARE(outcome.status, ImportOutcome::Status::Done);
        QCOMPARE(outcome.linesAdded, 3000);
        QCOMPARE(outcome.categoriesAdded, 7);
        QCOMPARE(outcome.productsAdded, 300);
        QCOMPARE(StocktakingSheet::lineCount(db, Day).value_or(-1), 3000);
        QCOMPARE(StocktakingSheet::storedTotal(db, Day).value_or(-1), total);
        // Every line has an ID of its own, and its category and product are the ones named.
        QCOMPARE(rows(db, uR"(SELECT COUNT(DISTINCT "ID") FROM "棚卸マスター")"_qs), QStringList { u"3000"_qs });
        QCOMPARE(rows(db, uR"(SELECT COUNT(*) FROM "棚卸マスター" l JOIN "項目分類" k ON k."項目ID" = l."項目ID"
                               JOIN "仕入商品" s ON s."品名ID" = l."品名ID" AND s."品名" = l."品名")"_qs),
                 QStringList { u"3000"_qs });
        QCOMPARE(rows(db, uR"(SELECT "単位" FROM "単位" ORDER BY "単位ID")"_qs),
                 QStringList({ u"個"_qs, u"箱"_qs, u"ｹｰｽ"_qs, u"kg"_qs }));

        // A second file into the next day knows the masters: it adds lines only, after the others.
        outcome = importLines(db, file, Day.addDays(1), headingMapping(ImportKind::Lines, file));
        QCOMPARE(outcome.status, ImportOutcome::Status::Done);
        QCOMPARE(outcome.categoriesAdded, 0);
        QCOMPARE(outcome.productsAdded, 0);
        QCOMPARE(tableRows(db), QList<int>({ 6000, 8, 300, 4 }));
        QCOMPARE(StocktakingSheet::storedTotal(db, Day.addDays(1)).value_or(-1), total);
        QCOMPARE(rows(db, uR"(SELECT COUNT(DISTINCT "ID") FROM "棚卸マスター")"_qs), QStringList { u"6000"_qs });
    }

    void aBadImportWritesNothing()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(freshDatabase(env, u"bad"_qs)));
        QVERIFY(addSampleLines(db, 20));
        const QList<int> before = tableRows(db);
        // Good records with new names first, then one the import refuses: nothing of it stays.
        double total = 0;
        QByteArray text = readAll(linesFile(env, 2500, &total));
        text += "分類1\t品名・最後\t数えられない\t個\t1\t1\t\r\n";
        const QString file = env.writeFile(u"bad.txt"_qs, text);
        ImportOutcome outcome = importLines(db, file, Day.addDays(1), headingMapping(ImportKind::Lines, file));
        QCOMPARE(outcome.status, ImportOutcome::Status::Refused);
        QCOMPARE(outcome.problems.size(), 1);
        QCOMPARE(outcome.problems.first().line, 2502);
        QCOMPARE(tableRows(db), before);

        // The same file without the bad record goes in whole.
        const QString good = linesFile(env, 2500, &total, u"good.txt"_qs);
        outcome = importLines(db, good, Day.addDays(1), headingMapping(ImportKind::Lines, good));
        QCOMPARE(outcome.status, ImportOutcome::Status::Done);
        QCOMPARE(rowCount(db, Table::Tana), before.first() + 2500);
    }

    void exportsAndTheSheetAreTheSameFromAFileAndFromTheEngine()
    {
        TestEnvironment env;
        Database here, file;
        QVERIFY(here.open(freshDatabase(env, u"printed"_qs)));
        QVERIFY(file.open(env.newDatabase(u"printed.idb"_qs)));
        double total = 0;
        const QString lines = linesFile(env, 400, &total);
        for (Database* db : { &here, &file }) {
            QCOMPARE(importLines(*db, lines, Day, headingMapping(ImportKind::Lines, lines)).status,
                     ImportOutcome::Status::Done);
        }

        // The workbooks of the lines and the products, cell by cell.
        for (const char* kind : { "lines", "products" }) {
            QList<QList<QVariantList>> books;
            for (Database* db : { &here, &file }) {
                const QString target = env.path(u"%1-%2.xlsx"_qs.arg(QLatin1String(kind)).arg(books.size()));
                QString error;
                QVERIFY2(
                    qstrcmp(kind, "lines") == 0
                        ? SpreadsheetExport::writeLines(*db, Day, SpreadsheetExport::LinesView::All, target, &error)
                        : SpreadsheetExport::writeProducts(*db, MasterOrder::ById, target, &error),
                    qPrintable(error));
                const ReadBack book = readWorkbook(target);
                QVERIFY2(book.problem.isEmpty(), qPrintable(book.problem));
                books << book.rows;
            }
            QCOMPARE(books.at(0).size(), qstrcmp(kind, "lines") == 0 ? 401 : 301);
            QCOMPARE(books.at(0), books.at(1));
        }

        // The stocktaking sheet in each layout, word for word.
        for (const QString& layout : { u"original"_qs, u"simple"_qs, u"hisago"_qs }) {
            QList<QStringList> printed;
            for (Database* db : { &here, &file }) {
                const QString pdf = env.path(u"sheet-%1-%2.pdf"_qs.arg(layout).arg(printed.size()));
                const Run r = kotrina({ u"print"_qs, u"sheet"_qs, db->fileName(), u"--date"_qs, u"2026-03-31"_qs,
                                        u"--layout"_qs, layout, u"--pdf"_qs, pdf });
                QVERIFY2(r.status == 0, qPrintable(r.err));
                const PdfText text = readPdf(pdf);
                QVERIFY2(text.problem.isEmpty(), qPrintable(text.problem));
                printed << words(text);
            }
            QVERIFY(printed.at(0).contains(u"品名・第299号"_qs));
            QCOMPARE(printed.at(0), printed.at(1));
        }
    }

    void theCheckFindsALineWithoutItsMasters()
    {
        TestEnvironment env;
        Database db;
        const QString name = freshDatabase(env, u"checked"_qs);
        QVERIFY(db.open(name));
        double total = 0;
        const QString file = linesFile(env, 30, &total);
        QCOMPARE(importLines(db, file, Day, headingMapping(ImportKind::Lines, file)).status,
                 ImportOutcome::Status::Done);
        const QStringList args = { u"check"_qs, name, u"--date"_qs, u"2026-03-31"_qs };
        Run r = kotrina(args);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(u"登録されていない棚卸はありません"_qs));

        // A line written by another program, under a category and a product nobody registered.
        QVERIFY(db.exec(uR"(UPDATE "棚卸マスター" SET "項目ID" = 77, "品名ID" = 5000 WHERE "ID" = 7)"_qs));
        r = kotrina(args);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(u"\n7\t77\t5000\t"_qs), qPrintable(r.out));
        QVERIFY(r.out.contains(u"項目/分類が登録されていない棚卸: 1 件、品名が登録されていない棚卸: 1 件"_qs));

        // On a server, a sequence left behind the rows (another program wrote its own IDs)
        // is told too: the next line would clash with one there.
        if (db.isServer()) {
            QVERIFY(db.exec(uR"(UPDATE "棚卸マスター" SET "項目ID" = 1, "品名ID" = 1 WHERE "ID" = 7)"_qs));
            QVERIFY(db.exec(uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "品名ID")
                                VALUES (90000, '2000-01-01', 1, 'x', 1))"_qs));
            r = kotrina(args);
            QCOMPARE(r.status, 1);
            QVERIFY2(r.out.startsWith(u"サーバーのデータベース: "_qs), qPrintable(r.out));
        }
    }

    void workThatNeedsTheDatabaseAloneWaitsForTheOtherStations()
    {
        TestEnvironment env;
        const QString name = freshDatabase(env, u"shared"_qs);
        Database db;
        QVERIFY(db.open(name));
        QVERIFY(addSampleLines(db, 10));
        // (A server lists a station that has just left for a moment longer.)
        QTRY_COMPARE(FileOps::refusalWhileShared(db), QString());
        {
            Database other;
            QVERIFY(other.open(name));
            QString error;
            if (db.isServer()) {
                // A second station: deletion and upkeep are refused, naming it; nothing changes.
                QVERIFY(!FileOps::deleteData(db, FileOps::DataItem::Lines, &error));
                QVERIFY2(error.startsWith(u"ほかに 1 台の端末"_qs), qPrintable(error));
                QCOMPARE(rowCount(db, Table::Tana), 10);
                const FileOps::CompactResult compacted = FileOps::compactServer(db);
                QCOMPARE(compacted.status, FileOps::CompactResult::Status::InUse);
                QCOMPARE(compacted.detail, error);
                Database third;
                QVERIFY(third.open(name));
                QVERIFY(FileOps::refusalWhileShared(db).startsWith(u"ほかに 2 台の端末"_qs));
            } else {
                // A file is the one program's alone (FileUse keeps the others away).
                QVERIFY2(FileOps::deleteData(db, FileOps::DataItem::Lines, &error), qPrintable(error));
                QCOMPARE(rowCount(db, Table::Tana), 0);
            }
        }
        // Alone again: the work goes through.
        QTRY_COMPARE(FileOps::refusalWhileShared(db), QString());
        QString error;
        QVERIFY2(FileOps::deleteData(db, FileOps::DataItem::All, &error), qPrintable(error));
        QCOMPARE(tableRows(db), QList<int>({ 0, 1, 0, 0 }));
        if (db.isServer())
            QCOMPARE(FileOps::compactServer(db).status, FileOps::CompactResult::Status::Compacted);
    }
};

KOTRINA_REGISTER_TEST(TestPgFiles)
#include "TestPgFiles.moc"
