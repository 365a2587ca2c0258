// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "ImportData.h"
#include "MainWindowTest.h"
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/app/FileFolders.h"
#include "core/imports/Importer.h"
#include "gui/imports/ImportForms.h"
#include "gui/imports/ImportRunDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

namespace {

const QString Heading = u"分類\t品名\t数\t単位\t単価\t金額\r\n"_qs;

// "a|b|" as the list a, b and an empty text.
QStringList cells(const QString& text)
{
    return text.split(QLatin1Char('|'));
}

QStringList linesOf(const Database& db)
{
    return rows(db, QStringLiteral(R"(SELECT "日付", "項目ID", "品名", "数量", "単位", "単価", "価格"
                                      FROM "棚卸マスター" ORDER BY "ID")"));
}

// The assignment of every column of Heading to its field, as OK saves it.
const QByteArray LinesMapping = "分類\r\n1\r\n品名\r\n2\r\n数\r\n3\r\n単位\r\n4\r\n単価\r\n5\r\n金額\r\n6\r\n\r\n0\r\n";

void saveMapping(const TestEnvironment& env, ImportKind kind)
{
    QVERIFY(env.paths().ensureDataDir());
    env.writeFile(mappingPath(env.paths(), kind),
                  kind == ImportKind::Lines ? LinesMapping : "品名\r\n1\r\n単位\r\n2\r\n単価\r\n3\r\n");
}

// The assignment dialog's rows as "mark|heading assigned|difference from the saved heading".
QStringList assignmentRows(QDialog* tab)
{
    auto* table = tab->findChild<QTableWidget*>(u"MSFlexGrid1"_qs);
    QStringList shown;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString difference
            = table->isColumnHidden(2) ? QString() : table->model()->index(row, 2).data().toString();
        shown << table->verticalHeaderItem(row)->text() + u'|' + table->model()->index(row, 1).data().toString() + u'|'
                + difference;
    }
    return shown;
}

// An import dialog over a new database, with its files in the test's directory.
struct ImportDialogTest : TestSession
{
    ModalAnswerer modals;
    ScreenTest::Driver<ImportRunDialog> w;

    ImportDialogTest() { QVERIFY(openNewDatabase()); }
    QString file(const QString& name, const QString& text) { return env.writeFile(name, text.toUtf8()); }
    void open(ImportKind kind)
    {
        w.screen = new ImportRunDialog(state, kind);
        ScreenTest::showActive(w.screen);
    }
    void answer(std::initializer_list<bool> answers)
    {
        for (const bool yes : answers)
            prompter.answerAsk(yes);
    }
    void choose(const QString& path)
    {
        prompter.answerFile(path);
        w.click("Command2");
    }
    QString label(const char* name) const { return w.template find<QLabel>(name)->text(); }
};

} // namespace

