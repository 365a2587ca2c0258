// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "PhoneClient.h"
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/history/ChangeHistory.h"
#include "core/history/Finalisation.h"
#include "core/lines/LineRegistration.h"
#include "core/masters/ProductCodes.h"
#include "core/rules/TextRules.h"
#include "core/serve/PhoneRegistry.h"
#include "core/serve/PhoneServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTest>
#include <future>
#include <httplib.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QDate Day(2027, 3, 31);

QByteArray lineBody(const QString& key, const QString& product, const QJsonValue& quantity,
                    const QJsonValue& price = 120, const QString& unit = u"個"_s)
{
    return QJsonDocument(QJsonObject { { u"key"_s, key },
                                       { u"category"_s, 0 },
                                       { u"product"_s, product },
                                       { u"quantity"_s, quantity },
                                       { u"unit"_s, unit },
                                       { u"price"_s, price },
                                       { u"note"_s, u""_s } })
        .toJson(QJsonDocument::Compact);
}

qint64 count(const Database& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(db.connection());
    q.prepare(sql);
    for (const QVariant& value : values)
        q.addBindValue(value);
    return q.exec() && q.next() ? q.value(0).toLongLong() : -1;
}

qint64 lineCount(const Database& db)
{
    return count(db, uR"(SELECT count(*) FROM "棚卸マスター")"_s);
}

// A server on the loopback address, a free port, for the date Day of a fresh file.
struct Served
{
    TestEnvironment env;
    Database db;
    std::unique_ptr<PhoneServer> server;

    // A file, or a database on the server that KOTRINA_TEST_ENGINE names.
    Served()
    {
        QString error;
        const QString name = freshDatabase(env, u"shop.idb"_s, &error);
        QVERIFY2(db.open(name), qPrintable(error));
    }
    bool start()
    {
        server = std::make_unique<PhoneServer>(db, Day);
        PhoneServer::Options options;
        options.address = u"127.0.0.1"_s;
        options.port = 0;
        QString error;
        const bool started = server->start(options, &error);
        if (!started)
            qWarning() << error;
        return started;
    }
    PhoneClient phone() const { return PhoneClient(server->port()); }
    PhoneClient pairedPhone() const
    {
        PhoneClient client = phone();
        if (!client.pair(server->newPairingUrl()))
            qWarning() << "the phone did not pair";
        return client;
    }
};

} // namespace

class TestPhoneServer : public QObject
{
    Q_OBJECT

private slots:
    // A pairing code pairs one phone, once; the phone's session holds across a restart of the
    // server until the desk unpairs it; nothing of the API answers without it.
    void pairingGivesOnePhoneASession()
    {
        Served s;
        QVERIFY(s.start());
        PhoneClient stranger = s.phone();
        QCOMPARE(stranger.get(u"/api/state"_s).status, 401);
        QVERIFY(stranger.get(u"/api/state"_s).error().contains(u"ペアリング"_s));
        // The page itself is there for anyone: it tells how to pair.
        const PhoneClient::Reply page = stranger.get(u"/"_s);
        QCOMPARE(page.status, 200);
        QVERIFY(page.header("Content-Type").startsWith("text/html"));

        const QString url = s.server->newPairingUrl();
        QVERIFY(url.startsWith(u"http://127.0.0.1:%1/pair?code="_s.arg(s.server->port())));
        PhoneClient phone = s.phone();
        const PhoneClient::Reply paired = phone.get(pathOf(url));
        QCOMPARE(paired.status, 303);
        QCOMPARE(paired.header("Location"), "/");
        const QByteArray cookie = paired.header("Set-Cookie");
        QVERIFY(cookie.contains("HttpOnly"));
        QVERIFY(cookie.contains("SameSite=Strict"));
        QVERIFY(cookie.contains("Path=/"));
        phone.cookie = cookie.split(';').constFirst();

        // The same code again (read off the screen by someone else) pairs nobody.
        PhoneClient thief = s.phone();
        const PhoneClient::Reply stolen = thief.get(pathOf(url));
        QCOMPARE(stolen.status, 403);
        QVERIFY(stolen.header("Set-Cookie").isEmpty());
        QVERIFY(QString::fromUtf8(stolen.body).contains(u"使えません"_s));
        QCOMPARE(count(s.db, uR"(SELECT count(*) FROM "スマートフォン")"_s), 1);
        // Only the token's hash is kept in the file.
        QSqlQuery kept(s.db.connection());
        QVERIFY(kept.exec(uR"(SELECT "トークン" FROM "スマートフォン")"_s) && kept.next());
        QVERIFY(!cookie.contains(kept.value(0).toString().toLatin1()));
        QCOMPARE(kept.value(0).toString().size(), 64);
        kept.finish();

        const QJsonObject state = phone.get(u"/api/state"_s).json().toObject();
        QCOMPARE(state.value(u"date"_s).toString(), u"2027/03/31"_s);
        QCOMPARE(state.value(u"phone"_s).toString(), u"スマートフォン1"_s);
        QCOMPARE(state.value(u"finalised"_s).toBool(), false);
        QCOMPARE(state.value(u"https"_s).toBool(), false);
        QCOMPARE(state.value(u"categories"_s).toArray().first().toObject().value(u"name"_s).toString(), u"未区分"_s);

        // Back after the server (the program) restarted: still paired.
        s.server.reset();
        QVERIFY(s.start());
        phone = PhoneClient(s.server->port());
        phone.cookie = cookie.split(';').constFirst();
        QCOMPARE(phone.get(u"/api/state"_s).status, 200);

        const std::optional<PhoneRegistry::Phone> known
            = PhoneRegistry::phoneOf(s.db, QString::fromLatin1(phone.cookie.mid(phone.cookie.indexOf('=') + 1)));
        QVERIFY(known);
        QVERIFY(PhoneRegistry::rename(s.db, known->id, u"レジ横"_s));
        QCOMPARE(phone.get(u"/api/state"_s).json().toObject().value(u"phone"_s).toString(), u"レジ横"_s);
        QVERIFY(PhoneRegistry::unpair(s.db, known->id));
        QCOMPARE(phone.get(u"/api/state"_s).status, 401);
    }

