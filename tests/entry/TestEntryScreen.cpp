// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "OutsideFile.h"
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/LookupCombo.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace {

struct CountingInputMethod final : InputMethod
{
    int opened = 0;
    void open() override { ++opened; }
};

// The entry screen on a fresh database, with the day fixed and every dialog scripted.
struct EntryScreen : TestSession, ScreenTest::Driver<frmTana>
{
    CountingInputMethod ime;
    ModalAnswerer modals;

    EntryScreen() { state.inputMethod = &ime; }

    void open(bool withProducts = true)
    {
        QVERIFY(openNewDatabase());
        if (withProducts)
            QVERIFY(db().exec(uR"(INSERT INTO "仕入商品" VALUES (1, 'みかん', 80, '箱'), (2, 'なし', NULL, NULL))"_qs));
        screen = new frmTana(state, QDate(2026, 3, 31));
        ScreenTest::showActive(screen);
    }

    QString text(const char* name) const
    {
        if (auto* combo = find<LookupCombo>(name))
            return combo->text();
        return find<QLineEdit>(name)->text();
    }
    // What the boxes hold, from 項目/分類 to the status line.
    QStringList texts() const
    {
        QStringList all;
        for (const char* name : { "dbcNouhin", "dbcShohin", "dbcTani", "txtCnt", "txtTanka", "txtMemo", "Text3" })
            all << text(name);
        return all;
    }
    QColor addButtonFace() const // left of the caption
    {
        const QImage image = find("cmdSubAdd")->grab().toImage();
        return image.pixelColor(image.width() / 8, image.height() / 2);
    }
    QWidget* focus() const { return QApplication::focusWidget(); }
    void fill(const char* name, const QString& text) { ScreenTest::replaceText(find(name), text); }

    // Types into the focused field (nothing, for an empty text) and presses Enter, as a user does.
    void type(const QString& text)
    {
        ScreenTest::type(focus(), text);
        QTest::keyClick(focus(), Qt::Key_Return);
        ScreenTest::settle();
    }
    // The fields of a line a user sees in the grid, and how many lines there are.
    QVariantList line(int id) const
    {
        QVariantList fields;
        for (const char* column : { "項目ID", "品名", "数量", "単位", "単価", "価格", "備考", "品名ID" })
            fields << lineField(db(), id, column);
        return fields;
    }
    int lineCount() const { return rowCount(db(), Table::Tana); }
};

} // namespace

// The entry screen driven as a user drives it: typing, Enter, 入力.
class TestEntryScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typeALine();
    void productFillsUnitPriceAndHistory();
    void refusalsAndQuestions();
    void nameLimits();
    void helpOnceOnEmptyProducts();
    void newLinesJoinALongDay();
    void statusLineCountsWhatOthersChanged();
    void numberLimits();
    void unreadableLinesSaySo();
    void fileInUseMovedOrFull();
};

