// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/entry/frmTana.h"
#include "gui/review/frmInAmd2.h"
#include "gui/widgets/DatePicker.h"

#include <QApplication>
#include <QDateEdit>
#include <QInputMethodQueryEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

namespace {

// Whether the input method would compose into the focused box: the question Qt's
// input-method plug-ins ask when the focus moves and before each key.
bool inputMethodOn()
{
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(QGuiApplication::focusObject(), &query);
    return query.value(Qt::ImEnabled).toBool();
}

struct EntryScreen : TestSession, ScreenTest::Driver<frmTana>
{
    ModalAnswerer modals;

    EntryScreen()
    {
        // A product, so that no help text comes up first.
        QVERIFY(openNewDatabase() && db().exec(uR"(INSERT INTO "仕入商品" VALUES (1, 'みかん', 80, '箱'))"_qs));
        screen = new frmTana(state, QDate(2026, 3, 31));
        ScreenTest::showActive(screen);
    }
    QDateEdit* picker() const { return find<QDateEdit>("DTPicker1"); }
    bool showsRefusal() const { return dynamic_cast<DatePicker*>(picker())->showsRefusal(); }
};

} // namespace

// Names and remarks are typed in Japanese; numbers, IDs and dates never pass the input
// method, and a date picker takes only dates that exist.
class TestNumberAndDateBoxes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void inputMethodInEntryBoxes();
    void inputMethodInCorrectionCells();
    void impossibleDateIsRefused_data();
    void impossibleDateIsRefused();
};

void TestNumberAndDateBoxes::inputMethodInEntryBoxes()
{
    EntryScreen e;
    const QMap<QString, bool> expected { { "dbcNouhin", true }, { "dbcShohin", true }, { "dbcTani", true },
                                         { "txtCnt", false },   { "txtTanka", false }, { "txtMemo", true },
                                         { "DTPicker1", false } };
    QMap<QString, bool> on;
    for (const QString& name : expected.keys()) {
        auto* box = e.screen->findChild<QWidget*>(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        ScreenTest::settle();
        on[name] = inputMethodOn();
    }
    QCOMPARE(on, expected);
}

void TestNumberAndDateBoxes::inputMethodInCorrectionCells()
{
    TestSession s;
    ScreenTest::Driver<frmInAmd2> d;
    QVERIFY(s.openNewDatabase());
    QVERIFY(addSampleLines(s.db(), 1));
    s.prompter.answerAsk(false); // the sample line's category is not registered: leave it
    d.screen = new frmInAmd2(s.state, QDate(2026, 3, 31));
    ScreenTest::showActive(d.screen);
    d.click("Command4"); // すべての棚卸
    auto* grid = d.find<QTableView>("dgdSub");
    QMap<QString, bool> on;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        if (grid->isColumnHidden(c) || !(grid->model()->flags(grid->model()->index(0, c)) & Qt::ItemIsEditable))
            continue;
        QVERIFY(ScreenTest::clickCell(grid, 0, c));
        QTest::keyClick(grid, Qt::Key_F2);
        QVERIFY(QApplication::focusWidget() != grid);
        on[grid->model()->headerData(c, Qt::Horizontal).toString()] = inputMethodOn();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        ScreenTest::settle();
    }
    const QMap<QString, bool> expected { { "日付", false },   { "項目ID", false },  { "品名", true },
                                         { "数量", false },   { "単位", true },     { "単価", false },
                                         { "価格", false },   { "備考", true },     { "備考1", true },
                                         { "品名ID", false }, { "区分調整", false } };
    QCOMPARE(on, expected);
}

void TestNumberAndDateBoxes::impossibleDateIsRefused_data()
{
    // clickAt: where a click puts the cursor in a picker that already has the keyboard;
    // -1 for the click that brings the keyboard into it.
    QTest::addColumn<int>("clickAt");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("shown");
    QTest::newRow("30 February") << -1 << u"2026/02/30"_qs << QDate(2026, 3, 31);
    QTest::newRow("month 13, day 40") << -1 << u"2026/13/40"_qs << QDate(2026, 3, 31);
    QTest::newRow("31 April") << -1 << u"2026/04/31"_qs << QDate(2026, 3, 31);
    QTest::newRow("without slashes") << -1 << u"20260230"_qs << QDate(2026, 3, 31);
    QTest::newRow("29 February, no leap year") << -1 << u"2027/2/29"_qs << QDate(2026, 3, 31);
    QTest::newRow("29 February, leap year") << -1 << u"2028/02/29"_qs << QDate(2028, 2, 29);
    QTest::newRow("short month") << -1 << u"2026/2/28"_qs << QDate(2026, 2, 28);
    QTest::newRow("from inside the year") << 2 << u"2026/02/30"_qs << QDate(2026, 3, 31);
    QTest::newRow("a month without that day") << 6 << u"02"_qs << QDate(2026, 3, 31);
    QTest::newRow("the day alone") << 9 << u"15"_qs << QDate(2026, 3, 15);
}

// Typed key by key into the entry screen's picker; a line registered next is filed under
// the date the picker shows.
void TestNumberAndDateBoxes::impossibleDateIsRefused()
{
    QFETCH(int, clickAt);
    QFETCH(QString, typed);
    QFETCH(QDate, shown);
    EntryScreen e;
    const QString status = e.find<QLineEdit>("Text3")->text();
    if (clickAt < 0) {
        ScreenTest::typeDate(e.picker(), typed);
    } else {
        auto* box = e.picker()->findChild<QLineEdit*>();
        e.picker()->setFocus();
        QTRY_VERIFY(box->hasFocus());
        const int x = box->contentsRect().left() + 2 + box->fontMetrics().horizontalAdvance(box->text().left(clickAt));
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(x, box->height() / 2));
        QTest::keyClicks(e.picker(), typed);
        QTest::keyClick(e.picker(), Qt::Key_Return);
        ScreenTest::settle();
    }
    QCOMPARE(e.picker()->date(), shown);
    const bool refused = shown == QDate(2026, 3, 31);
    QCOMPARE(e.showsRefusal(), refused);
    if (refused) {
        QCOMPARE(e.picker()->toolTip(), u"「%1」という日付はありません。日付は 2026/03/31 のままです。"_qs.arg(typed));
        QCOMPARE(e.find<QLineEdit>("Text3")->text(), status);
    }
    ScreenTest::replaceText(e.find("dbcShohin"), u"りんご"_qs);
    ScreenTest::replaceText(e.find("txtCnt"), u"2"_qs);
    ScreenTest::replaceText(e.find("txtTanka"), u"50"_qs);
    e.prompter.answerAsk(true); // no category
    e.click("cmdSubAdd");
    QCOMPARE(lineField(e.db(), 1, "日付").toDate(), shown);

    // The next date typed is taken, and the sign goes.
    ScreenTest::typeDate(e.picker(), u"2026/03/30"_qs);
    QCOMPARE(e.picker()->date(), QDate(2026, 3, 30));
    QVERIFY(!e.showsRefusal());
    QVERIFY(e.picker()->toolTip().isEmpty());
}

KOTRINA_REGISTER_TEST(TestNumberAndDateBoxes)
#include "TestNumberAndDateBoxes.moc"
