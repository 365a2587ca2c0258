// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/masters/ProductCodes.h"
#include "gui/entry/ScanSound.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/LookupCombo.h"

#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString Mikan = u"4901234567894"_qs; // みかん's case
const QString Nashi = u"49012347"_qs; // なし, an EAN-8
const QString Unknown = u"4567890123456"_qs;

// The entry screen on products with codes.
struct ScanScreen : TestSession, ScreenTest::Driver<frmTana>
{
    QSignalSpy* sounds = nullptr;
    ulong m_pressed = 1000; // the time of the last key pressed, in ms

    void open()
    {
        QVERIFY(openNewDatabase());
        QVERIFY(db().exec(uR"(INSERT INTO "仕入商品" VALUES (1, 'みかん', 80, '箱'), (2, 'なし', NULL, NULL),
            (3, '12345670', 5, '個'))"_qs));
        QVERIFY(ProductCodes::addCode(db(), 1, Mikan));
        QVERIFY(ProductCodes::addCode(db(), 2, Nashi));
        reopen();
    }
    void reopen()
    {
        delete screen;
        screen = new frmTana(state, QDate(2026, 3, 31));
        ScreenTest::showActive(screen);
        sounds = new QSignalSpy(screen->findChild<ScanSound*>(), &ScanSound::played);
        sounds->setParent(screen);
    }
    QWidget* focus() const { return QApplication::focusWidget(); }
    QString text(const char* name) const
    {
        if (auto* combo = find<LookupCombo>(name))
            return combo->text();
        return find<QLineEdit>(name)->text();
    }
    // 品名, 単位, 数量, 単価
    QStringList boxes() const { return { text("dbcShohin"), text("dbcTani"), text("txtCnt"), text("txtTanka") }; }

    // A scanner: a key every 5 ms, Enter at the end; the next code follows at once. Each key
    // carries the time it was pressed, as the window system gives it, so that a busy moment
    // of the test machine does not stretch the gaps.
    void scan(const QString& code, bool settle = true, ulong secondKeyAfter = 5)
    {
        const QString keys = code + u'\r';
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const QChar c = keys.at(i);
            m_pressed += i == 1 ? secondKeyAfter : 5;
            const Qt::Key key = c == u'\r' ? Qt::Key_Return : Qt::Key(Qt::Key_0 + c.digitValue());
            for (const QEvent::Type type : { QEvent::KeyPress, QEvent::KeyRelease }) {
                QKeyEvent event(type, key, Qt::NoModifier, QString(c));
                event.setTimestamp(m_pressed);
                QApplication::sendEvent(focus(), &event);
            }
            QTest::qWait(5);
        }
        if (settle) {
            ScreenTest::settle();
            m_pressed += 1000;
        }
    }
    // A person: keys without a window system's time, then Enter.
    void type(const QString& text)
    {
        ScreenTest::type(focus(), text);
        QTest::keyClick(focus(), Qt::Key_Return);
        ScreenTest::settle();
    }
    ScanSound::Kind lastSound() const { return sounds->constLast().constFirst().value<ScanSound::Kind>(); }
    void scanMode(bool on)
    {
        auto* box = find<QCheckBox>("chkScan");
        if (box->isChecked() != on)
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        QCOMPARE(box->isChecked(), on);
    }
};

} // namespace

// Codes typed and scanned into the entry screen's 品名.
class TestScanning : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void codeFindsItsProduct();
    void burstsNeverRunTogether();
    void scanModeCounts();
    void unknownCodeAttachedOnTheSpot();
};

