// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/masters/ProductCodes.h"
#include "gui/masters/frmInShohin.h"

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

namespace {

constexpr int CodeColumn = 4;

// The product screen over りんご (1, two codes), ﾒﾓ帳 (2, none) and ボールペン (3, one).
struct ProductsWithCodes : TestSession, ScreenTest::Driver<frmInShohin>
{
    ModalAnswerer modals;

    ProductsWithCodes()
    {
        QVERIFY(openNewDatabase());
        QVERIFY(db().exec(uR"(INSERT INTO "仕入商品" VALUES (1, 'りんご', 100, '個'), (2, 'ﾒﾓ帳', 80, '冊'),
                             (3, 'ボールペン', 120, '本'))"_qs));
        QVERIFY(ProductCodes::setCodes(db(), 1, { u"4901234567894"_qs, u"49123456"_qs }));
        QVERIFY(ProductCodes::addCode(db(), 3, u"2000000000015"_qs));
        screen = new frmInShohin(state);
        ScreenTest::showActive(screen);
    }
    QTableView* grid() const { return find<QTableView>("DataGrid1"); }
    QString shownId() const { return find<QLineEdit>("txtID")->text(); }
    // Types into a box as a scanner does: a digit every 5 ms, then Enter.
    static void scan(QWidget* box, const QString& digits)
    {
        box->setFocus();
        QTest::keyClicks(box, digits, Qt::NoModifier, 5);
        QTest::keyClick(box, Qt::Key_Return);
        ScreenTest::settle();
    }
    void search(const QString& text)
    {
        auto* box = find<QLineEdit>("txtSearch");
        ScreenTest::replaceText(box, text);
        QTest::keyClick(box, Qt::Key_Return);
        ScreenTest::settle();
    }
};

QStringList listed(QDialog* dialog)
{
    QStringList codes;
    auto* list = dialog->findChild<QListWidget*>(u"lstCode"_qs);
    for (int i = 0; i < list->count(); ++i)
        codes << list->item(i)->text();
    return codes;
}

} // namespace

// The codes on the product screen: the column of the first code, finding a product by a
// code or a name, and the window that edits a product's codes.
class TestProductCodesScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstCodeBesideEveryProduct();
    void findingByCodeOrName();
    void editingTheCodesOfAProduct();
    void olderFileOpenedReadOnly();
};

void TestProductCodesScreen::firstCodeBesideEveryProduct()
{
    ProductsWithCodes p;
    QCOMPARE(p.grid()->model()->headerData(CodeColumn, Qt::Horizontal).toString(), u"JANコード"_qs);
    // By name (ボールペン, ﾒﾓ帳, りんご in Japanese order), then by ID: the code stays with its product.
    QCOMPARE(ScreenTest::columnTexts(p.grid(), 1), QStringList({ u"ボールペン"_qs, u"ﾒﾓ帳"_qs, u"りんご"_qs }));
    QCOMPARE(ScreenTest::columnTexts(p.grid(), CodeColumn),
             QStringList({ u"2000000000015"_qs, QString(), u"4901234567894"_qs }));
    QTest::mouseClick(p.find<QRadioButton>("Option1"), Qt::LeftButton);
    ScreenTest::settle();
    QCOMPARE(ScreenTest::columnTexts(p.grid(), CodeColumn),
             QStringList({ u"4901234567894"_qs, QString(), u"2000000000015"_qs }));
    // The column is only shown: no editor opens on it, while the name's still does.
    QVERIFY(!ScreenTest::editCell(p.grid(), 0, CodeColumn, u"49017779"_qs));
    QVERIFY(ScreenTest::editCell(p.grid(), 0, 1, u"りんご（青森）"_qs));
    p.click("cmdUpdate");
    QCOMPARE(ScreenTest::columnTexts(p.grid(), CodeColumn).value(0), u"4901234567894"_qs);
    QCOMPARE(ProductCodes::codesOf(p.db(), 1), QStringList({ u"4901234567894"_qs, u"49123456"_qs }));
    // A product deleted on the screen takes its codes with it.
    p.prompter.answerAsk(true);
    p.click("cmdDelete");
    QVERIFY(!ProductCodes::findByCode(p.db(), u"49123456"_qs));
    QVERIFY(p.prompter.problems().isEmpty());
}

