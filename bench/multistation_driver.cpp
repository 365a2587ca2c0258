// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The steps of bench/multistation.sh, several counting stations on one database:
//   multistation_driver station DB STATION COUNT      registers COUNT lines into 2026-03-31 through
//                                                     registerLine, as the entry screen does,
//                                                     printing "ack STATION-I" once each returned
//                                                     success, then "rate N SECONDS"
//   multistation_driver verify DB ACKS                every acknowledged line there exactly once, no
//                                                     line twice, each line's amount its own, the
//                                                     date's totals (as the status line counts them)
//                                                     equal to the lines' sum; prints
//                                                     "lines N acked A unacked U products P names Q"
// DB is a file path or a postgresql:// name. Each line carries its key STATION-I in 備考, and
// its quantity and unit price follow from the key, so every line's amount can be checked.

#include "core/lines/LineRegistration.h"
#include "core/store/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <cmath>
#include <cstdio>

namespace {

const QDate Day(2026, 3, 31);

// The products are shared: stations meet on the same names, as counters on one shop's shelves do.
constexpr int Products = 300;

LineInput lineOf(int station, int i)
{
    LineInput line;
    line.date = Day;
    line.product = QStringLiteral("共通品 %1").arg((station * 7 + i) % Products);
    line.quantity = 1 + i % 7;
    line.unit = QStringLiteral("個");
    line.unitPrice = 10 + (station * 13 + i) % 500;
    line.memo = QStringLiteral("%1-%2").arg(station).arg(i);
    return line;
}

double amountOf(const QString& key)
{
    const LineInput line
        = lineOf(key.section(QLatin1Char('-'), 0, 0).toInt(), key.section(QLatin1Char('-'), 1).toInt());
    return std::trunc(line.quantity * line.unitPrice);
}

int station(const QString& name, int station, int count)
{
    Database db;
    QString error;
    if (!db.open(name, &error)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(name), qPrintable(error));
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    for (int i = 1; i <= count; ++i) {
        if (!registerLine(db, lineOf(station, i), &error)) {
            std::fprintf(stderr, "station %d line %d: %s\n", station, i, qPrintable(error));
            continue;
        }
        std::printf("ack %d-%d\n", station, i);
        std::fflush(stdout);
        ++done;
    }
    std::printf("rate %d %.3f\n", done, double(clock.nsecsElapsed()) / 1e9);
    return done == count ? 0 : 1;
}

int verify(const QString& name, const QString& acks)
{
    Database db;
    QString error;
    if (!db.open(name, &error, Database::Access::ReadOnly)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(name), qPrintable(error));
        return 1;
    }
    QHash<QString, int> present;
    double sum = 0;
    int wrongAmounts = 0;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT "備考", "価格" FROM "棚卸マスター" WHERE "日付" = ?)"));
    q.addBindValue(Day.toString(Qt::ISODate));
    if (!q.exec())
        return 1;
    while (q.next()) {
        const QString key = q.value(0).toString();
        ++present[key];
        sum += q.value(1).toDouble();
        if (q.value(1).toDouble() != amountOf(key))
            ++wrongAmounts;
    }
    int faults = 0;
    for (auto it = present.cbegin(); it != present.cend(); ++it) {
        if (it.value() > 1) {
            std::printf("FAULT: %s is there %d times\n", qPrintable(it.key()), it.value());
            ++faults;
        }
    }
    QFile file(acks);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    QSet<QString> acked;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("ack "))
            acked.insert(QString::fromUtf8(line.mid(4)));
    }
    for (const QString& key : acked) {
        if (!present.contains(key)) {
            std::printf("FAULT: acknowledged %s is missing\n", qPrintable(key));
            ++faults;
        }
    }
    if (wrongAmounts > 0) {
        std::printf("FAULT: %d lines with another amount\n", wrongAmounts);
        ++faults;
    }
    const std::optional<DateTotals> totals = dateTotals(db, Day, &error);
    if (!totals || totals->count != present.size() || !totals->total || *totals->total != sum) {
        std::printf("FAULT: the totals say %s, the lines %lld with %.0f\n",
                    totals ? qPrintable(totals->text()) : qPrintable(error), qint64(present.size()), sum);
        ++faults;
    }
    int products = -1;
    int names = -1;
    if (q.exec(QStringLiteral(R"(SELECT COUNT(*), COUNT(DISTINCT "品名") FROM "仕入商品")")) && q.next()) {
        products = q.value(0).toInt();
        names = q.value(1).toInt();
    }
    std::printf("lines %lld acked %lld unacked %lld products %d names %d\n", qint64(present.size()),
                qint64(acked.size()), qint64(present.size() - acked.size()), products, names);
    return faults == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    const QString what = a.value(1);
    if (what == QLatin1String("station") && a.size() == 5)
        return station(a[2], a[3].toInt(), a[4].toInt());
    if (what == QLatin1String("verify") && a.size() == 4)
        return verify(a[2], a[3]);
    std::fprintf(stderr, "usage: see the head of multistation_driver.cpp\n");
    return 2;
}
