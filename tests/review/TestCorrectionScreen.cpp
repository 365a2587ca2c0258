// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/lines/LineChecks.h"
#include "core/lines/LineRegistration.h"
#include "core/store/RecordList.h"
#include "gui/review/frmInAmd2.h"
#include "gui/widgets/LookupCombo.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

namespace {

// The correction screen on a database with lines of two dates, dialogs scripted.
struct Correction : TestSession, ScreenTest::Driver<frmInAmd2>
{

    Correction()
    {
        openNewDatabase();
        db().exec(uR"(INSERT INTO "項目分類" VALUES (2, 'AB'), (5, 'BA'))"_qs);
        db().exec(QStringLiteral(
            R"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格") VALUES
            (1, '2026-03-31', 2, 'りんご', 3, '個', 100, 300),
            (2, '2026-03-31', 5, 'みかん', 2, '箱', 0, 0),
            (3, '2026-03-31', 2, '青りんご', 1, '個', 50, 50),
            (4, '2025-03-31', 2, 'りんご', 9, '個', 90, 810))"));
    }

    void open()
    {
        screen = new frmInAmd2(state, QDate(2026, 3, 31));
        ScreenTest::showActive(screen);
    }
    QTableView* grid() const { return find<QTableView>("dgdSub"); }
    // Rows written on the connection so far.
    int totalChanges() const
    {
        QSqlQuery q(db().connection());
        return q.exec(u"SELECT total_changes()"_qs) && q.next() ? q.value(0).toInt() : -1;
    }
    // The IDs of the lines listed, in order.
    QList<int> listed() const { return ScreenTest::columnIds(grid()); }
    QVariant field(int id, const char* column) const { return lineField(db(), id, column); }
    void typeInto(const char* combo, const QString& text)
    {
        QWidget* w = find(combo);
        w->setFocus();
        ScreenTest::type(w, text);
        ScreenTest::settle();
    }
    void fill(const char* combo, const QString& text) { ScreenTest::replaceText(find(combo), text); }
    bool edit(int row, int column, const QString& text, Qt::Key finish = Qt::Key_Return)
    {
        return ScreenTest::editCell(grid(), row, column, text, finish);
    }
};

const QString MoveQuestion = u"表示された棚卸は、項目/分類が設定されていません。項目IDを「０」に変更しますか？"_qs;

} // namespace

class TestCorrectionScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void categoryCheck_data() { ScreenTest::addNoAndYes(); }
    void categoryCheck();
    void searchesAndDeletion();
    void editing();
    void readOnlyFileIsOnlyShown();
    void everyStoredCharacterIsShown();
};

void TestCorrectionScreen::categoryCheck()
{
    QFETCH(bool, yes);
    const bool answer = yes;
    Correction c;
    // Category 5 goes; line 2 loses its category.
    QVERIFY(c.db().exec(uR"(DELETE FROM "項目分類" WHERE "項目ID" = 5)"_qs));
    c.prompter.answerAsk(answer);
    c.open();
    QCOMPARE(c.prompter.texts(), QStringList { MoveQuestion });
    QCOMPARE(c.listed(), QList<int> { 2 });
    QCOMPARE(c.field(2, "項目ID").toInt(), answer ? 0 : 5);
    QCOMPARE(c.grid()->model()->index(0, 2).data().toInt(), answer ? 0 : 5); // still listed, as it is now

    // Without the reserved row, lines moved to 0 are found again at the next check.
    Correction d;
    QVERIFY(d.db().exec(uR"(DELETE FROM "項目分類")"_qs));
    QCOMPARE(markLinesWithoutCategory(d.db(), QDate(2026, 3, 31)), std::optional<int>(3));
    QVERIFY(moveMarkedLinesToNoCategory(d.db(), QDate(2026, 3, 31)));
    QCOMPARE(markLinesWithoutCategory(d.db(), QDate(2026, 3, 31)), std::optional<int>(3));
}

