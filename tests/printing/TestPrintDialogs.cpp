// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "ListedPrinters.h"
#include "MainWindowTest.h"
#include "SampleData.h"
#include "ScreenTest.h"
#include "SheetFile.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/masters/ProductCodes.h"
#include "core/printing/SheetText.h"
#include "gui/printing/DialogCodeList.h"
#include "gui/printing/DialogTanaMoto1.h"
#include "gui/printing/DialogTanaMoto2.h"
#include "gui/printing/DialogTanaMoto3.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/WorkProgress.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

// The dialog over a new database with categories and lines of 2026-03-31.
struct SheetDialog : TestSession
{
    ScreenTest::Driver<DialogTanaMoto1> w;
    int nextId = 1;

    SheetDialog() { QVERIFY(openNewDatabase()); }
    void category(int id, const QString& name) { addCategory(db(), id, name); }
    void line(int category, const QString& name, double price)
    {
        addLine(db(), nextId++, u"2026-03-31"_qs, category, name, 1, price);
    }
    void open()
    {
        w.screen = new DialogTanaMoto1(state, clock.today());
        ScreenTest::showActive(w.screen);
    }
    // PDF保存 answered with name; the words of the file written, if one was.
    PdfText savePdf(const QString& name)
    {
        prompter.answerFile(env.path(name));
        w.click("cmdPdf");
        const QString written = env.path(name.endsWith(QLatin1String(".pdf")) ? name : name + QStringLiteral(".pdf"));
        return QFile::exists(written) ? readPdf(written) : PdfText {};
    }
};

// What the dialog says once a PDF file is saved.
QString savedNotice(const QString& path, int pages)
{
    return QStringLiteral("PDFファイルを保存しました（%1 ページ）。\r%2").arg(pages).arg(path);
}

// The total at the foot of the last page.
double totalOf(const PdfText& pdf)
{
    return pdf.amounts(pdf.pages, 262, 1).value(0, -1);
}

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

// The three print dialogs: the stocktaking sheet's, the count book's and the summary sheets'.
class TestPrintDialogs : public QObject
{
    Q_OBJECT

private slots:
    void layoutChosenFromTheListGoesIntoThePdf()
    {
        SheetDialog d;
        d.category(1, QStringLiteral("食品"));
        for (int i = 0; i < 29; ++i)
            d.line(1, QStringLiteral("品%1").arg(i), 100 + i);
        d.open();
        // No printer on this machine: the list says so, printing is off, the file still works.
        auto* printers = d.w.find<QComboBox>("Combo6");
        QCOMPARE(printers->count(), 0);
        QCOMPARE(printers->placeholderText(), QStringLiteral("（プリンタがありません）"));
        QVERIFY(!d.w.find<QPushButton>("Command3")->isEnabled());
        QCOMPARE(ScreenTest::itemTexts(d.w.find<QComboBox>("Combo1")),
                 (QStringList { QStringLiteral("A４　オリジナル棚卸表"), QStringLiteral("A４　簡易棚卸表"),
                                QStringLiteral("HISAGO 1151") }));
        QVERIFY(!d.w.find<QGroupBox>("Frame12")->isEnabled());
        QVERIFY(ScreenTest::chooseFromList(d.w.find<QComboBox>("Combo1"), QStringLiteral("A４　簡易棚卸表")));

        const PdfText pdf = d.savePdf(QStringLiteral("sheet"));
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        QCOMPARE(pdf.pages, 2);
        QCOMPARE(totalOf(pdf), 29 * 100 + 28 * 29 / 2);
        QCOMPARE(d.prompter.texts(), QStringList { savedNotice(d.env.path(QStringLiteral("sheet.pdf")), 2) });
        QVERIFY(d.w.screen->isVisible());

        // The layout is there the next time.
        d.w.screen->reject();
        QCOMPARE(d.settings.value(Setting::DialogOutCombo1), QStringLiteral("A４　簡易棚卸表"));
    }

