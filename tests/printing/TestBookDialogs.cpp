#include "CliRun.h"
#include "ListedPrinters.h"
#include "MainWindowTest.h"
#include "SheetFile.h"
#include "TestRegistry.h"
#include "gui/printing/DialogTanaMoto2.h"
#include "gui/printing/DialogTanaMoto3.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QRadioButton>
#include <QTest>

namespace {

// A file with a stocktaking of 2025-03-31 only: 食品 and 雑貨 with their lines and products.
QString earlierStocktaking(const MainWindow& m)
{
    const QString file = m.env.newDatabase();
    Database db;
    if (!db.open(file)
        || !db.exec(u"INSERT INTO 仕入商品 VALUES (1, 'りんご', 120, '個'), (2, 'ほうき', 800, '本')"_qs))
        return {};
    addCategory(db, 1, u"食品"_qs);
    addCategory(db, 2, u"雑貨"_qs);
    addLine(db, 1, u"2025-03-31"_qs, 1, u"りんご"_qs, 10, 120);
    addLine(db, 2, u"2025-03-31"_qs, 2, u"ほうき"_qs, 2, 800, 2);
    addLine(db, 3, u"2025-03-31"_qs, 1, u"りんご"_qs, 5, 120);
    return file;
}

void pressWithKeyboard(QWidget* button)
{
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
}

} // namespace

class TestBookDialogs : public QObject
{
    Q_OBJECT

private slots:
    void countBookOfTheEarlierDateFromTheMainWindow()
    {
        MainWindow m;
        const QString file = earlierStocktaking(m);
        QVERIFY(!file.isEmpty());
        m.start(file);
        const QString pdf = m.env.path(QStringLiteral("記入帳.pdf"));
        const QString onePdf = m.env.path(QStringLiteral("雑貨.pdf"));
        m.modals.steps[QStringLiteral("DialogTanaMoto2")] = [&](QDialog* dialog) {
            QVERIFY(!dialog->findChild<QGroupBox*>(QStringLiteral("Frame12"))->isEnabled());
            // It starts at today, which has no lines.
            auto* save = dialog->findChild<QPushButton*>(QStringLiteral("cmdPdf"));
            pressWithKeyboard(save);
            // The user steps the year of the date back to the earlier stocktaking and saves it.
            auto* date = dialog->findChild<QDateEdit*>(QStringLiteral("DTPicker1"));
            date->setFocus();
            QTest::keyClick(date, Qt::Key_Home);
            QTest::keyClick(date, Qt::Key_Down);
            QCOMPARE(date->date(), QDate(2025, 3, 31));
            m.prompter.answerFile(pdf);
            pressWithKeyboard(save);
            // One category: none chosen is said; 雑 typed into the look-up finds 雑貨.
            auto* one = dialog->findChild<QRadioButton*>(QStringLiteral("Option1"));
            QTest::mouseClick(one, Qt::LeftButton, {}, QPoint(6, one->height() / 2));
            pressWithKeyboard(save);
            auto* category = dialog->findChild<QComboBox*>(QStringLiteral("dbcNouhin"));
            category->setFocus();
            ScreenTest::type(category, QStringLiteral("雑"));
            m.prompter.answerFile(onePdf);
            pressWithKeyboard(save);
        };
        pressWithKeyboard(m.find<QPushButton>("Command4"));
        QTRY_COMPARE(m.modals.screens, QStringList { QStringLiteral("DialogTanaMoto2") });
        QCOMPARE(m.prompter.texts(),
                 (QStringList { QStringLiteral("該当する棚卸はありません。前期の棚卸日を確認してください。"),
                                QStringLiteral("項目/分類名が選択されていません。") }));
        QCOMPARE(m.prompter.shown().constLast().file.fileName, QStringLiteral("棚卸記入帳20250331.pdf"));
        const PdfText oneCategory = readPdf(onePdf);
        QCOMPARE(oneCategory.pages, 1);
        QCOMPARE(oneCategory.at(1, 20, 18).text, QStringLiteral("雑貨"));
        const PdfText text = readPdf(pdf);
        QCOMPARE(text.pages, 2);
        QCOMPARE(text.at(2, 165, 20).text, QStringLiteral("2025/03/31"));
    }

    void summarySheetOfTheTotalsFromTheList()
    {
        MainWindow m;
        const QString file = earlierStocktaking(m);
        QVERIFY(!file.isEmpty());
        m.start(file);
        m.find<QDateEdit>("DTPicker1")->setDate(QDate(2025, 3, 31));
        const QString pdf = m.env.path(QStringLiteral("集計表.pdf"));
        m.modals.steps[QStringLiteral("frmList")] = [](QDialog* list) {
            QVERIFY(ScreenTest::chooseFromList(list->findChild<QComboBox*>(QStringLiteral("Combo1")),
                                               QStringLiteral("品名別集計表")));
            pressWithKeyboard(list->findChild<QPushButton*>(QStringLiteral("Command2")));
        };
        QString caption;
        m.modals.steps[QStringLiteral("DialogTanaMoto3")] = [&](QDialog* dialog) {
            caption = dialog->windowTitle();
            m.prompter.answerFile(pdf);
            pressWithKeyboard(dialog->findChild<QPushButton*>(QStringLiteral("cmdPdf")));
            // The dialog stays open for another run.
            QVERIFY(dialog->isVisible());
        };
        m.trigger("Command3");
        QTRY_COMPARE(m.modals.screens.size(), 2);
        QCOMPARE(m.modals.screens.constLast(), QStringLiteral("DialogTanaMoto3"));
        QCOMPARE(caption, QStringLiteral("棚卸表 (品名別集計)"));
        QVERIFY(m.prompter.texts().isEmpty());

        // The totals by name of the date chosen in the main window.
        const PdfText text = readPdf(pdf);
        QCOMPARE(text.at(1, 22, 30).text, QStringLiteral("品名"));
        QCOMPARE(text.at(1, 152, 20).text, QStringLiteral("2025/03/31"));
        QCOMPARE(text.amounts(1, 262, 1), QList<double> { 3400 });
    }

    void printerThatCannotPrintIsSaid()
    {
        TestSession s;
        QVERIFY(s.openNewDatabase());
        ListedPrinters printers;
        printers.names = { QStringLiteral("どこにもない印刷機") };
        s.state.printers = &printers;
        QVERIFY(s.db().exec(QStringLiteral(R"(INSERT INTO "仕入商品" VALUES (1, 'りんご', 100, '個'))")));
        addLine(s.db(), 1, u"2026-03-31"_qs, 0, u"りんご"_qs, 1, 100);
        ScreenTest::Driver<DialogTanaMoto3> w;
        w.screen = new DialogTanaMoto3(s.state, QDate(2026, 3, 31), QStringLiteral("棚卸表 (品名別集計)"),
                                       QStringLiteral("品名"));
        ScreenTest::showActive(w.screen);
        pressWithKeyboard(w.find<QPushButton>("Command3"));
        QCOMPARE(s.prompter.texts(),
                 QStringList { QStringLiteral("プリンタ「どこにもない印刷機」に出力できませんでした。\r"
                                              "プリンタの設定を確認してください。") });
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
        QVERIFY(t.prompter.shown().isEmpty()); // Enter moves on and presses nothing

        // A PDF file in a folder that is not there: the message says so.
        addLine(t.db(), 1, u"2026-03-31"_qs, 0, u"りんご"_qs, 1, 100);
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
};

KOTRINA_REGISTER_TEST(TestBookDialogs)
#include "TestBookDialogs.moc"
