// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "MainWindowTest.h"
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/store/RecordList.h"
#include "gui/masters/frmInShohin.h"
#include "gui/masters/frmKoumoku.h"
#include "gui/masters/frmTani.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

namespace {

enum class Master
{
    Categories,
    Units,
    Products
};

struct Names
{
    QString table, id, name;
    const char* nameBox;
};

Names namesOf(Master m)
{
    if (m == Master::Categories)
        return { u"項目分類"_qs, u"項目ID"_qs, u"項目分類名"_qs, "txtName" };
    if (m == Master::Units)
        return { u"単位"_qs, u"単位ID"_qs, u"単位"_qs, "txtName" };
    return { u"仕入商品"_qs, u"品名ID"_qs, u"品名"_qs, "txtShohin" };
}

// One master screen on a fresh database, dialogs scripted.
struct MasterTest : TestSession, ScreenTest::Driver<MasterScreen>
{
    Master master;
    Names names;

    explicit MasterTest(Master m)
        : master(m)
        , names(namesOf(m))
    {
        openNewDatabase();
    }

    void open()
    {
        switch (master) {
        case Master::Categories:
            screen = new frmKoumoku(state);
            break;
        case Master::Units:
            screen = new frmTani(state);
            break;
        case Master::Products:
            screen = new frmInShohin(state);
            break;
        }
        ScreenTest::showActive(screen);
    }
    void insert(int id, const QString& name)
    {
        QVERIFY(db().exec(uR"(INSERT INTO "%1" ("%2", "%3") VALUES (?, ?))"_qs.arg(names.table, names.id, names.name),
                          { id, name }));
    }
    // Every record of the table as "ID:name", in ID order; a name never given shows as "-".
    QStringList stored() const
    {
        QSqlQuery q(db().connection());
        q.exec(uR"(SELECT "%1", "%2" FROM "%3" ORDER BY 1)"_qs.arg(names.id, names.name, names.table));
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString() + QLatin1Char(':') + (q.value(1).isNull() ? u"-"_qs : q.value(1).toString());
        return rows;
    }
    QTableView* grid() const { return find<QTableView>("DataGrid1"); }
    QLineEdit* nameBox() const { return find<QLineEdit>(names.nameBox); }
    QString idBox() const { return find<QLineEdit>("txtID")->text(); }
    QList<int> listed() const { return ScreenTest::columnIds(grid()); }
    // Which of 新規登録, 登録, ｷｬﾝｾﾙ, 削除 can be pressed, as "1101".
    QString buttons() const
    {
        QString s;
        for (const char* b : { "cmdAdd", "cmdUpdate", "cmdCancel", "cmdDelete" })
            s += find(b)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }
    void typeName(const QString& text) { ScreenTest::replaceText(nameBox(), text); }
    void selectRow(int row) { QVERIFY(ScreenTest::clickCell(grid(), row, 1)); }
    void close()
    {
        screen->close();
        ScreenTest::settle();
    }
};

void addMasters()
{
    QTest::addColumn<Master>("master");
    QTest::newRow("categories") << Master::Categories;
    QTest::newRow("units") << Master::Units;
    QTest::newRow("products") << Master::Products;
}

const QString DeleteQuestion = u"表示中のレコードを削除します。よろしいですか。"_qs;

} // namespace

Q_DECLARE_METATYPE(Master)

class TestMasterScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addingAndDeleting_data() { addMasters(); }
    void addingAndDeleting();
    void productsEditedAndSorted();
    void productNamesInJapaneseOrder();
    void refusedWritesAreReported();
    void categoryDeletionHandsOver();
    void productAccessKeys();
};