void TestEntryScreen::typeALine()
{
    EntryScreen e;
    e.open();
    QCOMPARE(e.focus(), e.find("dbcNouhin"));
    QVERIFY(e.ime.opened > 0);
    QCOMPARE(e.text("Text3"), u"Max Record 0   Total "_qs);
    QVERIFY(!e.find("cmdMasterCancel")->isEnabled());

    e.type(u"食品"_qs);
    QCOMPARE(e.text("Text1"), u"1"_qs); // registered on leaving
    QCOMPARE(e.focus(), e.find("dbcShohin"));
    e.type(u"りんご"_qs);
    QCOMPARE(e.focus(), e.find("dbcTani"));
    e.type(u"個"_qs);
    e.type(u"3"_qs);
    QCOMPARE(e.focus(), e.find("txtTanka"));
    const QColor empty = e.addButtonFace();
    e.type(u"12.5"_qs);
    // 入力 turns white once the line is complete, where this style draws a light grey face.
    QVERIFY2(e.addButtonFace().lightness() >= 250 && e.addButtonFace().lightness() > empty.lightness() + 5,
             qPrintable(empty.name()));
    e.type(u"棚A"_qs);
    QCOMPARE(e.focus(), e.find("cmdSubAdd"));
    e.click("cmdSubAdd");

    QVERIFY(e.prompter.shown().isEmpty());
    QCOMPARE(e.line(1), QVariantList({ 1, u"りんご"_qs, 3.0, u"個"_qs, 12.5, 37.0, u"棚A"_qs, 3 }));
    // The category and the memo stay for the next line; the rest is emptied.
    QCOMPARE(e.texts(), QStringList({ "食品", "", "", "", "", "棚A", "Max Record 1   Total 37" }));
    QCOMPARE(e.focus(), e.find("dbcShohin"));
    QCOMPARE(e.find<QTableView>("dgdSub")->model()->rowCount(), 1);

    // The same product again: its unit and price come with it.
    e.type(u"りんご"_qs);
    e.type(QString());
    e.type(u"１，０００"_qs);
    e.click("cmdSubAdd");
    QCOMPARE(lineField(e.db(), 2, "価格").toDouble(), 12500.0);
    QCOMPARE(e.text("Text3"), u"Max Record 2   Total 12,537"_qs);

    // A line chosen in the grid is deleted after Yes only.
    QVERIFY(ScreenTest::clickCell(e.find<QTableView>("dgdSub"), 0, 3));
    e.prompter.answerAsk(false);
    e.click("cmdMasterCancel");
    QCOMPARE(e.lineCount(), 2);
    e.prompter.answerAsk(true);
    e.click("cmdMasterCancel");
    QCOMPARE(e.prompter.texts(), QStringList(2, u"表示中のレコードを削除します。よろしいですか。"_qs));
    QCOMPARE(e.lineCount(), 1);
    QVERIFY(!lineField(e.db(), 1, "ID").isValid());
    QCOMPARE(e.text("Text3"), u"Max Record 1   Total 12,500"_qs);
}

