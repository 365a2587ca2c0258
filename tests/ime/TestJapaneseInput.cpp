// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "ImportData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/LookupCombo.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

// Runs under tests/ime/with_ibus.sh: a real X server, ibus with mozc, and every key and
// click sent through X by xdotool, as a keyboard and a mouse would.
namespace {

constexpr int Patience = 10000; // ms; the input method answers over D-Bus

// The pre-edit the input method shows in each box, as it arrives, before the program
// handles it.
class PreeditLog : public QObject
{
public:
    PreeditLog() { qApp->installEventFilter(this); }
    ~PreeditLog() override { qApp->removeEventFilter(this); }

    QString shownIn(const QWidget* box) const { return m_shown.value(box); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::InputMethod && watched->isWidgetType()) {
            // Shown in the box, and in the combo or window around it.
            for (auto* w = static_cast<QWidget*>(watched); w; w = w->parentWidget())
                m_shown[w] = static_cast<QInputMethodEvent*>(event)->preeditString();
        }
        return false;
    }

private:
    QHash<const QWidget*, QString> m_shown;
};

bool xdotool(const QStringList& arguments)
{
    // The program goes on reading its events meanwhile, as it does while a user types.
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedChannels);
    run.start(QStringLiteral("xdotool"), arguments);
    const bool done = QTest::qWaitFor([&] { return run.state() == QProcess::NotRunning; }, Patience)
        && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0;
    if (!done)
        qWarning() << "xdotool" << arguments << "failed:" << run.errorString() << run.exitCode();
    return done;
}

// A click of the left button on a control (into the text of a box or a combo).
bool click(QWidget* control)
{
    const QPoint at = control->mapToGlobal(QPoint(control->width() / 3, control->height() / 2));
    return xdotool({ QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                     QStringLiteral("click"), QStringLiteral("1") });
}

bool clickInto(QWidget* box)
{
    return click(box)
        && QTest::qWaitFor([box] { return box->hasFocus() || box->isAncestorOf(qApp->focusWidget()); }, Patience);
}

bool typeKeys(const QString& keys)
{
    return xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("50"), keys });
}

bool pressKey(const QString& key)
{
    return xdotool({ QStringLiteral("key"), key });
}

struct EntryScreen : TestSession, ScreenTest::Driver<frmTana>
{
    ModalAnswerer modals;
    PreeditLog preedit;

    // Romaji typed into the focused box until mozc shows the kana it makes.
    bool compose(QWidget* into, const QString& romaji, const QString& kana)
    {
        if (typeKeys(romaji) && QTest::qWaitFor([&] { return preedit.shownIn(into) == kana; }, Patience))
            return true;
        qWarning() << "typed" << romaji << "shows" << preedit.shownIn(into) << "instead of" << kana;
        return false;
    }
    bool cancel(QWidget* in)
    {
        return pressKey(u"Escape"_qs) && QTest::qWaitFor([&] { return preedit.shownIn(in).isEmpty(); }, Patience);
    }
    // Waits until everything the input method sent so far has arrived: a kana composed in
    // the box and cancelled again reaches the box after all that came before it.
    bool drain(QWidget* into) { return compose(into, u"a"_qs, u"あ"_qs) && cancel(into); }
};

} // namespace

class TestJapaneseInput : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conversionStaysInItsBox();
};

// A line typed with mozc: names composed and confirmed with Enter, Enter moving on, digits
// straight into the number boxes, and two conversions left open by a click into another
// box, each of which lands once, in the box it was typed into.
void TestJapaneseInput::conversionStaysInItsBox()
{
    EntryScreen e;
    QVERIFY(e.openNewDatabase());
    QVERIFY(e.db().exec(uR"(INSERT INTO "仕入商品" VALUES (1, 'りんご', 120, '個'))"_qs));
    e.screen = new frmTana(e.state, QDate(2026, 3, 31));
    e.screen->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.screen));
    auto* category = e.find<LookupCombo>("dbcNouhin");
    auto* product = e.find<LookupCombo>("dbcShohin");
    auto* quantity = e.find<QLineEdit>("txtCnt");
    auto* price = e.find<QLineEdit>("txtTanka");
    auto* memo = e.find<QLineEdit>("txtMemo");

    // Names: the conversion confirmed by Enter, the next Enter moves on.
    const auto enterName = [&](LookupCombo* box, const QString& romaji, const QString& kana) {
        return e.compose(box, romaji, kana) && pressKey(u"Return"_qs)
            && QTest::qWaitFor([&] { return box->text() == kana; }, Patience) && pressKey(u"Return"_qs);
    };
    QVERIFY(clickInto(category));
    QVERIFY(enterName(category, u"shokuhinn"_qs, u"しょくひん"_qs));
    QTRY_VERIFY_WITH_TIMEOUT(product->hasFocus(), Patience);
    QVERIFY(enterName(product, u"ringo"_qs, u"りんご"_qs));
    QTRY_COMPARE_WITH_TIMEOUT(price->text(), u"120"_qs, Patience);

    // Digits go straight into the quantity, with no conversion to confirm.
    QVERIFY(clickInto(quantity));
    QVERIFY(typeKeys(u"12"_qs));
    QTRY_COMPARE_WITH_TIMEOUT(quantity->text(), u"12"_qs, Patience);

    // A conversion open in the remark, then a click into the unit price (which selects its
    // text on entry, so a second copy would replace the price).
    QVERIFY(clickInto(memo));
    QVERIFY(e.compose(memo, u"sita"_qs, u"した"_qs));
    QVERIFY(clickInto(price));
    QVERIFY(clickInto(memo));
    QVERIFY(e.drain(memo));
    QCOMPARE(memo->text(), u"した"_qs);
    QCOMPARE(price->text(), u"120"_qs);

    // A conversion open in the remark, then a click into the product, a box for Japanese.
    QVERIFY(e.compose(memo, u"ne"_qs, u"ね"_qs));
    QVERIFY(clickInto(product));
    QVERIFY(e.drain(product));
    QCOMPARE(memo->text(), u"したね"_qs);
    QCOMPARE(product->text(), u"りんご"_qs);

    QVERIFY(click(e.find("cmdSubAdd")));
    QTRY_COMPARE_WITH_TIMEOUT(
        rows(e.db(), uR"(SELECT "品名", "数量", "単位", "単価", "価格", "備考" FROM "棚卸マスター")"_qs),
        QStringList { u"りんご|12|個|120|1440|したね"_qs }, Patience);
    QCOMPARE(rows(e.db(), uR"(SELECT "単価" FROM "仕入商品")"_qs), QStringList { u"120"_qs });
}

KOTRINA_REGISTER_TEST(TestJapaneseInput)
#include "TestJapaneseInput.moc"