void TestScanning::codeFindsItsProduct()
{
    ScanScreen s;
    s.open();
    s.find("dbcShohin")->setFocus();
    s.scan(Mikan);
    QCOMPARE(s.boxes(), QStringList({ "みかん", "箱", "", "80" }));
    QCOMPARE(s.text("Text2"), u"1"_qs);
    QCOMPARE(s.focus(), s.find("txtCnt"));
    QCOMPARE(s.lastSound(), ScanSound::Kind::Found);

    // Typed with an input method on: its Enter commits the full-width digits and goes no further.
    ScreenTest::replaceText(s.find("dbcShohin"), {});
    QInputMethodEvent commit;
    commit.setCommitString(u"４９０１２３４７"_qs);
    QApplication::sendEvent(s.focus(), &commit);
    ScreenTest::settle();
    QCOMPARE(s.boxes().first(), u"なし"_qs);
    QCOMPARE(s.focus(), s.find("txtCnt"));

    // A wrong check digit says which digit was expected and fills nothing.
    s.find("dbcShohin")->setFocus();
    s.scan(u"4901234567891"_qs);
    QCOMPARE(
        s.prompter.texts(),
        QStringList(u"コード 4901234567891 のチェックデジット（最後の桁）が違います。最後の桁は 4 のはずです。"_qs));
    QCOMPARE(s.boxes().first(), u"なし"_qs);
    QCOMPARE(s.lastSound(), ScanSound::Kind::Refused);

    // A product named with digits only is still typed by its name.
    s.prompter.clear();
    ScreenTest::replaceText(s.find("dbcShohin"), u"12345670"_qs);
    QTest::keyClick(s.focus(), Qt::Key_Return);
    ScreenTest::settle();
    QCOMPARE(s.focus(), s.find("dbcTani"));
    QCOMPARE(s.boxes(), QStringList({ "12345670", "個", "", "5" }));
    QVERIFY(s.prompter.shown().isEmpty());
}

void TestScanning::burstsNeverRunTogether()
{
    ScanScreen s;
    s.open();
    // Two codes back to back: after the first the focus is in 数量, where the second's digits must not go.
    s.find("dbcShohin")->setFocus();
    s.scan(Mikan, false);
    s.scan(Nashi);
    QCOMPARE(s.boxes(), QStringList({ "なし", "箱", "", "80" }));
    QCOMPARE(s.focus(), s.find("txtCnt"));
    // A quantity typed, then a code scanned into 数量 after a pause: the quantity stays as typed.
    ScreenTest::type(s.focus(), u"7"_qs);
    QTest::qWait(100);
    // The scanner's second key comes late, as when the machine is busy: the first is taken back all the same.
    s.scan(Mikan, true, 90);
    QCOMPARE(s.boxes(), QStringList({ "みかん", "箱", "7", "80" }));
    QVERIFY(s.prompter.shown().isEmpty());
    QCOMPARE(rowCount(s.db(), Table::Tana), 0);

    // In scan mode three codes in one burst are three scans: the first line is registered with 2.
    s.scanMode(true);
    s.reopen();
    s.find("txtCnt")->setFocus();
    s.prompter.answerAsk(true); // without a category
    s.scan(Nashi, false);
    s.scan(Nashi, false);
    s.scan(Mikan);
    QCOMPARE(
        s.prompter.texts(),
        QStringList({ "単価が入力されていません。", "項目/分類名が選択されていません。項目/分類は無視しますか？" }));
    QCOMPARE(lineField(s.db(), 1, "品名"), QVariant(u"なし"_qs));
    QCOMPARE(lineField(s.db(), 1, "数量").toDouble(), 2.0);
    QCOMPARE(s.boxes().mid(0, 3), QStringList({ "みかん", "箱", "1" }));
}