void TestEntryScreen::productFillsUnitPriceAndHistory()
{
    EntryScreen e;
    e.open();
    QVERIFY(e.state.DatabaseConnection.exec(
        uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "品名", "数量", "単位", "単価") VALUES
            (1, '2024-03-31', 'みかん', 5, '箱', 70), (2, '2025-03-31', '小みかん', 7, 'kg', 75))"_qs));
    e.find("dbcShohin")->setFocus();
    e.type(u"みかん"_qs);
    QCOMPARE(e.text("Text2"), u"1"_qs);
    QCOMPARE(e.texts().mid(2, 3), QStringList({ "箱", "", "80" }));
    auto* history = e.find<QTableWidget>("MSFlexGrid1");
    QCOMPARE(ScreenTest::columnTexts(history, 0), QStringList({ "2025/03/31", "2024/03/31" }));
    // A click takes quantity, unit and unit price over.
    QVERIFY(ScreenTest::clickCell(history, 1, 2));
    QVERIFY(ScreenTest::clickCell(history, 0, 3));
    QVERIFY(ScreenTest::clickCell(history, 1, 4));
    QCOMPARE(e.texts().mid(2, 3), QStringList({ "kg", "5", "70" }));

    // A product without a price leaves the price box as it was.
    e.fill("dbcShohin", u"なし"_qs);
    e.find("txtMemo")->setFocus();
    ScreenTest::settle();
    QCOMPARE(e.text("txtTanka"), u"70"_qs);

    // The newest 500 lines are listed, and a last row says there are more; a click on it takes nothing over.
    QVERIFY(e.db().exec(uR"(WITH RECURSIVE n(i) AS (SELECT 3 UNION ALL SELECT i + 1 FROM n WHERE i < 501)
        INSERT INTO "棚卸マスター" ("ID", "日付", "品名", "数量") SELECT i, '2023-03-31', 'みかん', i FROM n)"_qs));
    e.fill("dbcShohin", u"みかん"_qs);
    e.type({});
    QCOMPARE(history->rowCount(), 501);
    QCOMPARE(history->item(500, 1)->text(), u"…ほかにも該当があります（新しい500件を表示）"_qs);
    QVERIFY(ScreenTest::clickCell(history, 500, 2));
    QCOMPARE(e.text("txtCnt"), u"5"_qs);
}

void TestEntryScreen::refusalsAndQuestions()
{
    EntryScreen e;
    e.open();
    // Without a category the user is asked once whether to go on without one.
    const QString question = u"項目/分類名が選択されていません。項目/分類は無視しますか？"_qs;
    QString product = u"りんご"_qs;
    auto fill = [&](const QString& count, const QString& price) {
        e.fill("dbcShohin", product);
        e.fill("txtCnt", count);
        e.fill("txtTanka", price);
    };
    fill(u"1"_qs, u"10"_qs);
    e.prompter.answerAsk(false);
    e.click("cmdSubAdd");
    QCOMPARE(e.focus(), e.find("dbcNouhin"));
    QCOMPARE(e.lineCount(), 0);
    e.prompter.answerAsk(true);
    e.click("cmdSubAdd");
    fill(u"1"_qs, u"10"_qs);
    e.click("cmdSubAdd"); // not asked again
    QCOMPARE(e.prompter.texts(), QStringList({ question, question }));
    QCOMPARE(e.lineCount(), 2);
    QCOMPARE(lineField(e.db(), 2, "項目ID").toInt(), 0);
    QVERIFY(e.prompter.problems().isEmpty());

    // Numbers that are none are refused, the box keeps the focus and no product is added.
    e.prompter.clear();
    product = u"ぶどう"_qs;
    e.fill("dbcNouhin", u"食品"_qs);
    fill(u"三個"_qs, u"100"_qs);
    e.click("cmdSubAdd");
    QCOMPARE(e.prompter.texts(), QStringList { u"数量は数字で入力してください。"_qs });
    QCOMPARE(e.focus(), e.find("txtCnt"));
    e.prompter.clear();
    fill(u"３"_qs, u"百円"_qs);
    e.click("cmdSubAdd");
    QCOMPARE(e.prompter.texts(), QStringList { u"単価は数字で入力してください。"_qs });
    QCOMPARE(e.focus(), e.find("txtTanka"));
    QCOMPARE(e.lineCount(), 2);
    QCOMPARE(rowCount(e.db(), Table::Shohin), 3);

    // The empty checks, in order; an empty unit price goes on as 0.
    e.prompter.clear();
    e.fill("dbcShohin", QString());
    e.click("cmdSubAdd");
    fill(QString(), u"1"_qs);
    e.click("cmdSubAdd");
    fill(u"3"_qs, QString());
    e.click("cmdSubAdd");
    QCOMPARE(e.prompter.texts(),
             QStringList({ u"商品が選択されていません。"_qs, u"数量が入力されていません。"_qs,
                           u"単価が入力されていません。"_qs }));
    QCOMPARE(e.lineCount(), 3);
    QCOMPARE(lineField(e.db(), 3, "価格").toDouble(), 0.0);
}

void TestEntryScreen::nameLimits()
{
    EntryScreen e;
    e.open();
    e.find("dbcShohin")->setFocus();
    e.type(QString(20, QChar(u'品')));
    QVERIFY(e.prompter.texts().isEmpty());
    e.fill("dbcShohin", QString(41, QLatin1Char('x')));
    e.type({});
    QCOMPARE(e.prompter.texts(), QStringList { u"品名は全角で２０文字以内にしてください。"_qs });
    QCOMPARE(e.focus(), e.find("dbcShohin"));
    // A click into the next box does not get past it either.
    QTest::mouseClick(e.find<LookupCombo>("dbcTani")->lineEdit(), Qt::LeftButton);
    ScreenTest::settle();
    QCOMPARE(e.prompter.texts().size(), 2);
    QCOMPARE(e.focus(), e.find("dbcShohin"));

    e.fill("dbcShohin", QString());
    e.prompter.clear();
    e.fill("dbcTani", u"ｹｰｽ"_qs);
    e.type({});
    QVERIFY(e.prompter.texts().isEmpty());
    e.fill("dbcTani", u"ケース"_qs);
    e.type({});
    QCOMPARE(e.prompter.texts(), QStringList { u"単位は全角で２文字以内にしてください。"_qs });
    QCOMPARE(e.focus(), e.find("dbcTani"));
}

void TestEntryScreen::helpOnceOnEmptyProducts()
{
    EntryScreen e;
    e.open(false);
    QCOMPARE(e.modals.tips.size(), 1);
    QVERIFY(e.modals.tips[0].startsWith(u"\n■項目/分類情報の登録\n\n棚卸表入力時に自動的に入力されます。\n"_qs));
    e.screen->activateWindow();
    ScreenTest::settle();
    QCOMPARE(e.modals.tips.size(), 1);
}

void TestEntryScreen::newLinesJoinALongDay()
{
    // The grid reads a day's lines in pages of 256; new lines fill the last page and
    // start the next one, and the status line counts them without counting the day again.
    EntryScreen e;
    e.open();
    QVERIFY(addSampleLines(e.db(), 254));
    e.screen->reload();
    auto* grid = e.find<QTableView>("dgdSub");
    const QString before = e.text("Text3");
    e.type(u"食品"_qs);
    for (int i = 0; i < 3; ++i) {
        e.type(u"新しい品%1"_qs.arg(i));
        e.type(u"個"_qs);
        e.type(u"2"_qs);
        e.type(u"1.5"_qs);
        e.type(QString());
        e.click("cmdSubAdd");
    }
    QVERIFY(e.text("Text3") != before);
    QCOMPARE(e.text("Text3"), statusLineText(e.db(), QDate(2026, 3, 31)));
    QCOMPARE(grid->model()->rowCount(), 257);
    for (int r = 0; r < 257; ++r)
        QCOMPARE(grid->model()->index(r, 3).data().toString(),
                 r < 254 ? u"商品名・サンプル第%1号（特大）"_qs.arg(r) : u"新しい品%1"_qs.arg(r - 254));
    QCOMPARE(grid->currentIndex().row(), 256);
}

void TestEntryScreen::statusLineCountsWhatOthersChanged()
{
    // The status line keeps its figures from one 入力 to the next; the lines another program
    // adds or deletes meanwhile are in the figures the next 入力 shows.
    EntryScreen e;
    e.open();
    const auto enter = [&e](const QString& product, const QString& unitPrice) {
        e.type(product);
        e.type(u"個"_qs);
        e.type(u"2"_qs);
        e.type(unitPrice);
        e.type(QString());
        e.click("cmdSubAdd");
    };
    const auto otherProgram = [&e](const QString& sql) {
        QProcess sqlite;
        sqlite.start(u"/usr/bin/sqlite3"_qs, { e.db().fileName(), sql });
        return sqlite.waitForFinished(30000) && sqlite.exitCode() == 0;
    };
    e.type(u"食品"_qs);
    enter(u"ぶどう"_qs, u"100"_qs);
    QCOMPARE(e.text("Text3"), u"Max Record 1   Total 200"_qs);
    QVERIFY(otherProgram(uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "品名", "価格")
        VALUES (50, '2026-03-31', 'よそで数えた品', 1000))"_qs));
    enter(u"もも"_qs, u"10"_qs);
    QCOMPARE(e.text("Text3"), u"Max Record 3   Total 1,220"_qs);
    QVERIFY(otherProgram(uR"(DELETE FROM "棚卸マスター" WHERE "品名" = 'ぶどう')"_qs));
    enter(u"かき"_qs, u"1"_qs);
    QCOMPARE(e.text("Text3"), u"Max Record 3   Total 1,022"_qs);
}

void TestEntryScreen::numberLimits()
{
    EntryScreen e;
    e.open();
    // Too many digits, then an amount the sheets cannot print: refused, saying the limit.
    for (const char* field : { "日用品", "洗剤", "本", "99999999999999999999999", "4.35" })
        e.type(QString::fromUtf8(field));
    e.click("cmdSubAdd");
    e.find("txtCnt")->setFocus();
    e.type(u"999999999999"_qs);
    e.click("cmdSubAdd");
    QCOMPARE(e.prompter.texts(),
             QStringList({ u"数量は整数部１２桁以内で入力してください。"_qs,
                           u"価格（単価×数量）が整数部１２桁を超えます。数量と単価を確かめてください。"_qs }));
    QCOMPARE(e.lineCount(), 0);
    // The 価格 column shows 13 digits with separators uncut.
    auto* grid = e.find<QTableView>("dgdSub");
    QVERIFY(grid->columnWidth(7) > grid->fontMetrics().horizontalAdvance(u"9,999,999,999,999"_qs));
}

void TestEntryScreen::unreadableLinesSaySo()
{
    EntryScreen e;
    QVERIFY(e.openNewDatabase());
    QVERIFY(e.db().exec(uR"(ALTER TABLE "棚卸マスター" RENAME TO "読めない")"_qs));
    e.screen = new frmTana(e.state, QDate(2026, 3, 31));
    QCOMPARE(e.prompter.texts(), QStringList { u"データベースの接続に失敗しました。"_qs });
    QVERIFY(!e.text("Text3").startsWith(u"Max Record 0"_qs));
}

// Another program holding the file, the file moved or replaced, a full disk: reads give up
// at once and say why; a line the file refuses is named with the reason and stays typed
// until the reason is gone.
void TestEntryScreen::fileInUseMovedOrFull()
{
    EntryScreen e;
    e.open();
    const QString file = e.db().fileName();
    const QString inUse = u"ほかのプログラムがファイルを使用中です。"_qs;
    auto* product = e.find("dbcShohin");
    {
        // Let go after two seconds: a look-up that waited would list the products then, silently.
        ExclusiveLock lock(file, 2);
        QVERIFY(lock.taken());
        QTest::mouseClick(product, Qt::LeftButton);
        ScreenTest::type(product, u"LK"_qs);
        ScreenTest::settle();
        QCOMPARE(e.prompter.texts(), QStringList { u"データベースを読み込めませんでした。\r"_qs + inUse });
        QCOMPARE(e.text("dbcShohin"), u"LK"_qs);
        e.screen->reload();
        QCOMPARE(e.text("Text3"), inUse);
        QCOMPARE(e.prompter.texts().mid(1), QStringList { u"データベースの接続に失敗しました。\r"_qs + inUse });

        // A line waits for the other program's write to end, and goes in.
        e.fill("txtCnt", u"2"_qs);
        e.fill("txtTanka", u"15"_qs);
        e.prompter.answerAsk(true); // without a category
        e.click("cmdSubAdd");
        QCOMPARE(e.lineCount(), 1);
        QVERIFY(lock.released());
    }
    ScreenTest::type(product, u"な"_qs);
    ScreenTest::settle();
    QCOMPARE(e.text("dbcShohin"), u"な"_qs);
    QCOMPARE(ScreenTest::itemTexts(static_cast<QComboBox*>(product)), QStringList { u"なし"_qs });

    const QString refused = u"データベースに書き込めませんでした。この行は登録されていません。\r"_qs;
    const auto refusal = [&] {
        e.click("cmdSubAdd");
        return e.prompter.texts().constLast();
    };
    e.fill("dbcShohin", u"なし"_qs);
    e.fill("txtCnt", u"3"_qs);
    e.fill("txtTanka", u"80"_qs);
    {
        FileSizeLimit full(512);
        QCOMPARE(
            refusal(),
            refused
                + u"ディスクに書き込めませんでした。ディスクの空き容量が足りないか、ファイルの大きさの上限を超えているか、ディスクに異常があります。"_qs);
    }
    {
        // Held for good, the write gives up after its wait.
        ExclusiveLock lock(file);
        QVERIFY(lock.taken());
        QCOMPARE(refusal(), refused + inUse);
    }
    // Moved away, then another file put in its place: nothing goes where nobody would see it.
    const QString aside = file + u".moved"_qs;
    QVERIFY(QFile::rename(file, aside));
    QCOMPARE(refusal(),
             refused
                 + u"ファイル（%1）が見つかりません。ほかのプログラムで削除されたか、移動されています。"_qs.arg(file));
    QVERIFY(QFile::copy(TestEnvironment::buildTemplate(), file));
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(refusal(),
             refused + u"ファイル（%1）は、開いた後でほかのプログラムによって置き換えられています。"_qs.arg(file));
    {
        Database other;
        QVERIFY(other.open(file));
        QCOMPARE(rowCount(other, Table::Tana) + rowCount(other, Table::Shohin), 0);
    }
    QCOMPARE(e.texts().mid(1, 4), QStringList({ u"なし"_qs, QString(), u"3"_qs, u"80"_qs }));
    QVERIFY(QFile::remove(file) && QFile::rename(aside, file));
    e.click("cmdSubAdd");
    QCOMPARE(e.lineCount(), 2);
    QCOMPARE(e.prompter.shown().size(), 7);
}

KOTRINA_REGISTER_TEST(TestEntryScreen)
#include "TestEntryScreen.moc"