void TestProductCodesScreen::findingByCodeOrName()
{
    ProductsWithCodes p;
    auto* box = p.find<QLineEdit>("txtSearch");
    // Scanned: the second code of りんご, and a UPC-A typed as its 12 digits is not there.
    ProductsWithCodes::scan(box, u"49123456"_qs);
    QCOMPARE(p.shownId(), u"1"_qs);
    QCOMPARE(p.grid()->currentIndex().row(), 2);
    QVERIFY(p.prompter.texts().isEmpty());
    // The next scan replaces the last one: the in-store code of ボールペン.
    ProductsWithCodes::scan(box, u"2000000000015"_qs);
    QCOMPARE(box->text(), u"2000000000015"_qs);
    QCOMPARE(p.shownId(), u"3"_qs);
    p.search(u"４９０１２３４５６７８９４"_qs);
    QCOMPARE(p.shownId(), u"1"_qs);

    // A code nobody has, one with a wrong check digit, and a name nobody has are said; the
    // product shown stays.
    ProductsWithCodes::scan(box, u"4512345678906"_qs);
    ProductsWithCodes::scan(box, u"4901234567890"_qs);
    p.search(u"消しゴム"_qs);
    QCOMPARE(
        p.prompter.texts(),
        QStringList({ u"このコードの品名は登録されていません。\r4512345678906"_qs,
                      u"コード 4901234567890 のチェックデジット（最後の桁）が違います。最後の桁は 4 のはずです。"_qs,
                      u"「消しゴム」を含む品名はありません。"_qs }));
    QCOMPARE(p.shownId(), u"1"_qs);

    // A part of a name; Enter again goes on to the next product holding it.
    QVERIFY(p.db().exec(uR"(INSERT INTO "仕入商品" ("品名ID", "品名") VALUES (4, 'ボールペン替芯'))"_qs));
    QTest::mouseClick(p.find<QRadioButton>("Option1"), Qt::LeftButton);
    ScreenTest::settle();
    p.search(u"ペン"_qs);
    QCOMPARE(p.shownId(), u"3"_qs);
    QTest::keyClick(box, Qt::Key_Return);
    ScreenTest::settle();
    QCOMPARE(p.shownId(), u"4"_qs);
    QTest::keyClick(box, Qt::Key_Return);
    ScreenTest::settle();
    QCOMPARE(p.shownId(), u"3"_qs);
    // Going to the product found saves what was typed into the one left.
    ScreenTest::replaceText(p.find<QLineEdit>("txtShohin"), u"ボールペン（黒）"_qs);
    p.search(u"りんご"_qs);
    QCOMPARE(p.shownId(), u"1"_qs);
    QCOMPARE(ProductCodes::findByCode(p.db(), u"2000000000015"_qs)->name, u"ボールペン（黒）"_qs);
    QVERIFY(p.prompter.problems().isEmpty());
}

