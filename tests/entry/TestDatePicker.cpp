#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/DatePicker.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QTest>

namespace {

struct EntryScreen : TestSession, ScreenTest::Driver<frmTana>
{
    ModalAnswerer modals;

    bool open()
    {
        // A product, so that no help text comes up first.
        if (!openNewDatabase() || !db().exec(uR"(INSERT INTO "仕入商品" VALUES (1, 'みかん', 80, '箱'))"_qs))
            return false;
        screen = new frmTana(state, QDate(2026, 3, 31));
        ScreenTest::showActive(screen);
        return true;
    }
    QDateEdit* picker() const { return find<QDateEdit>("DTPicker1"); }
    bool showsRefusal() const { return dynamic_cast<DatePicker*>(picker())->showsRefusal(); }
};

} // namespace

// The settlement date typed into the picker of the entry screen, key by key.
class TestDatePicker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void impossibleDateIsRefused_data();
    void impossibleDateIsRefused();
    void lineKeepsTheDateShown();
};

void TestDatePicker::impossibleDateIsRefused_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("shown");
    QTest::newRow("30 February") << u"2026/02/30"_qs << QDate(2026, 3, 31);
    QTest::newRow("month 13, day 40") << u"2026/13/40"_qs << QDate(2026, 3, 31);
    QTest::newRow("31 April") << u"2026/04/31"_qs << QDate(2026, 3, 31);
    QTest::newRow("without slashes") << u"20260230"_qs << QDate(2026, 3, 31);
    QTest::newRow("29 February, no leap year") << u"2027/2/29"_qs << QDate(2026, 3, 31);
    QTest::newRow("29 February, leap year") << u"2028/02/29"_qs << QDate(2028, 2, 29);
    QTest::newRow("short month") << u"2026/2/28"_qs << QDate(2026, 2, 28);
}

void TestDatePicker::impossibleDateIsRefused()
{
    QFETCH(QString, typed);
    QFETCH(QDate, shown);
    EntryScreen e;
    QVERIFY(e.open());
    const QString status = e.find<QLineEdit>("Text3")->text();

    ScreenTest::typeDate(e.picker(), typed);
    QCOMPARE(e.picker()->date(), shown);
    const bool refused = shown == QDate(2026, 3, 31);
    QCOMPARE(e.showsRefusal(), refused);
    if (refused) {
        QCOMPARE(e.picker()->toolTip(), u"「%1」という日付はありません。日付は 2026/03/31 のままです。"_qs.arg(typed));
        QCOMPARE(e.find<QLineEdit>("Text3")->text(), status);
        // The next date typed is taken, and the sign goes.
        ScreenTest::typeDate(e.picker(), u"2026/03/30"_qs);
        QCOMPARE(e.picker()->date(), QDate(2026, 3, 30));
        QVERIFY(!e.showsRefusal());
        QVERIFY(e.picker()->toolTip().isEmpty());
    }
}

// A line typed after a refused date is filed under the date the picker kept.
void TestDatePicker::lineKeepsTheDateShown()
{
    EntryScreen e;
    QVERIFY(e.open());
    ScreenTest::typeDate(e.picker(), u"2026/02/30"_qs);
    ScreenTest::replaceText(e.find("dbcShohin"), u"りんご"_qs);
    ScreenTest::replaceText(e.find("txtCnt"), u"2"_qs);
    ScreenTest::replaceText(e.find("txtTanka"), u"50"_qs);
    e.prompter.answerAsk(true); // no category
    e.click("cmdSubAdd");
    QCOMPARE(rowCount(e.db(), Table::Tana), 1);
    QCOMPARE(lineField(e.db(), 1, "日付").toString(), u"2026-03-31"_qs);
    QCOMPARE(lineField(e.db(), 1, "価格").toDouble(), 100.0);
}

KOTRINA_REGISTER_TEST(TestDatePicker)
#include "TestDatePicker.moc"
