// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "MainWindowTest.h"
#include "PdfText.h"
#include "ReadBack.h"
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/history/HistoryListModel.h"
#include "core/store/HistoryTrail.h"
#include "gui/review/frmInAmd2.h"
#include "gui/review/frmRireki.h"
#include "gui/widgets/LookupCombo.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace {

const QDate Day(2026, 3, 31);

// A database whose lines of Day and of the year before were added, and then some changed,
// by plain statements: the file records each as it would any program's.
struct History : TestSession
{
    History()
    {
        QVERIFY(openNewDatabase());
        QVERIFY(db().exec(uR"(INSERT INTO "項目分類" VALUES (2, 'AB'))"_qs));
        QVERIFY(
            db().exec(uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格")
            VALUES (1, '2026-03-31', 2, 'りんご', 3, '個', 100, 300),
                   (2, '2026-03-31', 2, 'みかん', 2, '箱', 400, 800),
                   (3, '2026-03-31', 2, '青りんご', 1, '個', 50, 50),
                   (4, '2025-03-31', 2, 'りんご', 9, '個', 90, 810))"_qs));
    }
    bool change(const QString& statement) { return db().exec(statement); }
};

// The history screen on History, driven through its boxes.
struct HistoryScreen : History, ScreenTest::Driver<frmRireki>
{
    void open()
    {
        screen = new frmRireki(state, Day);
        ScreenTest::showActive(screen);
    }
    QTableView* grid() const { return find<QTableView>("dgdRireki"); }
    QStringList column(int c) const { return ScreenTest::columnTexts(grid(), c); }
    void search(const QString& name, const QString& minAmount = {}, const QString& maxAmount = {},
                const QString& from = {}, const QString& until = {})
    {
        ScreenTest::replaceText(find("txtName"), name);
        ScreenTest::replaceText(find("txtMinAmount"), minAmount);
        ScreenTest::replaceText(find("txtMaxAmount"), maxAmount);
        ScreenTest::replaceText(find("txtFrom"), from);
        ScreenTest::replaceText(find("txtUntil"), until);
        click("Command1");
    }
    QString status() const { return find<QLineEdit>("Text1")->text(); }
};

// The rows of the one line's history window, cell by cell, read while it is open.
QList<QStringList> readLineWindow(QDialog* window, QString* caption)
{
    *caption = window->findChild<QLabel*>(u"Label1"_qs)->text();
    auto* table = window->findChild<QTableWidget*>(u"dgdRireki"_qs);
    QList<QStringList> rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
        rows << cells;
    }
    return rows;
}

} // namespace

class TestHistoryScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aCorrectionShowsInTheLinesHistory();
    void searchNarrowsByNameAmountAndTime();
    void pagesOfALongHistory();
    void printedAndExported();
    void openedFromTheMenu();
};

void TestHistoryScreens::aCorrectionShowsInTheLinesHistory()
{
    History h;
    ModalAnswerer modals;
    ScreenTest::Driver<frmInAmd2> w;
    w.screen = new frmInAmd2(h.state, Day);
    ScreenTest::showActive(w.screen);
    // Nothing listed yet: there is no line to show the history of.
    w.click("cmdRireki");
    QCOMPARE(h.prompter.texts().value(0), u"履歴を表示する棚卸を選択してください。"_qs);

    auto* product = w.find<LookupCombo>("dbcShohin");
    product->setFocus();
    ScreenTest::type(product, u"りんご"_qs);
    ScreenTest::settle();
    auto* grid = w.find<QTableView>("dgdSub");
    QCOMPARE(ScreenTest::columnIds(grid), (QList<int> { 1, 3 }));
    // 数量 of りんご from 3 to 8, then its unit from 個 to 袋, as the user types them.
    QVERIFY(ScreenTest::editCell(grid, 0, 4, u"8"_qs));
    QVERIFY(ScreenTest::editCell(grid, 0, 5, u"袋"_qs));

    QString caption;
    QList<QStringList> rows;
    modals.steps[u"frmRirekiLine"_qs] = [&](QDialog* window) { rows = readLineWindow(window, &caption); };
    QVERIFY(ScreenTest::clickCell(grid, 0, 3));
    w.click("cmdRireki");
    QCOMPARE(modals.screens, QStringList { u"frmRirekiLine"_qs });
    QCOMPARE(caption, u"ID 1　りんご"_qs);
    // Oldest first: the line added with its values, then each correction with the column it
    // changed, before and after. 日時, 端末, 種類 head each entry.
    QVERIFY2(rows.size() >= 3, qPrintable(QString::number(rows.size())));
    QCOMPARE(rows[0][2], u"追加"_qs);
    const QList<QStringList> lastTwo = rows.mid(rows.size() - 2);
    QCOMPARE(lastTwo[0].mid(2), (QStringList { u"変更"_qs, u"数量"_qs, u"3"_qs, u"8"_qs }));
    QCOMPARE(lastTwo[1].mid(2), (QStringList { u"変更"_qs, u"単位"_qs, u"個"_qs, u"袋"_qs }));
    QVERIFY(!lastTwo[0][0].isEmpty());
    // Written through the grid by this program, not counted as another program's.
    QCOMPARE(lastTwo[1][1], HistoryTrail::station());
    // The added line's rows hold its values after, nothing before.
    const auto added = std::find_if(rows.cbegin(), rows.cend(), [](const QStringList& r) { return r[3] == u"品名"; });
    QVERIFY(added != rows.cend());
    QCOMPARE(added->mid(4), (QStringList { QString(), u"りんご"_qs }));
}

