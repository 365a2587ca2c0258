#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/LookupCombo.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace {

struct CountingInputMethod final : InputMethod
{
    int opened = 0;
    void open() override { ++opened; }
};

// The entry screen on a fresh database, with the day fixed and every dialog scripted.
struct EntryScreen : TestSession, ScreenTest::Driver<frmTana>
{
    CountingInputMethod ime;
    ModalAnswerer modals;

    EntryScreen() { state.inputMethod = &ime; }

    void open(bool withProducts = true)
    {
        QVERIFY(openNewDatabase());
        if (withProducts)
            QVERIFY(db().exec(
                QStringLiteral(R"(INSERT INTO "仕入商品" VALUES (1, 'みかん', 80, '箱'), (2, 'なし', NULL, NULL))")));
        screen = new frmTana(state, QDate(2026, 3, 31));
        ScreenTest::showActive(screen);
    }

    QString text(const char* name) const
    {
        if (auto* combo = find<LookupCombo>(name))
            return combo->text();
        return find<QLineEdit>(name)->text();
    }
    QWidget* focus() const { return QApplication::focusWidget(); }
    void fill(const char* name, const QString& text) { ScreenTest::replaceText(find(name), text); }

    // Types into the focused field and presses Enter, as a user does.
    void type(const QString& text)
    {
        ScreenTest::type(focus(), text);
        QTest::keyClick(focus(), Qt::Key_Return);
        ScreenTest::settle();
    }
    QVariantList lines() const
    {
        QSqlQuery q(state.DatabaseConnection.connection());
        q.exec(QStringLiteral(
            R"(SELECT "項目ID", "品名", "数量", "単位", "単価", "価格", "備考", "品名ID" FROM "棚卸マスター" ORDER BY "ID")"));
        QVariantList rows;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < 8; ++i)
                row << q.value(i);
            rows << QVariant(row);
        }
        return rows;
    }
};

} // namespace

// The entry screen driven as a user drives it: typing, Enter, 入力.
class TestEntryScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typeALine();
    void productFillsUnitPriceAndHistory();
    void badNumbersAreRefused();
    void categoryQuestion();
    void nameLimits();
    void helpOnceOnEmptyProducts();
    void deleteALine();
    void newLinesJoinALongDay();
    void decimalAmountsAndNumberLimits();
    void addButtonTurnsWhite();
    void unreadableLinesSaySo();
    void historySaysWhenMoreMatched();
};

void TestEntryScreen::typeALine()
{
    EntryScreen e;
    e.open();
    QCOMPARE(e.focus(), e.find("dbcNouhin"));
    QVERIFY(e.ime.opened > 0);
    QCOMPARE(e.text("Text3"), QStringLiteral("Max Record 0   Total "));

    e.type(QStringLiteral("食品"));
    QCOMPARE(e.text("Text1"), QStringLiteral("1")); // registered on leaving
    QCOMPARE(e.focus(), e.find("dbcShohin"));
    e.type(QStringLiteral("りんご"));
    QCOMPARE(e.focus(), e.find("dbcTani"));
    e.type(QStringLiteral("個"));
    e.type(QStringLiteral("3"));
    QCOMPARE(e.focus(), e.find("txtTanka"));
    e.type(QStringLiteral("12.5"));
    e.type(QStringLiteral("棚A"));
    QCOMPARE(e.focus(), e.find("cmdSubAdd"));
    e.click("cmdSubAdd");

    QVERIFY(e.prompter.shown().isEmpty());
    QCOMPARE(e.lines(),
             QVariantList({ QVariantList(
                 { 1, QStringLiteral("りんご"), 3.0, QStringLiteral("個"), 12.5, 37.0, QStringLiteral("棚A"), 3 }) }));
    QCOMPARE(e.text("dbcShohin"), QString());
    QCOMPARE(e.text("dbcTani"), QString());
    QCOMPARE(e.text("txtCnt"), QString());
    QCOMPARE(e.text("txtTanka"), QString());
    QCOMPARE(e.text("dbcNouhin"), QStringLiteral("食品"));
    QCOMPARE(e.text("txtMemo"), QStringLiteral("棚A"));
    QCOMPARE(e.focus(), e.find("dbcShohin"));
    QCOMPARE(e.text("Text3"), QStringLiteral("Max Record 1   Total 37"));
    QCOMPARE(e.find<QTableView>("dgdSub")->model()->rowCount(), 1);

    // The same product again adds a line and no master row.
    e.type(QStringLiteral("りんご"));
    QCOMPARE(e.text("dbcTani"), QStringLiteral("個"));
    QCOMPARE(e.text("txtTanka"), QStringLiteral("12.5"));
    e.type(QString());
    e.type(QStringLiteral("１，０００"));
    e.click("cmdSubAdd");
    QCOMPARE(e.lines().size(), 2);
    QCOMPARE(e.lines()[1].toList()[5].toDouble(), 12500.0);
    QCOMPARE(rowCount(e.state.DatabaseConnection, Table::Shohin), 3);
    QCOMPARE(rowCount(e.state.DatabaseConnection, Table::Tani), 1);
    QCOMPARE(rowCount(e.state.DatabaseConnection, Table::Koumoku), 2);
    QCOMPARE(e.text("Text3"), QStringLiteral("Max Record 2   Total 12,537"));
}

