#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/entry/frmTana.h"
#include "gui/review/frmInAmd2.h"

#include <QApplication>
#include <QInputMethodQueryEvent>
#include <QTableView>
#include <QTest>

namespace {

// Whether the input method would compose into the focused box: the question Qt's
// input-method plug-ins ask when the focus moves and before each key.
bool inputMethodOn()
{
    QObject* focus = QGuiApplication::focusObject();
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(focus, &query);
    return query.value(Qt::ImEnabled).toBool();
}

// The boxes a click of the user focuses, and whether each takes the input method.
QMap<QString, bool> inputMethodBySubject(QWidget* screen, const QStringList& names)
{
    QMap<QString, bool> on;
    for (const QString& name : names) {
        auto* box = screen->findChild<QWidget*>(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        ScreenTest::settle();
        on[name] = inputMethodOn();
    }
    return on;
}

} // namespace

// Names and remarks are typed in Japanese; numbers, IDs and dates never pass the input method.
class TestInputMethodOff : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void entryBoxes();
    void correctionCells();
};

void TestInputMethodOff::entryBoxes()
{
    TestSession s;
    ScreenTest::Driver<frmTana> d;
    QVERIFY(s.openNewDatabase());
    QVERIFY(s.db().exec(uR"(INSERT INTO "仕入商品" VALUES (1, 'みかん', 80, '箱'))"_qs));
    d.screen = new frmTana(s.state, QDate(2026, 3, 31));
    ScreenTest::showActive(d.screen);
    const QMap<QString, bool> expected { { "dbcNouhin", true }, { "dbcShohin", true }, { "dbcTani", true },
                                         { "txtCnt", false },   { "txtTanka", false }, { "txtMemo", true },
                                         { "DTPicker1", false } };
    QCOMPARE(inputMethodBySubject(d.screen, expected.keys()), expected);
}

void TestInputMethodOff::correctionCells()
{
    TestSession s;
    ScreenTest::Driver<frmInAmd2> d;
    QVERIFY(s.openNewDatabase());
    QVERIFY(addSampleLines(s.db(), 1));
    s.prompter.answerAsk(false); // the sample line's category is not registered: leave it
    d.screen = new frmInAmd2(s.state, QDate(2026, 3, 31));
    ScreenTest::showActive(d.screen);
    QTest::mouseClick(d.screen->findChild<QWidget*>("Command4"), Qt::LeftButton); // すべての棚卸
    ScreenTest::settle();
    auto* grid = d.screen->findChild<QTableView*>("dgdSub");
    QVERIFY(grid->model()->rowCount() > 0);
    QMap<QString, bool> on;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        const QString column = grid->model()->headerData(c, Qt::Horizontal).toString();
        if (grid->isColumnHidden(c) || !(grid->model()->flags(grid->model()->index(0, c)) & Qt::ItemIsEditable))
            continue;
        QVERIFY(ScreenTest::clickCell(grid, 0, c));
        QTest::keyClick(grid, Qt::Key_F2);
        QVERIFY2(QApplication::focusWidget() != grid, qPrintable(column));
        on[column] = inputMethodOn();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        ScreenTest::settle();
    }
    const QMap<QString, bool> expected { { "日付", false },   { "項目ID", false },  { "品名", true },
                                         { "数量", false },   { "単位", true },     { "単価", false },
                                         { "価格", false },   { "備考", true },     { "備考1", true },
                                         { "品名ID", false }, { "区分調整", false } };
    QCOMPARE(on, expected);
}

KOTRINA_REGISTER_TEST(TestInputMethodOff)
#include "TestInputMethodOff.moc"
