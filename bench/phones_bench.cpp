// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Many phones counting at once into one file through the counting server on the loopback
// address.
//   bench_phones [PHONES [LINES [FILE.idb]]]   (default 20 phones × 500 lines, a fresh file)
// Each phone pairs, then sends its lines one after the other on a connection of its own, each
// line as soon as the answer to the one before came. Prints the time of a registration as a
// phone sees it (median, 95th percentile, slowest; goal: 95 % within 50 ms), the lines per
// second, and checks that every line is in the file once.

#include "core/lines/LineRegistration.h"
#include "core/serve/PhoneServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <httplib.h>
#include <thread>
#include <vector>

namespace {

struct PhoneRun
{
    std::vector<double> ms;
    int created = 0;
    int failed = 0;
};

void countFrom(int port, const std::string& pairPath, int phone, int lines, PhoneRun* run)
{
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_read_timeout(60);
    const httplib::Result paired = client.Get(pairPath);
    if (!paired || paired->status != 303) {
        run->failed = lines;
        return;
    }
    const std::string setCookie = paired->get_header_value("Set-Cookie");
    const std::string cookie = setCookie.substr(0, setCookie.find(';'));
    const httplib::Result state = client.Get("/api/state", { { "Cookie", cookie } });
    const std::string csrf = state ? QJsonDocument::fromJson(QByteArray::fromStdString(state->body))
                                         .object()
                                         .value(QStringLiteral("csrf"))
                                         .toString()
                                         .toStdString()
                                   : std::string();
    const httplib::Headers headers { { "Cookie", cookie }, { "X-CSRF-Token", csrf } };
    for (int i = 0; i < lines; ++i) {
        const QJsonObject line { { QStringLiteral("key"), QStringLiteral("b%1-%2").arg(phone).arg(i) },
                                 { QStringLiteral("category"), 0 },
                                 { QStringLiteral("product"), QStringLiteral("商品%1").arg(i % 300) },
                                 { QStringLiteral("quantity"), 1 + i % 7 },
                                 { QStringLiteral("unit"), QStringLiteral("個") },
                                 { QStringLiteral("price"), 100 + i % 50 } };
        const std::string body = QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString();
        QElapsedTimer timer;
        timer.start();
        const httplib::Result r = client.Post("/api/lines", headers, body, "application/json");
        run->ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (r && r->status == 201)
            ++run->created;
        else
            ++run->failed;
    }
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int phones = argc > 1 ? std::atoi(argv[1]) : 20;
    const int lines = argc > 2 ? std::atoi(argv[2]) : 500;
    QTemporaryDir dir;
    const QString path = argc > 3 ? QString::fromLocal8Bit(argv[3]) : dir.filePath(QStringLiteral("phones.idb"));
    if (argc <= 3 && !QFile::copy(QStringLiteral(KOTRINA_TEMPLATE_FILE), path)) {
        std::fprintf(stderr, "cannot copy the template\n");
        return 2;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    Database db;
    QString error;
    if (!db.open(path, &error)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), qPrintable(error));
        return 2;
    }
    const QDate date(2027, 3, 31);
    PhoneServer server(db, date);
    PhoneServer::Options options;
    options.address = QStringLiteral("127.0.0.1");
    options.port = 0;
    if (!server.start(options, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    std::vector<PhoneRun> runs(size_t(phones));
    std::vector<std::thread> threads;
    std::atomic<int> done = 0;
    QElapsedTimer wall;
    wall.start();
    for (int p = 0; p < phones; ++p) {
        const QUrl url(server.newPairingUrl());
        const std::string pairPath = (url.path() + QLatin1Char('?') + url.query()).toStdString();
        threads.emplace_back([&, p, pairPath] {
            countFrom(server.port(), pairPath, p, lines, &runs[size_t(p)]);
            ++done;
        });
    }
    while (done < phones)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    for (std::thread& t : threads)
        t.join();
    const double seconds = double(wall.elapsed()) / 1000;
    server.stop();

    std::vector<double> all;
    int created = 0;
    int failed = 0;
    for (const PhoneRun& run : runs) {
        all.insert(all.end(), run.ms.begin(), run.ms.end());
        created += run.created;
        failed += run.failed;
    }
    QSqlQuery q(db.connection());
    q.exec(QStringLiteral(R"(SELECT count(*), count(DISTINCT k."キー" || '/' || k."端末番号") FROM "棚卸マスター" AS t
        JOIN "スマートフォン明細" AS k ON k."行ID" = t."ID")"));
    q.next();
    std::printf("phones %d × lines %d: %d registered, %d failed, %.1f s, %.0f lines/s\n", phones, lines, created,
                failed, seconds, double(created) / seconds);
    std::printf("registration as a phone sees it: median %.2f ms, p95 %.2f ms, p99 %.2f ms, slowest %.2f ms\n",
                percentile(all, 0.5), percentile(all, 0.95), percentile(all, 0.99), percentile(all, 1.0));
    std::printf("lines in the file: %lld, with distinct identifiers: %lld\n", q.value(0).toLongLong(),
                q.value(1).toLongLong());
    return failed == 0 && q.value(0).toLongLong() == qint64(phones) * lines ? 0 : 1;
}
