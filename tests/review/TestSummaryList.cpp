// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/review/frmList.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

namespace {

const QString Failed = u"データベースの接続に失敗しました。"_qs;
const QString RepairQuestion
    = u"表示された棚卸は、項目/分類情報が設定されていません。項目IDを「０」に変更しますか？"_qs;

// A hand-made file: line 3 has a category that was deleted, line 6 a product that was
// deleted, 果物 and 野菜 have equal totals, and りんご was counted on an earlier date too.
struct SummaryList : TestSession, ScreenTest::Driver<frmList>
{
    SummaryList()
    {
        openNewDatabase();
        db().exec(uR"(INSERT INTO "項目分類" VALUES (1, '野菜'), (2, '果物'), (3, '乾物'))"_qs);
        db().exec(QStringLiteral(
            R"(INSERT INTO "仕入商品" VALUES (10, 'りんご', 100, '個'), (11, 'みかん', 100, '個'), (12, 'ねぎ', 125, '束'))"));
        db().exec(QStringLiteral(
            R"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格", "品名ID") VALUES
            (1, '2026-03-31', 2, 'りんご', 3, '個', 100, 300, 10),
            (2, '2026-03-31', 1, 'ねぎ', 2, '束', 0, 0, 12),
            (3, '2026-03-31', 9, 'みかん', 5, '個', 100, 500, 11),
            (4, '2026-03-31', 2, 'みかん', 2, '個', 100, 200, 11),
            (5, '2026-03-31', 1, 'ねぎ', 4, '束', 125, 500, 12),
            (6, '2026-03-31', 3, 'のり', 1, '帖', 900, 900, 13),
            (7, '2025-03-31', 2, 'りんご', 9, '個', 90, 810, 10))"));
    }

    void open(QDate date = QDate(2026, 3, 31))
    {
        screen = new frmList(state, date);
        ScreenTest::showActive(screen);
    }
    QTableView* grid() const { return find<QTableView>("dgdSub"); }
    // The texts of a column of the grid, top to bottom.
    QStringList column(int c) const { return ScreenTest::columnTexts(grid(), c); }
    QVariant field(int id, const char* name) const { return lineField(db(), id, name); }
    void choose(const QString& view) { QVERIFY(ScreenTest::chooseFromList(find<QComboBox>("Combo1"), view)); }
    bool buttons(bool print, bool excel) const
    {
        return find<QPushButton>("Command2")->isEnabled() == print
            && find<QPushButton>("Command3")->isEnabled() == excel;
    }
};

} // namespace

class TestSummaryList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void views();
    void checksDatesAndFailures_data() { ScreenTest::addNoAndYes(); }
    void checksDatesAndFailures();
    void readOnlyFileChecksWithoutMarks();
    void productTotalsInJapaneseOrder();
};

void TestSummaryList::views()
{
    SummaryList s;
    s.open();
    // Opening shows all lines of the date with a registered category, in ID order.
    QCOMPARE(s.column(2), QStringList({ "りんご", "ねぎ", "みかん", "ねぎ", "のり" }));
    QCOMPARE(s.column(1), QStringList({ "果物", "野菜", "果物", "野菜", "乾物" }));
    QVERIFY(s.grid()->isColumnHidden(0));
    QCOMPARE(s.grid()->model()->index(0, 3).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));
    QCOMPARE(s.find<QLineEdit>("Text1")->text(), u"Max Record 6   Total 2,400"_qs);
    QVERIFY(s.buttons(true, true));

    s.choose(u"単価未入力の棚卸"_qs);
    QCOMPARE(s.column(2), QStringList { "ねぎ" });
    QVERIFY(s.buttons(false, true));

    // Largest total first; 果物 and 野菜 tie at 500 and stand in Japanese order.
    s.choose(u"項目/分類別集計表"_qs);
    QCOMPARE(s.column(1), QStringList({ "乾物", "果物", "野菜" }));
    QCOMPARE(s.column(2), QStringList({ "900", "500", "500" }));
    QCOMPARE(s.column(3), QStringList({ "1", "2", "2" }));
    QCOMPARE(s.column(0).value(0), u"2026/03/31"_qs);
    QVERIFY(s.buttons(true, false));

    // By product name; りんご of the earlier date does not count, みかん of the deleted category does.
    s.choose(u"品名別集計表"_qs);
    QCOMPARE(s.column(1), QStringList({ "ねぎ", "みかん", "りんご" }));
    QCOMPARE(s.column(2), QStringList({ "500", "700", "300" }));
    QCOMPARE(s.column(3), QStringList({ "2", "2", "1" }));

    // Print closes the list for the summary sheet of the totals shown.
    s.click("Command2");
    QVERIFY(s.screen->printWanted() == SummaryViews::View::ProductTotals);
    QVERIFY(!s.screen->isVisible());
    QVERIFY(s.prompter.texts().isEmpty());
}

