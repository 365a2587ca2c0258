// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "OutsideRun.h"
#include "ReadBack.h"
#include "TestRegistry.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void exportAndCheckAFileMadeOutside()
    {
        const OutsideRun o;
        const QByteArray before = readAll(o.file);
        const QString xlsx = o.env.path(u"lines.xlsx"_qs);
        const QStringList day = { u"--date"_qs, u"2026-03-31"_qs };
        const QStringList toXlsx = day + QStringList { u"--xlsx"_qs, xlsx };

        Run r = o(u"export lines"_qs, toXlsx);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        const QVariantList heading = QVariantList(
            { u"項目分類"_qs, u"品名"_qs, u"数量"_qs, u"単位"_qs, u"単価"_qs, u"金額"_qs, u"JANコード"_qs });
        QCOMPARE(
            readWorkbook(xlsx).rows,
            (QList<QVariantList> { heading, QVariantList({ u"食品"_qs, u"りんご"_qs, 10.0, u"個"_qs, 100.0, 1000.0 }),
                                   QVariantList({ u"食品"_qs, u"りんご"_qs, 0.125, u"個"_qs, 100.0, 12.0 }),
                                   QVariantList({ u"食品"_qs, u"幻の品"_qs, 1.0, u"個"_qs, 5.0, 5.0 }) }));

        r = o(u"export products"_qs, { u"--order"_qs, u"id"_qs, u"--xlsx"_qs, xlsx });
        QCOMPARE(r.status, 0);
        QCOMPARE(readWorkbook(xlsx).rows.value(1).value(0), u"りんご"_qs);
        // By name in Japanese order: ﾒﾓ帳 (メ) before りんご (リ), though its half-width
        // characters come after every hiragana in code order.
        r = o(u"export products"_qs, { u"--xlsx"_qs, xlsx });
        QCOMPARE(r.status, 0);
        QCOMPARE(readWorkbook(xlsx).rows,
                 (QList<QVariantList> { QVariantList({ u"品名"_qs, u"単位"_qs, u"単価"_qs, u"JANコード"_qs }),
                                        QVariantList({ u"ﾒﾓ帳"_qs, u"冊"_qs, 80.0 }),
                                        QVariantList({ u"りんご"_qs, u"個"_qs, 100.0 }) }));

        // The check lists the line of the deleted category and the line of the missing
        // product, and reads only.
        r = o(u"check"_qs, day);
        QCOMPARE(r.status, 1);
        QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[1], u"4\t2\t2\tﾒﾓ帳\t2\t冊\t項目/分類"_qs);
        QCOMPARE(lines[2], u"5\t1\t9\t幻の品\t1\t個\t品名"_qs);
        QCOMPARE(readAll(o.file), before);

        // The repair moves line 4 to category 0; the missing product is still found.
        r = o(u"check"_qs, day + QStringList { u"--move-to-uncategorised"_qs });
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.contains(u"1 件の項目IDを「0」に変更しました。"_qs));
        r = o(u"check"_qs, day);
        lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].startsWith(u"5\t"_qs));
        r = o(u"export lines"_qs, toXlsx);
        QCOMPARE(readWorkbook(xlsx).rows.value(3),
                 QVariantList({ u"未区分"_qs, u"ﾒﾓ帳"_qs, 2.0, u"冊"_qs, 80.0, 160.0 }));

        // Nothing missing on the other date.
        QCOMPARE(o(u"check"_qs, { u"--date"_qs, u"2025-03-31"_qs }).status, 0);
    }

    void codesListedAndAttached()
    {
        // A file the sqlite3 program made with today's tables.
        TestEnvironment env;
        const QString file = madeOutside(env, "PRAGMA user_version = 4;\n");
        auto o = [&](const QString& command, const QStringList& options = {}) {
            return kotrina(QStringList { command, file } + options);
        };
        // No codes yet: none listed, and the file is only read.
        const QByteArray before = readAll(file);
        Run r = o(u"codes"_qs);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QString());
        QCOMPARE(o(u"codes"_qs, { u"--all"_qs }).out, u"1\tりんご\t\n2\tﾒﾓ帳\t\n"_qs);
        QCOMPARE(readAll(file), before);

        auto add = [&](const QString& assignment) { return o(u"codes"_qs, { u"--add"_qs, assignment }); };
        r = add(u"りんご=4901234567894"_qs);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, u"品名「りんご」（品名ID 1）にコード 4901234567894 を登録しました。\n"_qs);
        QCOMPARE(add(u"りんご=4901234567894"_qs).out,
                 u"品名「りんご」（品名ID 1）にはコード 4901234567894 が登録済みです。\n"_qs);
        QCOMPARE(add(u"ﾒﾓ帳=０３６０００２９１４５２"_qs).status, 0);
        QCOMPARE(add(u"りんご=49123456"_qs).status, 0);

        // Refused with the reason and nothing written.
        const QByteArray added = readAll(file);
        const QList<std::pair<QString, QString>> refused = {
            { u"ﾒﾓ帳=4901234567894"_qs, u"コード 4901234567894 は品名「りんご」に登録されています。\n"_qs },
            { u"ﾒﾓ帳=4901234567890"_qs,
              u"コード 4901234567890 のチェックデジット（最後の桁）が違います。最後の桁は 4 のはずです。\n"_qs },
            { u"ﾒﾓ帳=490123456789"_qs,
              u"コード 490123456789 のチェックデジット（最後の桁）が違います。最後の桁は 3 のはずです。\n"_qs },
            { u"ﾒﾓ帳=4912345"_qs,
              u"コード「4912345」の桁数が違います。JANコードは13桁または8桁、UPCは12桁の数字です。\n"_qs },
            { u"ﾒﾓ帳=ABC"_qs, u"コード「ABC」に数字以外の文字があります。\n"_qs },
            { u"幻の品=49017779"_qs, u"品名「幻の品」は登録されていません。\n"_qs },
            { u"49017779"_qs, u"--add には「品名=コード」の形で指定してください: 49017779\n"_qs },
        };
        for (const auto& [assignment, message] : refused) {
            r = add(assignment);
            QCOMPARE(r.status, 2);
            QCOMPARE(r.out, QString());
            QVERIFY2(r.err.endsWith(message), qPrintable(r.err));
        }
        QCOMPARE(readAll(file), added);

        r = o(u"codes"_qs);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, u"1\tりんご\t4901234567894,49123456\n2\tﾒﾓ帳\t0036000291452\n"_qs);
    }

    void wrongWordsAreToldInJapanese_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString file = u"FILE"_qs; // replaced by the file made outside
        QTest::newRow("bad date") << QStringList { u"check"_qs, file, u"--date"_qs, u"2026-02-30"_qs }
                                  << u"日付「2026-02-30」が正しくありません。"_qs;
        QTest::newRow("missing file") << QStringList { u"check"_qs, u"/nowhere/x.idb"_qs, u"--date"_qs,
                                                       u"2026-03-31"_qs }
                                      << u"ファイルが見つかりません: /nowhere/x.idb"_qs;
        QTest::newRow("not ours") << QStringList { u"export"_qs, u"products"_qs, u"TEXT"_qs, u"--xlsx"_qs,
                                                   u"o.xlsx"_qs }
                                  << u"Kotrina のデータベースファイルではないか、壊れています"_qs;
        QTest::newRow("unknown verb") << QStringList { u"export"_qs, u"units"_qs }
                                      << u"「export units」というコマンドはありません。"
                                         "いちばん近いコマンドは export lines です。"_qs;
        QTest::newRow("unknown option") << QStringList { u"check"_qs, file, u"--bogus"_qs }
                                        << u"「check」には --bogus というオプションはありません。"
                                           "いちばん近いのは --help です。"_qs;
        QTest::newRow("mistyped option") << QStringList { u"check"_qs, file, u"--daet"_qs, u"2026-03-31"_qs }
                                         << u"「check」には --daet というオプションはありません。"
                                            "いちばん近いのは --date です。"_qs;
        QTest::newRow("file named like an option")
            << QStringList { u"check"_qs, u"-h.idb"_qs, u"--date"_qs, u"2026-03-31"_qs }
            << u"「check」には -h.idb というオプションはありません。いちばん近いのは --help です。\n"
               "kotrina: 「-」で始まる名前のファイルは、-- の後に書いてください（kotrina check -- -h.idb）。"_qs;
        QTest::newRow("no value") << QStringList { u"export"_qs, u"lines"_qs, file, u"--xlsx"_qs }
                                  << u"オプション --xlsx に値がありません。"_qs;
    }

    void wrongWordsAreToldInJapanese()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const OutsideRun o;
        const QString text = o.env.writeFile(u"notes.idb"_qs, "not a database\n");
        for (QString& a : args) {
            if (a == u"FILE"_qs)
                a = o.file;
            else if (a == u"TEXT"_qs)
                a = text;
            else if (a == u"o.xlsx"_qs)
                a = o.env.path(a);
        }
        const Run r = kotrina(args);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QVERIFY(!QFile::exists(o.env.path(u"o.xlsx"_qs)));
    }

    // Words that start the windows: a file that exists, or none. Anything else is told with the
    // nearest verb or option, as the user wrote it, and opens no window.
    void wordsThatAreNeitherVerbNorFile_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("told"); // empty: the window opens on the file given
        QTest::newRow("swapped letters") << QStringList { u"exprot"_qs, u"lines"_qs, u"shop.idb"_qs }
                                         << u"kotrina: 「exprot」というコマンドも、その名前のファイルもありません。"
                                            "いちばん近いコマンドは export lines です。\n"_qs;
        QTest::newRow("one letter off") << QStringList { u"chek"_qs }
                                        << u"kotrina: 「chek」というコマンドも、その名前のファイルもありません。"
                                           "いちばん近いコマンドは check です。\n"_qs;
        // A path is a file even when there is none: the window says it is missing.
        QTest::newRow("missing file") << QStringList { u"nowhere/shop.idb"_qs } << QString();
        QTest::newRow("unknown option") << QStringList { u"--bogus"_qs }
                                        << u"kotrina: 「--bogus」というオプションはありません。"
                                           "いちばん近いのは --help です。\n"_qs;
        QTest::newRow("mistyped option") << QStringList { u"--verison"_qs }
                                         << u"kotrina: 「--verison」というオプションはありません。"
                                            "いちばん近いのは --version です。\n"_qs;
        QTest::newRow("file named like an option")
            << QStringList { u"-h.idb"_qs }
            << u"kotrina: 「-h.idb」というオプションはありません。いちばん近いのは -h です。\n"
               "kotrina: 「-」で始まる名前のファイルを開くときは、kotrina -- -h.idb と指定してください。\n"_qs;
        QTest::newRow("two files") << QStringList { u"DIR/a.idb"_qs, u"DIR/a.idb"_qs }
                                   << u"kotrina: 開けるファイルは一つだけです: DIR/a.idb DIR/a.idb\n"_qs;
        QTest::newRow("after --, a file named like an option")
            << QStringList { u"--"_qs, u"DIR/-h.idb"_qs } << QString();
        QTest::newRow("an existing file") << QStringList { u"DIR/a.idb"_qs } << QString();
        QTest::newRow("Qt's own options pass")
            << QStringList { u"-style"_qs, u"Fusion"_qs, u"DIR/a.idb"_qs } << QString();
        QTest::newRow("nothing") << QStringList {} << QString();
    }

    void wordsThatAreNeitherVerbNorFile()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, told);
        TestEnvironment env;
        env.writeFile(u"a.idb"_qs, "");
        env.writeFile(u"-h.idb"_qs, "");
        for (QString& a : args)
            a.replace(u"DIR"_qs, env.root());
        QVERIFY(!CommandLine::isFor(args));
        QString err;
        QTextStream errors(&err);
        const std::optional<QString> file = CommandLine::windowFile(args, errors);
        told.replace(u"DIR"_qs, env.root());
        if (!told.isEmpty())
            told += u"コマンドの一覧は kotrina help で表示されます。\n"_qs;
        QCOMPARE(err, told);
        QCOMPARE(file.has_value(), told.isEmpty());
        if (file)
            QCOMPARE(*file, args.isEmpty() ? QString() : args.constLast());
    }

    void helpListsTheCommandsTheManualDescribes()
    {
        QVERIFY(CommandLine::isFor({ u"export"_qs }));
        QVERIFY(CommandLine::isFor({ u"--help"_qs }));
        QVERIFY(!CommandLine::isFor({ u"/home/shop/export.idb"_qs }));
        const Run help = kotrina({ u"help"_qs });
        QCOMPARE(help.status, 0);
        QCOMPARE(kotrina({ u"--help"_qs }).out, help.out);
        QVERIFY(kotrina({ u"check"_qs, u"--help"_qs }).out.contains(u"--move-to-uncategorised"_qs));
        // The list of `kotrina help`: two spaces, the command, at least two spaces, its text.
        static const QRegularExpression listed(u"^  (\\S+(?: \\S+)?)  +\\S"_qs, QRegularExpression::MultilineOption);
        QStringList commands;
        for (auto m = listed.globalMatch(help.out); m.hasNext();)
            commands << m.next().captured(1);
        QVERIFY2(commands.contains(u"export lines"_qs) && commands.contains(u"check"_qs), qPrintable(help.out));
        QVERIFY(commands.size() >= 9);
        // The manual pages are held to the same list, options and all, by check_manpages.py.
        QFile guide(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../docs/manual/commandline.html"));
        QVERIFY(guide.open(QIODevice::ReadOnly));
        const QString listing = QString::fromUtf8(guide.readAll());
        for (const QString& command : commands)
            QVERIFY2(listing.contains(u"<code>"_qs + command + u"</code>"_qs), qPrintable(command));
    }
};

KOTRINA_REGISTER_TEST(TestCli)
#include "TestCli.moc"
