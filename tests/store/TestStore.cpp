// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/app/SingleInstance.h"
#include "core/store/Database.h"
#include "core/store/FileOps.h"
#include "core/store/NameOrder.h"
#include "core/store/Schema.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <atomic>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

// The database file, its tables and identities, the settings store and the other
// services beneath the screens.
class TestStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesKeepTheirColumnOrder();
    void namesInJapaneseOrderOnEveryConnection();
    void nextId_data();
    void nextId();
    void olderFilesBecomeTodaysFile();
    void refusesFilesThatAreNotOurs_data();
    void refusesFilesThatAreNotOurs();
    void atomicCopy();
    void settingDefaults_data();
    void settingDefaults();
    void fileDialogFilters();
    void commandLineFile();
    void secondInstanceHandsOver();
    void handOverCarriesAnyFileName();
};

// Lists that show every column rely on the column order.
void TestStore::linesKeepTheirColumnOrder()
{
    TestEnvironment env;
    Database db;
    QVERIFY(db.open(env.newDatabase()));
    const QSqlRecord record = db.connection().record(u"棚卸マスター"_qs);
    QStringList columns;
    for (int i = 0; i < record.count(); ++i)
        columns << record.fieldName(i);
    QCOMPARE(columns.join(QLatin1Char(',')), u"ID,日付,項目ID,品名,数量,単位,単価,価格,備考,備考1,品名ID,区分調整"_qs);
}

namespace {

// The IDs of the products in the order the SQL terms give; empty when the query fails.
QList<int> productIds(const Database& db, const QString& order)
{
    QSqlQuery q(db.connection());
    if (!q.exec(uR"(SELECT "品名ID" FROM "仕入商品" ORDER BY )"_qs + order))
        return {};
    QList<int> ids;
    while (q.next())
        ids << q.value(0).toInt();
    return ids;
}

} // namespace

// The sort keys the lists sort by and the collation give the same order, on the program's
// connection and on a second one opened on another thread, also for names whose keys are
// long; no name is lost and no two names tie unless they are the same.
void TestStore::namesInJapaneseOrderOnEveryConnection()
{
    TestEnvironment env;
    const QString file = env.newDatabase();
    Database db;
    QVERIFY(db.open(file));
    // 1 and 2: a thousand kana of one sound, in katakana and hiragana, then い and う.
    QVERIFY(db.exec(
        uR"(INSERT INTO "仕入商品" ("品名ID", "品名") VALUES (1, ?), (2, ?), (3, 'ボールペン'),
        (4, 'ボルト'), (5, NULL), (6, 'ボールペン'))"_qs,
        QVariantList { QString(QString(1000, QChar(u'ア')) + u'い'), QString(QString(1000, QChar(u'あ')) + u'う') }));
    const QString name = uR"("品名")"_qs;
    const QString id = uR"("品名ID")"_qs;
    const QString byKeys = NameOrder::orderBy(name, id);
    const QList<int> expected = { 5, 1, 2, 3, 6, 4 };
    QCOMPARE(productIds(db, byKeys), expected);
    QCOMPARE(productIds(db, name + uR"( COLLATE "%1", "品名" COLLATE BINARY, "品名ID")"_qs.arg(NameOrder::Collation)),
             expected);

    QList<int> elsewhere;
    std::thread([&] {
        Database second;
        if (second.open(file, nullptr, Database::Access::ReadOnly))
            elsewhere = productIds(second, byKeys);
    }).join();
    QCOMPARE(elsewhere, expected);
}

void TestStore::nextId_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<int>("expected");
    const int lines = int(Table::Tana);
    QTest::newRow("empty table starts at 1") << lines << QList<int> {} << -1 << 1;
    QTest::newRow("after 1..5") << lines << QList<int> { 1, 2, 3, 4, 5 } << -1 << 6;
    QTest::newRow("largest deleted is given again") << lines << QList<int> { 1, 2, 3, 4, 5 } << 5 << 5;
    QTest::newRow("gap is never filled") << lines << QList<int> { 1, 2, 3, 4, 5 } << 3 << 6;
    QTest::newRow("only the reserved category") << int(Table::Koumoku) << QList<int> {} << -1 << 1;
    QTest::newRow("categories after 7") << int(Table::Koumoku) << QList<int> { 3, 7 } << -1 << 8;
    QTest::newRow("units") << int(Table::Tani) << QList<int> { 2, 9 } << 9 << 3;
}

