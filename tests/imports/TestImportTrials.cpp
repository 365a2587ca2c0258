#include "CliRun.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QTest>

// What a first try of the imports from the command line turned up.
class TestImportTrials : public QObject
{
    Q_OBJECT

private slots:
    void aFileInAnotherEncodingShowsItsHeadingsAsRead()
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
    }
};

KOTRINA_REGISTER_TEST(TestImportTrials)
#include "TestImportTrials.moc"
