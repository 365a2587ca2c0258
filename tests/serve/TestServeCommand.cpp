// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "PhoneClient.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/store/Database.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// `kotrina serve` started as a user starts it in a terminal, in the test's environment.
struct Serving
{
    QProcess process;

    explicit Serving(const QStringList& args)
    {
        process.start(QStringLiteral(KOTRINA_EXECUTABLE), QStringList { u"serve"_s } + args);
    }
    ~Serving()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }
    QString line()
    {
        while (!process.canReadLine() && process.waitForReadyRead(10000)) { }
        return QString::fromUtf8(process.readLine()).trimmed();
    }
};

qint64 lines(const QString& file)
{
    Database db;
    if (!db.open(file, nullptr, Database::Access::ReadOnly))
        return -1;
    QSqlQuery q(db.connection());
    return q.exec(uR"(SELECT count(*) FROM "棚卸マスター" WHERE "日付" = '2027-03-31')"_s) && q.next()
        ? q.value(0).toLongLong()
        : -1;
}

} // namespace

class TestServeCommand : public QObject
{
    Q_OBJECT

private slots:
    // Two lines, the page and a pairing URL; a new URL for each Enter; a phone pairs and
    // counts into the file; SIGTERM ends it with status 0 and the port closed.
    void servesUntilEnded()
    {
        TestEnvironment env;
        const QString file = env.newDatabase();
        Serving serve({ file, u"--date"_s, u"2027-03-31"_s, u"--port"_s, u"0"_s, u"--address"_s, u"127.0.0.1"_s });
        const QString page = serve.line();
        const QString first = serve.line();
        QVERIFY2(page.startsWith(u"http://127.0.0.1:"_s) && page.endsWith(u"/"_s), qPrintable(page));
        QVERIFY2(first.startsWith(page + u"pair?code="_s), qPrintable(first));
        serve.process.write("\n");
        const QString second = serve.line();
        QVERIFY(second.startsWith(page + u"pair?code="_s));
        QVERIFY(second != first);

        const int port = QUrl(page).port();
        PhoneClient phone(port);
        QVERIFY(phone.pair(second));
        const QByteArray body = QJsonDocument(QJsonObject { { u"key"_s, u"c1"_s },
                                                            { u"product"_s, u"りんご"_s },
                                                            { u"quantity"_s, 3 },
                                                            { u"price"_s, 120 } })
                                    .toJson();
        QCOMPARE(phone.post(u"/api/lines"_s, body).status, 201);
        QCOMPARE(lines(file), 1);
        // Without the session cookie: refused, nothing written.
        PhoneClient stranger(port);
        stranger.csrf = phone.csrf;
        QCOMPARE(stranger.post(u"/api/lines"_s, body).status, 401);
        QCOMPARE(lines(file), 1);

        ::kill(pid_t(serve.process.processId()), SIGTERM);
        QVERIFY(serve.process.waitForFinished(10000));
        QCOMPARE(serve.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(serve.process.exitCode(), 0);
        QCOMPARE(PhoneClient(port).get(u"/"_s).status, 0);
    }

    // What cannot be served is said on standard error with status 2, before anything listens.
    void refusesWhatItCannotServe()
    {
        TestEnvironment env;
        const QString file = env.newDatabase();
        Serving badPort({ file, u"--port"_s, u"70000"_s });
        QVERIFY(badPort.process.waitForFinished(10000));
        QCOMPARE(badPort.process.exitCode(), 2);
        QVERIFY(QString::fromUtf8(badPort.process.readAllStandardError()).contains(u"ポート番号"_s));

        Serving missing({ env.path(u"none.idb"_s) });
        QVERIFY(missing.process.waitForFinished(10000));
        QCOMPARE(missing.process.exitCode(), 2);

        Serving noKey({ file, u"--port"_s, u"0"_s, u"--cert"_s, env.path(u"none.pem"_s) });
        QVERIFY(noKey.process.waitForFinished(10000));
        QCOMPARE(noKey.process.exitCode(), 2);
        QVERIFY(QString::fromUtf8(noKey.process.readAllStandardError()).contains(u"HTTPS"_s));
    }
};

KOTRINA_REGISTER_TEST(TestServeCommand)
#include "TestServeCommand.moc"
