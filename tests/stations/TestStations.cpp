// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "MainWindowTest.h"
#include "SampleData.h"
#include "TestRegistry.h"
#include "core/files/FailureCause.h"
#include "core/lines/LineRegistration.h"
#include "core/store/ServerLogin.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/LookupCombo.h"

#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <QTableView>

namespace {

// Keeps an environment variable as it was before the test changed it.
struct KeptVariable
{
    explicit KeptVariable(const char* variable)
        : name(variable)
        , had(qEnvironmentVariableIsSet(variable))
        , value(qgetenv(variable))
    { }
    ~KeptVariable()
    {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    const char* name;
    bool had;
    QByteArray value;
};

// A line registered by another station: a connection of its own to the same database.
void registerElsewhere(const QString& uri, const QString& product, double price)
{
    Database other;
    QString error;
    QVERIFY2(other.open(uri, &error), qPrintable(error));
    QVERIFY2(registerLine(other, { QDate(2026, 3, 31), 0, product, 1, u"個"_qs, price, QString() }, &error),
             qPrintable(error));
}

// Stops or starts the cluster pg_virtualenv made for the run.
bool cluster(const char* action)
{
    return QProcess::execute(
               u"pg_ctlcluster"_qs,
               { qEnvironmentVariable("PGVERSION"), u"regress"_qs, QString::fromLatin1(action), u"-m"_qs, u"fast"_qs })
        == 0;
}

QString lineCountOn(const QString& uri)
{
    Database db;
    if (!db.open(uri))
        return u"unreadable"_qs;
    return QString::number(rowCount(db, Table::Tana));
}

} // namespace

// Several stations on one PostgreSQL server, as the users at them see it: connecting through
// the dialog, following the others' lines, a server that goes away mid-count.
class TestStations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void connectingThroughTheDialog();
    void listsFollowOtherStations();
    void serverGoneMidCount();
};

void TestStations::init()
{
    if (testEngine() != Engine::Postgres)
        QSKIP("needs a PostgreSQL server (KOTRINA_TEST_ENGINE=postgresql, as ctest stations_pg runs it)");
}