void TestStore::nextId()
{
    QFETCH(int, table);
    QFETCH(QList<int>, ids);
    QFETCH(int, deleted);
    QFETCH(int, expected);
    TestEnvironment env;
    Database db;
    QVERIFY(db.open(env.newDatabase()));
    const Table t = Table(table);
    // Lines need their date; the masters need nothing but the identity.
    const QString insert = t == Table::Tana
        ? uR"(INSERT INTO "棚卸マスター" ("ID", "日付") VALUES (?, '2026-03-31'))"_qs
        : uR"(INSERT INTO "%1" ("%2") VALUES (?))"_qs.arg(tableName(t), idColumn(t));
    for (int id : ids)
        QVERIFY(db.exec(insert, { id }));
    if (deleted >= 0)
        QVERIFY(db.exec(uR"(DELETE FROM "%1" WHERE "%2" = ?)"_qs.arg(tableName(t), idColumn(t)), { deleted }));
    QCOMPARE(db.nextId(t), expected);
}

namespace {

// The tables, indexes and triggers of a database file, by kind and name.
QStringList schemaObjects(const Database& db)
{
    QStringList objects;
    QSqlQuery q(db.connection());
    q.exec(u"SELECT type || ' ' || name FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' ORDER BY 1"_qs);
    while (q.next())
        objects << q.value(0).toString();
    return objects;
}

} // namespace