    // After a few wrong codes pairing is held off, a right code included; a code is taken once.
    void failedPairingsAreHeldOff()
    {
        Served s;
        QVERIFY(s.start());
        PhoneClient guesser = s.phone();
        for (int i = 0; i <= PhoneService::FreeFailures; ++i)
            QCOMPARE(guesser.get(u"/pair?code=%1"_s.arg(1000000000 + i)).status, 403);
        PhoneClient phone = s.phone();
        const PhoneClient::Reply held = phone.get(pathOf(s.server->newPairingUrl()));
        QCOMPARE(held.status, 403);
        QVERIFY(QString::fromUtf8(held.body).contains(u"秒待って"_s));
        QCOMPARE(count(s.db, uR"(SELECT count(*) FROM "スマートフォン")"_s), 0);
    }

    // A line is registered once per identifier, under the phone's name in the history; a
    // phone changes and deletes its own lines only.
    void linesAreRegisteredOnceAndOnlyByTheirPhone()
    {
        Served s;
        QVERIFY(s.start());
        PhoneClient phone = s.pairedPhone();
        PhoneClient other = s.pairedPhone();

        const PhoneClient::Reply first = phone.post(u"/api/lines"_s, lineBody(u"a-1"_s, u"りんご"_s, 3));
        QCOMPARE(first.status, 201);
        const QJsonObject line = first.json().toObject();
        QCOMPARE(line.value(u"amount"_s).toDouble(), 360.0);
        QCOMPARE(line.value(u"key"_s).toString(), u"a-1"_s);
        // Sent again, its answer lost on the way: the same line, nothing new.
        const PhoneClient::Reply again = phone.post(u"/api/lines"_s, lineBody(u"a-1"_s, u"りんご"_s, 3));
        QCOMPARE(again.status, 200);
        QCOMPARE(again.json().toObject().value(u"id"_s), line.value(u"id"_s));
        QCOMPARE(lineCount(s.db), 1);
        const int lineId = line.value(u"id"_s).toInt();
        QCOMPARE(lineField(s.db, lineId, "品名").toString(), u"りんご"_s);
        QCOMPARE(lineField(s.db, lineId, "日付").toString(), u"2027-03-31"_s);
        QCOMPARE(lineField(s.db, lineId, "単価").toDouble(), 120.0);

        ChangeHistory::Filter filter;
        filter.date = Day;
        QStringList stations;
        ChangeHistory::forEach(s.db, filter, [&](const ChangeHistory::Entry& e) {
            stations << e.station;
            return true;
        });
        QCOMPARE(stations, QStringList { u"スマートフォン1"_s });

        // Another phone can neither change nor delete it, nor see it.
        QCOMPARE(other.put(u"/api/lines/a-1"_s, lineBody(u"a-1"_s, u"りんご"_s, 99)).status, 404);
        QCOMPARE(other.remove(u"/api/lines/a-1"_s).status, 404);
        QCOMPARE(other.get(u"/api/lines"_s).json().toArray().size(), 0);
        QCOMPARE(lineField(s.db, lineId, "数量").toDouble(), 3.0);

        const QJsonArray own = phone.get(u"/api/lines"_s).json().toArray();
        QCOMPARE(own.size(), 1);
        QCOMPARE(own.first().toObject().value(u"product"_s).toString(), u"りんご"_s);

        const PhoneClient::Reply changed = phone.put(u"/api/lines/a-1"_s, lineBody(u"a-1"_s, u"りんご"_s, 5, 100));
        QCOMPARE(changed.status, 200);
        QCOMPARE(changed.json().toObject().value(u"amount"_s).toDouble(), 500.0);
        QCOMPARE(lineField(s.db, lineId, "価格").toDouble(), 500.0);
        QCOMPARE(dateTotals(s.db, Day)->total, 500.0);

        QCOMPARE(phone.remove(u"/api/lines/a-1"_s).status, 200);
        QCOMPARE(lineCount(s.db), 0);
        // A resend of the deleted line's first sending does not bring it back.
        QCOMPARE(phone.post(u"/api/lines"_s, lineBody(u"a-1"_s, u"りんご"_s, 3)).status, 410);
        QCOMPARE(lineCount(s.db), 0);
    }

