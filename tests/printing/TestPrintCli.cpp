// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "OutsideRun.h"
#include "SheetFile.h"
#include "TestRegistry.h"
#include "core/store/Database.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <algorithm>

class TestPrintCli : public QObject
{
    Q_OBJECT

private slots:
    // The file holds 食品 with りんご twice and 幻の品, and ﾒﾓ帳 of the deleted 雑貨.
    void printsAFileMadeOutside()
    {
        const OutsideRun o;
        // The summary by category: the line of the deleted 雑貨 is on no row.
        Run r = o.print(u"summary"_qs, { u"--by"_qs, u"category"_qs });
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(u"1 頁、1 行、合計 1,017 円"_qs), qPrintable(r.out));
        QCOMPARE(readPdf(o.pdf).amounts(1, 38, 1), QList<double>({ 1017, 3 }));
        // By product: 幻の品 has no product row, ﾒﾓ帳 counts although its category is gone.
        r = o.print(u"summary"_qs, { u"--by"_qs, u"product"_qs });
        QVERIFY2(r.out.contains(u"2 行、合計 1,172 円"_qs), qPrintable(r.out));

        // The count book leaves the line of the deleted category out.
        r = o.print(u"book"_qs);
        QVERIFY2(r.out.contains(u"1 頁、3 品"_qs), qPrintable(r.out));