class TestImportDialogs : public QObject
{
    Q_OBJECT

private slots:
    void missingMappingAssignsColumnsThenImports()
    {
        ImportDialogTest t;
        const QString data
            = t.file(u"棚卸.txt"_qs,
                     Heading + u"青果\tりんご\t3\t箱\t100\t300\r\n"_qs + u"青果\tみかん\t1.5\tkg\t200\t300\r\n"_qs);
        t.open(ImportKind::Lines);
        t.choose(data);
        const FileDialogRequest request = t.prompter.shown().constLast().file;
        QCOMPARE(request.filter, u"DAT形式のファイル (*.dat)|*.dat|タブ区切りのテキストファイル (*.txt)|*.txt"_qs);
        QCOMPARE(request.filterIndex, 2);
        QCOMPARE(t.w.screen->focusWidget(), t.w.find<QWidget>("Command1"));

        // The assignment dialog opens on the file: its headings offered, the ones named like a
        // field assigned already; the user assigns the others from the list.
        QStringList offered, grid;
        t.modals.steps["DialogTabA"] = [&](QDialog* tab) {
            QTRY_VERIFY(tab->findChild<QComboBox*>(u"Combo1"_qs)->isEnabled());
            QCOMPARE(tab->findChild<QLineEdit*>(u"Text2"_qs)->text(), data);
            auto* combo = tab->findChild<QComboBox*>(u"Combo1"_qs);
            auto* table = tab->findChild<QTableWidget*>(u"MSFlexGrid1"_qs);
            offered = ScreenTest::itemTexts(combo);
            QCOMPARE(ScreenTest::columnTexts(table, 1), cells(u"|品名||単位|単価||"_qs));
            const QStringList chosen = cells(u"分類||数|||金額|金額"_qs);
            for (int row = 0; row < chosen.size(); ++row) {
                if (chosen[row].isEmpty())
                    continue;
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                                  table->visualRect(table->model()->index(row, 0)).center());
                QVERIFY(ScreenTest::chooseFromList(combo, chosen[row]));
            }
            // 備考 taken back again; from the grid, Tab goes on to OK.
            tab->findChild<QPushButton*>(u"Command5"_qs)->click();
            table->setFocus();
            QTest::keyClick(table, Qt::Key_Tab);
            QCOMPARE(tab->focusWidget(), tab->findChild<QWidget*>(u"Command3"_qs));
            grid = ScreenTest::columnTexts(table, 1);
            tab->findChild<QPushButton*>(u"Command3"_qs)->click();
        };
        t.prompter.answerAsk(true);
        t.w.click("Command1");
        QCOMPARE(offered, Heading.trimmed().split(QLatin1Char('\t')));
        QCOMPARE(grid, cells(u"分類|品名|数|単位|単価|金額|"_qs));
        QCOMPARE(readAll(mappingPath(t.env.paths(), ImportKind::Lines)), LinesMapping);
        QCOMPARE(t.prompter.texts().constLast(),
                 u"設定ファイルが見つかりませんでした。インポートの設定を行います。"_qs);
        QCOMPARE(t.w.find<QLineEdit>("txtFileName")->text(), data);
        QVERIFY(t.w.find<QPushButton>("Command1")->isEnabled());
        QVERIFY(linesOf(t.db()).isEmpty());

        t.prompter.clear();
        t.answer({ true, true });
        t.w.click("Command1");
        QCOMPARE(t.prompter.texts(),
                 (QStringList { u"インポートする棚卸データの決算日は、2026/03/31です。よろしいですか。"_qs,
                                u"データ件数は、2件です。インポートを開始しますか。"_qs,
                                u"棚卸のインポートは正常に完了しました。"_qs }));
        QCOMPARE(linesOf(t.db()),
                 (QStringList { u"2026-03-31|1|りんご|3|箱|100|300"_qs, u"2026-03-31|1|みかん|1.5|kg|200|300"_qs }));
        QCOMPARE(t.label("Label2"), u"棚卸表　入力件数       2 件"_qs);
        QCOMPARE(t.label("Label3"), u"項目/分類情報　新規登録件数　1 件"_qs);
        QCOMPARE(t.label("Label5"), u"品名情報　新規登録件数　 　　2 件"_qs);
        QVERIFY(!t.w.find<QLabel>("Label4")->isVisible());
        QVERIFY(!t.w.find<QPushButton>("Command1")->isEnabled());

