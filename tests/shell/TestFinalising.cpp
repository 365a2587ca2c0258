// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "MainWindowTest.h"
#include "SampleData.h"
#include "TestRegistry.h"
#include "core/history/Finalisation.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/WorkProgress.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QFile>
#include <QTableView>

namespace {

const QDate Day(2026, 3, 31); // the day the tests' clock holds, and the date finalised
const QDate EarlierDay(2025, 3, 31);

// A shop with 30 lines on Day and 5 on EarlierDay, every category registered.
QString shop(const TestEnvironment& env)
{
    const QString file = sampleDatabase(env, 30);
    Database db;
    if (!db.open(file) || !addSampleLines(db, 5, EarlierDay)
        || !db.exec(QStringLiteral(R"(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60)
                                      INSERT INTO "項目分類" SELECT i, '分類' || i FROM n)")))
        return {};
    return file;
}

void finalise(const QString& file, QDate date)
{
    Database db;
    QVERIFY(db.open(file));
    Finalisation::Options options;
    options.fontFamily = QStringLiteral("IPAMincho");
    const Finalisation::Outcome outcome = Finalisation::finalise(db, date, options);
    QVERIFY2(outcome.status == Finalisation::Outcome::Status::Done, qPrintable(outcome.message));
}

// What a finalised date must keep: its lines, and the masters a refused line would have filled.
QStringList fileState(const Database& db)
{
    return { Finalisation::linesText(db, Day).value_or(u"unreadable"_qs), QString::number(rowCount(db, Table::Tana)),
             QString::number(rowCount(db, Table::Koumoku)), QString::number(rowCount(db, Table::Shohin)),
             QString::number(rowCount(db, Table::Tani)) };
}

void click(QWidget* parent, const char* name)
{
    auto* button = parent->findChild<QPushButton*>(QString::fromLatin1(name));
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
    ScreenTest::settle();
}

} // namespace

class TestFinalising : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void finaliseUndoAndFinaliseAgainFromTheMenu();
    void cancelledFinalisingStoresNothing();
    void finalisedDateRefusesEveryChangeInTheScreens();
};

void TestFinalising::finaliseUndoAndFinaliseAgainFromTheMenu()
{
    MainWindow m;
    const QString file = shop(m.env);
    QVERIFY(!file.isEmpty());
    m.start(file);
    auto* mark = m.find<QLabel>("lblKakutei");
    QVERIFY(mark->text().isEmpty());
    // The entry screen is open beside the main window while the date is finalised.
    m.prompter.answerAsk(true); // the settlement date is today's
    m.trigger("Command17");
    frmTana* entry = m.window->findChild<frmTana*>();
    QVERIFY(entry);
    auto* entryMark = entry->findChild<QLabel*>(u"lblKakutei"_qs);
    QVERIFY(entryMark->text().isEmpty());
    m.prompter.clear();

    // 棚卸の確定 in the simple layout: the date is locked and what was stored is said.
    const auto finaliseIn = [&m](const QString& layout) {
        m.modals.steps[u"DialogKakutei"_qs] = [layout](QDialog* dialog) {
            QVERIFY(ScreenTest::chooseFromList(dialog->findChild<QComboBox*>(u"Combo1"_qs), layout));
            click(dialog, "cmdKakutei");
            QVERIFY(!dialog->isVisible()); // closed once finalised
        };
        m.trigger("mnuKakutei");
    };
    finaliseIn(u"A４　簡易棚卸表"_qs);
    const Database& db = m.db();
    std::optional<QList<Finalisation::Record>> records = Finalisation::records(db, Day);
    QVERIFY(records && records->size() == 1);
    const Finalisation::Record first = records->constFirst();
    QCOMPARE(first.layoutName, u"A４　簡易棚卸表"_qs);
    QCOMPARE(first.lineCount, 30);
    QCOMPARE(m.prompter.texts().size(), 1);
    const QString said = m.prompter.texts().constFirst();
    QVERIFY2(said.startsWith(u"決算日 2026/03/31 の棚卸を確定しました（30 行"_qs), qPrintable(said));
    QVERIFY2(said.endsWith(u"SHA-256："_qs + first.pdfHash.left(16) + u"…"_qs), qPrintable(said));
    const QString finalisedMark = u"確定済み（%1）"_qs.arg(first.finalisedAt.toString(u"yyyy/MM/dd HH:mm"_qs));
    QCOMPARE(mark->text(), finalisedMark);
    QCOMPARE(entryMark->text(), finalisedMark);

    // The mark belongs to the date: another date shows none.
    auto* picker = m.find<QDateEdit>("DTPicker1");
    ScreenTest::typeDate(picker, u"2025/03/31"_qs);
    QVERIFY(mark->text().isEmpty());
    ScreenTest::typeDate(picker, u"2026/03/31"_qs);
    QCOMPARE(mark->text(), finalisedMark);

    // 確定の取消: No to the question changes nothing; an empty reason is refused and the
    // dialog stays; the reason typed is kept with the undoing.
    m.prompter.clear();
    m.prompter.answerAsk(false);
    m.trigger("mnuKakuteiTorikeshi");
    QVERIFY(Finalisation::lockOf(db, Day));
    m.prompter.answerAsk(true);
    m.modals.steps[u"DialogKakuteiTorikeshi"_qs] = [](QDialog* dialog) {
        click(dialog, "cmdTorikeshi");
        QVERIFY(dialog->isVisible());
        ScreenTest::type(dialog->findChild<QLineEdit*>(u"txtRiyu"_qs), u"数量の数え違い"_qs);
        click(dialog, "cmdTorikeshi");
    };
    m.trigger("mnuKakuteiTorikeshi");
    const QString question = u"決算日 2026/03/31 の棚卸の確定（%1）を取り消しますか？\r"
                             "取り消すと、この決算日の棚卸をまた変更できるようになります。"
                             "確定した棚卸表のPDFは記録として残ります。"_qs.arg(finalisedMark.mid(5, 16));
    QCOMPARE(m.prompter.texts(),
             QStringList({ question, question, u"取消の理由を入力してください。"_qs,
                           u"決算日 2026/03/31 の棚卸の確定を取り消しました。"_qs }));
    QVERIFY(!Finalisation::lockOf(db, Day));
    QVERIFY(mark->text().isEmpty());
    QVERIFY(entryMark->text().isEmpty());
    records = Finalisation::records(db, Day);
    QCOMPARE(records->constFirst().undoReason, u"数量の数え違い"_qs);

    // Finalised again: a second PDF beside the first, which stays as it was filed.
    m.prompter.clear();
    finaliseIn(u"A４　オリジナル棚卸表"_qs);
    records = Finalisation::records(db, Day);
    QCOMPARE(records->size(), 2);
    QVERIFY(!records->at(0).active() && records->at(1).active());
    const std::optional<QByteArray> firstPdf = Finalisation::pdf(db, records->at(0).id);
    const std::optional<QByteArray> secondPdf = Finalisation::pdf(db, records->at(1).id);
    QVERIFY(firstPdf && firstPdf->startsWith("%PDF") && secondPdf && secondPdf->startsWith("%PDF"));
    QCOMPARE(QCryptographicHash::hash(*firstPdf, QCryptographicHash::Sha256).toHex(), first.pdfHash.toLatin1());
    QVERIFY(*firstPdf != *secondPdf);

    // 確定した棚卸表の保存 writes the stored PDF chosen (newest first) byte for byte.
    m.prompter.clear();
    QStringList offered;
    for (int older : { 0, 1 }) {
        m.modals.steps[u"DialogKakuteiHozon"_qs] = [&offered, older](QDialog* dialog) {
            auto* choice = dialog->findChild<QComboBox*>(u"Combo1"_qs);
            offered = ScreenTest::itemTexts(choice);
            QVERIFY(ScreenTest::chooseFromList(choice, offered.at(older)));
            click(dialog, "cmdHozon");
        };
        const QString saved = m.env.path(u"提出した棚卸表%1.pdf"_qs.arg(older));
        m.prompter.answerFile(saved);
        m.trigger("mnuKakuteiHozon");
        QFile out(saved);
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), older ? *firstPdf : *secondPdf);
    }
    QCOMPARE(offered.size(), 2);
    QVERIFY2(offered.at(1).endsWith(u"取消：数量の数え違い）"_qs), qPrintable(offered.at(1)));
    // 確定の確認 finds nothing changed since the latest finalisation.
    m.trigger("mnuKakuteiKakunin");
    const ScriptedPrompter::Shown verified = m.prompter.shown().constLast();
    QCOMPARE(verified.title, u"確定の確認"_qs);
    QCOMPARE(verified.icon, Prompter::Icon::Information);
    QVERIFY2(verified.text.contains(u"変更されていません"_qs), qPrintable(verified.text));
    QVERIFY(m.prompter.problems().isEmpty());
}