void TestSummaryList::checksDatesAndFailures()
{
    QFETCH(bool, yes);
    const bool repair = yes;
    SummaryList s;
    s.open();
    s.db().exec(uR"(UPDATE "棚卸マスター" SET "区分調整" = 1 WHERE "ID" IN (1, 7))"_qs);
    s.prompter.answerAsk(repair);
    s.choose(u"項目/分類情報に登録されていない棚卸"_qs);
    QCOMPARE(s.prompter.texts(), QStringList { RepairQuestion });
    // Every field of the line, ID hidden; the line stays listed either way.
    QCOMPARE(s.grid()->model()->columnCount(), 12);
    QCOMPARE(s.column(0), QStringList { "3" });
    QCOMPARE(s.column(3), QStringList { "みかん" });
    QCOMPARE(s.column(2), QStringList { repair ? "0" : "9" }); // the grid shows the line as it is now
    QVERIFY(s.buttons(false, false));
    // Marks are set for the whole date and only for it.
    QCOMPARE(s.field(1, "区分調整").toInt(), 0);
    QCOMPARE(s.field(7, "区分調整").toInt(), 1);
    QCOMPARE(s.field(3, "項目ID").toInt(), repair ? 0 : 9);
    QCOMPARE(s.field(3, "区分調整").toInt(), repair ? 0 : 1);

    // Moved to 0, the line is shown under 未区分 among all lines.
    s.choose(u"棚卸をすべて表示"_qs);
    QCOMPARE(s.column(2).contains(u"みかん"_qs) && s.column(1).contains(u"未区分"_qs), repair);

    // The product check asks nothing and replaces the category check's marks.
    s.choose(u"品名情報に登録されていない棚卸"_qs);
    QCOMPARE(s.prompter.texts(), QStringList { RepairQuestion });
    QCOMPARE(s.column(0), QStringList { "6" });
    QCOMPARE(s.field(3, "区分調整").toInt(), 0);
    QCOMPARE(s.field(6, "区分調整").toInt(), 1);

    // Coming back to the list from another window shows all lines again.
    s.choose(u"品名別集計表"_qs);
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    s.screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(s.screen));
    ScreenTest::settle();
    QCOMPARE(s.column(2).size(), repair ? 6 : 5);
    QCOMPARE(s.find<QComboBox>("Combo1")->currentText(), u"棚卸をすべて表示"_qs);
    QVERIFY(s.buttons(true, true));

    // Changing the date runs the chosen view for it.
    s.choose(u"品名別集計表"_qs);
    auto* date = s.find("DTPicker1");
    date->setFocus();
    QTest::keyClick(date, Qt::Key_Down); // the year, one down
    ScreenTest::settle();
    QCOMPARE(s.column(1), QStringList { "りんご" });
    QCOMPARE(s.column(2), QStringList { "810" });
    QCOMPARE(s.find<QLineEdit>("Text1")->text(), u"Max Record 1   Total 810"_qs);
    // A date without lines: the check finds nothing and asks nothing.
    QTest::keyClick(date, Qt::Key_Down);
    ScreenTest::settle();
    QCOMPARE(s.find<QLineEdit>("Text1")->text(), u"Max Record 0   Total "_qs);
    s.choose(u"項目/分類情報に登録されていない棚卸"_qs);
    QCOMPARE(s.grid()->model()->rowCount(), 0);
    QCOMPARE(s.prompter.texts(), QStringList { RepairQuestion });

    // A table that cannot be read is said to be so, not shown as a date without lines.
    s.choose(u"品名別集計表"_qs);
    s.db().exec(uR"(ALTER TABLE "仕入商品" RENAME TO "仕入商品2")"_qs);
    s.click("Command1");
    QCOMPARE(s.prompter.texts(), QStringList({ RepairQuestion, Failed }));
    QCOMPARE(s.grid()->model()->rowCount(), 0);
}