    // Requests a phone of the shop never sends are refused with nothing written.
    void hostileRequestsWriteNothing()
    {
        Served s;
        QVERIFY(s.start());
        PhoneClient phone = s.pairedPhone();
        const qint64 historyBefore = count(s.db, uR"(SELECT count(*) FROM "変更履歴")"_s);

        PhoneClient noSession = s.phone();
        noSession.csrf = phone.csrf;
        QCOMPARE(noSession.post(u"/api/lines"_s, lineBody(u"x1"_s, u"りんご"_s, 3)).status, 401);

        PhoneClient noToken = phone;
        noToken.csrf.clear();
        QCOMPARE(noToken.post(u"/api/lines"_s, lineBody(u"x2"_s, u"りんご"_s, 3)).status, 403);
        noToken.csrf = "0123456789abcdef";
        QCOMPARE(noToken.post(u"/api/lines"_s, lineBody(u"x3"_s, u"りんご"_s, 3)).status, 403);

        QCOMPARE(phone.post(u"/api/lines"_s, "{\"key\": \"x4\", \"product\": ").status, 400);
        QCOMPARE(phone.post(u"/api/lines"_s, "[1, 2, 3]").status, 400);
        QCOMPARE(phone.post(u"/api/lines"_s, lineBody(u"../../etc"_s, u"りんご"_s, 3)).status, 400);

        // The entry screen's checks, with its messages.
        QCOMPARE(phone.post(u"/api/lines"_s, lineBody(u"x5"_s, u"  "_s, 3)).error(), u"商品が選択されていません。"_s);
        QCOMPARE(phone.post(u"/api/lines"_s, lineBody(u"x6"_s, u"りんご"_s, QJsonValue())).error(),
                 u"数量が入力されていません。"_s);
        QCOMPARE(phone.post(u"/api/lines"_s, lineBody(u"x7"_s, u"りんご"_s, u"三"_s)).error(),
                 TextRules::readNumber(u"数量"_s, u"三"_s).refusal);
        const QString longName = QString(21, QChar(u'あ'));
        QCOMPARE(phone.post(u"/api/lines"_s, lineBody(u"x8"_s, longName, 3)).error(),
                 *TextRules::nameTooLong(TextRules::Name::Product, longName));
        QCOMPARE(phone.post(u"/api/lines"_s, lineBody(u"x9"_s, u"りんご"_s, 1e12, 1e6)).status, 400);
        QJsonObject unknownCategory = QJsonDocument::fromJson(lineBody(u"x10"_s, u"りんご"_s, 1)).object();
        unknownCategory.insert(u"category"_s, 77);
        QCOMPARE(phone.post(u"/api/lines"_s, QJsonDocument(unknownCategory).toJson()).status, 400);
        // A line the phone kept from before the desk changed the date is not counted into this one.
        QJsonObject otherDate = QJsonDocument::fromJson(lineBody(u"x12"_s, u"りんご"_s, 1)).object();
        otherDate.insert(u"date"_s, u"2025/03/31"_s);
        QVERIFY2(phone.post(u"/api/lines"_s, QJsonDocument(otherDate).toJson())
                     .error()
                     .startsWith(u"この行は決算日 2025/03/31 の棚卸"_s),
                 "a line of another date");

        // 10 MB: refused from its length, before it is read.
        QTcpSocket socket;
        socket.connectToHost(u"127.0.0.1"_s, quint16(s.server->port()));
        QVERIFY(socket.waitForConnected(5000));
        const QByteArray big(10 * 1024 * 1024, 'x');
        socket.write("POST /api/lines HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nCookie: "
                     + phone.cookie + "\r\nX-CSRF-Token: " + phone.csrf
                     + "\r\nContent-Length: " + QByteArray::number(big.size()) + "\r\n\r\n");
        socket.write(big);
        QByteArray answer;
        while (!answer.contains("\r\n\r\n") && socket.waitForReadyRead(5000))
            answer += socket.readAll();
        QVERIFY2(answer.startsWith("HTTP/1.1 413"), answer.left(80).constData());
        socket.abort();

        QCOMPARE(lineCount(s.db), 0);
        QCOMPARE(count(s.db, uR"(SELECT count(*) FROM "変更履歴")"_s), historyBefore);
        QCOMPARE(count(s.db, uR"(SELECT count(*) FROM "スマートフォン明細")"_s), 0);

        // Text that looks like SQL is a name like any other.
        const QString sql = u"'); DROP TABLE \"棚卸マスター\"; --"_s;
        QCOMPARE(phone.post(u"/api/lines"_s, lineBody(u"x11"_s, sql, 1)).status, 201);
        QCOMPARE(lineCount(s.db), 1);
        QCOMPARE(count(s.db, uR"(SELECT count(*) FROM "仕入商品" WHERE "品名" = ?)"_s, { sql }), 1);
    }