    void oneCategoryPrintsItsLinesOnlyButNotOnTheContinuousForm()
    {
        SheetDialog d;
        d.category(1, QStringLiteral("食品"));
        d.category(2, QStringLiteral("雑貨"));
        d.line(1, QStringLiteral("りんご"), 100);
        d.line(2, QStringLiteral("ほうき"), 700);
        d.line(7, QStringLiteral("消えた分類の品"), 250);
        d.open();
        auto* one = d.w.find<QRadioButton>("Option1");
        QTest::mouseClick(one, Qt::LeftButton, {}, QPoint(6, one->height() / 2));
        auto* category = d.w.find<QComboBox>("dbcNouhin");
        QVERIFY(category->isEnabled());
        category->lineEdit()->clear();
        d.w.click("cmdPdf");
        QCOMPARE(d.prompter.texts(), QStringList { QStringLiteral("項目/分類名が選択されていません。") });

        // No check of the categories: the line of the deleted one is neither asked about nor printed.
        d.prompter.clear();
        category->setFocus();
        ScreenTest::type(category, QStringLiteral("雑"));
        QCOMPARE(d.w.find<QLineEdit>("Text3")->text(), QStringLiteral("2"));
        const PdfText pdf = d.savePdf(QStringLiteral("one.pdf"));
        QCOMPARE(pdf.pages, 1);
        QCOMPARE(totalOf(pdf), 700);
        QVERIFY(pdf.find(QStringLiteral("未区分")).isEmpty());
        QCOMPARE(d.prompter.texts(), QStringList { savedNotice(d.env.path(QStringLiteral("one.pdf")), 1) });
        d.prompter.clear();

        // The continuous form prints every category.
        QVERIFY(ScreenTest::chooseFromList(d.w.find<QComboBox>("Combo1"), QStringLiteral("HISAGO 1151")));
        QCOMPARE(d.prompter.texts(), QStringList { QStringLiteral("この用紙は、項目/分類別に出力できません。") });
        QVERIFY(d.w.find<QRadioButton>("Option2")->isChecked());
        QVERIFY(!category->isEnabled());
        // Only the continuous form is shifted; the shift is there the next time.
        QVERIFY(d.w.find<QGroupBox>("Frame12")->isEnabled());
        auto* across = d.w.find<QLineEdit>("Text2");
        across->selectAll();
        QTest::keyClicks(across, QStringLiteral("3"));
        QTest::keyClick(d.w.find<QWidget>("UpDown2"), Qt::Key_Up);
        QCOMPARE(across->text(), QStringLiteral("4"));
        d.w.screen->reject();
        QCOMPARE(d.settings.value(Setting::stOffsetX), QStringLiteral("4"));
        QCOMPARE(d.settings.value(Setting::stOffsetY), QStringLiteral("0"));
    }

    void missingCategoryAskedBeforePrinting_data() { ScreenTest::addNoAndYes(); }
    void missingCategoryAskedBeforePrinting()
    {
        QFETCH(bool, yes);
        SheetDialog d;
        d.category(1, QStringLiteral("食品"));
        d.line(1, QStringLiteral("りんご"), 100);
        d.line(7, QStringLiteral("消えた分類の品"), 250);
        d.open();
        d.prompter.answerAsk(yes);
        if (yes) {
            const PdfText pdf = d.savePdf(QStringLiteral("sheet.pdf"));
            QCOMPARE(pdf.pages, 2);
            QCOMPARE(pdf.find(QStringLiteral("未区分"), 2).size(), 1);
            QCOMPARE(totalOf(pdf), 350);
            QCOMPARE(d.prompter.texts().size(), 2);
            QCOMPARE(d.prompter.texts().constLast(), savedNotice(d.env.path(QStringLiteral("sheet.pdf")), 2));
        } else {
            d.w.click("cmdPdf");
            QCOMPARE(d.prompter.texts().constLast(), QStringLiteral("棚卸表作成を中止し棚卸表訂正を行ってください。"));
            QCOMPARE(d.prompter.unusedAnswers(), 0);
        }
        QCOMPARE(
            d.prompter.texts().constFirst(),
            QStringLiteral("項目/分類が登録された項目に属さない棚卸かあります。項目/分類を「未区分」に変更しますか？"));
    }