void TestEntryScreen::productFillsUnitPriceAndHistory()
{
    EntryScreen e;
    e.open();
    QVERIFY(e.state.DatabaseConnection.exec(
        QStringLiteral(R"(INSERT INTO "棚卸マスター" ("ID", "日付", "品名", "数量", "単位", "単価") VALUES
            (1, '2024-03-31', 'みかん', 5, '箱', 70), (2, '2025-03-31', '小みかん', 7, 'kg', 75))")));
    e.find("dbcShohin")->setFocus();
    e.type(QStringLiteral("みかん"));
    QCOMPARE(e.text("Text2"), QStringLiteral("1"));
    QCOMPARE(e.text("dbcTani"), QStringLiteral("箱"));
    QCOMPARE(e.text("txtTanka"), QStringLiteral("80"));
    auto* history = e.find<QTableWidget>("MSFlexGrid1");
    QCOMPARE(history->rowCount(), 2);
    QCOMPARE(history->item(0, 0)->text(), QStringLiteral("2025/03/31"));
    QCOMPARE(history->item(0, 1)->text(), QStringLiteral("小みかん"));
    // A click takes quantity, unit and unit price over.
    QVERIFY(ScreenTest::clickCell(history, 1, 2));
    QVERIFY(ScreenTest::clickCell(history, 0, 3));
    QVERIFY(ScreenTest::clickCell(history, 1, 4));
    QCOMPARE(e.text("txtCnt"), QStringLiteral("5"));
    QCOMPARE(e.text("dbcTani"), QStringLiteral("kg"));
    QCOMPARE(e.text("txtTanka"), QStringLiteral("70"));

    // A product without a price leaves the price box as it was.
    e.find("dbcShohin")->setFocus();
    e.fill("dbcShohin", QStringLiteral("なし"));
    e.find("txtMemo")->setFocus();
    ScreenTest::settle();
    QCOMPARE(e.text("txtTanka"), QStringLiteral("70"));
}

void TestEntryScreen::badNumbersAreRefused()
{
    EntryScreen e;
    e.open();
    e.fill("dbcNouhin", QStringLiteral("食品"));
    e.fill("dbcShohin", QStringLiteral("りんご"));
    e.fill("txtCnt", QStringLiteral("三個"));
    e.fill("txtTanka", QStringLiteral("100"));
    e.click("cmdSubAdd");
    QCOMPARE(e.prompter.texts(), QStringList { QStringLiteral("数量は数字で入力してください。") });
    QCOMPARE(e.focus(), e.find("txtCnt"));

    e.prompter.clear();
    e.fill("txtCnt", QStringLiteral("３"));
    e.fill("txtTanka", QStringLiteral("百円"));
    e.click("cmdSubAdd");
    QCOMPARE(e.prompter.texts(), QStringList { QStringLiteral("単価は数字で入力してください。") });
    QCOMPARE(e.focus(), e.find("txtTanka"));
    QVERIFY(e.lines().isEmpty());
    QCOMPARE(rowCount(e.state.DatabaseConnection, Table::Shohin), 2);

    // The empty checks, in order; an empty unit price goes on as 0.
    e.prompter.clear();
    e.fill("dbcShohin", QString());
    e.click("cmdSubAdd");
    e.fill("dbcShohin", QStringLiteral("りんご"));
    e.fill("txtCnt", {});
    e.click("cmdSubAdd");
    e.fill("txtCnt", QStringLiteral("3"));
    e.fill("txtTanka", {});
    e.click("cmdSubAdd");
    QCOMPARE(e.prompter.texts(),
             QStringList({ QStringLiteral("商品が選択されていません。"), QStringLiteral("数量が入力されていません。"),
                           QStringLiteral("単価が入力されていません。") }));
    QCOMPARE(e.lines().size(), 1);
    QCOMPARE(e.lines()[0].toList()[5].toDouble(), 0.0);
}

void TestEntryScreen::categoryQuestion()
{
    EntryScreen e;
    e.open();
    auto fill = [&] {
        e.fill("dbcShohin", QStringLiteral("りんご"));
        e.fill("txtCnt", QStringLiteral("1"));
        e.fill("txtTanka", QStringLiteral("10"));
    };
    const QString question = QStringLiteral("項目/分類名が選択されていません。項目/分類は無視しますか？");
    fill();
    e.prompter.answerAsk(false);
    e.click("cmdSubAdd");
    QCOMPARE(e.focus(), e.find("dbcNouhin"));
    QVERIFY(e.lines().isEmpty());
    e.prompter.answerAsk(true);
    e.click("cmdSubAdd");
    fill();
    e.click("cmdSubAdd"); // not asked again
    QCOMPARE(e.prompter.texts(), QStringList({ question, question }));
    QCOMPARE(e.lines().size(), 2);
    QCOMPARE(e.lines()[1].toList()[0].toInt(), 0);
    QVERIFY(e.prompter.problems().isEmpty());
}

void TestEntryScreen::nameLimits()
{
    EntryScreen e;
    e.open();
    e.find("dbcShohin")->setFocus();
    e.type(QString(20, QChar(u'品')));
    QVERIFY(e.prompter.texts().isEmpty());
    e.fill("dbcShohin", QString(41, QLatin1Char('x')));
    QTest::keyClick(e.focus(), Qt::Key_Return);
    ScreenTest::settle();
    QCOMPARE(e.prompter.texts(), QStringList { QStringLiteral("品名は全角で２０文字以内にしてください。") });
    QCOMPARE(e.focus(), e.find("dbcShohin"));
    // A click into the next box does not get past it either.
    QTest::mouseClick(e.find<LookupCombo>("dbcTani")->lineEdit(), Qt::LeftButton);
    ScreenTest::settle();
    QCOMPARE(e.prompter.texts().size(), 2);
    QCOMPARE(e.focus(), e.find("dbcShohin"));

    e.fill("dbcShohin", QString());
    e.prompter.clear();
    e.fill("dbcTani", QStringLiteral("ｹｰｽ"));
    QTest::keyClick(e.focus(), Qt::Key_Return);
    ScreenTest::settle();
    QVERIFY(e.prompter.texts().isEmpty());
    e.fill("dbcTani", QStringLiteral("ケース"));
    QTest::keyClick(e.focus(), Qt::Key_Return);
    ScreenTest::settle();
    QCOMPARE(e.prompter.texts(), QStringList { QStringLiteral("単位は全角で２文字以内にしてください。") });
    QCOMPARE(e.focus(), e.find("dbcTani"));
}

void TestEntryScreen::helpOnceOnEmptyProducts()
{
    EntryScreen e;
    e.open(false);
    QCOMPARE(e.modals.tips.size(), 1);
    QVERIFY(e.modals.tips[0].startsWith(
        QStringLiteral("\n■項目/分類情報の登録\n\n棚卸表入力時に自動的に入力されます。\n")));
    e.screen->activateWindow();
    ScreenTest::settle();
    QCOMPARE(e.modals.tips.size(), 1);
}

void TestEntryScreen::deleteALine()
{
    EntryScreen e;
    e.open();
    QVERIFY(!e.find("cmdMasterCancel")->isEnabled());
    for (const char* name : { "りんご", "みかん" }) {
        e.fill("dbcNouhin", QStringLiteral("食品"));
        e.fill("dbcShohin", QString::fromUtf8(name));
        e.fill("txtCnt", QStringLiteral("1"));
        e.fill("txtTanka", QStringLiteral("10"));
        e.click("cmdSubAdd");
    }
    auto* grid = e.find<QTableView>("dgdSub");
    QVERIFY(ScreenTest::clickCell(grid, 0, 3));
    e.prompter.answerAsk(false);
    e.click("cmdMasterCancel");
    e.prompter.answerAsk(true);
    e.click("cmdMasterCancel");
    QCOMPARE(e.prompter.texts().last(), QStringLiteral("表示中のレコードを削除します。よろしいですか。"));
    QCOMPARE(e.lines().size(), 1);
    QCOMPARE(e.lines()[0].toList()[1].toString(), QStringLiteral("みかん"));
    QCOMPARE(e.text("Text3"), QStringLiteral("Max Record 1   Total 10"));
}

void TestEntryScreen::newLinesJoinALongDay()
{
    // The grid reads a day's lines in pages of 256; new lines fill the last page and
    // start the next one, and the status line counts them without counting the day again.
    EntryScreen e;
    e.open();
    QVERIFY(addSampleLines(e.db(), 254));
    e.screen->reload();
    auto* grid = e.find<QTableView>("dgdSub");
    const QString before = e.text("Text3");
    e.type(QStringLiteral("食品"));
    for (int i = 0; i < 3; ++i) {
        e.type(QStringLiteral("新しい品%1").arg(i));
        e.type(QStringLiteral("個"));
        e.type(QStringLiteral("2"));
        e.type(QStringLiteral("1.5"));
        e.type(QString());
        e.click("cmdSubAdd");
    }
    QVERIFY(e.text("Text3") != before);
    QCOMPARE(e.text("Text3"), statusLineText(e.db(), QDate(2026, 3, 31)));
    QCOMPARE(grid->model()->rowCount(), 257);
    for (int r = 0; r < 257; ++r)
        QCOMPARE(grid->model()->index(r, 3).data().toString(),
                 r < 254 ? QStringLiteral("商品名・サンプル第%1号（特大）").arg(r)
                         : QStringLiteral("新しい品%1").arg(r - 254));
    QCOMPARE(grid->currentIndex().row(), 256);
}

void TestEntryScreen::decimalAmountsAndNumberLimits()
{
    EntryScreen e;
    e.open();
    for (const char* field : { "日用品", "洗剤", "本", "100", "4.35" })
        e.type(QString::fromUtf8(field));
    e.click("cmdSubAdd");
    QCOMPARE(e.lines()[0].toList()[5].toDouble(), 435.0);
    // Too many digits, then an amount the sheets cannot print: refused, saying the limit.
    for (const char* field : { "洗剤", "", "99999999999999999999999" })
        e.type(QString::fromUtf8(field));
    e.click("cmdSubAdd");
    e.find("txtCnt")->setFocus();
    e.type(QStringLiteral("999999999999"));
    e.click("cmdSubAdd");
    QCOMPARE(
        e.prompter.texts(),
        QStringList({ QStringLiteral("数量は整数部１２桁以内で入力してください。"),
                      QStringLiteral("価格（単価×数量）が整数部１２桁を超えます。数量と単価を確かめてください。") }));
    QCOMPARE(e.lines().size(), 1);
    // The 価格 column shows 13 digits with separators uncut.
    auto* grid = e.find<QTableView>("dgdSub");
    QVERIFY(grid->columnWidth(7) > grid->fontMetrics().horizontalAdvance(QStringLiteral("9,999,999,999,999")));
}

void TestEntryScreen::addButtonTurnsWhite()
{
    EntryScreen e;
    e.open();
    auto face = [&e] { // left of the caption
        const QImage image = e.find("cmdSubAdd")->grab().toImage();
        return image.pixelColor(image.width() / 8, image.height() / 2);
    };
    const QColor empty = face();
    e.find("dbcShohin")->setFocus();
    for (const char* field : { "りんご", "個", "3", "120" })
        e.type(QString::fromUtf8(field));
    // White, where this style draws a light grey face (#f4f4f4 at mid-height).
    QVERIFY2(face().lightness() >= 250 && face().lightness() > empty.lightness() + 5, qPrintable(empty.name()));
}

void TestEntryScreen::unreadableLinesSaySo()
{
    EntryScreen e;
    QVERIFY(e.openNewDatabase());
    QVERIFY(e.db().exec(QStringLiteral(R"(ALTER TABLE "棚卸マスター" RENAME TO "読めない")")));
    e.screen = new frmTana(e.state, QDate(2026, 3, 31));
    QCOMPARE(e.prompter.texts(), QStringList { QStringLiteral("データベースの接続に失敗しました。") });
    QVERIFY(!e.text("Text3").startsWith(QStringLiteral("Max Record 0")));
}

void TestEntryScreen::historySaysWhenMoreMatched()
{
    EntryScreen e;
    e.open();
    QVERIFY(e.db().exec(QStringLiteral(R"(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 501)
        INSERT INTO "棚卸マスター" ("ID", "日付", "品名", "数量") SELECT i, '2025-03-31', 'みかん', i FROM n)")));
    e.find("dbcShohin")->setFocus();
    e.type(QStringLiteral("みかん"));
    auto* history = e.find<QTableWidget>("MSFlexGrid1");
    QCOMPARE(history->rowCount(), 501);
    QCOMPARE(history->item(500, 1)->text(), QStringLiteral("…ほかにも該当があります（新しい500件を表示）"));
    // A click on that row takes nothing over.
    history->scrollToBottom();
    QTest::mouseClick(history->viewport(), Qt::LeftButton, {},
                      history->visualRect(history->model()->index(500, 2)).center());
    QCOMPARE(e.text("txtCnt"), QString());
}

KOTRINA_REGISTER_TEST(TestEntryScreen)
#include "TestEntryScreen.moc"