void TestMasterScreens::addingAndDeleting()
{
    QFETCH(Master, master);
    MasterTest t(master);
    t.open();
    // The new database holds only category 0, which is never listed.
    QCOMPARE(t.screen->editMode(), MasterScreen::EditMode::Adding);
    QCOMPARE(t.listed(), QList<int> { 1 });
    QCOMPARE(QApplication::focusWidget(), t.nameBox());
    QCOMPARE(t.buttons(), u"0110"_qs);

    // Quotes and % are plain characters; the name is kept as typed, however long.
    const QString name = u"名前's \"100%\" "_qs + QString(30, QChar(0x3042));
    t.typeName(name);
    t.click("cmdUpdate");
    QCOMPARE(t.stored().last(), u"1:"_qs + name);
    QCOMPARE(t.screen->editMode(), MasterScreen::EditMode::Browsing);
    QCOMPARE(t.buttons(), u"1001"_qs);
    t.close();

    // The next ID is one past the highest, wherever the order puts it.
    t.insert(7, u"七"_qs);
    t.insert(3, u"三"_qs);
    const QStringList before = t.stored();
    delete t.screen;
    t.open();
    QCOMPARE(t.idBox(), QString::number(master == Master::Products ? 3 : 1)); // products by name: 三 < 七 < 名

    // The new row is in the table before anything is typed, at the end of the list.
    t.click("cmdAdd");
    QCOMPARE(t.stored(), before + QStringList { u"8:-"_qs });
    QCOMPARE(t.idBox(), u"8"_qs);
    QCOMPARE(t.grid()->currentIndex().row(), 3);
    QCOMPARE(t.buttons(), u"0111"_qs);

    // ｷｬﾝｾﾙ removes it, typed name and all; the next one takes 8 again.
    t.typeName(u"取消"_qs);
    t.click("cmdCancel");
    QCOMPARE(t.stored(), before);
    QCOMPARE(t.buttons(), u"1001"_qs);
    t.click("cmdAdd");
    QCOMPARE(t.idBox(), u"8"_qs);

    // Closing while adding removes the unconfirmed row as well.
    t.typeName(u"未登録"_qs);
    t.close();
    QCOMPARE(t.stored(), before);
    QVERIFY(t.prompter.shown().isEmpty());

    // Deleting asks first; the next record becomes current, after the last one the new last one.
    QVERIFY(t.db().exec(uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "単位", "品名ID")
        VALUES (1, '2026-03-31', 3, '三', '三', 3))"_qs));
    delete t.screen;
    t.open();
    const QList<int> ids = t.listed(); // 1 3 7, or 3 7 1 by name
    t.selectRow(1);
    t.prompter.answerAsk(false);
    t.click("cmdDelete");
    QCOMPARE(t.listed(), ids);
    QCOMPARE(t.prompter.texts(), QStringList { DeleteQuestion });
    t.prompter.answerAsk(true);
    t.click("cmdDelete");
    QCOMPARE(t.listed(), QList<int>({ ids[0], ids[2] }));
    QCOMPARE(t.idBox(), QString::number(ids[2]));
    QCOMPARE(t.nameBox()->text(), ids[2] == 7 ? u"七"_qs : name);
    t.prompter.answerAsk(true);
    t.click("cmdDelete");
    QCOMPARE(t.idBox(), QString::number(ids[0]));
    t.prompter.answerAsk(true);
    t.click("cmdDelete");
    QCOMPARE(t.listed(), QList<int>());
    QVERIFY(!t.find("cmdDelete")->isEnabled());
    QVERIFY(!t.nameBox()->isEnabled());
    QCOMPARE(t.idBox(), QString());
    // Lines are not touched by a deletion of their master record.
    QCOMPARE(lineField(t.db(), 1, "項目ID").toInt() + lineField(t.db(), 1, "品名ID").toInt(), 6);
}