    // A finalised date takes no line from a phone, and its lines stay as they are.
    void finalisedDateRefusesPhones()
    {
        Served s;
        QVERIFY(s.start());
        PhoneClient phone = s.pairedPhone();
        QCOMPARE(phone.post(u"/api/lines"_s, lineBody(u"f1"_s, u"りんご"_s, 3)).status, 201);
        const Finalisation::Outcome done = Finalisation::finalise(s.db, Day, {});
        QVERIFY2(done.status == Finalisation::Outcome::Status::Done, qPrintable(done.message));
        QCOMPARE(phone.get(u"/api/state"_s).json().toObject().value(u"finalised"_s).toBool(), true);

        const PhoneClient::Reply refused = phone.post(u"/api/lines"_s, lineBody(u"f2"_s, u"みかん"_s, 3));
        QCOMPARE(refused.status, 409);
        QVERIFY(refused.error().contains(u"確定されています"_s));
        QCOMPARE(phone.put(u"/api/lines/f1"_s, lineBody(u"f1"_s, u"りんご"_s, 9)).status, 409);
        QCOMPARE(phone.remove(u"/api/lines/f1"_s).status, 409);
        QCOMPARE(lineCount(s.db), 1);
        QCOMPARE(count(s.db, uR"(SELECT "数量" FROM "棚卸マスター")"_s), 3);
    }

    // Products are looked up as the entry screen looks them up: by a part of the name, and a
    // scanned code finds its product.
    void productsAreFoundByNameOrCode()
    {
        Served s;
        QVERIFY(registerLine(s.db, { Day, 0, u"青森りんご"_s, 1, u"箱"_s, 2400, {} }));
        QVERIFY(registerLine(s.db, { Day, 0, u"みかん"_s, 1, u"個"_s, 80, {} }));
        QVERIFY(ProductCodes::addCode(s.db, *ProductCodes::productIdByName(s.db, u"みかん"_s), u"4901234567894"_s));
        QVERIFY(s.start());
        PhoneClient phone = s.pairedPhone();

        const QJsonArray byName = phone.get(u"/api/products?q=%E3%82%8A%E3%82%93%E3%81%94"_s).json().toArray();
        QCOMPARE(byName.size(), 1);
        QCOMPARE(byName.first().toObject().value(u"name"_s).toString(), u"青森りんご"_s);
        QCOMPARE(byName.first().toObject().value(u"unit"_s).toString(), u"箱"_s);
        QCOMPARE(byName.first().toObject().value(u"price"_s).toDouble(), 2400.0);

        const QJsonArray byCode = phone.get(u"/api/products?q=4901234567894"_s).json().toArray();
        QCOMPARE(byCode.size(), 1);
        QCOMPARE(byCode.first().toObject().value(u"name"_s).toString(), u"みかん"_s);
        QCOMPARE(phone.get(u"/api/state"_s).json().toObject().value(u"units"_s).toArray().size(), 2);
    }