    void lineLeftOutHandsOverToTheCorrection()
    {
        SheetDialog d;
        d.category(1, QStringLiteral("食品"));
        d.category(-1, QStringLiteral("負の分類"));
        d.line(1, QStringLiteral("りんご"), 100);
        d.line(-1, QStringLiteral("載らない品"), 40);
        d.open();
        const PdfText pdf = d.savePdf(QStringLiteral("sheet.pdf"));
        QCOMPARE(totalOf(pdf), 100);
        QCOMPARE(d.prompter.texts(),
                 (QStringList {
                     savedNotice(d.env.path(QStringLiteral("sheet.pdf")), 1),
                     QStringLiteral("出力した棚卸表に出力漏れがあります。棚卸表「項目ID」の修正を行ってください。") }));
        QVERIFY(d.w.screen->correctionWanted());
        QVERIFY(!d.w.screen->isVisible());
    }

    void aLongPdfShowsHowFarItIsAndCanBeStopped()
    {
        // 3,000 lines of one category: 108 pages. The window shows at once here, as it does
        // after 0.7 s of work on the user's machine.
        WorkProgress::setShowAfter(0);
        SheetDialog d;
        d.category(1, QStringLiteral("食品"));
        QVERIFY(addSampleLines(d.db(), 3000));
        QVERIFY(d.db().exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "項目ID" = 1)")));
        d.open();
        // The user reads the window and presses its キャンセル while the pages are drawn.
        const CancelWhenShown user(d.w.screen);
        const QString path = d.env.path(QStringLiteral("long.pdf"));
        d.prompter.answerFile(path);
        d.w.click("cmdPdf");
        QCOMPARE(user.said.value(0), QStringLiteral("棚　卸　表　印刷"));
        QCOMPARE(user.said.value(1), QStringLiteral("棚卸表をPDFファイルに保存しています…"));
        QVERIFY2(user.said.value(2).endsWith(QStringLiteral(" / 108 ページ")), qPrintable(user.said.join(u'|')));
        // Stopped: no file, not even a part of one beside it, and nothing to say.
        QVERIFY(!QFile::exists(path));
        QCOMPARE(QDir(d.env.path({}))
                     .entryList({ QStringLiteral("*.pdf*"), QStringLiteral(".*.pdf*") }, QDir::Files | QDir::Hidden),
                 QStringList());
        QVERIFY2(d.prompter.texts().isEmpty(), qPrintable(d.prompter.texts().join(u'|')));
        QVERIFY(!d.w.screen->findChild<WorkProgress*>());

        // Let run, the file is saved, and the dialog says where and how many pages.
        d.prompter.answerFile(path);
        d.w.click("cmdPdf");
        WorkProgress::setShowAfter(700);
        QCOMPARE(d.prompter.texts(), QStringList { savedNotice(path, 108) });
        const PdfText pdf = readPdf(path);
        QCOMPARE(pdf.pages, 108);
    }

    void printersFontAndOffsetsKept()
    {
        SheetDialog d;
        ListedPrinters printers;
        printers.names = { QStringLiteral("Office"), QStringLiteral("Labels") };
        d.state.printers = &printers;
        d.state.PrinterName = QStringLiteral("Labels");
        d.open();
        auto* list = d.w.find<QComboBox>("Combo6");
        QCOMPARE(list->currentText(), QStringLiteral("Labels"));
        QVERIFY(ScreenTest::chooseFromList(list, QStringLiteral("Office")));
        QCOMPARE(d.state.currentPrinter, QStringLiteral("Office"));
        d.prompter.answerFont(QStringLiteral("@IPAGothic"));
        d.w.click("Command1");
        QCOMPARE(d.w.find<QLineEdit>("txtFontName")->text(), QStringLiteral("IPAGothic"));
        d.w.screen->reject();
        QCOMPARE(d.state.PrinterName, QStringLiteral("Office"));
        QCOMPARE(d.state.PrinterFont, QStringLiteral("IPAGothic"));
        // Opened again, the font dialog starts on the face chosen; cancelled, it changes nothing.
        d.open();
        d.prompter.answerFont(std::nullopt);
        d.w.click("Command1");
        QCOMPARE(d.prompter.shown().constLast().text, QStringLiteral("IPAGothic"));
        QCOMPARE(d.w.find<QLineEdit>("txtFontName")->text(), QStringLiteral("IPAGothic"));
        d.w.screen->reject();
        QCOMPARE(d.state.PrinterFont, QStringLiteral("IPAGothic"));
    }

