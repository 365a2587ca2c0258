// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "ListedPrinters.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/printing/frmPrinterP.h"
#include "gui/shell/frmAMain.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <map>

namespace {

const PrinterDetails Office = { { { 1, "Letter" },
                                  { 9, "A4" },
                                  { 11, "A5" },
                                  { 56, "Letter Extra Transverse" },
                                  { 0, "Roll 80mm" },
                                  { 260, "伝票 (HISAGO 1151)" } },
                                999,
                                15,
                                9,
                                210,
                                297 };
const PrinterDetails Labels = { { { 43, "はがき" }, { 256, "ラベル" } }, 1, 1, 256, 100, 148 };

struct PrinterWindow : TestSession
{
    ListedPrinters printers;
    ScreenTest::Driver<frmPrinterP> w;

    PrinterWindow()
    {
        printers.names = { QStringLiteral("Office"), QStringLiteral("Labels"), QStringLiteral("Broken") };
        printers.drivers = { { QStringLiteral("Office"), Office }, { QStringLiteral("Labels"), Labels } };
        state.printers = &printers;
    }
    void open()
    {
        w.screen = new frmPrinterP(state, printers);
        w.screen->show();
        ScreenTest::settle();
    }
    QComboBox* combo(const char* name) const { return w.find<QComboBox>(name); }
    QString label(const char* name) const { return w.find<QLabel>(name)->text(); }
    QStringList items(const char* name) const { return ScreenTest::itemTexts(combo(name)); }
};

} // namespace

class TestPrinterSettings : public QObject
{
    Q_OBJECT

private slots:
    void choosingAPrinterAndAPaper()
    {
        PrinterWindow p;
        p.printers.names << QStringLiteral("Office");
        p.state.currentPrinter = QStringLiteral("Office");
        p.state.PrinterName = QStringLiteral("Office");
        p.open();
        QCOMPARE(p.items("Combo3"), QStringList({ "Office", "Labels", "Broken", "Office" }));
        // With the name twice, the later printer is the chosen one.
        QCOMPARE(p.combo("Combo3")->currentIndex(), 3);
        QCOMPARE(p.items("Combo1"), QStringList({ "LETTER", "A4", "A5", "UNKNOWN(56)", "UNKNOWN(0)", "USER(260)" }));
        QVERIFY(!p.combo("Combo1")->isVisible());
        QCOMPARE(p.items("Combo2"),
                 QStringList({ "Letter", "A4", "A5", "Letter Extra Transverse", "Roll 80mm", "伝票 (HISAGO 1151)" }));
        QCOMPARE(p.combo("Combo2")->currentText(), QStringLiteral("A4、210 x 297 mm"));
        QCOMPARE(p.label("Label6"), QStringLiteral("このプリンターの最大印刷部数は　999枚です。"));
        QCOMPARE(p.label("Label7"), QString()); // tray 15 has no text

        // A printer of the user's own size: its figures stand after H and W.
        QVERIFY(ScreenTest::chooseFromList(p.combo("Combo3"), QStringLiteral("Labels")));
        QCOMPARE(p.state.currentPrinter, QStringLiteral("Labels"));
        QCOMPARE(p.state.PrinterName, QStringLiteral("Office")); // the print dialogs go back to it
        QCOMPARE(p.items("Combo1"), QStringList({ "JAPANESE_POSTCARD", "USER(256)" }));
        QCOMPARE(p.combo("Combo2")->currentText(), QStringLiteral("ユーザー定義サイズ  H 100 × W 148㎜"));
        QCOMPARE(p.label("Label6"), QStringLiteral("このプリンターの最大印刷部数は　1枚です。"));
        QCOMPARE(p.label("Label7"), QStringLiteral("上段のトレーの用紙を使います。"));

        // A driver that cannot be asked leaves the paper group disabled, and a good one enables it again.
        QVERIFY(ScreenTest::chooseFromList(p.combo("Combo3"), QStringLiteral("Broken")));
        QVERIFY(!p.combo("Combo2")->isEnabled());
        QVERIFY(!p.w.find<QLabel>("Label2")->isEnabled());
        QCOMPARE(p.combo("Combo2")->count(), 0);
        QVERIFY(ScreenTest::chooseFromList(p.combo("Combo3"), QStringLiteral("Office")));
        QVERIFY(p.combo("Combo2")->isEnabled());

        // The paper chosen becomes the printer's default at once and stays after ｷｬﾝｾﾙ.
        QVERIFY(ScreenTest::chooseFromList(p.combo("Combo2"), QStringLiteral("伝票 (HISAGO 1151)")));
        QCOMPARE(p.combo("Combo1")->currentText(), QStringLiteral("USER(260)"));
        QVERIFY(ScreenTest::chooseFromList(p.combo("Combo2"), QStringLiteral("A5")));
        p.w.click("Command5");
        QVERIFY(!p.w.screen->isVisible());
        QCOMPARE(p.printers.written, QStringList({ "Office=260", "Office=11" }));
        QCOMPARE(p.state.currentPrinter, QStringLiteral("Office"));
        QVERIFY(p.prompter.shown().isEmpty());
    }