void TestHistoryScreens::searchNarrowsByNameAmountAndTime()
{
    HistoryScreen s;
    QVERIFY(s.change(uR"(UPDATE "棚卸マスター" SET "数量" = 5, "価格" = 500 WHERE "ID" = 1)"_qs));
    QVERIFY(s.change(uR"(DELETE FROM "棚卸マスター" WHERE "ID" = 2)"_qs));
    s.open();
    enum
    {
        Time,
        Station,
        Kind,
        LineId,
        Name,
        Amount,
        Content
    };
    // Everything of the date, in the order written; the line of the year before is not there.
    QCOMPARE(s.column(LineId), (QStringList { u"1"_qs, u"2"_qs, u"3"_qs, u"1"_qs, u"2"_qs }));
    QCOMPARE(s.column(Kind), (QStringList { u"追加"_qs, u"追加"_qs, u"追加"_qs, u"変更"_qs, u"削除"_qs }));
    QCOMPARE(s.column(Content).value(3), u"数量: 3 → 5、価格: 300 → 500"_qs);
    QCOMPARE(s.status(), u"該当する変更　5 件"_qs);

    // By name: a part of it, full-width or not as stored.
    s.search(u"りんご"_qs);
    QCOMPARE(s.column(LineId), (QStringList { u"1"_qs, u"3"_qs, u"1"_qs }));
    // By amount: 価格 of the line as the entry tells it.
    s.search({}, u"４００"_qs, u"1,000"_qs);
    QCOMPARE(s.column(LineId), (QStringList { u"2"_qs, u"1"_qs, u"2"_qs }));
    QCOMPARE(s.column(Amount), (QStringList { u"800"_qs, u"500"_qs, u"800"_qs }));
    s.search(u"りんご"_qs, u"400"_qs);
    QCOMPARE(s.column(LineId), QStringList { u"1"_qs });
    QCOMPARE(s.status(), u"該当する変更　1 件"_qs);

    // By time: today takes in everything, the day before or after nothing; a date alone as
    // the end takes in the whole of that day.
    const QString today = QDate::currentDate().toString(u"yyyy/MM/dd"_qs);
    s.search({}, {}, {}, today, today);
    QCOMPARE(s.column(Kind).size(), 5);
    s.search({}, {}, {}, QDate::currentDate().addDays(1).toString(u"yyyy/MM/dd"_qs));
    QCOMPARE(s.column(Kind), QStringList());
    QCOMPARE(s.status(), u"該当する変更　0 件"_qs);
    QVERIFY(!s.find<QPushButton>("Command2")->isEnabled());
    s.search({}, {}, {}, {}, QDate::currentDate().addDays(-1).toString(u"yyyy/MM/dd"_qs));
    QCOMPARE(s.column(Kind), QStringList());
    // To the minute: an entry's own minute is inside a range ending there.
    const QString minute = s.screen->findChild<QTableView*>()->model()->index(0, Time).data().toString().left(16);
    s.search({}, {}, {}, {}, minute);
    QCOMPARE(s.column(Kind).size(), 5);

    // What is no amount or no time is said, and the box keeps the focus; the list stays.
    s.prompter.clear();
    s.search({}, u"abc"_qs);
    QCOMPARE(s.prompter.texts(), QStringList { u"価格は数値で入力してください。"_qs });
    QCOMPARE(QApplication::focusWidget(), s.find("txtMinAmount"));
    QCOMPARE(s.column(Kind).size(), 5);
    s.prompter.clear();
    s.search({}, u"900"_qs, u"100"_qs);
    QCOMPARE(s.prompter.texts(), QStringList { u"価格の範囲は、小さい方から大きい方へ入力してください。"_qs });
    QCOMPARE(QApplication::focusWidget(), s.find("txtMaxAmount"));
    s.prompter.clear();
    s.search({}, {}, {}, u"2026/02/30"_qs);
    QCOMPARE(s.prompter.texts(),
             QStringList { u"日時は yyyy/MM/dd または yyyy/MM/dd hh:mm の形で入力してください。"_qs });
    QCOMPARE(QApplication::focusWidget(), s.find("txtFrom"));

    // Enter moves on from box to box, as everywhere.
    s.find("txtName")->setFocus();
    QTest::keyClick(s.find("txtName"), Qt::Key_Return);
    ScreenTest::settle();
    QCOMPARE(QApplication::focusWidget(), s.find("txtMinAmount"));

    // Another date lists its own history.
    s.prompter.clear();
    ScreenTest::replaceText(s.find("txtFrom"), {});
    ScreenTest::typeDate(s.find<QDateEdit>("DTPicker1"), u"2025/03/31"_qs);
    QCOMPARE(s.column(LineId), QStringList { u"4"_qs });
    QCOMPARE(s.prompter.texts(), QStringList());
}

