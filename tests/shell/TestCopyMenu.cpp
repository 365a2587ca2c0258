// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "MainWindowTest.h"
#include "TestRegistry.h"

#include <QSqlQuery>

class TestCopyMenu : public QObject
{
    Q_OBJECT

private slots:
    // ﾌｧｲﾙ → ファイルへコピー writes the open database to the file named in the dialog and
    // says so, the open database staying open; the same name again is refused with what the
    // file holds now, and a database that is no longer empty is not copied onto.
    void copiesTheOpenDatabaseToANewFile()
    {
        MainWindow m;
        const QString file = m.env.newDatabase();
        m.addLine(file);
        m.start(file);
        const QStringList named = m.fileNames();

        const QString copy = m.env.path(u"写し.idb"_qs);
        m.prompter.answerFile(copy);
        m.trigger("mnuCopyToFile");
        QCOMPARE(m.prompter.shown().size(), 2);
        QCOMPARE(m.prompter.shown().at(0).kind, ScriptedPrompter::Kind::SaveFile);
        QCOMPARE(m.prompter.shown().at(0).file.directory, QFileInfo(file).absolutePath());
        const ScriptedPrompter::Shown told = m.prompter.shown().at(1);
        QCOMPARE(told.icon, Prompter::Icon::Information);
        QVERIFY2(told.text.startsWith(u"データベースをコピーしました。\r"_qs + QDir::toNativeSeparators(copy)),
                 qPrintable(told.text));
        QVERIFY(told.text.contains(u"棚卸 1 行"_qs));
        QCOMPARE(m.fileNames(), named);
        {
            Database copied;
            QVERIFY(copied.open(copy));
            QSqlQuery q(copied.connection());
            QVERIFY(q.exec(QStringLiteral(R"(SELECT "品名" FROM "棚卸マスター")")) && q.next());
            QCOMPARE(q.value(0).toString(), u"りんご"_qs);
        }

        m.prompter.answerFile(copy);
        m.trigger("mnuCopyToFile");
        const ScriptedPrompter::Shown refused = m.prompter.shown().constLast();
        QCOMPARE(refused.icon, Prompter::Icon::Exclamation);
        QVERIFY2(refused.text.contains(u"すでにデータがあります（"_qs), qPrintable(refused.text));
        QVERIFY(refused.text.contains(u"棚卸 1 件"_qs));
    }
};

KOTRINA_REGISTER_TEST(TestCopyMenu)
#include "TestCopyMenu.moc"