void TestMasterScreens::productsEditedAndSorted()
{
    MasterTest t(Master::Products);
    QVERIFY(t.db().exec(uR"(INSERT INTO "仕入商品" VALUES (1, 'うめ', 500, 'kg'), (2, 'いちご', 300, 'パック'))"_qs));
    t.open();
    QVERIFY(t.find<QRadioButton>("Option2")->isChecked());
    QCOMPARE(t.listed(), QList<int>({ 2, 1 })); // by name
    QCOMPARE(t.nameBox()->text(), u"いちご"_qs);
    t.selectRow(1);
    QCOMPARE(t.idBox(), u"1"_qs);
    QCOMPARE(t.nameBox()->text(), u"うめ"_qs);

    // A name typed in the box is in the grid at once and in the table when the row is left.
    t.typeName(u"梅干"_qs);
    QCOMPARE(t.grid()->model()->index(1, 1).data().toString(), u"梅干"_qs);
    QCOMPARE(t.stored()[0], u"1:うめ"_qs);
    QVERIFY(t.find("cmdUpdate")->isEnabled());
    t.selectRow(0);
    QCOMPARE(t.stored()[0], u"1:梅干"_qs);

    // A cell typed in the grid shows in the box; 登録 writes it. Prices read as typed in Japanese.
    auto* model = t.grid()->model();
    QVERIFY(ScreenTest::editCell(t.grid(), 0, 1, u"苺"_qs));
    QCOMPARE(t.nameBox()->text(), u"苺"_qs);
    QVERIFY(ScreenTest::editCell(t.grid(), 0, 2, u"１，２３４，５６７．５"_qs));
    t.click("cmdUpdate");
    QSqlQuery q(t.db().connection());
    q.exec(uR"(SELECT "品名", "単価" FROM "仕入商品" WHERE "品名ID" = 2)"_qs);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), u"苺"_qs);
    QCOMPARE(q.value(1).toDouble(), 1234567.5);
    QCOMPARE(model->index(0, 2).data().toString(), u"1234567.5"_qs); // every digit, as typed

    // A price that is no number is refused and the old one stays.
    QVERIFY(ScreenTest::editCell(t.grid(), 0, 2, u"高い"_qs));
    QCOMPARE(t.prompter.texts(), QStringList { u"単価は数字で入力してください。"_qs });
    QCOMPARE(model->index(0, 2).data().toDouble(), 1234567.5);
    QCOMPARE(model->index(0, 2).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));

    // By ID at a click; re-sorting while adding keeps the new row with what it holds, now as
    // an ordinary record.
    QTest::mouseClick(t.find<QRadioButton>("Option1"), Qt::LeftButton);
    ScreenTest::settle();
    QCOMPARE(t.listed(), QList<int>({ 1, 2 }));
    t.click("cmdAdd");
    t.typeName(u"あんず"_qs);
    QTest::mouseClick(t.find<QRadioButton>("Option2"), Qt::LeftButton);
    ScreenTest::settle();
    QCOMPARE(t.listed(), QList<int>({ 3, 1, 2 }));
    QCOMPARE(t.screen->editMode(), MasterScreen::EditMode::Browsing);
    QCOMPARE(t.buttons(), u"1001"_qs);
    QCOMPARE(t.idBox(), u"3"_qs);

    // Typed through the grid's own editor, Enter ends the edit; closing writes what is pending.
    QVERIFY(ScreenTest::editCell(t.grid(), 1, 3, u"box"_qs));
    t.close();
    q.exec(uR"(SELECT "単位" FROM "仕入商品" WHERE "品名ID" = 1)"_qs);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), u"box"_qs);
    QCOMPARE(t.stored().last(), u"3:あんず"_qs);
}

void TestMasterScreens::productNamesInJapaneseOrder()
{
    MasterTest t(Master::Products);
    const QStringList names
        = { u"ボルト"_qs, u"ｱｲｽ"_qs, u"ボールペン"_qs, u"アイス"_qs, u"ボールペン"_qs, u"ﾎﾞｰﾙﾍﾟﾝ"_qs };
    for (int n = 0; n < names.size(); ++n)
        t.insert(n + 1, names[n]);
    t.open();
    // ボールペン before ボルト, half-width beside full-width; names the order holds equal
    // (ｱｲｽ and アイス) by their characters, the same name by ID.
    const QList<int> byName = { 4, 2, 6, 3, 5, 1 };
    QCOMPARE(t.listed(), byName);
    QTest::mouseClick(t.find<QRadioButton>("Option1"), Qt::LeftButton);
    ScreenTest::settle();
    QCOMPARE(t.listed(), QList<int>({ 1, 2, 3, 4, 5, 6 }));
    QTest::mouseClick(t.find<QRadioButton>("Option2"), Qt::LeftButton);
    ScreenTest::settle();
    QCOMPARE(t.listed(), byName);
}