void TestStore::olderFilesBecomeTodaysFile()
{
    TestEnvironment env;
    const QString today = sampleDatabase(env, 300);
    QStringList expected;
    {
        Database db;
        QVERIFY(db.open(today));
        expected = schemaObjects(db);
    }
    for (int version = 1; version < Schema::UserVersion; ++version) {
        const QString older = env.path(u"version%1.idb"_qs.arg(version));
        QVERIFY(QFile::copy(today, older) && makeVersion(older, version));
        // Read only, it opens as it is; opened for work, it gets every table and trigger a
        // new file has, with its rows.
        Database db;
        QVERIFY(db.open(older, nullptr, Database::Access::ReadOnly));
        QCOMPARE(rowCount(db, Table::Tana), 300);
        db.close();
        QCOMPARE(schemaVersion(older), version);
        QVERIFY(db.open(older));
        QCOMPARE(schemaObjects(db), expected);
        QCOMPARE(rowCount(db, Table::Tana), 300);
        QCOMPARE(rowCount(db, Table::Shohin), 300);
        // A product's codes go with it, whatever program deletes it.
        QVERIFY(db.exec(
            uR"(INSERT INTO "商品コード" ("コード", "品名ID") SELECT '4900000000011', MIN("品名ID") FROM "仕入商品")"_qs));
        QVERIFY(db.exec(uR"(DELETE FROM "仕入商品" WHERE "品名ID" = (SELECT MIN("品名ID") FROM "仕入商品"))"_qs));
        QSqlQuery q(db.connection());
        QVERIFY(q.exec(uR"(SELECT count(*) FROM "商品コード")"_qs) && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        q.finish();
        db.close();
        QCOMPARE(schemaVersion(older), Schema::UserVersion);
        QVERIFY(integrityOk(older));
    }
    // A file that says it is of today's version but lacks a table of it is not ours.
    QVERIFY(onRawConnection(today, [](QSqlQuery& q) { return q.exec(uR"(DROP TABLE "商品コード")"_qs); }));
    Database db;
    QVERIFY(!db.open(today));
}

void TestStore::refusesFilesThatAreNotOurs_data()
{
    QTest::addColumn<QString>("kind"); // foreign: SQLite without our tables; damaged: our mark, a table missing
    for (const char* kind : { "missing", "empty", "text", "foreign", "damaged", "directory" })
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestStore::refusesFilesThatAreNotOurs()
{
    QFETCH(QString, kind);
    TestEnvironment env;
    QString path = env.path(u"file.idb"_qs);
    if (kind == QLatin1String("empty")) {
        env.writeFile(u"file.idb"_qs, {});
    } else if (kind == QLatin1String("text")) {
        env.writeFile(u"file.idb"_qs, "品名\t数量\nりんご\t3\n");
    } else if (kind == QLatin1String("foreign") || kind == QLatin1String("damaged")) {
        QVERIFY(onRawConnection(path, [&](QSqlQuery& q) {
            return q.exec(u"CREATE TABLE notes (id INTEGER, text TEXT)"_qs)
                && (kind == QLatin1String("foreign")
                    || (q.exec(u"PRAGMA application_id = %1"_qs.arg(Schema::ApplicationId))
                        && q.exec(u"PRAGMA user_version = 1"_qs)));
        }));
    } else if (kind == QLatin1String("directory")) {
        QDir(env.root()).mkdir(u"file.idb"_qs);
    }
    const QByteArray before = readAll(path);
    const QDateTime modified = QFileInfo(path).lastModified();

    Database db;
    QString error;
    QVERIFY(!db.open(path, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!db.isOpen());
    QCOMPARE(QFileInfo::exists(path), kind != QLatin1String("missing"));
    QCOMPARE(readAll(path), before);
    QCOMPARE(QFileInfo(path).lastModified(), modified);
    QVERIFY(!QFileInfo::exists(path + u"-journal"_qs));

    // A refused file leaves the connection free for the next one.
    QVERIFY(db.open(env.newDatabase()));
}

void TestStore::atomicCopy()
{
    TestEnvironment env;
    const QString source = env.writeFile(u"a.bin"_qs, QByteArray(3 << 20, 'x') + "end");
    const QString target = env.writeFile(u"b.bin"_qs, "old contents");
    QVERIFY(FileOps::copyFileAtomically(source, target));
    QCOMPARE(readAll(target), readAll(source));

    QString error;
    QVERIFY(!FileOps::copyFileAtomically(env.path(u"none.bin"_qs), target, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(target), readAll(source));
    QVERIFY(!FileOps::copyFileAtomically(source, env.path(u"no/such/dir/c.bin"_qs), &error));
    QCOMPARE(QDir(env.root()).entryList(QDir::Files).size(), 2); // no temporary left behind
}

void TestStore::settingDefaults_data()
{
    QTest::addColumn<int>("setting");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    auto row = [](Setting s, const char* section, const char* key, const QString& expected) {
        QTest::newRow(key) << int(s) << QString::fromLatin1(section) << QString::fromLatin1(key) << expected;
    };
    row(Setting::MDBFileName, "Settings", "MDBFileName", QString());
    row(Setting::FDate, "Settings", "FDate", u"2026/03/31"_qs);
    row(Setting::PrinterName, "Printer", "PrinterName", QString());
    row(Setting::PrinterFont, "Printer", "PrinterFont", u"ＭＳ 明朝"_qs);
}

void TestStore::settingDefaults()
{
    QFETCH(int, setting);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    TestEnvironment env;
    FixedClock clock(QDate(2026, 3, 31));
    Settings settings(env.settingsFile(), clock);
    const Setting s = Setting(setting);
    QCOMPARE(settings.value(s), expected);

    // Written under its section and key (read back there through the generic reader).
    settings.setValue(s, u"値, with a comma"_qs);
    QVERIFY(settings.sync());
    Settings again(env.settingsFile(), clock);
    QCOMPARE(again.read(section, key, u"missing"_qs), u"値, with a comma"_qs);
    QCOMPARE(again.value(s), u"値, with a comma"_qs);
    if (s == Setting::PrinterFont) { // an empty font is none: the default one prints
        again.setValue(s, QString());
        QCOMPARE(again.value(s), expected);
    }
}

void TestStore::fileDialogFilters()
{
    FileDialogRequest request;
    request.filter = u"すべてのファイル (*.*)|*.*|cdb ﾌｧｲﾙ (*.idb)|*.idb"_qs;
    QCOMPARE(request.nameFilters(), QStringList({ u"すべてのファイル (*)"_qs, u"cdb ﾌｧｲﾙ (*.idb)"_qs }));
    request.filter = u"すべてのﾌｧｲﾙ(*.*)|*.*|"_qs;
    QCOMPARE(request.nameFilters(), QStringList({ u"すべてのﾌｧｲﾙ (*)"_qs }));
    request.filter = u"テキスト|*.txt;*.dat"_qs;
    QCOMPARE(request.nameFilters(), QStringList({ u"テキスト (*.txt *.dat)"_qs }));
}

void TestStore::commandLineFile()
{
    QCOMPARE(::commandLineFile({ u"kotrina"_qs }), QString());
    QCOMPARE(::commandLineFile({ u"kotrina"_qs, u"\"/tmp/店 1.idb\""_qs }), u"/tmp/店 1.idb"_qs);
    QCOMPARE(::commandLineFile({ u"kotrina"_qs, u"/tmp/a.idb"_qs }), u"/tmp/a.idb"_qs);
    QCOMPARE(::commandLineFile({ u"kotrina"_qs, u"a.idb"_qs }), QDir::current().absoluteFilePath(u"a.idb"_qs));
    // A server's database is the same from every folder.
    QCOMPARE(::commandLineFile({ u"kotrina"_qs, u"postgresql://tanaka@office/shop"_qs }),
             u"postgresql://tanaka@office/shop"_qs);
}

namespace {

// A start caught between taking the name and answering on it: the abstract socket is bound
// but does not listen yet. -1 when the name cannot be bound.
int bindWithoutListening(const QString& key)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = key.toUtf8();
    std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), socklen_t(sizeof(sa_family_t) + 1 + name.size())) == 0)
        return fd;
    ::close(fd);
    return -1;
}

} // namespace