void TestCorrectionScreen::searchesAndDeletion()
{
    Correction c;
    const int written = c.totalChanges();
    c.open();
    QVERIFY(c.prompter.shown().isEmpty()); // every line has its category: nothing asked, nothing listed
    QCOMPARE(c.totalChanges(), written); // and nothing written
    QCOMPARE(c.listed(), QList<int>());
    QCOMPARE(c.find<QLineEdit>("Text1")->text(), u"Max Record 3   Total 350"_qs);

    // A category chosen from the pop-up list, with the keys or the mouse, is searched for.
    auto* combo = c.find<LookupCombo>("dbcNouhin");
    QAbstractItemView* list = combo->view();
    QVERIFY(ScreenTest::chooseFromList(combo, u"BA"_qs));
    QCOMPARE(c.find<QLineEdit>("Text2")->text(), u"5"_qs);
    QCOMPARE(c.listed(), QList<int> { 2 });
    QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
    QVERIFY(QTest::qWaitForWindowExposed(list->window()));
    const QModelIndex ab = combo->model()->index(combo->findText(u"AB"_qs), 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(ab).center());
    ScreenTest::settle();
    QCOMPARE(c.listed(), QList<int>({ 1, 3 }));
    c.click("Command4");

    // "A" lists AB (2) before BA (5): the category search uses the first one.
    c.fill("dbcNouhin", u"A"_qs);
    QCOMPARE(c.find<QLineEdit>("Text2")->text(), u"2"_qs);
    QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
    ScreenTest::settle();
    QCOMPARE(c.listed(), QList<int>({ 1, 3 }));
    QVERIFY(c.find("Command3")->isEnabled());

    c.click("Command2");
    QCOMPARE(c.listed(), QList<int> { 2 });
    c.click("Command4");
    QCOMPARE(c.listed(), QList<int>({ 1, 2, 3, 4 }));

    // Nothing matching disables the buttons; an empty ID box only sends the focus back.
    c.fill("dbcNouhin", u"該当なし"_qs);
    QCOMPARE(c.find<QLineEdit>("Text2")->text(), QString());
    c.click("Command1");
    QCOMPARE(c.listed(), QList<int>({ 1, 2, 3, 4 }));
    QCOMPARE(QApplication::focusWidget(), c.find("dbcNouhin"));
    c.fill("dbcNouhin", u"BA"_qs);
    QVERIFY(c.db().exec(uR"(UPDATE "棚卸マスター" SET "項目ID" = 2 WHERE "ID" = 2)"_qs));
    c.click("Command1");
    QCOMPARE(c.listed(), QList<int>());
    QVERIFY(!c.find("Command3")->isEnabled());
    QVERIFY(!c.find("cmdMasterCancel")->isEnabled());

    // The product search lists what contains the text, whatever the category box held.
    c.fill("dbcNouhin", u"AB"_qs);
    c.typeInto("dbcShohin", u"りん"_qs);
    QCOMPARE(c.listed(), QList<int>({ 1, 3 }));
    QCOMPARE(c.find<LookupCombo>("dbcNouhin")->text(), QString()); // the other combo is cleared
    c.typeInto("dbcShohin", u"ご"_qs);
    QCOMPARE(c.listed(), QList<int>({ 1, 3 }));
    c.fill("dbcShohin", u"%"_qs);
    QCOMPARE(c.listed(), QList<int>()); // % is a character here
    c.fill("dbcShohin", QString());
    QCOMPARE(c.listed(), QList<int>({ 1, 2, 3 }));

    // A line found is deleted after Yes only.
    c.typeInto("dbcShohin", u"みかん"_qs);
    QCOMPARE(c.listed(), QList<int> { 2 });
    QVERIFY(ScreenTest::clickCell(c.grid(), 0, 3));
    c.prompter.answerAsk(false);
    c.click("cmdMasterCancel");
    QCOMPARE(c.listed(), QList<int> { 2 });
    c.prompter.answerAsk(true);
    c.click("cmdMasterCancel");
    QCOMPARE(c.listed(), QList<int>());
    QVERIFY(!c.find("cmdMasterCancel")->isEnabled());
    QVERIFY(!c.field(2, "ID").isValid());
    QCOMPARE(c.prompter.texts().last(), u"表示中のレコードを削除します。よろしいですか。"_qs);
}