void TestProductCodesScreen::editingTheCodesOfAProduct()
{
    ProductsWithCodes p;
    p.search(u"ﾒﾓ帳"_qs);
    QCOMPARE(p.shownId(), u"2"_qs);
    QStringList seen;
    bool stayedOpen = true;
    p.modals.steps[u"DialogShohinCode"_qs] = [&](QDialog* dialog) {
        auto* box = dialog->findChild<QLineEdit*>(u"txtCode"_qs);
        QCOMPARE(dialog->focusWidget(), box);
        // Refused, each with its reason; the list stays empty and the window open.
        for (const QString& bad : { u"4901234567894"_qs, u"4912345"_qs, u"49123457"_qs })
            ProductsWithCodes::scan(box, bad);
        ScreenTest::replaceText(box, u"49O1234567894"_qs);
        QTest::keyClick(box, Qt::Key_Return);
        stayedOpen = stayedOpen && dialog->isVisible();
        seen << listed(dialog).join(u' ');
        // Two scans back to back, one of them again: each code once, in the order scanned.
        ProductsWithCodes::scan(box, u"036000291452"_qs);
        ProductsWithCodes::scan(box, u"49017779"_qs);
        ProductsWithCodes::scan(box, u"036000291452"_qs);
        seen << listed(dialog).join(u' ');
        stayedOpen = stayedOpen && dialog->isVisible();
        // The second put first, a third added and taken off again.
        auto* list = dialog->findChild<QListWidget*>(u"lstCode"_qs);
        list->setCurrentRow(1);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdUp"_qs), Qt::LeftButton);
        ProductsWithCodes::scan(box, u"4512345678906"_qs);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdRemoveCode"_qs), Qt::LeftButton);
        seen << listed(dialog).join(u' ');
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdUpdate"_qs), Qt::LeftButton);
    };
    p.click("cmdCodes");
    QVERIFY(stayedOpen);
    QCOMPARE(seen, QStringList({ QString(), u"0036000291452 49017779"_qs, u"49017779 0036000291452"_qs }));
    QCOMPARE(p.prompter.texts(),
             QStringList({ u"コード 4901234567894 は品名「りんご」に登録されています。"_qs,
                           u"コード「4912345」の桁数が違います。JANコードは13桁または8桁、UPCは12桁の数字です。"_qs,
                           u"コード 49123457 のチェックデジット（最後の桁）が違います。最後の桁は 6 のはずです。"_qs,
                           u"コード「49O1234567894」に数字以外の文字があります。"_qs }));
    QCOMPARE(ProductCodes::codesOf(p.db(), 2), QStringList({ u"49017779"_qs, u"0036000291452"_qs }));
    QCOMPARE(p.shownId(), u"2"_qs);
    QCOMPARE(p.grid()->model()->index(p.grid()->currentIndex().row(), CodeColumn).data().toString(), u"49017779"_qs);

    // A code another program gave to another product meanwhile: 登録 refuses the whole list,
    // names the product and keeps the window open; ｷｬﾝｾﾙ then writes nothing.
    p.prompter.clear();
    p.modals.steps[u"DialogShohinCode"_qs] = [&](QDialog* dialog) {
        auto* box = dialog->findChild<QLineEdit*>(u"txtCode"_qs);
        ProductsWithCodes::scan(box, u"4512345678906"_qs);
        auto* list = dialog->findChild<QListWidget*>(u"lstCode"_qs);
        list->setCurrentRow(0);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdRemoveCode"_qs), Qt::LeftButton);
        QVERIFY(p.db().exec(uR"(INSERT INTO "商品コード" VALUES ('4512345678906', 3, 1))"_qs));
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdUpdate"_qs), Qt::LeftButton);
        stayedOpen = dialog->isVisible();
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdCancel"_qs), Qt::LeftButton);
    };
    p.click("cmdCodes");
    QVERIFY(stayedOpen);
    QCOMPARE(p.prompter.texts(), QStringList { u"コード 4512345678906 は品名「ボールペン」に登録されています。"_qs });
    QCOMPARE(ProductCodes::codesOf(p.db(), 2), QStringList({ u"49017779"_qs, u"0036000291452"_qs }));

    // A double click on the code column opens the same window.
    p.modals.screens.clear();
    const QModelIndex cell = p.grid()->model()->index(p.grid()->currentIndex().row(), CodeColumn);
    const QPoint at = p.grid()->visualRect(cell).center();
    QTest::mouseClick(p.grid()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(p.grid()->viewport(), Qt::LeftButton, {}, at);
    ScreenTest::settle();
    QCOMPARE(p.modals.screens, QStringList { u"DialogShohinCode"_qs });
    QVERIFY(p.prompter.problems().isEmpty());
}

void TestProductCodesScreen::olderFileOpenedReadOnly()
{
    // A file from before the codes, opened as it is: the list shows no codes and offers none.
    TestSession s;
    const QString file = sampleDatabase(s.env, 5);
    QVERIFY(makeVersion(file, 3));
    QVERIFY(s.state.DatabaseConnection.open(file, nullptr, Database::Access::ReadOnly));
    ScreenTest::Driver<frmInShohin> d;
    d.screen = new frmInShohin(s.state);
    ScreenTest::showActive(d.screen);
    auto* grid = d.find<QTableView>("DataGrid1");
    QCOMPARE(ScreenTest::columnTexts(grid, CodeColumn), QStringList(5, QString()));
    QVERIFY(!d.find<QPushButton>("cmdCodes")->isEnabled());
    ScreenTest::replaceText(d.find<QLineEdit>("txtSearch"), u"4901234567894"_qs);
    QTest::keyClick(d.find<QLineEdit>("txtSearch"), Qt::Key_Return);
    QCOMPARE(s.prompter.texts(), QStringList { u"このコードの品名は登録されていません。\r4901234567894"_qs });
    d.screen->close();
    s.state.DatabaseConnection.close();
    QCOMPARE(schemaVersion(file), 3);
}

KOTRINA_REGISTER_TEST(TestProductCodesScreen)
#include "TestProductCodesScreen.moc"