        // A bad file next: its line named, and the good run's counts no longer shown beside it.
        t.choose(
            t.file(u"bad.txt"_qs,
                   Heading + u"青果\tりんご\t3\t箱\t100\t300\r\n"_qs + u"果物\tみかん\t多い\tkg\t200\t300\r\n"_qs));
        t.answer({ true, true, true });
        t.w.click("Command1");
        QCOMPARE(t.prompter.texts().constLast(),
                 QStringLiteral("インポートに失敗しました。棚卸データは取り込まれていません。\n"
                                "行 3: 数量は数字で入力してください。"));
        QCOMPARE(t.label("Label2"), QString());
        QVERIFY(!t.w.find<QLabel>("Label4")->isVisible());
    }

    void headingsUnlikeTheSavedOnesAreShownMarkedBeforeAnything()
    {
        ImportDialogTest t;
        saveMapping(t.env, ImportKind::Lines);
        const QString mappingFile = mappingPath(t.env.paths(), ImportKind::Lines);
        // 品名 and 分類 the other way round, 金額 renamed.
        const QString data
            = t.file(u"swapped.txt"_qs, u"品名\t分類\t数\t単位\t単価\t価格\r\nりんご\t青果\t3\t箱\t100\t300\r\n"_qs);
        t.open(ImportKind::Lines);
        // Imports the file; the assignment dialog is looked at, worked and closed with the button.
        QStringList seen;
        const auto run = [&](std::initializer_list<bool> answers, const char* button,
                             const std::function<void(QDialog*)>& work = {}) {
            t.modals.steps["DialogTabA"] = [&seen, button, work](QDialog* tab) {
                QTRY_VERIFY(tab->findChild<QComboBox*>(u"Combo1"_qs)->isEnabled());
                seen = assignmentRows(tab);
                if (work)
                    work(tab);
                tab->findChild<QPushButton*>(QString::fromLatin1(button))->click();
            };
            t.choose(data);
            t.answer(answers);
            t.w.click("Command1");
        };

        // Each field takes the column its saved heading has moved to; one whose heading is gone
        // keeps its place. Assigning a marked row anew takes its mark away; ｷｬﾝｾﾙ writes nothing.
        QStringList reassigned;
        QString note;
        run({ true }, "Command4", [&](QDialog* tab) {
            note = tab->findChild<QLabel*>(u"Label4"_qs)->isVisible() ? tab->findChild<QLabel*>(u"Label4"_qs)->text()
                                                                      : QString();
            QVERIFY(ScreenTest::clickCell(tab->findChild<QTableWidget*>(u"MSFlexGrid1"_qs), 5, 0));
            QVERIFY(ScreenTest::chooseFromList(tab->findChild<QComboBox*>(u"Combo1"_qs), u"数"_qs));
            reassigned = assignmentRows(tab);
        });
        const QString moved = u"！|分類|保存時の見出しは「分類」、ファイルの 1 列目は「品名」（「分類」は 2 列目）\n"
                              "＊！|品名|保存時の見出しは「品名」、ファイルの 2 列目は「分類」（「品名」は 1 列目）\n"
                              "|数|\n|単位|\n|単価|\n"_qs;
        QCOMPARE(seen.join(u'\n'), moved + u"！|価格|保存時の見出しは「金額」、ファイルの 6 列目は「価格」\n||"_qs);
        QVERIFY2(note.startsWith(u"！印の項目は、"_qs), qPrintable(note));
        QCOMPARE(reassigned.join(u'\n'), moved + u"|数|\n||"_qs);
        QCOMPARE(t.prompter.texts(),
                 QStringList { u"インポートする棚卸データの決算日は、2026/03/31です。よろしいですか。"_qs });
        QCOMPARE(readAll(mappingFile), LinesMapping);
        QVERIFY(linesOf(t.db()).isEmpty());

        // OK takes the marked assignment as shown, and the run goes on with it.
        run({ true, true }, "Command3");
        QCOMPARE(t.prompter.texts().constLast(), u"棚卸のインポートは正常に完了しました。"_qs);
        QCOMPARE(linesOf(t.db()), QStringList { u"2026-03-31|1|りんご|3|箱|100|300"_qs });
        QCOMPARE(readAll(mappingFile),
                 "分類\r\n2\r\n品名\r\n1\r\n数\r\n3\r\n単位\r\n4\r\n単価\r\n5\r\n価格\r\n6\r\n\r\n0\r\n");

        // The same layout again goes in without the assignment dialog.
        seen.clear();
        run({ true, true, true }, "Command3");
        QCOMPARE(seen, QStringList());
        QCOMPARE(linesOf(t.db()).size(), 2);

        // An assignment kept as positions alone is shown marked once: OK records the headings
        // (and, as ever, the fields without a column take the one headed with their label).
        t.env.writeFile(mappingFile, "\r\n2\r\n\r\n1\r\n\r\n0\r\n\r\n0\r\n\r\n0\r\n\r\n6\r\n\r\n0\r\n");
        run({ true, true, true }, "Command3");
        QCOMPARE(seen.join(u'\n'),
                 u"！|分類|保存時の見出しは記録なし、ファイルの 2 列目は「分類」\n"
                 "＊！|品名|保存時の見出しは記録なし、ファイルの 1 列目は「品名」\n"
                 "||\n|単位|\n|単価|\n！|価格|保存時の見出しは記録なし、ファイルの 6 列目は「価格」\n||"_qs);
        QCOMPARE(linesOf(t.db()).size(), 3);
        QCOMPARE(readAll(mappingFile),
                 "分類\r\n2\r\n品名\r\n1\r\n\r\n0\r\n単位\r\n4\r\n単価\r\n5\r\n価格\r\n6\r\n\r\n0\r\n");
    }

    void existingLinesAskedStopEndsWithNothingWritten()
    {
        ImportDialogTest t;
        saveMapping(t.env, ImportKind::Lines);
        QString text = Heading;
        for (int i = 0; i < 150000; ++i)
            text += u"分類%1\t品名%2\t1\t個\t10\t10\r\n"_qs.arg(i % 40).arg(i % 7000);
        const QString data = t.file(u"large.txt"_qs, text);
        QVERIFY(addSampleLines(t.db(), 1));
        t.open(ImportKind::Lines);
        // Another program holding the database: the lines cannot be looked for, and it is said why.
        Database holder;
        QVERIFY(holder.open(t.db().fileName()));
        QVERIFY(holder.exec(u"BEGIN EXCLUSIVE"_qs));
        QVERIFY(holder.exec(QStringLiteral(R"(DELETE FROM "項目分類" WHERE "項目ID" = 0)")));
        t.choose(data);
        t.answer({ true, true });
        t.w.click("Command1");
        QCOMPARE(t.prompter.texts().constLast(),
                 u"データベースの接続に失敗しました。\rほかのプログラムがファイルを使用中です。"_qs);
        QVERIFY(holder.exec(u"ROLLBACK"_qs));

        // No to the existing lines: nothing runs, and the file must be chosen again.
        t.choose(data);
        t.answer({ true, true, false });
        t.w.click("Command1");
        QCOMPARE(t.prompter.texts().constLast(),
                 u"既に棚卸表に2026/03/31日付のデータがあります。インポートを続けますか？"_qs);
        QVERIFY(!t.w.find<QPushButton>("Command1")->isEnabled());

        // Yes, then 中止 pressed while it runs.
        t.choose(data);
        t.answer({ true, true, true });
        auto* stop = t.w.find<QPushButton>("cmdStop");
        bool pressed = false;
        QTimer::singleShot(0, stop, [&] {
            pressed = stop->isEnabled() && t.w.find<QLabel>("Label4")->isVisible();
            QTest::keyClick(stop, Qt::Key_Space);
        });
        t.w.click("Command1");
        QVERIFY(pressed);
        QCOMPARE(t.prompter.texts().constLast(), u"インポートを中止しました。データは取り込まれていません。"_qs);
        QCOMPARE(rowCount(t.db(), Table::Tana), 1);
        QVERIFY(!stop->isEnabled());
    }

    // A file with nothing to import says so in one message, in the dialog as on the command
    // line, whether it is empty, of empty lines or of its heading alone.
    void aFileWithoutRecordsIsToldAlike_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no byte") << QByteArray();
        QTest::newRow("empty lines") << QByteArray("\r\n\r\n");
        QTest::newRow("heading alone") << QByteArray("HEADING");
    }

    void aFileWithoutRecordsIsToldAlike()
    {
        QFETCH(QByteArray, bytes);
        for (const ImportKind kind : { ImportKind::Lines, ImportKind::Products }) {
            ImportDialogTest t;
            saveMapping(t.env, kind);
            // The headings the saved assignment was made for.
            const QByteArray heading = kind == ImportKind::Lines ? Heading.toUtf8() : "品名\t単位\t単価\r\n";
            const QString data = t.env.writeFile(u"空.txt"_qs, bytes == "HEADING" ? heading : bytes);
            const QString told = importFailedMessage(kind) + u'\n' + noRecordsMessage();
            t.open(kind);
            t.choose(data);
            if (kind == ImportKind::Lines)
                t.answer({ true }); // the settlement date
            t.w.click("Command1");
            QCOMPARE(t.prompter.texts().constLast(), told);
            QVERIFY(!t.prompter.texts().join(u'\n').contains(u"件です"_qs));

            QStringList args { u"import"_qs, kind == ImportKind::Lines ? u"lines"_qs : u"products"_qs,
                               t.db().fileName(), u"--file"_qs, data };
            if (kind == ImportKind::Lines)
                args << u"--date"_qs << u"2026-03-31"_qs;
            const Run r = kotrina(args);
            QCOMPARE(r.err, u"kotrina: "_qs + told + u'\n');
            QCOMPARE(r.status, 2);
            QCOMPARE(rowCount(t.db(), Table::Tana) + rowCount(t.db(), Table::Shohin), 0);
        }
    }

    // Each kind of file is looked for where the last one of its kind was chosen, in this run
    // and the next; a folder that is gone leaves the choice to the dialog.
    void fileDialogsStartWhereTheirKindWasLastChosen()
    {
        ImportDialogTest t;
        QVERIFY(QDir().mkpath(t.env.path(u"棚卸/2026"_qs)));
        QVERIFY(QDir().mkpath(t.env.path(u"品名"_qs)));
        const QString lines = t.env.writeFile(u"棚卸/2026/a.txt"_qs, Heading.toUtf8());
        const QString products = t.env.writeFile(u"品名/b.txt"_qs, "品名\r\n");
        const auto startedIn = [&] { return t.prompter.shown().constLast().file.directory; };

        t.open(ImportKind::Lines);
        t.choose(lines);
        QCOMPARE(startedIn(), QString());
        t.choose(lines);
        QCOMPARE(startedIn(), t.env.path(u"棚卸/2026"_qs));
        t.prompter.answerFile(std::nullopt); // cancelled: the folder stays
        t.w.click("Command2");
        t.choose(lines);
        QCOMPARE(startedIn(), t.env.path(u"棚卸/2026"_qs));
        delete t.w.screen;

        t.open(ImportKind::Products);
        t.choose(products);
        QCOMPARE(startedIn(), QString());
        // The assignment dialog's 参照 is the same kind of file.
        t.modals.steps["DialogTabB"] = [&](QDialog* tab) {
            t.prompter.answerFile(products);
            tab->findChild<QPushButton*>(u"Command1"_qs)->click();
            QCOMPARE(startedIn(), t.env.path(u"品名"_qs));
            tab->reject();
        };
        t.w.click("Command3");
        delete t.w.screen;

        // The next run of the program reads the folders from the settings.
        QVERIFY(t.settings.sync());
        Settings next(t.env.settingsFile(), t.clock);
        QVERIFY(QDir(t.env.path(u"品名"_qs)).removeRecursively());
        t.prompter.answerFile(std::nullopt);
        t.prompter.answerFile(std::nullopt);
        openFileIn(FileFolder::ImportLines, next, t.prompter, {});
        QCOMPARE(startedIn(), t.env.path(u"棚卸/2026"_qs));
        openFileIn(FileFolder::ImportProducts, next, t.prompter, {});
        QCOMPARE(startedIn(), QString());
    }

    void knownProductsUpdatedOnlyWhenChecked_data() { ScreenTest::addNoAndYes(); }
    void knownProductsUpdatedOnlyWhenChecked()
    {
        QFETCH(bool, yes);
        ImportDialogTest t;
        saveMapping(t.env, ImportKind::Products);
        QVERIFY(t.db().exec(QStringLiteral(R"(INSERT INTO "仕入商品" VALUES (1, 'りんご', 100, '個'))")));
        // Saved before the codes, the assignment takes the file's JANコード column by its heading.
        const QString data = t.file(u"products.txt"_qs,
                                    u"品名\t単位\t単価\tJANコード\r\nりんご\t箱\t150\t49123456\r\n"
                                    "\t個\t1\t\r\nみかん\tkg\t80.5\t4512345678906\r\n"_qs);
        t.open(ImportKind::Products);
        auto* check = t.w.find<QCheckBox>("Check1");
        if (check->isChecked() != yes)
            QTest::keyClick(check, Qt::Key_Space);
        t.choose(data);
        t.answer({ true });
        t.w.click("Command1");
        QCOMPARE(t.prompter.texts(),
                 (QStringList { u"データ件数は、3件です。インポートを開始しますか。"_qs,
                                u"棚卸表のインポートは正常に完了しました。"_qs }));
        QCOMPARE(t.label("Label5"), u"品名情報　新規登録件数　 　　1 件"_qs);
        QCOMPARE(rows(t.db(), u"SELECT 品名, 単価, 単位 FROM 仕入商品 ORDER BY 品名ID"_qs),
                 (QStringList { yes ? u"りんご|150|箱"_qs : u"りんご|100|個"_qs, u"みかん|80|kg"_qs }));
        QCOMPARE(rows(t.db(), u"SELECT 品名ID, コード FROM 商品コード ORDER BY 品名ID"_qs),
                 yes ? (QStringList { u"1|49123456"_qs, u"2|4512345678906"_qs })
                     : QStringList { u"2|4512345678906"_qs });

        // A bad price: the product import's own message, and no product added or changed.
        t.choose(t.file(u"bad.txt"_qs, u"品名\t単位\t単価\r\nみかん\t箱\t1\r\nぶどう\t房\t高い\r\n"_qs));
        t.answer({ true });
        t.w.click("Command1");
        QCOMPARE(t.prompter.texts().constLast(),
                 u"インポートに失敗しました。品名情報は変更されていません。\n行 3: 単価は数字で入力してください。"_qs);
        QCOMPARE(rows(t.db(), u"SELECT 品名, 単価, 単位 FROM 仕入商品 ORDER BY 品名ID"_qs),
                 (QStringList { yes ? u"りんご|150|箱"_qs : u"りんご|100|個"_qs, u"みかん|80|kg"_qs }));
    }

    // A mapping saved before the codes (six lines) reads with no code column; the user
    // assigns one in the grid, and with Check1 on a known product gets the file's codes.
    void codesAssignedInTheGridGoToNewAndKnownProducts()
    {
        ImportDialogTest t;
        saveMapping(t.env, ImportKind::Products);
        QVERIFY(t.db().exec(QStringLiteral(R"(INSERT INTO "仕入商品" VALUES (1, 'りんご', 100, '個'))")));
        const QString data = t.file(u"products.txt"_qs,
                                    u"品名\t単位\t単価\tJAN\r\n"
                                    "りんご\t個\t100\t4901234567894\r\n"
                                    "みかん\t箱\t80\t4512345678906;４９１２３４５６\r\n"_qs);
        t.open(ImportKind::Products);
        QStringList before, after;
        t.modals.steps["DialogTabB"] = [&](QDialog* tab) {
            auto* table = tab->findChild<QTableWidget*>(u"MSFlexGrid1"_qs);
            auto* combo = tab->findChild<QComboBox*>(u"Combo1"_qs);
            t.prompter.answerFile(data);
            tab->findChild<QPushButton*>(u"Command1"_qs)->click();
            QTRY_VERIFY(combo->isEnabled());
            before = ScreenTest::columnTexts(table, 0) + ScreenTest::columnTexts(table, 1);
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                              table->visualRect(table->model()->index(3, 0)).center());
            QVERIFY(ScreenTest::chooseFromList(combo, u"JAN"_qs));
            after = ScreenTest::columnTexts(table, 1);
            tab->findChild<QPushButton*>(u"Command3"_qs)->click();
        };
        t.w.click("Command3");
        QCOMPARE(before, cells(u"品名|単位|単価|JANコード|品名|単位|単価|"_qs));
        QCOMPARE(after, cells(u"品名|単位|単価|JAN"_qs));
        QCOMPARE(QString::fromUtf8(readAll(mappingPath(t.env.paths(), ImportKind::Products))),
                 u"品名\r\n1\r\n単位\r\n2\r\n単価\r\n3\r\nJAN\r\n4\r\n"_qs);
        QCOMPARE(t.w.find<QLineEdit>("txtFileName")->text(), data);

        const auto codes = [&t] {
            return rows(t.db(),
                        u"SELECT s.品名, c.コード FROM 商品コード c JOIN 仕入商品 s USING (品名ID) "
                        "ORDER BY c.品名ID, c.順番"_qs);
        };
        auto* check = t.w.find<QCheckBox>("Check1");
        if (check->isChecked())
            QTest::keyClick(check, Qt::Key_Space);
        t.answer({ true });
        t.w.click("Command1");
        QCOMPARE(t.prompter.texts().constLast(), u"棚卸表のインポートは正常に完了しました。"_qs);
        QCOMPARE(codes(), (QStringList { u"みかん|4512345678906"_qs, u"みかん|49123456"_qs }));

        // Check1 on: the known product gets its code too.
        QTest::keyClick(check, Qt::Key_Space);
        QVERIFY(check->isChecked());
        t.choose(data);
        t.answer({ true });
        t.w.click("Command1");
        QCOMPARE(t.prompter.texts().constLast(), u"棚卸表のインポートは正常に完了しました。"_qs);
        QCOMPARE(codes(),
                 (QStringList { u"りんご|4901234567894"_qs, u"みかん|4512345678906"_qs, u"みかん|49123456"_qs }));

        // A wrong check digit: the import's own message with the row, nothing changed.
        t.choose(t.file(u"bad.txt"_qs, u"品名\t単位\t単価\tJAN\r\nぶどう\t房\t300\t4901234567894; 49012344\r\n"_qs));
        t.answer({ true });
        t.w.click("Command1");
        QCOMPARE(t.prompter.texts().constLast(),
                 u"インポートに失敗しました。品名情報は変更されていません。\n"
                 "行 2: コード 49012344 のチェックデジット（最後の桁）が違います。最後の桁は 7 のはずです。"_qs);
        QCOMPARE(rowCount(t.db(), Table::Shohin), 2);
    }

    void settingsWithoutAFileThenChosenThere()
    {
        ImportDialogTest t;
        const QString data = t.file(u"商品.txt"_qs, u"コード\t品名\t単価\r\n1\tりんご\t100\r\n"_qs);
        t.open(ImportKind::Products);
        QStringList texts;
        t.modals.steps["DialogTabB"] = [&](QDialog* tab) {
            auto* table = tab->findChild<QTableWidget*>(u"MSFlexGrid1"_qs);
            QVERIFY(!tab->findChild<QComboBox*>(u"Combo1"_qs)->isEnabled());
            // OK without a product name column stays.
            tab->findChild<QPushButton*>(u"Command3"_qs)->click();
            QVERIFY(tab->isVisible());
            t.prompter.answerFile(data);
            tab->findChild<QPushButton*>(u"Command1"_qs)->click();
            texts = ScreenTest::columnTexts(table, 1);
            tab->findChild<QPushButton*>(u"Command3"_qs)->click();
        };
        t.w.click("Command3");
        QCOMPARE(t.prompter.texts(), QStringList { u"品名の項目が設定されていません。"_qs });
        QCOMPARE(texts, cells(u"品名||単価|"_qs));
        QCOMPARE(QString::fromUtf8(readAll(mappingPath(t.env.paths(), ImportKind::Products))),
                 u"品名\r\n2\r\n\r\n0\r\n単価\r\n3\r\n\r\n0\r\n"_qs);
        QCOMPARE(t.w.find<QLineEdit>("txtFileName")->text(), data);
        QVERIFY(t.w.find<QPushButton>("Command1")->isEnabled());
    }

    void openedFromTheMainWindowAndTheProductScreen()
    {
        MainWindow m;
        m.start(m.env.newDatabase());
        saveMapping(m.env, ImportKind::Lines);
        const QString data = m.env.writeFile(u"a.txt"_qs, (Heading + u"\tりんご\t2\t個\t50\t100\r\n"_qs).toUtf8());
        // The entry screen open beside it shows the imported line afterwards.
        m.trigger("mnuPreTana");
        auto* entry = m.window->findChild<QWidget*>(u"frmTana"_qs);
        QVERIFY(entry);
        m.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m.window.get()));
        QString result;
        m.modals.steps["DialogExcelA"] = [&](QDialog* dialog) {
            m.prompter.answerFile(data);
            dialog->findChild<QPushButton*>(u"Command2"_qs)->click();
            m.prompter.answerAsk(true);
            m.prompter.answerAsk(true);
            dialog->findChild<QPushButton*>(u"Command1"_qs)->click();
            result = dialog->findChild<QLabel*>(u"Label2"_qs)->text();
        };
        QTest::keyClick(m.window.get(), Qt::Key_T, Qt::AltModifier);
        QTRY_COMPARE(result, u"棚卸表　入力件数       1 件"_qs);
        QCOMPARE(entry->findChild<QLineEdit*>(u"Text3"_qs)->text(), u"Max Record 1   Total 100"_qs);
        entry->close();

        // The product screen closes for the product import; the menu opens it as well.
        m.modals.steps["frmInShohin"]
            = [](QDialog* products) { products->findChild<QPushButton*>(u"Command1"_qs)->click(); };
        m.trigger("Command33");
        QTRY_COMPARE(m.modals.screens.size(), 3);
        m.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m.window.get()));
        QTest::keyClick(m.window.get(), Qt::Key_A, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_S);
        QTRY_COMPARE(m.modals.screens,
                     (QStringList { u"DialogExcelA"_qs, u"frmInShohin"_qs, u"DialogExcelB"_qs, u"DialogExcelB"_qs }));
    }
};

KOTRINA_REGISTER_TEST(TestImportDialogs)
#include "TestImportDialogs.moc"
