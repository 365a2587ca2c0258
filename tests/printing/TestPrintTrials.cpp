#include "OutsideRun.h"
#include "ScreenTest.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/store/Database.h"
#include "gui/printing/DialogTanaMoto2.h"
#include "gui/widgets/DatePicker.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

// What a first try of the printing commands and dialogs turned up.
class TestPrintTrials : public QObject
{
    Q_OBJECT

private slots:
    void aDateTypedAfterAClickIntoThePickerIsTaken()
    {
        QWidget window;
        QDateEdit* picker = makeDatePicker(&window);
        picker->setDate(QDate(2026, 12, 6));
        auto* before = new QLineEdit(&window);
        before->move(0, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        before->setFocus();
        // A click into the middle of the date, then a whole date typed: it replaces the date.
        QLineEdit* edit = picker->findChild<QLineEdit*>();
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() / 2, edit->height() / 2));
        QTest::keyClicks(picker, u"2025/3/31"_qs);
        QCOMPARE(picker->date(), QDate(2025, 3, 31));
        // A further click into the day and one digit changes the day alone.
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 2, edit->height() / 2));
        QTest::keyClicks(picker, u"7"_qs);
        QCOMPARE(picker->date(), QDate(2025, 3, 7));
    }

    void theCountBookOpensAtItsDateAndSaysWhyItsPdfCannotBeSaved()
    {
        TestSession t;
        QVERIFY(t.openNewDatabase());
        ScreenTest::Driver<DialogTanaMoto2> w;
        w.screen = new DialogTanaMoto2(t.state);
        ScreenTest::showActive(w.screen);
        QCOMPARE(QApplication::focusWidget(), w.find("DTPicker1"));
        QStringList order;
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QApplication::processEvents();
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order.first(), u"Option2"_qs);
        QCOMPARE(order.indexOf(u"DTPicker1"_qs), order.indexOf(u"cmdPdf"_qs) + 1);

        // A PDF file in a folder that is not there: the message says so.
        QVERIFY(t.db().exec(u"INSERT INTO \"棚卸マスター\" (\"ID\", \"日付\", \"項目ID\", \"品名\", \"価格\") "
                            "VALUES (1, '2026-03-31', 0, 'りんご', 100)"_qs));
        const QString missing = t.env.path(u"ない/記入帳.pdf"_qs);
        t.prompter.answerFile(missing);
        w.click("cmdPdf");
        QVERIFY2(t.prompter.texts().constLast().endsWith(u"）が見つかりません。"_qs),
                 qPrintable(t.prompter.texts().join(u'|')));
        const Run r = kotrina(
            { u"print"_qs, u"book"_qs, t.db().fileName(), u"--date"_qs, u"2026-03-31"_qs, u"--pdf"_qs, missing });
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"）が見つかりません。"_qs), qPrintable(r.err));
    }

    void anotherProgramHoldingTheFileIsNotTakenForDamage()
    {
        const OutsideRun o;
        Database holder;
        QVERIFY(holder.open(o.file));
        QVERIFY(holder.exec(u"BEGIN EXCLUSIVE"_qs));
        QVERIFY(holder.exec(u"DELETE FROM \"項目分類\" WHERE \"項目ID\" = 0"_qs));
        const Run r = o.print(u"book"_qs);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"ほかのプログラムがファイルを使用中です。"_qs), qPrintable(r.err));
        QVERIFY(holder.exec(u"ROLLBACK"_qs));
    }
};

KOTRINA_REGISTER_TEST(TestPrintTrials)
#include "TestPrintTrials.moc"