void TestMasterScreens::refusedWritesAreReported()
{
    // The product screen names the connection; the others say the change is not saved.
    for (Master master : { Master::Products, Master::Units }) {
        MasterTest t(master);
        t.insert(1, u"箱"_qs);
        t.open();
        QVERIFY(t.db().exec(u"PRAGMA query_only = 1"_qs));
        t.typeName(u"ケース"_qs);
        t.click("cmdUpdate");
        QCOMPARE(t.prompter.texts().size(), 1);
        QCOMPARE(t.prompter.texts()[0],
                 master == Master::Products ? u"データベースの接続に失敗しました。"_qs
                                            : u"データベースに書き込めませんでした。変更は保存されていません。"_qs);
        // Nothing typed is lost: the edit is still there and goes in once the file can be written.
        QCOMPARE(t.nameBox()->text(), u"ケース"_qs);
        QVERIFY(t.find("cmdUpdate")->isEnabled());
        t.click("cmdAdd");
        QCOMPARE(t.prompter.texts().size(), 3); // the pending edit and the new record both failed
        QCOMPARE(t.listed(), QList<int> { 1 });
        QVERIFY(t.db().exec(u"PRAGMA query_only = 0"_qs));
        t.click("cmdUpdate");
        QCOMPARE(t.stored(), QStringList { u"1:ケース"_qs });
        QCOMPARE(t.prompter.texts().size(), 3);

        // Another program with the same file deletes the record being edited: saving says so, once.
        t.insert(2, u"りんご"_qs);
        QVERIFY(t.db().exec(uR"(DELETE FROM "%1" WHERE "%2" = 1)"_qs.arg(t.names.table, t.names.id)));
        t.typeName(u"夏みかん"_qs);
        t.click("cmdUpdate");
        t.click("cmdUpdate");
        QCOMPARE(t.prompter.texts().mid(3), QStringList { QString::fromUtf8(RecordGoneMessage) });
        QCOMPARE(t.stored(), QStringList { u"2:りんご"_qs });
    }
}

void TestMasterScreens::categoryDeletionHandsOver()
{
    // From the main window on a new file: add a category, delete it, close.
    MainWindow m;
    m.start(m.env.newDatabase());
    QVERIFY(m.find<QPushButton>("Command28")->isEnabled());

    m.modals.steps[u"frmKoumoku"_qs] = [&](QDialog* dialog) {
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        ScreenTest::settle();
        auto* name = dialog->findChild<QLineEdit*>(u"txtName"_qs);
        name->setFocus();
        ScreenTest::type(name, u"食品"_qs);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdUpdate"_qs), Qt::LeftButton);
        m.prompter.answerAsk(true);
        QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdDelete"_qs), Qt::LeftButton);
        dialog->close();
    };
    m.trigger("Command28");
    QCOMPARE(m.prompter.texts(),
             QStringList({ DeleteQuestion, u"項目/分類が削除されましたので、棚卸表訂正を表示します。"_qs }));
    QCOMPARE(m.modals.screens, QStringList({ u"frmKoumoku"_qs, u"frmInAmd2"_qs }));
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // Without a deletion neither the message nor the correction screen follows; the menu
    // entries open the other two screens.
    m.prompter.clear();
    m.modals.screens.clear();
    for (const char* entry : { "mnuPreSiire", "mnuTani", "mnuPreShohin" })
        m.trigger(entry);
    QVERIFY(m.prompter.shown().isEmpty());
    QCOMPARE(m.modals.screens, QStringList({ u"frmKoumoku"_qs, u"frmTani"_qs, u"frmInShohin"_qs }));
}

void TestMasterScreens::productAccessKeys()
{
    MasterTest t(Master::Products);
    QVERIFY(t.db().exec(uR"(INSERT INTO "仕入商品" VALUES (1, 'うめ', 500, 'kg'), (2, 'いちご', 300, 'パック'))"_qs));
    t.open();
    const QStringList before = t.stored();
    t.selectRow(0);

    // The name box has a key of its own, which selects its text for typing over.
    QTest::keyClick(t.screen, Qt::Key_M, Qt::AltModifier);
    QTRY_VERIFY(t.nameBox()->hasFocus());
    QCOMPARE(t.nameBox()->selectedText(), u"いちご"_qs);

    // Alt+K is the delete button's alone, wherever the focus is: it asks, and nothing is
    // typed into the name.
    t.prompter.answerAsk(false);
    QTest::keyClick(t.screen, Qt::Key_K, Qt::AltModifier);
    QTRY_COMPARE(t.prompter.texts(), QStringList { DeleteQuestion });
    t.close();
    QCOMPARE(t.stored(), before);
}

KOTRINA_REGISTER_TEST(TestMasterScreens)
#include "TestMasterScreens.moc"