        // The sheet prints nothing while a line names a deleted category, until it is moved.
        QFile::remove(o.pdf);
        r = o.print(u"sheet"_qs);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(u"属さない棚卸が 1 件あります"_qs), qPrintable(r.err));
        QVERIFY(!QFile::exists(o.pdf));
        r = o.print(u"sheet"_qs, { u"--move-to-uncategorised"_qs });
        QCOMPARE(r.err, QString());
        QVERIFY(r.out.contains(u"合計 1,177 円"_qs));
        // 食品 on one page, its quantity of three decimals rounded; the moved line under 未区分 on the last.
        const PdfText text = readPdf(o.pdf);
        QCOMPARE(text.pages, 2);
        QCOMPARE(text.row(1, 46).value(1).text, u"0.13"_qs);
        QCOMPARE(text.at(2, 15, 38).text, u"ﾒﾓ帳"_qs);
        QCOMPARE(text.amounts(2, 262, 1), QList<double> { 1177 });
        QCOMPARE(QDir(o.env.root()).entryList({ u".kotrina-tmp-*"_qs }, QDir::Hidden | QDir::Files), QStringList());

        // One category: its own lines and total, nothing else.
        const QStringList food = { u"--category"_qs, u"食品"_qs };
        r = o.print(u"sheet"_qs, food + QStringList { u"--layout"_qs, u"simple"_qs });
        QVERIFY(r.out.contains(u"合計 1,017 円"_qs));
        QCOMPARE(readPdf(o.pdf).pages, 1);
        QVERIFY(readPdf(o.pdf).find(u"未区分"_qs).isEmpty());
        r = o.print(u"book"_qs, food);
        QVERIFY2(r.out.contains(u"1 頁、3 品"_qs), qPrintable(r.out));
    }

    void refusalsAreSaidAndNothingIsPrinted_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QStringList>("options"); // "PDF" stands for the file to print into
        QTest::addColumn<QString>("message");
        const QStringList day = { u"--date"_qs, u"2026-03-31"_qs };
        const QStringList noDay = { u"--date"_qs, u"2026-04-01"_qs };
        const QStringList toPdf = { u"--pdf"_qs, u"PDF"_qs };
        const QString noLines = u"該当する棚卸はありません。決算日を確認してください。"_qs;
        QTest::newRow("sheet, no lines") << u"sheet"_qs << noDay + toPdf << noLines;
        QTest::newRow("book, no lines") << u"book"_qs << noDay + toPdf
                                        << u"該当する棚卸はありません。前期の棚卸日を確認してください。"_qs;
        QTest::newRow("summary, no lines")
            << u"summary"_qs << noDay + toPdf + QStringList { u"--by"_qs, u"product"_qs } << noLines;
        QTest::newRow("summary by nothing")
            << u"summary"_qs << day + toPdf << u"--by category|product を指定してください。"_qs;
        QTest::newRow("form by category")
            << u"sheet"_qs << day + toPdf + QStringList { u"--category"_qs, u"食品"_qs, u"--layout"_qs, u"hisago"_qs }
            << u"この用紙は、項目/分類別に出力できません。"_qs;
        QTest::newRow("no file, no printer")
            << u"sheet"_qs << day << u"--pdf OUT.pdf か --printer NAME のどちらか一つを指定してください。"_qs;
        QTest::newRow("unknown printer") << u"sheet"_qs << day + QStringList { u"--printer"_qs, u"棚卸にない印刷機"_qs }
                                         << u"プリンタ「棚卸にない印刷機」が見つかりません。"_qs;
    }
    void refusalsAreSaidAndNothingIsPrinted()
    {
        QFETCH(QString, what);
        QFETCH(QStringList, options);
        QFETCH(QString, message);
        const OutsideRun o;
        if (const qsizetype pdf = options.indexOf(u"PDF"_qs); pdf >= 0)
            options[pdf] = o.pdf;
        const Run r = o(u"print "_qs + what, options);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(o.pdf));
    }

    void tellsWhenThePrintedTotalMissesLines()
    {
        SheetFile f;
        // A category below 1 exists, so its line passes the check, but no sheet lists it.
        f.category(1, u"食品"_qs);
        f.category(-1, u"旧分類"_qs);
        f.line(u"2026-03-31"_qs, 1, u"りんご"_qs, 1, 100);
        f.line(u"2026-03-31"_qs, -1, u"古い品"_qs, 1, 50);
        const QString pdf = f.env.path(QStringLiteral("sheet.pdf"));
        const Run r
            = kotrina({ u"print"_qs, u"sheet"_qs, f.db.fileName(), u"--date"_qs, u"2026-03-31"_qs, u"--pdf"_qs, pdf });
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(u"出力した棚卸表に出力漏れがあります。棚卸表「項目ID」の修正を行ってください。"_qs),
                 qPrintable(r.err));
        QCOMPARE(readPdf(pdf).pages, 1);
    }

    // On a machine without any display: the verbs work, and words that are no verb are told
    // in Japanese with status 2, as Qt would otherwise abort looking for a display.
    void theProgramWithoutADisplay()
    {
        const OutsideRun o;
        const auto run = [&](const QStringList& args) {
            QProcess program;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove(u"DISPLAY"_qs);
            environment.remove(u"WAYLAND_DISPLAY"_qs);
            environment.remove(u"QT_QPA_PLATFORM"_qs);
            program.setProcessEnvironment(environment);
            program.setWorkingDirectory(o.env.root());
            program.start(QStringLiteral(KOTRINA_EXECUTABLE), args);
            program.waitForFinished(60000);
            return Run { program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
                         QString::fromUtf8(program.readAllStandardOutput()),
                         QString::fromUtf8(program.readAllStandardError()) };
        };
        Run r = run({ u"exprot"_qs, u"lines"_qs, o.file });
        QCOMPARE(r.status, 2);
        QCOMPARE(
            r.err,
            u"kotrina: 「exprot」というコマンドも、その名前のファイルもありません。いちばん近いコマンドは export lines "
            "です。\nコマンドの一覧は kotrina help で表示されます。\n"_qs);
        r = run({ u"--bogus"_qs });
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.startsWith(u"kotrina: 「--bogus」というオプションはありません。"_qs), qPrintable(r.err));
        o.env.writeFile(u"-h.idb"_qs, "");
        r = run({ u"-h.idb"_qs });
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"kotrina -- -h.idb"_qs), qPrintable(r.err));
        // A file that exists needs a display for its window, and says so.
        r = run({ u"--"_qs, u"-h.idb"_qs });
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.startsWith(u"kotrina: 画面（DISPLAY）がないため"_qs), qPrintable(r.err));
        r = run({ u"--version"_qs });
        QVERIFY2(r.out.startsWith(u"Kotrina "_qs), qPrintable(r.err));
        QVERIFY2(r.status == 0 || r.status == 2, qPrintable(r.err));
        r = run({ u"help"_qs });
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(u"print sheet"_qs));

        r = run({ u"print"_qs, u"sheet"_qs, o.file, u"--date"_qs, u"2026-03-31"_qs, u"--layout"_qs, u"hisago"_qs,
                  u"--move-to-uncategorised"_qs, u"--pdf"_qs, o.pdf });
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const PdfText text = readPdf(o.pdf);
        QCOMPARE(text.pages, 1);
        QCOMPARE(amountOf(text.row(1, 270).constLast().text), 1177.0);
    }

    // Products added by the sqlite3 program, which knows no Japanese order: the program's
    // summary sheet by product lists them in it all the same, and the file it opened for
    // writing stays one the sqlite3 program reads and writes (nothing of the order is kept in it).
    void productSummaryInJapaneseOrder()
    {
        TestEnvironment env;
        const QString file = madeOutside(env, R"(
INSERT INTO 仕入商品 VALUES (3, 'ボルト', 10, '本'), (4, 'ﾎﾞｰﾙﾍﾟﾝ', 50, '本'), (5, 'カメラ', 9000, '台'),
  (6, 'ボールペン', 60, '本'), (7, 'ガム', 100, '個');
INSERT INTO 棚卸マスター VALUES
  (6, '2026-03-31', 1, 'ボルト', 10, '本', 10, 100, NULL, NULL, 3, 0),
  (7, '2026-03-31', 1, 'ﾎﾞｰﾙﾍﾟﾝ', 1, '本', 50, 50, NULL, NULL, 4, 0),
  (8, '2026-03-31', 1, 'カメラ', 1, '台', 9000, 9000, NULL, NULL, 5, 0),
  (9, '2026-03-31', 1, 'ボールペン', 2, '本', 60, 120, NULL, NULL, 6, 0),
  (10, '2026-03-31', 1, 'ガム', 3, '個', 100, 300, NULL, NULL, 7, 0);
)");
        QVERIFY(!file.isEmpty());
        const QString pdf = env.path(u"summary.pdf"_qs);
        QProcess program;
        program.start(QStringLiteral(KOTRINA_EXECUTABLE),
                      { u"print"_qs, u"summary"_qs, file, u"--date"_qs, u"2026-03-31"_qs, u"--by"_qs, u"product"_qs,
                        u"--pdf"_qs, pdf });
        QVERIFY(program.waitForFinished(60000));
        QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());
        const QStringList products
            = { u"ガム"_qs, u"カメラ"_qs, u"ﾎﾞｰﾙﾍﾟﾝ"_qs, u"ボールペン"_qs, u"ボルト"_qs, u"ﾒﾓ帳"_qs, u"りんご"_qs };
        QList<PdfWord> listed;
        for (const PdfWord& word : readPdf(pdf).words) {
            if (products.contains(word.text))
                listed << word;
        }
        std::sort(listed.begin(), listed.end(), [](const PdfWord& a, const PdfWord& b) { return a.y0 < b.y0; });
        QStringList order;
        for (const PdfWord& word : listed)
            order << word.text;
        QCOMPARE(order, products);

        // A command that writes (and so brings the file's schema up to date) leaves nothing
        // the sqlite3 program cannot read or write.
        QCOMPARE(kotrina({ u"check"_qs, file, u"--date"_qs, u"2026-03-31"_qs, u"--move-to-uncategorised"_qs }).status,
                 1);
        QProcess sqlite;
        sqlite.start(u"/usr/bin/sqlite3"_qs, { u"-bail"_qs, file });
        sqlite.write(R"(INSERT INTO 仕入商品 VALUES (8, 'ボタン', 5, '個');
UPDATE 仕入商品 SET 品名 = 'ボルトM3' WHERE 品名ID = 3;
SELECT COUNT(*) FROM 仕入商品 WHERE 品名 >= 'ボ';
PRAGMA integrity_check;
)");
        sqlite.closeWriteChannel();
        QVERIFY(sqlite.waitForFinished(10000));
        QCOMPARE(sqlite.readAllStandardError(), QByteArray());
        QCOMPARE(sqlite.readAllStandardOutput(), QByteArray("5\nok\n"));
    }

    void anotherProgramHoldingTheFileIsNotTakenForDamage()
    {
        const OutsideRun o;
        Database holder;
        QVERIFY(holder.open(o.file));
        QVERIFY(holder.exec(u"BEGIN EXCLUSIVE"_qs));
        QVERIFY(holder.exec(u"DELETE FROM \"項目分類\" WHERE \"項目ID\" = 0"_qs));
        const Run r = o.print(u"book"_qs);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"ほかのプログラムがファイルを使用中です。"_qs), qPrintable(r.err));
        QVERIFY(holder.exec(u"ROLLBACK"_qs));
    }
};

KOTRINA_REGISTER_TEST(TestPrintCli)
#include "TestPrintCli.moc"