void TestFinalising::cancelledFinalisingStoresNothing()
{
    MainWindow m;
    const QString file = shop(m.env);
    QVERIFY(!file.isEmpty());
    {
        Database db;
        QVERIFY(db.open(file) && addSampleLines(db, 300)); // about a dozen pages
    }
    m.start(file);
    // The window of long work shows at once here, as it does after 0.7 s on a large date; the
    // user reads it and presses its キャンセル while the pages are drawn.
    WorkProgress::setShowAfter(0);
    QStringList said;
    m.modals.steps[u"DialogKakutei"_qs] = [&said](QDialog* dialog) {
        const CancelWhenShown user(dialog);
        click(dialog, "cmdKakutei");
        said = user.said;
        QVERIFY(dialog->isVisible()); // stays for another try
    };
    m.trigger("mnuKakutei");
    WorkProgress::setShowAfter(WorkProgress::ShowAfterMs);
    QCOMPARE(said.value(0), u"棚卸の確定"_qs);
    QCOMPARE(said.value(1), u"確定する棚卸表をPDFに出力しています…"_qs);
    QCOMPARE(m.prompter.texts(), QStringList { u"棚卸の確定を中止しました。"_qs });
    QVERIFY(!Finalisation::lockOf(m.db(), Day));
    QCOMPARE(Finalisation::records(m.db(), Day).value_or(QList<Finalisation::Record> { {} }).size(), 0);
    QVERIFY(m.find<QLabel>("lblKakutei")->text().isEmpty());
}