void TestStore::secondInstanceHandsOver()
{
    QString key = SingleInstance::keyFor(u"/test/%1"_qs.arg(QCoreApplication::applicationPid()));
    QVERIFY(key != SingleInstance::keyFor(u"/another/home"_qs));
    {
        SingleInstance running(key);
        SingleInstance notRunning(key + u"-none"_qs);
        QCOMPARE(notRunning.handOverToRunning({}, 100), SingleInstance::HandOver::NoneRunning);
        QVERIFY(running.listen());
        QSignalSpy raised(&running, &SingleInstance::activationRequested);
        SingleInstance second(key);
        QCOMPARE(second.handOverToRunning(), SingleInstance::HandOver::Raised);
        QVERIFY(raised.wait(2000));
        QVERIFY(!second.listen()); // the name stays with the running instance
    }

    // Another start caught the name first and answers on it only later.
    key = SingleInstance::keyFor(u"/race/%1"_qs.arg(QCoreApplication::applicationPid()));
    const int first = bindWithoutListening(key);
    QVERIFY(first >= 0);
    SingleInstance second(key);
    QVERIFY(!second.listen()); // the name is taken, and nobody answers on it yet
    // The first start answers once its window is up.
    std::thread answering([first] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::listen(first, 4);
    });
    QCOMPARE(second.start(), SingleInstance::Start::HandedOver);
    answering.join();
    ::close(first);

    // A holder of the name that never answers is never run beside.
    const int silent = bindWithoutListening(key);
    QVERIFY(silent >= 0);
    QCOMPARE(SingleInstance(key).start({}, 200), SingleInstance::Start::Blocked);
    ::close(silent);
}

void TestStore::handOverCarriesAnyFileName()
{
    const QString key = SingleInstance::keyFor(u"/file/%1"_qs.arg(QCoreApplication::applicationPid()));
    // A second start waits for the running one's answer, which this thread's event loop gives.
    auto secondStart = [&key](const QString& file) {
        std::atomic<int> result = -1;
        std::thread second([&] { result = int(SingleInstance(key).handOverToRunning(file)); });
        const bool answered = QTest::qWaitFor([&] { return result >= 0; }, 40000);
        second.join();
        return answered ? SingleInstance::HandOver(result.load()) : SingleInstance::HandOver::NoneRunning;
    };
    // A request written straight to the running one, as a start of another version writes it.
    const auto request = [&key](QLocalSocket& socket, const char* bytes) {
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        socket.connectToServer(key);
        return socket.waitForConnected(1000) && socket.write(bytes) > 0 && socket.waitForBytesWritten(1000);
    };
    const QString file = u"/home/店主/棚卸 \"本店\"/'2026'\n\t店B.idb"_qs;
    {
        SingleInstance running(key);
        QVERIFY(running.listen());
        // Handed over before the window listens: kept for it, once.
        QCOMPARE(secondStart(file), SingleInstance::HandOver::FileTaken);
        QCOMPARE(running.takePendingFile(), file);
        QCOMPARE(running.takePendingFile(), QString());
        QSignalSpy opened(&running, &SingleInstance::openRequested);
        QSignalSpy raised(&running, &SingleInstance::activationRequested);

        // A later version's request this one does not know: it comes forward and says so.
        QLocalSocket later;
        QVERIFY(request(later, "raise\nopen 3 5\nabcde"));
        QByteArray answer;
        QTRY_VERIFY((answer += later.readAll()).contains('\n'));
        QCOMPARE(answer, QByteArray("?\n"));
        QTRY_COMPARE(raised.size(), 1);

        // A start that gave up waiting and went before the answer: nothing is opened.
        QLocalSocket gaveUp;
        QVERIFY(request(gaveUp, "raise\nopen 2 9\n/late.idb"));
        gaveUp.abort();
        QTRY_COMPARE(raised.size(), 2);
        QCOMPARE(opened.size(), 0);
    }

    // A running program of the version before, which knows only "raise": it comes forward,
    // and the second start learns that the file was not taken.
    QLocalServer older;
    older.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    QVERIFY(older.listen(key));
    int olderRaised = 0;
    connect(&older, &QLocalServer::newConnection, this, [&] {
        QLocalSocket* socket = older.nextPendingConnection();
        connect(socket, &QLocalSocket::readyRead, this, [&olderRaised, socket] {
            olderRaised += socket->readAll().startsWith("raise\n");
            socket->disconnectFromServer();
        });
    });
    QCOMPARE(secondStart(file), SingleInstance::HandOver::FileNotTaken);
    QCOMPARE(olderRaised, 1);
}

KOTRINA_REGISTER_TEST(TestStore)
#include "TestStore.moc"