    // With the shop's own certificate and key the page and the pairing go over HTTPS, the
    // session cookie marked Secure; a certificate that is no certificate is refused at start.
    void httpsWithTheShopsCertificate()
    {
        Served s;
        const QString certificate = s.env.path(u"shop-cert.pem"_s);
        const QString key = s.env.path(u"shop-key.pem"_s);
        QProcess openssl;
        openssl.start(u"openssl"_s,
                      { u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-keyout"_s, key, u"-out"_s,
                        certificate, u"-days"_s, u"2"_s, u"-subj"_s, u"/CN=kotrina.local"_s });
        QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);

        PhoneServer server(s.db, Day);
        PhoneServer::Options options;
        options.address = u"127.0.0.1"_s;
        options.port = 0;
        options.certificate = key; // the two swapped
        options.key = certificate;
        QString error;
        QVERIFY(!server.start(options, &error));
        QVERIFY(error.contains(u"HTTPS"_s));
        options.certificate = certificate;
        options.key = key;
        QVERIFY2(server.start(options, &error), qPrintable(error));
        QVERIFY(server.pageAddress().startsWith(u"https://127.0.0.1:"_s));

        const std::string pairPath = pathOf(server.newPairingUrl()).toStdString();
        const int port = server.port();
        auto answer = std::async(std::launch::async, [=] {
            httplib::SSLClient client("127.0.0.1", port);
            client.enable_server_certificate_verification(false);
            const httplib::Result paired = client.Get(pairPath);
            return paired ? std::make_pair(paired->status, paired->get_header_value("Set-Cookie"))
                          : std::make_pair(0, std::string());
        });
        while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            QCoreApplication::processEvents();
        const auto [status, cookie] = answer.get();
        QCOMPARE(status, 303);
        QVERIFY(QByteArray::fromStdString(cookie).contains("; Secure"));
        // Plain HTTP to the HTTPS port gets no page.
        QVERIFY(PhoneClient(port).get(u"/"_s).status != 200);
    }

    // Many phones at once: every line once (the timing is the bench's).
    void manyPhonesAtOnceCountEveryLineOnce()
    {
        Served s;
        QVERIFY(s.start());
        constexpr int Phones = 8;
        constexpr int Lines = 15;
        std::vector<PhoneClient> phones;
        for (int p = 0; p < Phones; ++p)
            phones.push_back(s.pairedPhone());
        std::vector<std::future<int>> sent;
        const int port = s.server->port();
        for (int p = 0; p < Phones; ++p) {
            const QByteArray cookie = phones[size_t(p)].cookie;
            const QByteArray csrf = phones[size_t(p)].csrf;
            sent.push_back(std::async(std::launch::async, [=] {
                httplib::Client client("127.0.0.1", port);
                client.set_keep_alive(true);
                const httplib::Headers headers { { "Cookie", cookie.toStdString() },
                                                 { "X-CSRF-Token", csrf.toStdString() } };
                int created = 0;
                for (int i = 0; i < Lines; ++i) {
                    const QByteArray body = lineBody(u"p%1-%2"_s.arg(p).arg(i), u"品%1"_s.arg(i % 5), 1);
                    // Each line twice, as a phone that lost the first answer sends it.
                    for (int attempt = 0; attempt < 2; ++attempt) {
                        const httplib::Result r
                            = client.Post("/api/lines", headers, body.toStdString(), "application/json");
                        if (r && r->status == 201)
                            ++created;
                    }
                }
                return created;
            }));
        }
        int created = 0;
        for (std::future<int>& f : sent) {
            while (f.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
                QCoreApplication::processEvents();
            created += f.get();
        }
        QCOMPARE(created, Phones * Lines);
        QCOMPARE(lineCount(s.db), qint64(Phones * Lines));
        const std::optional<QList<PhoneRegistry::PhoneCount>> counts = PhoneRegistry::phones(s.db, Day);
        QVERIFY(counts);
        QCOMPARE(counts->size(), Phones);
        for (const PhoneRegistry::PhoneCount& c : *counts)
            QCOMPARE(c.lines, qint64(Lines));
    }
};

KOTRINA_REGISTER_TEST(TestPhoneServer)
#include "TestPhoneServer.moc"
