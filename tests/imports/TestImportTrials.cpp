#include "CliRun.h"
#include "ScreenTest.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/imports/ImportForms.h"
#include "gui/imports/ImportRunDialog.h"

#include <QTest>

// What a first try of the imports turned up.
class TestImportTrials : public QObject
{
    Q_OBJECT

private slots:
    void theCommandSaysWhatItCannotUse()
    {
        TestEnvironment env;
        const QString db = env.newDatabase();
        // 品名, 価格 and りんご, 100 in EUC-JP: shift JIS reads the heading as other characters.
        const QString data
            = env.writeFile(u"euc.txt"_qs, QByteArray::fromHex("c9caccbe09b2c1b3ca0d0aa4eaa4f3a4b4093130300d0a"));
        const Run r = kotrina({ u"import"_qs, u"lines"_qs, db, u"--date"_qs, u"2026-03-31"_qs, u"--file"_qs, data });
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"品名の項目が設定されていません。"_qs), qPrintable(r.err));
        QVERIFY2(r.err.contains(u"ファイルの見出し: "_qs), qPrintable(r.err));

        // The verb alone names what may follow it.
        for (const QStringList& args : { QStringList { u"import"_qs }, QStringList { u"import"_qs, u"count"_qs } }) {
            const Run alone = kotrina(args);
            QCOMPARE(alone.status, 2);
            QVERIFY2(alone.err.contains(u"「import」の後に lines, products のどれかを指定してください。"_qs),
                     qPrintable(alone.err));
        }
    }

    void aFileHeldByAnotherProgramIsSaidSo()
    {
        TestSession t;
        QVERIFY(t.openNewDatabase());
        const QString data = t.env.writeFile(u"棚卸.txt"_qs, "品名\t価格\r\nりんご\t300\r\n");
        QVERIFY(t.env.paths().ensureDataDir());
        QVERIFY(ImportMapping::fromHeadings(ImportKind::Lines, { u"品名"_qs, u"価格"_qs })
                    .write(mappingPath(t.env.paths(), ImportKind::Lines)));
        Database holder;
        QVERIFY(holder.open(t.db().fileName()));
        QVERIFY(holder.exec(u"BEGIN EXCLUSIVE"_qs));
        QVERIFY(holder.exec(u"DELETE FROM \"項目分類\" WHERE \"項目ID\" = 0"_qs));

        ScreenTest::Driver<ImportRunDialog> w;
        w.screen = new ImportRunDialog(t.state, ImportKind::Lines);
        ScreenTest::showActive(w.screen);
        t.prompter.answerFile(data);
        w.click("Command2");
        t.prompter.answerAsk(true);
        t.prompter.answerAsk(true);
        w.click("Command1");
        QCOMPARE(t.prompter.texts().constLast(),
                 u"データベースの接続に失敗しました。\rほかのプログラムがファイルを使用中です。"_qs);
        QVERIFY(holder.exec(u"ROLLBACK"_qs));
    }
};

KOTRINA_REGISTER_TEST(TestImportTrials)
#include "TestImportTrials.moc"