void TestHistoryScreens::pagesOfALongHistory()
{
    History h;
    // 600 lines added in one statement: an entry each.
    QVERIFY(h.change(uR"(WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 FROM n WHERE i < 609)
        INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格")
        SELECT i, '2026-03-31', 2, 'くり' || i, 1, '個', i, i FROM n)"_qs));
    HistoryListModel model;
    model.setDatabase(&h.db());
    ChangeHistory::Filter all;
    all.date = Day;
    QVERIFY(model.select(all));
    QCOMPARE(model.found(), 603);
    // A page is read at first, the next ones as the grid asks for them, in the order written.
    QCOMPARE(model.rowCount(), HistoryListModel::PageSize);
    QList<qint64> ids;
    while (model.canFetchMore({}))
        model.fetchMore({});
    QCOMPARE(model.rowCount(), 603);
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.entry(row)->lineId;
    QList<qint64> expected { 1, 2, 3 };
    for (qint64 id = 10; id <= 609; ++id)
        expected << id;
    QCOMPARE(ids, expected);
    QVERIFY(!model.failed());

    // Narrowed, the count and the pages follow the search.
    ChangeHistory::Filter some = all;
    some.minAmount = 300;
    some.maxAmount = 599;
    QVERIFY(model.select(some));
    QCOMPARE(model.found(), 301); // りんご (300) and くり300 to くり599
    QCOMPARE(model.entry(0)->lineId, 1);
    QCOMPARE(model.entry(1)->lineId, 300);
}

void TestHistoryScreens::printedAndExported()
{
    HistoryScreen s;
    // A date with more entries than a page holds: 40 more lines added.
    QVERIFY(s.change(uR"(WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 FROM n WHERE i < 49)
        INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格")
        SELECT i, '2026-03-31', 2, 'くり' || i, 1, '個', i * 10, i * 10 FROM n)"_qs));
    QVERIFY(s.change(uR"(UPDATE "棚卸マスター" SET "単価" = 120, "価格" = 360 WHERE "ID" = 1)"_qs));
    s.open();
    ModalAnswerer modals;

    // All of the date: 44 entries, two pages.
    const QString allPdf = s.env.path(u"all.pdf"_qs);
    modals.steps[u"DialogRirekiP"_qs] = [&](QDialog* dialog) {
        s.prompter.answerFile(allPdf);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdPdf"_qs), Qt::LeftButton);
    };
    s.click("Command2");
    QCOMPARE(modals.screens, QStringList { u"DialogRirekiP"_qs });
    QCOMPARE(s.prompter.texts().value(0),
             u"PDFファイルを保存しました（2 ページ）。\r"_qs + QDir::toNativeSeparators(allPdf));
    PdfText pdf = readPdf(allPdf);
    QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
    QCOMPARE(pdf.pages, 2);
    QCOMPARE(pdf.find(u"決算日"_qs, 1).size(), 1);
    QCOMPARE(pdf.find(u"2026/03/31"_qs, 2).size(), 1);
    QCOMPARE(pdf.find(u"くり49"_qs, 2).size(), 1);
    QStringList count;
    for (const PdfWord& word : pdf.row(2, 262))
        count << word.text;
    QCOMPARE(count, (QStringList { u"件数"_qs, u"44"_qs, u"件"_qs }));
    // The correction, on the second page, in one row: its time, kind, ID, name and change (the
    // change on two lines of a smaller size where it is too long for one).
    const QList<PdfWord> changed = pdf.find(u"変更"_qs, 2);
    QCOMPARE(changed.size(), 1);
    QStringList row;
    for (const PdfWord& word : pdf.words) {
        if (word.page == 2 && word.y0 > changed[0].y0 - 4 && word.y1 < changed[0].y1 + 2)
            row << word.text;
    }
    const QString printed = row.join(u' ');
    for (const QString& part : { u"1 りんご"_qs, u"単価: 100 → 120、"_qs, u"価格: 300 → 360"_qs })
        QVERIFY2(printed.contains(part), qPrintable(printed));

    // Narrowed by name: the search is printed under the title, and only what it found.
    s.search(u"りんご"_qs);
    const QString somePdf = s.env.path(u"some.pdf"_qs);
    s.prompter.clear();
    modals.screens.clear();
    modals.steps[u"DialogRirekiP"_qs] = [&](QDialog* dialog) {
        QCOMPARE(dialog->findChild<QLineEdit*>(u"Text1"_qs)->text(), u"品名「りんご」"_qs);
        s.prompter.answerFile(somePdf);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdPdf"_qs), Qt::LeftButton);
    };
    s.click("Command2");
    pdf = readPdf(somePdf);
    QCOMPARE(pdf.pages, 1);
    QCOMPARE(pdf.find(u"検索条件：品名「りんご」"_qs).size(), 1);
    QCOMPARE(pdf.find(u"くり10"_qs).size(), 0);
    QCOMPARE(pdf.find(u"青りんご"_qs).size(), 1);

    // The export writes what the list found, numbers as numbers, and opens it.
    const QString book = s.env.path(u"history.xlsx"_qs);
    s.prompter.clear();
    s.prompter.answerFile(book);
    s.click("Command3");
    QCOMPARE(s.desktop.opened.size(), 1);
    const ReadBack read = readWorkbook(book);
    QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
    QCOMPARE(read.rows.value(0),
             (QVariantList { u"番号"_qs, u"日時"_qs, u"種類"_qs, u"ID"_qs, u"日付"_qs, u"品名"_qs, u"金額"_qs,
                             u"内容"_qs, u"端末"_qs }));
    QCOMPARE(read.rows.size(), 4);
    QCOMPARE(read.rows[1].mid(2, 5), (QVariantList { u"追加"_qs, 1.0, u"2026/03/31"_qs, u"りんご"_qs, 300.0 }));
    QCOMPARE(read.rows[3].mid(2, 6),
             (QVariantList { u"変更"_qs, 1.0, u"2026/03/31"_qs, u"りんご"_qs, 360.0,
                             u"単価: 100 → 120、価格: 300 → 360"_qs }));
}

void TestHistoryScreens::openedFromTheMenu()
{
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.start(file);
    QString title;
    m.modals.steps[u"frmRireki"_qs] = [&](QDialog* screen) { title = screen->windowTitle(); };
    m.trigger("mnuRireki");
    QCOMPARE(m.modals.screens, QStringList { u"frmRireki"_qs });
    QCOMPARE(title, u"変　更　履　歴"_qs);

    // A file of an earlier version looked at read-only keeps no history: said, nothing opens.
    m.state.DatabaseConnection.close();
    QVERIFY(makeVersion(file, 4));
    QVERIFY(m.state.DatabaseConnection.open(file, nullptr, Database::Access::ReadOnly));
    m.trigger("mnuRireki");
    QCOMPARE(m.modals.screens.size(), 1);
    QCOMPARE(m.prompter.texts(),
             QStringList { u"このファイルには変更履歴がありません。\r"
                           "古い形式のファイルを読み取り専用で開いているため、"
                           "変更履歴を記録できる形式になっていません。"_qs });
}

KOTRINA_REGISTER_TEST(TestHistoryScreens)
#include "TestHistoryScreens.moc"
