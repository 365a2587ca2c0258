#include "CliRun.h"
#include "OutsideFile.h"
#include "PdfText.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/store/Database.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

class TestPrintCli : public QObject
{
    Q_OBJECT

private slots:
    void printsAFileMadeOutsideOnceItsLinesHaveACategory()
    {
        TestEnvironment env;
        const QString file = madeOutside(env);
        QVERIFY(!file.isEmpty());
        const QString pdf = env.path(QStringLiteral("sheet.pdf"));
        const QStringList args = { u"print"_qs, u"sheet"_qs, file, u"--date"_qs, u"2026-03-31"_qs, u"--pdf"_qs, pdf };

        // Line 4 names the deleted category: nothing is printed until it is moved.
        Run r = kotrina(args);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(u"属さない棚卸が 1 件あります"_qs), qPrintable(r.err));
        QVERIFY(!QFile::exists(pdf));

        r = kotrina(args + QStringList { u"--move-to-uncategorised"_qs });
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(u"合計 1,177 円"_qs));
        const PdfText text = readPdf(pdf);
        // 食品 on one page, the moved line under 未区分 on the last.
        QCOMPARE(text.pages, 2);
        QCOMPARE(text.at(1, 20, 18).text, u"食品"_qs);
        QCOMPARE(text.at(1, 15, 38).text, u"りんご"_qs);
        QCOMPARE(text.row(1, 38).constLast().text, u"1,000"_qs);
        QCOMPARE(text.at(1, 15, 46).text, u"りんご"_qs);
        QCOMPARE(text.row(1, 46).value(1).text, u"0.13"_qs);
        QCOMPARE(text.at(1, 15, 54).text, u"幻の品"_qs);
        QCOMPARE(amountOf(text.row(1, 258).value(1).text), 1017.0);
        QCOMPARE(text.at(2, 15, 38).text, u"ﾒﾓ帳"_qs);
        QCOMPARE(amountOf(text.row(2, 258).value(1).text), 160.0);
        QCOMPARE(amountOf(text.row(2, 262).value(1).text), 1177.0);
        QCOMPARE(QDir(env.root()).entryList({ u".kotrina-tmp-*"_qs }, QDir::Hidden | QDir::Files), QStringList());

        // One category: its own lines and total, nothing else.
        r = kotrina(args + QStringList { u"--category"_qs, u"食品"_qs, u"--layout"_qs, u"simple"_qs });
        QCOMPARE(r.status, 0);
        const PdfText one = readPdf(pdf);
        QCOMPARE(one.pages, 1);
        QVERIFY(one.find(u"未区分"_qs).isEmpty());
        QVERIFY(r.out.contains(u"合計 1,017 円"_qs));
        r = kotrina(args + QStringList { u"--category"_qs, u"食品"_qs, u"--layout"_qs, u"hisago"_qs });
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains(u"この用紙は、項目/分類別に出力できません。"_qs));

        // A printer instead of a file: one of the two, and one the print system knows.
        const QStringList toPrinter = { u"print"_qs, u"sheet"_qs, file, u"--date"_qs, u"2026-03-31"_qs };
        r = kotrina(toPrinter);
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains(u"--pdf OUT.pdf か --printer NAME のどちらか一つを指定してください。"_qs));
        r = kotrina(toPrinter + QStringList { u"--printer"_qs, u"棚卸にない印刷機"_qs });
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"プリンタ「棚卸にない印刷機」が見つかりません。"_qs), qPrintable(r.err));
        r = kotrina({ u"print"_qs, u"sheet"_qs, file, u"--date"_qs, u"2026-04-01"_qs, u"--pdf"_qs, pdf });
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.contains(u"該当する棚卸はありません。決算日を確認してください。"_qs));
    }

    void tellsWhenThePrintedTotalMissesLines()
    {
        TestEnvironment env;
        const QString file = env.newDatabase();
        {
            Database db;
            QVERIFY(db.open(file));
            // A category below 1 exists, so its line passes the check, but no sheet lists it.
            QVERIFY(db.exec(QStringLiteral("INSERT INTO 項目分類 VALUES (1, '食品'), (-1, '旧分類')")));
            QVERIFY(db.exec(QStringLiteral("INSERT INTO 棚卸マスター (ID, 日付, 項目ID, 品名, 数量, 単価, 価格) VALUES "
                                           "(1, '2026-03-31', 1, 'りんご', 1, 100, 100), "
                                           "(2, '2026-03-31', -1, '古い品', 1, 50, 50)")));
        }
        const QString pdf = env.path(QStringLiteral("sheet.pdf"));
        const Run r = kotrina({ u"print"_qs, u"sheet"_qs, file, u"--date"_qs, u"2026-03-31"_qs, u"--pdf"_qs, pdf });
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(u"出力した棚卸表に出力漏れがあります。棚卸表「項目ID」の修正を行ってください。"_qs),
                 qPrintable(r.err));
        QCOMPARE(readPdf(pdf).pages, 1);
    }

    void theProgramPrintsWithoutADisplay()
    {
        TestEnvironment env;
        const QString file = madeOutside(env);
        const QString pdf = env.path(QStringLiteral("hisago.pdf"));
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"DISPLAY"_qs);
        environment.remove(u"WAYLAND_DISPLAY"_qs);
        environment.remove(u"QT_QPA_PLATFORM"_qs);
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(KOTRINA_EXECUTABLE),
                      { u"print"_qs, u"sheet"_qs, file, u"--date"_qs, u"2026-03-31"_qs, u"--layout"_qs, u"hisago"_qs,
                        u"--move-to-uncategorised"_qs, u"--pdf"_qs, pdf });
        QVERIFY(program.waitForFinished(60000));
        QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());
        const PdfText text = readPdf(pdf);
        QCOMPARE(text.pages, 1);
        QCOMPARE(amountOf(text.row(1, 270).constLast().text), 1177.0);
    }
};

KOTRINA_REGISTER_TEST(TestPrintCli)
#include "TestPrintCli.moc"
