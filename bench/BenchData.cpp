// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "BenchData.h"

#include "core/store/Database.h"
#include "core/store/FileOps.h"
#include "core/store/HistoryTrail.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <cstdio>

namespace {

const QStringList Prefixes
    = { QStringLiteral("国産"), QStringLiteral("特選"), QStringLiteral("業務用"), QStringLiteral("徳用"),
        QStringLiteral("有機"), QStringLiteral("冷凍"), QStringLiteral("輸入"),   QStringLiteral("高級"),
        QStringLiteral("新鮮"), QStringLiteral("限定") };
const QStringList Items = {
    QStringLiteral("りんご"),   QStringLiteral("みかん"),   QStringLiteral("緑茶"),       QStringLiteral("醤油"),
    QStringLiteral("味噌"),     QStringLiteral("米"),       QStringLiteral("牛乳"),       QStringLiteral("ボールペン"),
    QStringLiteral("ノート"),   QStringLiteral("洗剤"),     QStringLiteral("タオル"),     QStringLiteral("電池"),
    QStringLiteral("封筒"),     QStringLiteral("コーヒー"), QStringLiteral("紅茶"),       QStringLiteral("砂糖"),
    QStringLiteral("塩"),       QStringLiteral("小麦粉"),   QStringLiteral("サラダ油"),   QStringLiteral("酢"),
    QStringLiteral("ねじ"),     QStringLiteral("釘"),       QStringLiteral("軍手"),       QStringLiteral("ガムテープ"),
    QStringLiteral("段ボール"), QStringLiteral("せっけん"), QStringLiteral("歯ブラシ"),   QStringLiteral("靴下"),
    QStringLiteral("ハンカチ"), QStringLiteral("日本酒"),   QStringLiteral("ビール"),     QStringLiteral("焼酎"),
    QStringLiteral("乾電池"),   QStringLiteral("蛍光灯"),   QStringLiteral("延長コード"), QStringLiteral("クリップ"),
    QStringLiteral("付箋"),     QStringLiteral("のり"),     QStringLiteral("はさみ"),     QStringLiteral("カッター")
};
const QStringList Sizes
    = { QStringLiteral("500ml"), QStringLiteral("1kg"), QStringLiteral("10個入"), QStringLiteral("Ａ４"),
        QStringLiteral("大"),    QStringLiteral("小"),  QStringLiteral("詰替用"), QStringLiteral("徳用パック"),
        QStringLiteral("2L"),    QStringLiteral("黒") };
const QStringList Units
    = { QStringLiteral("個"), QStringLiteral("箱"), QStringLiteral("本"),  QStringLiteral("袋"), QStringLiteral("kg"),
        QStringLiteral("枚"), QStringLiteral("缶"), QStringLiteral("ｹｰｽ"), QStringLiteral("束"), QStringLiteral("台") };

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

QString benchDate(int index)
{
    return QDate(2026 - index, 3, 31).toString(Qt::ISODate);
}

bool generateBenchData(const QString& templatePath, const QString& path, const BenchDataSize& size, QString* error)
{
    QFile::remove(path);
    if (!FileOps::copyFileAtomically(templatePath, path, error))
        return false;
    Database db;
    if (!db.open(path, error))
        return false;
    QSqlDatabase c = db.connection();
    QSqlQuery q(c);
    q.exec(QStringLiteral("PRAGMA journal_mode = OFF"));
    q.exec(QStringLiteral("PRAGMA synchronous = OFF"));
    // The generated rows are the file's starting point, as a file the program filled itself
    // would hold them: no entries of the change history for each of them.
    Transaction transaction(db);
    std::optional<HistoryTrail::BulkChange> quiet;
    if (db.hasHistory())
        quiet.emplace(c);
    QRandomGenerator random(20260331);

    q.prepare(QStringLiteral(R"(INSERT INTO "項目分類" VALUES (?, ?))"));
    for (int i = 1; i <= size.categories; ++i) {
        q.addBindValue(i);
        q.addBindValue(QStringLiteral("分類%1 %2").arg(i, 2, 10, QLatin1Char('0')).arg(Items[i % Items.size()]));
        if (!q.exec())
            return fail(error, q.lastError().text());
    }
    q.prepare(QStringLiteral(R"(INSERT INTO "単位" VALUES (?, ?))"));
    for (int i = 0; i < Units.size(); ++i) {
        q.addBindValue(i + 1);
        q.addBindValue(Units[i]);
        q.exec();
    }

    struct Product
    {
        QString name;
        QString unit;
        double price;
    };
    std::vector<Product> products;
    products.reserve(size_t(size.products));
    q.prepare(QStringLiteral(R"(INSERT INTO "仕入商品" VALUES (?, ?, ?, ?))"));
    for (int i = 1; i <= size.products; ++i) {
        const QString name = Prefixes[random.bounded(int(Prefixes.size()))] + Items[random.bounded(int(Items.size()))]
            + Sizes[random.bounded(int(Sizes.size()))] + QStringLiteral(" 型番%1").arg(i, 6, 10, QLatin1Char('0'));
        const Product p { name, Units[random.bounded(int(Units.size()))], double(random.bounded(10, 20000)) };
        q.addBindValue(i);
        q.addBindValue(p.name);
        q.addBindValue(p.price);
        q.addBindValue(p.unit);
        if (!q.exec())
            return fail(error, q.lastError().text());
        products.push_back(p);
    }

    q.prepare(QStringLiteral(R"(INSERT INTO "棚卸マスター" VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0))"));
    const int perDate = size.lines / size.dates;
    for (int i = 0; i < size.lines; ++i) {
        const int productId = 1 + random.bounded(size.products);
        const Product& p = products[size_t(productId - 1)];
        const double quantity = 1 + random.bounded(200);
        q.addBindValue(i + 1);
        q.addBindValue(benchDate(std::min(i / perDate, size.dates - 1)));
        q.addBindValue(1 + random.bounded(size.categories));
        q.addBindValue(p.name);
        q.addBindValue(quantity);
        q.addBindValue(p.unit);
        q.addBindValue(p.price);
        q.addBindValue(p.price * quantity);
        q.addBindValue(i % 7 == 0 ? QVariant(QStringLiteral("倉庫")) : QVariant());
        q.addBindValue(QVariant());
        q.addBindValue(productId);
        if (!q.exec())
            return fail(error, q.lastError().text());
    }
    quiet.reset();
    QString failure;
    if (!transaction.commit(&failure))
        return fail(error, failure);
    q.exec(QStringLiteral("ANALYZE"));
    return true;
}

void SilentPrompter::notice(const QString& text, Icon, const QString&)
{
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
}

double measure(const char* what, int runs, const std::function<void(int)>& step,
               const std::function<void(int)>& prepare)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare(i);
        QElapsedTimer timer;
        timer.start();
        step(i);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-62s median %8.3f  p95 %8.3f  slowest %8.3f ms (%d runs)\n", what, ms[ms.size() / 2],
                ms[ms.size() * 95 / 100], ms.back(), runs);
    return ms[ms.size() / 2];
}

bool ensureBenchData(const QString& templatePath, const QString& path)
{
    if (QFileInfo::exists(path))
        return true;
    std::printf("generating %s ...\n", qPrintable(path));
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!generateBenchData(templatePath, path, {}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    std::printf("generated in %.1f s, %lld bytes\n", double(timer.elapsed()) / 1000,
                static_cast<long long>(QFileInfo(path).size()));
    return true;
}

double residentMegabytes(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

void resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

bool openBenchData(const QString& templatePath, int argc, char* argv[], Database& db)
{
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bench-large.idb");
    return ensureBenchData(templatePath, path) && db.open(path);
}

BenchSession::BenchSession()
    : settings(dir.filePath(QStringLiteral("Kotrina.conf")), clock)
    , state(Paths(QCoreApplication::applicationDirPath(), dir.path(), dir.filePath(QStringLiteral("Kotrina.conf"))),
            settings, prompter, clock)
{ }

void drawOffscreenUnlessTold()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