    void driverSettings()
    {
        PrinterWindow p;
        p.state.currentPrinter = QStringLiteral("Office");
        p.open();
        // A paper chosen in the driver's settings is written as the default and shown.
        p.prompter.answerPrinterSettings(11);
        p.w.click("Command3");
        QCOMPARE(p.prompter.shown().constLast().text, QStringLiteral("Office"));
        QCOMPARE(p.printers.written, QStringList { QStringLiteral("Office=11") });
        QCOMPARE(p.combo("Combo2")->currentText(), QStringLiteral("A5、148 x 210 mm"));
        // Cancelled: nothing written.
        p.prompter.answerPrinterSettings(11);
        p.w.click("Command3");
        QCOMPARE(p.printers.written.size(), 1);

        // Without printers the paper group is disabled and the driver's settings cannot be shown.
        PrinterWindow none;
        none.printers.names.clear();
        none.open();
        QVERIFY(!none.combo("Combo2")->isEnabled());
        QCOMPARE(none.combo("Combo2")->palette().color(QPalette::Base),
                 none.w.screen->palette().color(QPalette::Button));
        none.prompter.answerPrinterSettings(std::nullopt);
        none.w.click("Command3");
        QCOMPARE(none.label("Label4"), QStringLiteral("表示できません。"));
    }

    void openedFromTheMainWindow()
    {
        PrinterWindow p;
        p.state.currentPrinter = QStringLiteral("Office");
        p.settings.setValue(Setting::MDBFileName, p.env.newDatabase());
        p.settings.setValue(Setting::PrinterName, QStringLiteral("Office"));
        p.settings.sync();
        ModalAnswerer modals;
        frmAMain window(p.state, QString());
        window.load();
        ScreenTest::showActive(&window);

        // ﾌｧｲﾙ(&F) → ﾌﾟﾘﾝﾀの設定(&U), where the user takes the label printer.
        modals.steps[QStringLiteral("frmPrinterP")] = [](QDialog* settings) {
            QTRY_COMPARE(QApplication::overrideCursor(), nullptr); // the hourglass ends when it is active
            QVERIFY(ScreenTest::chooseFromList(settings->findChild<QComboBox*>(QStringLiteral("Combo3")),
                                               QStringLiteral("Labels")));
            settings->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        };
        QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_U);
        QTRY_COMPARE(modals.screens, QStringList { QStringLiteral("frmPrinterP") });
        QCOMPARE(p.state.currentPrinter, QStringLiteral("Labels"));

        // The printer kept between runs is the one the print dialogs chose, not this window's.
        window.close();
        Settings stored(p.env.settingsFile(), p.clock);
        QCOMPARE(stored.value(Setting::PrinterName), QStringLiteral("Office"));
        QVERIFY(p.prompter.shown().isEmpty());
    }
};

KOTRINA_REGISTER_TEST(TestPrinterSettings)
#include "TestPrinterSettings.moc"