void TestCorrectionScreen::editing()
{
    Correction c;
    QVERIFY(c.db().exec(uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "単価") VALUES
            (5, '2026-03-31', 2, '洗剤', 0), (6, '2026-03-31', 2, '漂白剤', 0))"_qs));
    c.open();
    // The status line's figures, kept by the connection, stay those a fresh count gives
    // while the grid corrects prices and moves lines between dates.
    const QDate day(2026, 3, 31), later(2026, 4, 1);
    Database fresh;
    QVERIFY(fresh.open(c.db().fileName(), nullptr, Database::Access::ReadOnly));
    const auto figuresKept = [&] {
        for (QDate date : { day, later }) {
            if (statusLineText(c.db(), date) != statusLineText(fresh, date))
                return false;
        }
        return true;
    };
    QVERIFY(figuresKept());
    // Each edit leaves its line out of the search; Tab goes on to the next cell of the same line.
    auto editThenNext = [&c](int row, int column, const QString& text, const QString& next) {
        QVERIFY(c.edit(row, column, text, Qt::Key_Tab));
        QVERIFY(ScreenTest::typeInOpenEditor(c.grid(), next, Qt::Key_Tab));
    };
    c.click("Command2");
    editThenNext(1, 6, u"198"_qs, u"792"_qs);
    QCOMPARE(c.listed(), QList<int>({ 2, 5, 6 }));
    QCOMPARE(c.field(5, "価格").toDouble(), 792.0);
    QVERIFY(c.field(6, "価格").isNull());
    QCOMPARE(c.grid()->model()->index(1, 6).data().toString(), u"198"_qs);

    c.typeInto("dbcShohin", u"りんご"_qs);
    editThenNext(0, 3, u"梨"_qs, u"8"_qs);
    QCOMPARE(c.listed(), QList<int>({ 1, 3 }));
    QCOMPARE(c.field(1, "数量").toDouble(), 8.0);

    c.fill("dbcNouhin", u"AB"_qs);
    c.click("Command1");
    editThenNext(0, 2, u"5"_qs, u"黄梨"_qs);
    editThenNext(1, 1, u"2026/04/01"_qs, u"3"_qs);
    QCOMPARE(c.listed(), QList<int>({ 1, 3, 5, 6 }));
    QCOMPARE(c.field(1, "品名").toString(), u"黄梨"_qs);
    QCOMPARE(c.field(3, "項目ID").toInt(), 3);
    QVERIFY(c.prompter.shown().isEmpty());
    // The 価格 column shows 13 digits with separators uncut.
    QVERIFY(c.grid()->columnWidth(7) > c.grid()->fontMetrics().horizontalAdvance(u"9,999,999,999,999"_qs));

    // 数量 changes; 価格 stays what it was.
    c.click("Command4");
    QVERIFY(c.edit(0, 4, u"５"_qs));
    c.click("Command3");
    QCOMPARE(c.field(1, "数量").toDouble(), 5.0);
    QCOMPARE(c.field(1, "価格").toDouble(), 300.0);
    QCOMPARE(c.grid()->model()->index(0, 4).data().toDouble(), 5.0);
    QVERIFY(c.edit(1, 4, u"0.125"_qs));
    QCOMPARE(c.field(2, "数量").toDouble(), 0.125); // a fraction is kept whole
    QVERIFY(c.edit(1, 7, u"１２３４５６７"_qs));
    QCOMPARE(c.grid()->model()->index(1, 7).data().toString(), u"1234567"_qs);
    QVERIFY(figuresKept());

    QVERIFY(c.edit(0, 3, u"O'Brien 100%"_qs));
    QCOMPARE(c.field(1, "品名").toString(), u"O'Brien 100%"_qs);
    QVERIFY(c.edit(0, 1, u"2026/04/01"_qs));
    QCOMPARE(c.field(1, "日付").toString(), u"2026-04-01"_qs);
    QVERIFY(figuresKept());

    // Text in a number column, a fraction as an ID, a date that is none: refused, old value kept.
    QVERIFY(c.edit(1, 6, u"百円"_qs));
    QVERIFY(c.edit(1, 2, u"1.5"_qs));
    QVERIFY(c.edit(1, 1, u"2026/02/30"_qs));
    QCOMPARE(c.prompter.texts(),
             QStringList({ u"単価は数字で入力してください。"_qs, u"項目IDは整数で入力してください。"_qs,
                           u"日付は yyyy/MM/dd の形で入力してください。"_qs }));
    QCOMPARE(c.field(2, "単価").toDouble(), 0.0);
    QCOMPARE(c.field(2, "項目ID").toInt(), 5);

    // Another program with the same file deletes a listed line: an edit of it says so, and
    // the next line is still its own.
    c.prompter.clear();
    QVERIFY(c.db().exec(uR"(DELETE FROM "棚卸マスター" WHERE "ID" = 2)"_qs));
    QVERIFY(c.edit(1, 4, u"5"_qs));
    QVERIFY(c.edit(2, 4, u"6"_qs));
    QCOMPARE(c.field(3, "数量").toDouble(), 6.0);

    // A write the database refuses is reported, not dropped silently; a search that cannot
    // be read says so rather than listing nothing.
    QVERIFY(c.db().exec(uR"(CREATE TRIGGER refuse BEFORE UPDATE ON "棚卸マスター"
        BEGIN SELECT RAISE(ABORT, 'locked'); END)"_qs));
    QVERIFY(c.edit(2, 4, u"7"_qs));
    QCOMPARE(c.field(3, "数量").toDouble(), 6.0);
    QVERIFY(c.db().exec(uR"(ALTER TABLE "棚卸マスター" RENAME TO "読めない")"_qs));
    c.click("Command4");
    QCOMPARE(c.prompter.texts(),
             QStringList({ QString::fromUtf8(RecordGoneMessage),
                           u"データベースに書き込めませんでした。変更は保存されていません。"_qs,
                           u"データベースの接続に失敗しました。"_qs }));
}

void TestCorrectionScreen::readOnlyFileIsOnlyShown()
{
    Correction c;
    const QString file = c.db().fileName();
    QVERIFY(c.state.DatabaseConnection.open(file, nullptr, Database::Access::ReadOnly));
    c.open();
    c.click("Command4");
    QCOMPARE(c.listed().size(), 4);
    // Nothing offers a change the file would refuse.
    QVERIFY(!c.edit(0, 3, u"なし"_qs));
    QVERIFY(!c.find<QPushButton>("Command3")->isEnabled());
    QVERIFY(!c.find<QPushButton>("cmdMasterCancel")->isEnabled());
    QVERIFY(c.prompter.shown().isEmpty());
    QCOMPARE(c.field(1, "品名").toString(), u"りんご"_qs);
}

void TestCorrectionScreen::everyStoredCharacterIsShown()
{
    // Names with a JIS X 0213 kanji the IPA faces lack, variant kanji and emoji, each in a line
    // of its own, and a character no face has, which shows as the missing-glyph box.
    const QStringList names { u"𠮷"_qs, u"髙"_qs, u"﨑"_qs, u"😀"_qs, u"🍣"_qs, QString::fromUcs4(U"\U0010FFFD", 1) };
    Correction c;
    for (qsizetype i = 0; i < names.size(); ++i) {
        QVERIFY(
            c.db().exec(uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格")
                VALUES (?, '2026-03-31', 5, ?, 1, '個', 1, 1))"_qs,
                        { int(10 + i), names[i] }));
    }
    c.open();
    QVERIFY(ScreenTest::chooseFromList(c.find<LookupCombo>("dbcNouhin"), u"BA"_qs));
    const QList<int> ids = c.listed();
    c.grid()->clearSelection();
    c.grid()->setCurrentIndex({});
    const QImage shown = c.grid()->viewport()->grab().toImage();
    auto nameOf = [&](qsizetype i) { return c.grid()->model()->index(int(ids.indexOf(int(10 + i))), 3); };
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(nameOf(i).data().toString(), names[i]);
    auto cellOf = [&](qsizetype i) {
        const QRect r = c.grid()->visualRect(nameOf(i));
        return shown.copy(r.adjusted(1, 1, -1, -1)).convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    };
    auto differing = [](const QImage& a, const QImage& b) {
        int differ = 0;
        for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
            for (int x = 0; x < std::min(a.width(), b.width()); ++x)
                differ += (qGray(a.pixel(x, y)) < 128) != (qGray(b.pixel(x, y)) < 128) ? 1 : 0;
        }
        return differ;
    };
    const QImage box = cellOf(names.size() - 1);
    QList<QImage> glyphs;
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        const QImage glyph = cellOf(i);
        // Not the box, and not blank (a colour emoji face's bitmap can come out empty).
        QVERIFY2(differing(glyph, box) > 10, qPrintable(names[i]));
        QImage blank(glyph.size(), QImage::Format_Mono);
        blank.fill(Qt::white);
        QVERIFY2(differing(glyph, blank) > 10, qPrintable(names[i]));
        for (const QImage& other : glyphs)
            QVERIFY2(differing(glyph, other) > 10, qPrintable(names[i]));
        glyphs << glyph;
    }
}

KOTRINA_REGISTER_TEST(TestCorrectionScreen)
#include "TestCorrectionScreen.moc"
