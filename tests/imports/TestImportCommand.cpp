// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "ImportData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/imports/ImportMapping.h"
#include "core/store/Database.h"

#include <QTest>

namespace {

// A file as an older spreadsheet program saves it: code page 932, CRLF.
QString cp932File(const TestEnvironment& env, const QString& name, const QStringList& lines)
{
    return env.writeFile(name, cp932(lines.join(u"\r\n"_qs) + u"\r\n"_qs));
}

} // namespace

class TestImportCommand : public QObject
{
    Q_OBJECT

private slots:
    void linesTwiceIntoOneDateAndABadFile()
    {
        TestEnvironment env;
        const QString db = env.newDatabase();
        const QString data = cp932File(env, u"棚卸.txt"_qs,
                                       { u"分類\t商品\t数\t単位\t単価\t金額"_qs, u"食品\tりんご\t10\t個\t100\t1,000"_qs,
                                         u"食品\tﾒﾓ帳\t2\t冊\t80\t160"_qs });
        const QStringList args {
            u"import"_qs, u"lines"_qs,      db,
            u"--date"_qs, u"2026-03-31"_qs, u"--file"_qs,
            data,         u"--map"_qs,      u"項目/分類名=分類,品名=#2,数量=数,単位=単位,単価=単価,価格=金額"_qs
        };
        Run r = kotrina(args);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QCOMPARE(
            r.out,
            u"棚卸表　入力件数       2 件\n項目/分類情報　新規登録件数　1 件\n品名情報　新規登録件数　 　　2 件\n"_qs);

        // Lines of the date stop a second run unless it is confirmed; then they come in again.
        const QByteArray before = readAll(db);
        r = kotrina(args);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QString());
        QCOMPARE(
            r.err,
            u"kotrina: 既に棚卸表に2026/03/31日付のデータがあります。続けるときは --yes を指定してください。\n"_qs);
        QCOMPARE(readAll(db), before);
        r = kotrina(args + QStringList { u"--yes"_qs });
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.startsWith(u"棚卸表　入力件数       2 件\n項目/分類情報　新規登録件数　0 件\n"_qs));

        // A bad file: its lines named on standard error.
        const QString bad = cp932File(env, u"bad.txt"_qs,
                                      { u"分類\t商品\t数\t単位\t単価\t金額"_qs, u"食品\tみかん\t1\t個\t1\t1"_qs,
                                        u"食品\tなし\tたくさん\t個\t1\t1"_qs, u"食品\tかき\t1\t個\t1\t"_qs });
        QStringList badArgs = args;
        badArgs[6] = bad;
        badArgs << u"--yes"_qs;
        r = kotrina(badArgs);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QString());
        QCOMPARE(r.err,
                 u"kotrina: インポートに失敗しました。棚卸データは取り込まれていません。\n"
                 "行 3: 数量は数字で入力してください。\n行 4: 価格が入力されていません。\n"_qs);
    }

    void productsFromTheSavedAssignmentOrTheHeadings()
    {
        TestEnvironment env;
        const QString db = env.newDatabase();
        const QString data = cp932File(
            env, u"品名.txt"_qs,
            { u"品名\t単位\t単価\tコード"_qs, u"りんご\t個\t98\tA1"_qs, u"\t\t\tA2"_qs, u"なし\t個\t120\tA3"_qs });
        const QStringList args { u"import"_qs, u"products"_qs, db, u"--file"_qs, data };
        Run r = kotrina(args);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, u"品名情報　新規登録件数　 　　2 件\n"_qs);

        // The assignment the dialogs saved wins over the headings: here the code is the name.
        ImportMapping saved(ImportKind::Products);
        saved.assign(1, u"コード"_qs, 4);
        QVERIFY(saved.write(env.paths().inDataDir(ImportMapping::fileName(ImportKind::Products))));
        r = kotrina(args);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, u"品名情報　新規登録件数　 　　3 件\n"_qs);

        // Known products change only when asked to.
        r = kotrina({ u"import"_qs, u"products"_qs, db, u"--file"_qs, data, u"--map"_qs, u"品名=品名,単価=#4"_qs });
        QCOMPARE(r.status, 2);
        QCOMPARE(
            r.err.section(QLatin1Char('\n'), 0, 1),
            u"kotrina: インポートに失敗しました。品名情報は変更されていません。\n行 2: 単価は数字で入力してください。"_qs);
        const QStringList unitFromCode
            = { u"import"_qs, u"products"_qs, db, u"--file"_qs, data, u"--map"_qs, u"品名=品名,単位=#4,単価=単価"_qs };
        const auto apple = [&db] {
            Database opened;
            return opened.open(db) ? rows(opened, u"SELECT 単位, 単価 FROM 仕入商品 WHERE 品名 = 'りんご'"_qs)
                                   : QStringList();
        };
        QCOMPARE(kotrina(unitFromCode).status, 0);
        QCOMPARE(apple(), QStringList { u"個|98"_qs });
        r = kotrina(unitFromCode + QStringList { u"--update-existing"_qs });
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, u"品名情報　新規登録件数　 　　0 件\n"_qs);
        QCOMPARE(apple(), QStringList { u"A1|98"_qs });
    }

    void aSavedAssignmentIsUsedOnlyWhereTheHeadingsStillFit()
    {
        TestEnvironment env;
        const QString db = env.newDatabase();
        // Saved for files headed 分類, 商品, 数, 単位, 単価, 金額.
        const QString mappingFile = env.paths().inDataDir(ImportMapping::fileName(ImportKind::Lines));
        QVERIFY(env.paths().ensureDataDir());
        env.writeFile(mappingFile,
                      "分類\r\n1\r\n商品\r\n2\r\n数\r\n3\r\n単位\r\n4\r\n単価\r\n5\r\n金額\r\n6\r\n\r\n0\r\n");
        const auto import = [&](const QString& data, const QStringList& more = {}) {
            return kotrina(QStringList { u"import"_qs, u"lines"_qs, db, u"--date"_qs, u"2026-03-31"_qs, u"--file"_qs,
                                         data, u"--yes"_qs }
                           + more);
        };
        const auto stored = [&db] {
            Database opened;
            return opened.open(db) ? rows(opened, QStringLiteral(R"(SELECT k."項目分類名", t."品名", t."価格"
                                                       FROM "棚卸マスター" t JOIN "項目分類" k USING ("項目ID") ORDER BY t."ID")"))
                                   : QStringList();
        };

        // The next year's file has 商品 and 分類 the other way round, and 金額 headed 価格.
        const QString swapped = cp932File(
            env, u"swapped.txt"_qs, { u"商品\t分類\t数\t単位\t単価\t価格"_qs, u"りんご\t食品\t10\t個\t100\t1000"_qs });
        const QByteArray before = readAll(db);
        Run r = import(swapped);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err,
                 u"kotrina: 保存されている列の割り当てが、このファイルの見出しと合いません。\n"
                 "  項目/分類名: 保存時の見出しは「分類」、ファイルの 1 列目は「商品」（「分類」は 2 列目）\n"
                 "  品名: 保存時の見出しは「商品」、ファイルの 2 列目は「分類」（「商品」は 1 列目）\n"
                 "  価格: 保存時の見出しは「金額」、ファイルの 6 列目は「価格」\n"
                 "--map で列を指定するか、インポートの設定で割り当て直してください。\n"_qs);

        // A file without its heading line: its first record is taken for the heading.
        r = import(cp932File(env, u"bare.txt"_qs, { u"食品\tみかん\t1\t個\t50"_qs }));
        QCOMPARE(r.status, 2);
        for (const QString& said : { u"  品名: 保存時の見出しは「商品」、ファイルの 2 列目は「みかん」\n"_qs,
                                     u"  価格: 保存時の見出しは「金額」、ファイルに 6 列目はありません\n"_qs,
                                     u"見出し行のないファイルは 1 行目に見出しを挿入してください。"_qs })
            QVERIFY2(r.err.contains(said), qPrintable(r.err));
        QCOMPARE(readAll(db), before);
        QCOMPARE(readAll(mappingFile).left(6), QByteArray("分類"));

        // --map decides instead; the saved assignment plays no part then.
        r = import(swapped, { u"--map"_qs, u"項目/分類名=分類,品名=商品"_qs });
        QVERIFY2(r.status == 0 && r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(stored(), QStringList { u"食品|りんご|1000"_qs });

        // Headed as the assignment was saved, blanks around a heading not counting: not a word.
        const QString same = cp932File(env, u"same.txt"_qs,
                                       { u"分類\t商品 \t数\t単位\t単価\t金額"_qs, u"雑貨\tﾒﾓ帳\t2\t冊\t80\t160"_qs });
        r = import(same);
        QVERIFY2(r.status == 0 && r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(stored(), (QStringList { u"食品|りんご|1000"_qs, u"雑貨|ﾒﾓ帳|160"_qs }));

        // An assignment written with positions only is read by position, and the command says so.
        env.writeFile(mappingFile, "\r\n1\r\n\r\n2\r\n\r\n0\r\n\r\n0\r\n\r\n0\r\n金額\r\n6\r\n\r\n0\r\n");
        r = import(same);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.err,
                 u"kotrina: 保存されている列の割り当てには、項目/分類名（1 列目）、品名（2 列目）の見出しが"
                 "記録されていません。列の位置で読み込みます。\n"_qs);
        QCOMPARE(stored().constLast(), u"雑貨|ﾒﾓ帳|160"_qs);
    }

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
};

KOTRINA_REGISTER_TEST(TestImportCommand)
#include "TestImportCommand.moc"