void TestScanning::scanModeCounts()
{
    ScanScreen s;
    s.open();
    s.scanMode(true);
    // Remembered for the next time the screen opens.
    s.reopen();
    QVERIFY(s.find<QCheckBox>("chkScan")->isChecked());
    auto* count = s.find<QLabel>("lblScanCount");
    QVERIFY(count->isVisible());
    QVERIFY(count->font().pixelSize() >= 48);

    s.find("dbcNouhin")->setFocus();
    s.type(u"果物"_qs);
    // A quantity typed before the first scan is the count the line starts with.
    s.find("txtCnt")->setFocus();
    ScreenTest::type(s.focus(), u"12"_qs);
    s.scan(Mikan);
    QCOMPARE(s.boxes(), QStringList({ "みかん", "箱", "12", "80" }));
    QCOMPARE(count->text(), u"12"_qs);
    // A double scan counts twice, and shows it.
    s.scan(Mikan);
    s.scan(Mikan);
    QCOMPARE(count->text(), u"14"_qs);
    QCOMPARE(s.sounds->count(), 3);
    QCOMPARE(rowCount(s.db(), Table::Tana), 0);
    // Another code registers the line first, then counts from 1.
    s.scan(Nashi);
    QCOMPARE(s.prompter.texts(), QStringList());
    QCOMPARE(lineField(s.db(), 1, "品名"), QVariant(u"みかん"_qs));
    QCOMPARE(lineField(s.db(), 1, "数量").toDouble(), 14.0);
    QCOMPARE(lineField(s.db(), 1, "価格").toDouble(), 1120.0);
    QCOMPARE(s.boxes().mid(0, 3), QStringList({ "なし", "", "1" }));
    QCOMPARE(count->text(), u"1"_qs);
    QCOMPARE(s.focus(), s.find("dbcShohin"));

    // Closing with a line counted but not registered asks first.
    s.prompter.answerAsk(true);
    s.click("Command1");
    QCOMPARE(s.prompter.texts(),
             QStringList({ "スキャンで数えた「なし」（数量 1）はまだ登録されていません。登録しますか？",
                           "単価が入力されていません。" }));
    QCOMPARE(lineField(s.db(), 2, "品名"), QVariant(u"なし"_qs));
    s.reopen();
    count = s.find<QLabel>("lblScanCount");
    s.find("dbcShohin")->setFocus();
    s.prompter.clear();

    // Back to typing: the big count goes, and a scan fills the boxes without counting.
    s.scanMode(false);
    QVERIFY(!count->isVisible());
    s.scan(Mikan);
    QCOMPARE(s.boxes(), QStringList({ "みかん", "箱", "", "80" }));
    QCOMPARE(s.focus(), s.find("txtCnt"));
}

void TestScanning::unknownCodeAttachedOnTheSpot()
{
    ScanScreen s;
    s.open();
    s.find("dbcShohin")->setFocus();
    // Cancelled: nothing changes.
    s.prompter.answerChoice(std::nullopt);
    s.scan(Unknown);
    QCOMPARE(s.prompter.shown().constLast().text,
             u"このコードの品名は登録されていません。\nコード：4567890123456\n\n"
             "登録済みの品名に割り当てるか、新しい品名として登録できます。"_qs);
    QCOMPARE(s.lastSound(), ScanSound::Kind::Refused);
    QCOMPARE(ProductCodes::findByCode(s.db(), Unknown), std::nullopt);

    // Attached to a product chosen by its name, and found by the next scan.
    s.prompter.answerChoice(0);
    s.scan(Unknown);
    QCOMPARE(s.focus(), s.find("dbcShohin"));
    s.type(u"なし"_qs);
    QCOMPARE(ProductCodes::codesOf(s.db(), 2), QStringList({ Nashi, Unknown }));
    QCOMPARE(s.focus(), s.find("txtCnt"));
    s.find("dbcShohin")->setFocus();
    ScreenTest::replaceText(s.focus(), {});
    s.scan(Unknown);
    QCOMPARE(s.boxes().first(), u"なし"_qs);

    // Or given to a new product, registered with its first line (in scan mode, counted).
    s.scanMode(true);
    ScreenTest::replaceText(s.find("dbcShohin"), {});
    const QString grapes = u"4500000000018"_qs;
    s.prompter.answerChoice(1);
    s.scan(grapes);
    s.type(u"ぶどう"_qs);
    s.type(u"房"_qs);
    QCOMPARE(s.text("txtCnt"), u"1"_qs);
    s.find("dbcShohin")->setFocus();
    s.scan(grapes);
    QCOMPARE(s.text("txtCnt"), u"2"_qs);
    ScreenTest::replaceText(s.find("txtTanka"), u"300"_qs);
    s.prompter.answerAsk(true);
    s.click("cmdSubAdd");
    const std::optional<ProductCodes::Owner> owner = ProductCodes::findByCode(s.db(), grapes);
    QVERIFY(owner);
    QCOMPARE(owner->name, u"ぶどう"_qs);
    QCOMPARE(lineField(s.db(), 1, "数量").toDouble(), 2.0);
    QCOMPARE(lineField(s.db(), 1, "品名ID").toInt(), owner->productId);
}

KOTRINA_REGISTER_TEST(TestScanning)
#include "TestScanning.moc"
