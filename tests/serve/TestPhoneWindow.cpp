// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "MainWindowTest.h"
#include "PhoneClient.h"
#include "TestRegistry.h"
#include "core/rules/TextRules.h"
#include "core/serve/PhoneRegistry.h"
#include "core/serve/PhoneServer.h"
#include "gui/entry/frmTana.h"
#include "gui/phones/DialogPhones.h"
#include "gui/phones/QrCodeView.h"

#include <QDateEdit>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTableWidget>

using namespace Qt::StringLiterals;

namespace {

// What zbarimg reads in a picture of the widget: "QR-Code:…".
QString readQr(QWidget* widget, const QString& folder)
{
    const QString png = folder + u"/qr.png"_s;
    if (!widget->grab().save(png))
        return {};
    QProcess zbar;
    zbar.start(u"zbarimg"_s, { u"-q"_s, png });
    zbar.waitForFinished(30000);
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

} // namespace

class TestPhoneWindow : public QObject
{
    Q_OBJECT

private slots:
    // A phone's line shows in the open entry screen's status line, as another station's does,
    // though it went through the desk's own connection.
    void theEntryScreenFollowsThePhones()
    {
        MainWindow m;
        m.start(m.env.newDatabase());
        m.trigger("mnuPreTana");
        auto* entry = m.window->findChild<frmTana*>();
        QVERIFY(entry);
        auto* status = entry->findChild<QLineEdit*>(u"Text3"_s);
        const QString before = status->text();
        PhoneServer server(m.state.DatabaseConnection, m.find<QDateEdit>("DTPicker1")->date());
        PhoneServer::Options options;
        options.address = u"127.0.0.1"_s;
        options.port = 0;
        QVERIFY(server.start(options));
        PhoneClient phone(server.port());
        QVERIFY(phone.pair(server.newPairingUrl()));
        const QByteArray line = QJsonDocument(QJsonObject { { u"key"_s, u"k1"_s },
                                                            { u"product"_s, u"りんご"_s },
                                                            { u"quantity"_s, 3 },
                                                            { u"price"_s, 120 } })
                                    .toJson();
        QCOMPARE(phone.post(u"/api/lines"_s, line).status, 201);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), u"Max Record 1   Total 360"_s, 5000);
        QVERIFY(status->text() != before);
    }

    // The desk starts the server from the menu, shows a QR code that a camera reads as the
    // pairing URL, the phones with their lines as they come, renames and unpairs a phone;
    // closing the window stops the server.
    void deskServesPhonesWhileTheWindowIsOpen()
    {
        MainWindow m;
        m.start(m.env.newDatabase());
        m.trigger("mnuPhones");
        auto* window = m.window->findChild<DialogPhones*>();
        QVERIFY(window);
        QTRY_VERIFY(window->isVisible());
        QVERIFY(window->server() && window->server()->isListening());
        const int port = window->server()->port();

        const QString url = readQr(window->findChild<QrCodeView*>(u"picQr"_s), m.env.root());
        QVERIFY2(url.startsWith(u"QR-Code:http://"_s) && url.contains(u"/pair?code="_s), qPrintable(url));
        QVERIFY(window->findChild<QLabel*>(u"lblUrl"_s)->text().contains(url.mid(8)));
        PhoneClient phone(port);
        QVERIFY(phone.pair(url.mid(8)));
        // The code used, the window shows a fresh one at once.
        QTRY_VERIFY(!window->findChild<QLabel*>(u"lblUrl"_s)->text().contains(url.mid(8)));
        QVERIFY(readQr(window->findChild<QrCodeView*>(u"picQr"_s), m.env.root()) != url);

        auto* grid = window->findChild<QTableWidget*>(u"grdPhones"_s);
        QTRY_COMPARE(grid->rowCount(), 1);
        QCOMPARE(grid->item(0, 0)->text(), u"スマートフォン1"_s);
        QCOMPARE(grid->item(0, 1)->text(), u"0"_s);
        const QByteArray line = QJsonDocument(QJsonObject { { u"key"_s, u"k1"_s },
                                                            { u"product"_s, u"りんご"_s },
                                                            { u"quantity"_s, 3 },
                                                            { u"price"_s, 120 } })
                                    .toJson();
        QCOMPARE(phone.post(u"/api/lines"_s, line).status, 201);
        QTRY_COMPARE_WITH_TIMEOUT(grid->item(0, 1)->text(), u"1"_s, 5000);

        // Renamed in place: the phone's page and its next lines take the new name.
        grid->setCurrentCell(0, 0);
        QTest::mouseClick(window->findChild<QPushButton*>(u"cmdRename"_s), Qt::LeftButton);
        auto* editor = grid->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->selectAll();
        ScreenTest::type(editor, u"レジ横"_s);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(PhoneRegistry::phones(m.db(), m.window->findChild<QDateEdit*>()->date())->first().phone.name,
                     u"レジ横"_s);
        QCOMPARE(phone.get(u"/api/state"_s).json().toObject().value(u"phone"_s).toString(), u"レジ横"_s);

        // A name too long is refused with the product name's message.
        grid->setCurrentCell(0, 0);
        QTest::mouseClick(window->findChild<QPushButton*>(u"cmdRename"_s), Qt::LeftButton);
        QTRY_VERIFY(grid->viewport()->findChild<QLineEdit*>() && grid->viewport()->findChild<QLineEdit*>() != editor);
        editor = grid->viewport()->findChild<QLineEdit*>();
        editor->selectAll();
        ScreenTest::type(editor, QString(25, QChar(u'長')));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(m.prompter.texts(),
                     QStringList { *TextRules::nameTooLong(TextRules::Name::Product, QString(25, QChar(u'長'))) });
        QTRY_COMPARE(grid->item(0, 0)->text(), u"レジ横"_s);

        m.prompter.answerAsk(true);
        grid->setCurrentCell(0, 0);
        QTest::mouseClick(window->findChild<QPushButton*>(u"cmdUnpair"_s), Qt::LeftButton);
        QTRY_COMPARE(grid->rowCount(), 0);
        QCOMPARE(phone.get(u"/api/state"_s).status, 401);

        QTest::mouseClick(window->findChild<QPushButton*>(u"cmdClose"_s), Qt::LeftButton);
        QTRY_VERIFY(!m.window->findChild<DialogPhones*>());
        QCOMPARE(PhoneClient(port).get(u"/"_s).status, 0);
    }
};

KOTRINA_REGISTER_TEST(TestPhoneWindow)
#include "TestPhoneWindow.moc"