void TestStations::connectingThroughTheDialog()
{
    MainWindow m;
    QString error;
    const QString uri = freshDatabase(m.env, u"接続"_qs, &error);
    QVERIFY2(!uri.isEmpty(), qPrintable(error));
    // What the URI leaves to libpq's environment is typed in full, as a user types it.
    ServerLogin server = *ServerLogin::fromName(uri);
    if (const QString host = qEnvironmentVariable("PGHOST"); !host.isEmpty() && !uri.contains(u'@'))
        server.host = host;
    if (const int port = qEnvironmentVariableIntValue("PGPORT"); port > 0 && ServerLogin::fromName(uri)->port == 5432)
        server.port = port;
    if (server.user.isEmpty())
        server.user = qEnvironmentVariable("PGUSER");
    const QString password = qEnvironmentVariable("PGPASSWORD");
    // The station knows no password but the one typed; the password file is the test's own.
    const KeptVariable keptPassword("PGPASSWORD");
    const KeptVariable keptFile("PGPASSFILE");
    qunsetenv("PGPASSWORD");
    const QString passwordFile = m.env.path(u"home/.pgpass"_qs);
    qputenv("PGPASSFILE", passwordFile.toLocal8Bit());

    const QString shop = m.env.newDatabase();
    m.start(shop);
    QStringList afterWrongPassword;
    m.modals.steps[u"DialogServer"_qs] = [&](QDialog* dialog) {
        auto box = [dialog](const char* name) { return dialog->findChild<QLineEdit*>(QString::fromLatin1(name)); };
        ScreenTest::replaceText(box("txtHost"), server.host);
        ScreenTest::replaceText(box("txtPort"), QString::number(server.port));
        ScreenTest::replaceText(box("txtDatabase"), server.database);
        ScreenTest::replaceText(box("txtUser"), server.user);
        ScreenTest::replaceText(box("txtPassword"), u"wrong"_qs);
        QTest::keyClick(box("txtPassword"), Qt::Key_Return);
        for (const char* name : { "txtHost", "txtPort", "txtDatabase", "txtUser", "txtPassword" })
            afterWrongPassword << box(name)->text();
        // Only the password is typed again.
        QTest::mouseClick(dialog->findChild<QCheckBox*>(u"chkSavePassword"_qs), Qt::LeftButton);
        ScreenTest::replaceText(box("txtPassword"), password);
        QTest::keyClick(box("txtPassword"), Qt::Key_Return);
    };
    m.trigger("mnuServer");
    QCOMPARE(afterWrongPassword,
             QStringList({ server.host, QString::number(server.port), server.database, server.user, u"wrong"_qs }));
    QVERIFY2(m.prompter.texts().size() == 1, qPrintable(m.prompter.texts().join(u"\n---\n"_qs)));
    QVERIFY2(m.prompter.texts().constFirst().startsWith(
                 u"サーバーのデータベースに接続できませんでした。\rユーザー名またはパスワードが違います。"_qs),
             qPrintable(m.prompter.texts().constFirst()));

    // Connected: the box, the status line, the setting and the title name the database, never the password.
    QVERIFY(m.state.ConnectionOpen);
    QVERIFY(m.state.DatabaseConnection.isServer());
    const QString shown = ServerLogin::shown(m.state.DatabaseFileName);
    QVERIFY(!shown.contains(password));
    QCOMPARE(m.fileNames(), QStringList(3, shown));
    QVERIFY(m.window->windowTitle().endsWith(shown));
    QCOMPARE(m.find<QLabel>("Label9")->text(), u"Data Provider PostgreSQL"_qs);
    QVERIFY(!readAll(m.env.settingsFile()).contains(password.toUtf8()));
    QVERIFY(readAll(passwordFile).contains(password.toUtf8()));
    QCOMPARE(QFile::permissions(passwordFile) & 0xF0FF, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // The next start connects again through the password file, and the close leaves the backup alone.
    m.window->close();
    QVERIFY(!QFileInfo::exists(m.env.paths().backupPath()));
    m.prompter.clear();
    m.start();
    QVERIFY(m.prompter.texts().isEmpty());
    QVERIFY(m.state.DatabaseConnection.isServer());
    QCOMPARE(m.fileNames(), QStringList(3, shown));

    // 名前を付けて保存 makes a file of the server's database, which is then the one open.
    registerElsewhere(uri, u"手元に残す品"_qs, 100);
    const QString saved = m.env.path(u"手元の写し.idb"_qs);
    m.prompter.answerFile(saved);
    m.trigger("mnuSave");
    QVERIFY2(m.prompter.texts().isEmpty(), qPrintable(m.prompter.texts().join(u"\n"_qs)));
    QVERIFY(!m.state.DatabaseConnection.isServer());
    QCOMPARE(m.state.DatabaseFileName, saved);
    QCOMPARE(rowCount(m.state.DatabaseConnection, Table::Tana), 1);
}

void TestStations::listsFollowOtherStations()
{
    MainWindow m;
    QString error;
    const QString uri = freshDatabase(m.env, u"追従"_qs, &error);
    QVERIFY2(!uri.isEmpty(), qPrintable(error));
    registerElsewhere(uri, u"りんご"_qs, 100);
    m.start(uri);
    QVERIFY(m.state.DatabaseConnection.isServer());
    QElapsedTimer clock;
    QStringList took;

    // The entry screen's status line.
    m.trigger("mnuPreTana");
    auto* entry = m.window->findChild<frmTana*>();
    QVERIFY(entry);
    auto* status = entry->findChild<QLineEdit*>(u"Text3"_qs);
    QCOMPARE(status->text(), u"Max Record 1   Total 100"_qs);
    clock.start();
    registerElsewhere(uri, u"みかん"_qs, 250);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), u"Max Record 2   Total 350"_qs, 10000);
    took << u"entry %1 ms"_qs.arg(clock.elapsed());
    entry->close();
    ScreenTest::settle();

    // The summary list's lines and the correction screen's list of every line.
    const auto followedIn = [&](const char* screen, const char* button, const char* search) {
        m.modals.steps[QString::fromLatin1(screen)] = [&, search](QDialog* dialog) {
            dialog->activateWindow();
            QTRY_VERIFY(dialog->isActiveWindow());
            ScreenTest::settle();
            if (search)
                QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(search)), Qt::LeftButton);
            ScreenTest::settle();
            auto* grid = dialog->findChild<QTableView*>(u"dgdSub"_qs);
            const int before = grid->model()->rowCount();
            QCOMPARE(before, 2);
            clock.restart();
            registerElsewhere(uri, u"ぶどう"_qs, 500);
            QTRY_COMPARE_WITH_TIMEOUT(grid->model()->rowCount(), before + 1, 10000);
            took << u"%1 %2 ms"_qs.arg(QString::fromLatin1(screen)).arg(clock.elapsed());
        };
        m.trigger(button);
        QVERIFY(m.modals.steps.empty());
    };
    followedIn("frmInAmd2", "Command19", "Command4");
    qInfo("another station's line shown after: %s", qPrintable(took.join(u", "_qs)));

    // The repair frame: compaction on a server waits until no other station is connected, and
    // says how many are; the salvage of a damaged file has nothing to work on.
    Database other;
    QVERIFY(other.open(uri));
    m.prompter.clear();
    m.trigger("Command1");
    QVERIFY(!m.find<QPushButton>("cmdSalvage")->isEnabled());
    m.trigger("Command22");
    QCOMPARE(m.prompter.texts().size(), 1);
    QVERIFY2(m.prompter.texts().constFirst().startsWith(u"ほかに 1 台の端末がこのデータベースに接続しています。"_qs),
             qPrintable(m.prompter.texts().constFirst()));
    QCOMPARE(lineCountOn(uri), u"3"_qs);
}