void TestSummaryList::readOnlyFileChecksWithoutMarks()
{
    SummaryList s;
    QVERIFY(s.state.DatabaseConnection.open(s.db().fileName(), nullptr, Database::Access::ReadOnly));
    s.open();
    s.choose(u"項目/分類情報に登録されていない棚卸"_qs);
    QCOMPARE(s.column(0), QStringList { "3" });
    s.choose(u"品名情報に登録されていない棚卸"_qs);
    QCOMPARE(s.column(0), QStringList { "6" });
    // Nothing asked, nothing written, nothing failed.
    QVERIFY(s.prompter.shown().isEmpty());
    QCOMPARE(s.field(3, "区分調整").toInt(), 0);
}

void TestSummaryList::productTotalsInJapaneseOrder()
{
    SummaryList s;
    // Counted products, registered in an order that is neither the Japanese one nor that of
    // the names' characters (which would put ボルト before ボールペン, カメラ before ガム,
    // キャベツ before キヤノン, ａｂｃ and １２３ after every kanji).
    const QStringList counted = { "鈴木",   "ボルト", "ぼるとA",  "ﾎﾞｰﾙﾍﾟﾝ",  "ボールペン", "ａｂｃ", "ABC",
                                  "abc",    "１２３", "123",      "20",       "山田",       "佐藤",   "ｱｲｽ",
                                  "アイス", "あいす", "キャベツ", "キヤノン", "カメラ",     "ガム",   "ｶﾞﾑ" };
    QSqlQuery q(s.db().connection());
    for (int n = 0; n < counted.size(); ++n) {
        QVERIFY(q.prepare(uR"(INSERT INTO "仕入商品" VALUES (?, ?, 1, '個'))"_qs));
        q.addBindValue(100 + n);
        q.addBindValue(counted[n]);
        QVERIFY(q.exec());
        QVERIFY(q.prepare(uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価",
            "価格", "品名ID") VALUES (?, '2026-03-31', 1, ?, 1, '個', 1, 1, ?))"_qs));
        q.addBindValue(100 + n);
        q.addBindValue(counted[n]);
        q.addBindValue(100 + n);
        QVERIFY(q.exec());
    }
    s.open();
    s.choose(u"品名別集計表"_qs);
    // Digits, then Latin letters, then kana by the gojūon (a long vowel as its vowel, voiced
    // and small kana by their plain sound, half-width beside full-width), then kanji. Names
    // the order holds equal (one word in three scripts or two widths) go by their characters.
    QCOMPARE(s.column(1),
             QStringList({ "123",        "１２３", "20",      "abc",    "ａｂｃ",   "ABC",      "あいす", "アイス",
                           "ｱｲｽ",        "ガム",   "ｶﾞﾑ",     "カメラ", "キヤノン", "キャベツ", "ねぎ",   "ﾎﾞｰﾙﾍﾟﾝ",
                           "ボールペン", "ボルト", "ぼるとA", "みかん", "りんご",   "佐藤",     "山田",   "鈴木" }));
    QVERIFY(s.prompter.texts().isEmpty());
}

KOTRINA_REGISTER_TEST(TestSummaryList)
#include "TestSummaryList.moc"
