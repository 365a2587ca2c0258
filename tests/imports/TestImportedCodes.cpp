// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "ImportData.h"
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/imports/ImportMapping.h"
#include "core/masters/ProductCodes.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/LookupCombo.h"

#include <QApplication>
#include <QLineEdit>
#include <QStringEncoder>
#include <QTest>

namespace {

// A product list as a shop keeps it in a spreadsheet: code page 932, the codes of a
// product in one cell.
const QStringList ShopList = {
    u"品名\t単位\t単価\tJANコード"_qs,
    u"ﾎﾞｰﾙﾍﾟﾝ 黒\t本\t120\t4901234567894; 49123456"_qs,
    u"ノート A5\t冊\t200\t４５１２３４５６７８９０６"_qs,
    u"店内パン\t個\t150\t2000000000008"_qs,
};

QString importProducts(const QString& db, const QString& file, const QStringList& more = {})
{
    const Run r = kotrina(QStringList { u"import"_qs, u"products"_qs, db, u"--file"_qs, file } + more);
    return r.status == 0 ? QString() : r.err;
}

} // namespace

// Codes brought in by the product import (the real command on a file on disk) find their
// product as a scan does.
class TestImportedCodes : public QObject
{
    Q_OBJECT

private slots:
    void importedCodesFindTheirProducts()
    {
        TestEnvironment env;
        const QString db = env.newDatabase();
        // The assignment saved before the codes came names no code column: the file's column
        // headed JANコード is taken all the same.
        QVERIFY(env.paths().ensureDataDir());
        env.writeFile(env.paths().inDataDir(ImportMapping::fileName(ImportKind::Products)),
                      "品名\r\n1\r\n単位\r\n2\r\n単価\r\n3\r\n");
        const QString list = env.writeFile(u"品名.txt"_qs, cp932(ShopList.join(u"\r\n"_qs) + u"\r\n"_qs));
        QCOMPARE(importProducts(db, list), QString());

        // A later list in UTF-16 adds a case code to a known product when asked to; a wrong
        // check digit in it changes nothing and says which digit was meant.
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        const QString later = env.writeFile(
            u"追加.txt"_qs, utf16.encode(u"品名\t単位\t単価\tJANコード\r\nノート A5\t冊\t200\t14512345678903\r\n"_qs));
        QVERIFY(importProducts(db, later, { u"--update-existing"_qs })
                    .endsWith(u"行 2: コード「14512345678903」の桁数が違います。JANコードは13桁または8桁、"
                              "UPCは12桁の数字です。\n"_qs));
        const QString bad = env.writeFile(
            u"誤り.txt"_qs,
            utf16.encode(u"品名\t単位\t単価\tJANコード\r\nノート A5\t冊\t200\t4512345678906;4512345678914\r\n"_qs));
        QCOMPARE(importProducts(db, bad, { u"--update-existing"_qs }),
                 u"kotrina: インポートに失敗しました。品名情報は変更されていません。\n"
                 "行 2: コード 4512345678914 のチェックデジット（最後の桁）が違います。最後の桁は 3 のはずです。\n"_qs);
        const QString good = env.writeFile(
            u"ケース.txt"_qs,
            utf16.encode(u"品名\t単位\t単価\tJANコード\r\nノート A5\t冊\t200\t4512345678906;4512345678920\r\n"_qs));
        QCOMPARE(importProducts(db, good, { u"--update-existing"_qs }), QString());

        Database opened;
        QVERIFY(opened.open(db));
        const auto owner = [&opened](const QString& code) {
            const auto found = ProductCodes::findByCode(opened, code);
            return found ? u"%1|%2|%3"_qs.arg(found->name, found->unit.toString(), found->unitPrice.toString())
                         : QString();
        };
        QCOMPARE(owner(u"4901234567894"_qs), u"ﾎﾞｰﾙﾍﾟﾝ 黒|本|120"_qs);
        QCOMPARE(owner(u"49123456"_qs), u"ﾎﾞｰﾙﾍﾟﾝ 黒|本|120"_qs);
        QCOMPARE(owner(u"4512345678906"_qs), u"ノート A5|冊|200"_qs);
        QCOMPARE(owner(u"4512345678920"_qs), u"ノート A5|冊|200"_qs);
        QCOMPARE(owner(u"2000000000008"_qs), u"店内パン|個|150"_qs);
        QCOMPARE(owner(u"4512345678914"_qs), QString());
    }

    void aScanOfAnImportedCodeRegistersItsProduct()
    {
        TestSession t;
        const QString db = t.env.newDatabase();
        QCOMPARE(importProducts(db, t.env.writeFile(u"品名.txt"_qs, cp932(ShopList.join(u"\r\n"_qs) + u"\r\n"_qs))),
                 QString());

        t.state.ConnectionOpen = t.state.DatabaseConnection.open(db);
        QVERIFY(t.state.ConnectionOpen);
        ModalAnswerer modals;
        ScreenTest::Driver<frmTana> e;
        e.screen = new frmTana(t.state, QDate(2026, 3, 31));
        ScreenTest::showActive(e.screen);
        const auto typeAndEnter = [](const QString& text) {
            QWidget* focus = QApplication::focusWidget();
            ScreenTest::type(focus, text);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            ScreenTest::settle();
        };
        typeAndEnter(u"文具"_qs);
        QCOMPARE(QApplication::focusWidget(), e.find("dbcShohin"));
        // The scanner types the digits and Enter into the 品名 box: the product is found by
        // its second code and filled in as if its name had been chosen.
        typeAndEnter(u"49123456"_qs);
        QCOMPARE(e.find<LookupCombo>("dbcShohin")->text(), u"ﾎﾞｰﾙﾍﾟﾝ 黒"_qs);
        QCOMPARE(e.find<LookupCombo>("dbcTani")->text(), u"本"_qs);
        QCOMPARE(e.find<QLineEdit>("txtTanka")->text().remove(QLatin1Char(',')), u"120"_qs);
        QCOMPARE(QApplication::focusWidget(), e.find("txtCnt"));
        typeAndEnter(u"3"_qs);
        e.click("cmdSubAdd");
        QVERIFY(t.prompter.shown().isEmpty());
        QCOMPARE(rows(t.db(), uR"(SELECT "品名", "数量", "単位", "単価", "価格", "品名ID" FROM "棚卸マスター")"_qs),
                 QStringList { u"ﾎﾞｰﾙﾍﾟﾝ 黒|3|本|120|360|1"_qs });
    }
};

KOTRINA_REGISTER_TEST(TestImportedCodes)
#include "TestImportedCodes.moc"