void TestFinalising::finalisedDateRefusesEveryChangeInTheScreens()
{
    MainWindow m;
    const QString file = shop(m.env);
    QVERIFY(!file.isEmpty());
    finalise(file, Day);
    m.start(file);
    const Database& db = m.db();
    const std::optional<Finalisation::DateLock> lock = Finalisation::lockOf(db, Day);
    QVERIFY(lock);
    const QString refusal = Finalisation::refusal(*lock);
    QVERIFY2(refusal.contains(u"2026/03/31"_qs) && refusal.contains(lock->since.toString(u"yyyy/MM/dd HH:mm"_qs)),
             qPrintable(refusal));
    const QStringList before = fileState(db);
    QVERIFY(m.find<QLabel>("lblKakutei")->text().startsWith(u"確定済み（"_qs));

    // The entry screen: 入力 refuses and keeps what was typed, 削除 refuses without asking,
    // and nothing is registered on the way (not even the new category typed).
    m.prompter.answerAsk(true); // the settlement date is today's
    m.trigger("Command17");
    m.prompter.clear();
    frmTana* entry = m.window->findChild<frmTana*>();
    QVERIFY(entry);
    QCOMPARE(entry->findChild<QLabel*>(u"lblKakutei"_qs)->text(), m.find<QLabel>("lblKakutei")->text());
    auto* category = entry->findChild<QComboBox*>(u"dbcNouhin"_qs);
    auto* product = entry->findChild<QComboBox*>(u"dbcShohin"_qs);
    ScreenTest::type(category, u"新しい分類"_qs);
    ScreenTest::type(product, u"りんご"_qs);
    ScreenTest::type(entry->findChild<QLineEdit*>(u"txtCnt"_qs), u"3"_qs);
    ScreenTest::type(entry->findChild<QLineEdit*>(u"txtTanka"_qs), u"120"_qs);
    click(entry, "cmdSubAdd");
    QCOMPARE(product->currentText(), u"りんご"_qs);
    QVERIFY(ScreenTest::clickCell(entry->findChild<QTableView*>(u"dgdSub"_qs), 0, 3));
    click(entry, "cmdMasterCancel");
    QCOMPARE(m.prompter.texts(), QStringList(2, refusal));
    entry->close();

    // The correction screen: a cell edit and 削除 refuse; the earlier date is still corrected.
    m.prompter.clear();
    m.modals.steps[u"frmInAmd2"_qs] = [&m](QDialog* correction) {
        QCOMPARE(correction->findChild<QLabel*>(u"lblKakutei"_qs)->text(), m.find<QLabel>("lblKakutei")->text());
        click(correction, "Command4"); // すべての棚卸: the lines of both dates, the finalised first
        auto* grid = correction->findChild<QTableView*>(u"dgdSub"_qs);
        QCOMPARE(grid->model()->rowCount(), 35);
        QVERIFY(ScreenTest::editCell(grid, 0, 4, u"9"_qs));
        QVERIFY(ScreenTest::clickCell(grid, 1, 3));
        click(correction, "cmdMasterCancel");
        // A line of the other date is not moved into the finalised one either.
        QVERIFY(ScreenTest::editCell(grid, 30, 1, u"2026/03/31"_qs));
        QVERIFY(ScreenTest::editCell(grid, 30, 4, u"9"_qs));
    };
    m.trigger("Command19");
    QCOMPARE(m.prompter.texts(), QStringList(3, refusal));
    QCOMPARE(lineField(db, 31, "数量").toDouble(), 9.0);

    // The import of lines refuses the date before it asks or reads the file.
    m.prompter.clear();
    const QString lines = m.env.writeFile(u"棚卸.txt"_qs, "品名\t数量\t単価\nりんご\t3\t120\n");
    m.prompter.answerFile(lines);
    m.modals.steps[u"DialogExcelA"_qs] = [](QDialog* import) {
        click(import, "Command2");
        click(import, "Command1");
    };
    m.trigger("Command5");
    QCOMPARE(m.prompter.texts(), QStringList { refusal });

    // The data deletion of the lines (alone or with everything) refuses before it asks.
    m.prompter.clear();
    m.trigger("Command1"); // the repair frame
    auto* items = m.find<QComboBox>("Combo3");
    for (const QString& item : { u"棚卸表"_qs, u"すべて選択"_qs }) {
        QVERIFY(ScreenTest::chooseFromList(items, item));
        m.trigger("Command58");
    }
    QCOMPARE(m.prompter.texts(), QStringList(2, refusal));

    // Printing still works: the sheet of the finalised date is saved as a PDF.
    m.prompter.clear();
    const QString sheet = m.env.path(u"sheet.pdf"_qs);
    m.prompter.answerFile(sheet);
    m.modals.steps[u"DialogTanaMoto1"_qs] = [](QDialog* print) { click(print, "cmdPdf"); };
    m.trigger("Command21");
    QVERIFY(QFile::exists(sheet));
    QCOMPARE(m.prompter.texts().size(), 1);
    QVERIFY(m.prompter.texts().constFirst().startsWith(u"PDFファイルを保存しました"_qs));

    // A category deleted after finalising leaves lines without one: the move to 未区分 that the
    // correction screen offers is refused.
    m.prompter.clear();
    {
        Database other;
        QVERIFY(other.open(file));
        QVERIFY(other.exec(u"DELETE FROM \"項目分類\" WHERE \"項目ID\" = 1"_qs));
    }
    m.prompter.answerAsk(true);
    // The check runs once the screen is the active window.
    m.modals.steps[u"frmInAmd2"_qs] = [&m](QDialog*) { QTRY_COMPARE(m.prompter.texts().size(), 2); };
    m.trigger("Command19");
    QCOMPARE(m.prompter.texts(),
             QStringList(
                 { u"表示された棚卸は、項目/分類が設定されていません。項目IDを「０」に変更しますか？"_qs, refusal }));

    QStringList after = fileState(db);
    after[2] = QString::number(after[2].toInt() + 1); // the category deleted above
    QCOMPARE(after, before);
    QCOMPARE(Finalisation::verify(db, Day).status, Finalisation::Verification::Status::Unchanged);
    QVERIFY(m.prompter.problems().isEmpty());
}

KOTRINA_REGISTER_TEST(TestFinalising)
#include "TestFinalising.moc"