    void openedFromTheMainWindowAndTheList()
    {
        MainWindow m;
        const QString file = m.env.newDatabase();
        m.start(file);
        m.addLine(file);
        QTest::keyClick(m.window.get(), Qt::Key_P, Qt::AltModifier);
        QTRY_COMPARE(m.modals.screens, QStringList { QStringLiteral("DialogTanaMoto1") });
        // The list's 印　刷 closes it for the dialog.
        m.modals.steps[QStringLiteral("frmList")]
            = [](QDialog* list) { list->findChild<QPushButton*>(QStringLiteral("Command2"))->click(); };
        m.trigger("Command3");
        QTRY_COMPARE(m.modals.screens.size(), 3);
        QCOMPARE(m.modals.screens.constLast(), QStringLiteral("DialogTanaMoto1"));
        QVERIFY(m.prompter.texts().isEmpty());
    }

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
                                savedNotice(pdf, 2), QStringLiteral("項目/分類名が選択されていません。"),
                                savedNotice(onePdf, 1) }));
        QString offered; // the name the last file dialog offered
        for (const auto& shown : m.prompter.shown())
            offered = shown.file.fileName.isEmpty() ? offered : shown.file.fileName;
        QCOMPARE(offered, QStringLiteral("棚卸記入帳20250331.pdf"));
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
        QCOMPARE(m.prompter.texts(), QStringList { savedNotice(pdf, 1) });

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

    // The code list's dialog saves the pages `kotrina print codes` prints; without a code, or
    // without the one category asked for, it says why and asks for no file.
    void theCodeListSavesWhatTheCommandLinePrints()
    {
        TestSession t;
        QVERIFY(t.openNewDatabase());
        ScreenTest::Driver<DialogCodeList> w;
        w.screen = new DialogCodeList(t.state);
        ScreenTest::showActive(w.screen);
        w.click("cmdPdf");
        QCOMPARE(t.prompter.texts(), QStringList { u"コードが登録された品名がありません。"_qs });

        QVERIFY(t.db().exec(u"INSERT INTO 仕入商品 VALUES (1, 'りんご', 120, '個'), (2, '唐揚げ', 398, 'ﾊﾟｯｸ')"_qs));
        QVERIFY(ProductCodes::addCode(t.db(), 1, u"4901234567894"_qs));
        QVERIFY(ProductCodes::addCode(t.db(), 2, u"2000001000007"_qs));
        w.find<QRadioButton>("Option1")->click();
        w.click("cmdPdf");
        QCOMPARE(t.prompter.texts().constLast(), u"項目/分類名が選択されていません。"_qs);
        w.find<QRadioButton>("Option2")->click();

        const QString saved = t.env.path(u"一覧.pdf"_qs);
        t.prompter.answerFile(saved);
        w.click("cmdPdf");
        QCOMPARE(t.prompter.texts().constLast(), savedNotice(saved, 1));
        const QString printed = t.env.path(u"cli.pdf"_qs);
        const Run r = kotrina({ u"print"_qs, u"codes"_qs, t.db().fileName(), u"--pdf"_qs, printed });
        QCOMPARE(r.err, QString());
        QVERIFY2(r.out.contains(u"1 頁、2 コード"_qs), qPrintable(r.out));
        // The same words but the date each was made (the dialog's day is the test's).
        QStringList dialogWords, cliWords;
        for (const PdfWord& word : readPdf(saved).words)
            dialogWords << word.text;
        for (const PdfWord& word : readPdf(printed).words)
            cliWords << word.text;
        QCOMPARE(dialogWords.removeAll(SheetText::dateText(t.clock.today())), 1);
        QCOMPARE(cliWords.removeAll(SheetText::dateText(QDate::currentDate())), 1);
        QCOMPARE(dialogWords, cliWords);
        QVERIFY(dialogWords.contains(u"店内"_qs) && dialogWords.contains(u"唐揚げ"_qs));
    }
};

KOTRINA_REGISTER_TEST(TestPrintDialogs)
#include "TestPrintDialogs.moc"