void TestStations::serverGoneMidCount()
{
    TestSession s;
    ModalAnswerer modals; // the entry screen's help on an empty product list
    QString error;
    const QString uri = freshDatabase(s.env, u"停止"_qs, &error);
    QVERIFY2(!uri.isEmpty(), qPrintable(error));
    QVERIFY(s.state.DatabaseConnection.open(uri));
    s.state.ConnectionOpen = true;
    ScreenTest::Driver<frmTana> e;
    e.screen = new frmTana(s.state, QDate(2026, 3, 31));
    ScreenTest::showActive(e.screen);
    ScreenTest::replaceText(e.find("dbcShohin"), u"みかん"_qs);
    ScreenTest::replaceText(e.find("dbcTani"), u"箱"_qs);
    ScreenTest::replaceText(e.find("txtCnt"), u"3"_qs);
    ScreenTest::replaceText(e.find("txtTanka"), u"80"_qs);
    const auto boxes = [&e] {
        return QStringList { e.find<LookupCombo>("dbcShohin")->text(), e.find<LookupCombo>("dbcTani")->text(),
                             e.find<QLineEdit>("txtCnt")->text(), e.find<QLineEdit>("txtTanka")->text() };
    };
    const QStringList typed = boxes();
    QCOMPARE(typed, QStringList({ u"みかん"_qs, u"箱"_qs, u"3"_qs, u"80"_qs }));

    // The server stops: 入力 says so and the line stays in its boxes.
    QVERIFY(cluster("stop"));
    s.prompter.answerAsk(true); // a line without a category: asked once
    e.click("cmdSubAdd");
    const QStringList said = s.prompter.texts();
    QVERIFY(!said.isEmpty());
    QCOMPARE(said.constLast(),
             u"データベースに書き込めませんでした。この行は登録されていません。\r"_qs + FailureCause::serverGone());
    QCOMPARE(boxes(), typed);

    // Back again: the next 入力 goes through.
    QVERIFY(cluster("start"));
    s.prompter.clear();
    e.click("cmdSubAdd");
    QVERIFY2(s.prompter.problems().isEmpty(), qPrintable(s.prompter.problems().join(u'\n')));
    QCOMPARE(lineCountOn(uri), u"1"_qs);
    QCOMPARE(lineField(s.db(), 1, "品名").toString(), u"みかん"_qs);
}

KOTRINA_REGISTER_TEST(TestStations)
#include "TestStations.moc"
