// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The steps of the reliability trials (bench/reliability.sh), each a process of its own so
// the script can kill it at any moment:
//   reliability_driver make FILE LINES                 a business file made from the template
//   reliability_driver register FILE TOTAL              registers lines until FILE holds TOTAL,
//                                                      printing "ack ID" once each is committed
//   reliability_driver verify FILE [ACKS [LINES]]      integrity_check, every acknowledged ID
//                                                      present, and LINES lines when given
//   reliability_driver compact|saveas|backup FILE [TARGET]
//   reliability_driver cleanup DIR                     removes leftovers, prints how many
//   reliability_driver variants SOURCE DIR             100 damaged variants of SOURCE
//   reliability_driver open FILE DATADIR               the 開く command on FILE, the check the
//                                                      window runs and the backup at close

#include "BenchData.h"
#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/files/DatabaseFiles.h"
#include "core/lines/LineRegistration.h"
#include "core/store/FileOps.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstdio>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

int lineCount(const Database& db)
{
    QSqlQuery q(db.connection());
    return q.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "棚卸マスター")")) && q.next() ? q.value(0).toInt() : -1;
}

int registerLines(const QString& file, int total)
{
    Database db;
    if (!db.open(file))
        return 1;
    int count = lineCount(db);
    while (count < total) {
        LineInput line;
        line.date = QDate(2026, 3, 31);
        line.product = QStringLiteral("試験品 %1").arg(count % 50);
        line.quantity = 1 + count % 7;
        line.unit = QStringLiteral("個");
        line.unitPrice = 120;
        const std::optional<RegisteredLine> done = registerLine(db, line);
        if (!done)
            return 1;
        std::printf("ack %d\n", done->lineId);
        std::fflush(stdout);
        ++count;
    }
    return 0;
}

int verify(const QString& file, const QString& acks, int lines)
{
    const QString name = QStringLiteral("verify");
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        QSqlQuery q(db);
        if (!db.open() || !q.exec(QStringLiteral("PRAGMA integrity_check")) || !q.next()
            || q.value(0).toString() != QLatin1String("ok")) {
            problem = QStringLiteral("integrity_check failed");
        } else {
            QSet<int> ids;
            q.exec(QStringLiteral(R"(SELECT "ID" FROM "棚卸マスター")"));
            while (q.next())
                ids.insert(q.value(0).toInt());
            if (lines >= 0 && ids.size() != lines)
                problem = QStringLiteral("%1 lines instead of %2").arg(ids.size()).arg(lines);
            int acknowledged = 0;
            for (const QByteArray& line : acks.isEmpty() ? QByteArrayList() : readAll(acks).split('\n')) {
                if (!line.startsWith("ack "))
                    continue;
                ++acknowledged;
                if (!ids.contains(line.mid(4).toInt()))
                    problem = QStringLiteral("acknowledged line %1 is missing").arg(QString::fromLatin1(line.mid(4)));
            }
            if (problem.isEmpty())
                std::printf("ok %lld lines, %d acknowledged\n", qlonglong(ids.size()), acknowledged);
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!problem.isEmpty())
        std::printf("FAULT %s\n", qPrintable(problem));
    return problem.isEmpty() ? 0 : 1;
}

// Another program's SQLite file: tables of its own, some with our header marks.
bool foreignFile(const QString& path, int kind)
{
    QFile::remove(path);
    const QString name = QStringLiteral("foreign");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QSqlQuery q(db);
        ok = db.open() && q.exec(QStringLiteral("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)"))
            && q.exec(QStringLiteral("INSERT INTO notes (body) VALUES ('memo %1')").arg(kind));
        if (kind % 2 == 1)
            ok = ok && q.exec(QStringLiteral("PRAGMA application_id = 1263817294")); // "KTRN"
        if (kind % 3 == 1)
            ok = ok && q.exec(QStringLiteral("PRAGMA user_version = 1"));
        if (kind % 5 == 4) // our table names with other columns
            ok = ok && q.exec(QStringLiteral(R"(CREATE TABLE "棚卸マスター" (x, y))"));
        if (kind == 9)
            ok = ok && q.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

int variants(const QString& source, const QString& dir)
{
    const QByteArray bytes = readAll(source);
    const qsizetype pageSize = 4096;
    const qsizetype pages = bytes.size() / pageSize;
    QRandomGenerator random(20261206);
    QDir().mkpath(dir);
    int n = 0;
    auto save = [&](const char* kind, const QByteArray& data) {
        writeAll(
            QDir(dir).filePath(QStringLiteral("%1-%2.idb").arg(++n, 3, 10, QLatin1Char('0')).arg(QLatin1String(kind))),
            data);
    };
    for (int i = 0; i < 20; ++i) // truncated, on and off page boundaries
        save("truncated",
             bytes.left(i % 2 ? random.bounded(qint64(100), qint64(bytes.size()))
                              : pageSize * random.bounded(qint64(1), qint64(pages))));
    for (int i = 0; i < 30; ++i) { // one to three pages overwritten with noise or zeros
        QByteArray d = bytes;
        const int count = 1 + i % 3;
        for (int k = 0; k < count; ++k) {
            const qsizetype page = random.bounded(qint64(1), qint64(pages));
            for (qsizetype b = page * pageSize; b < (page + 1) * pageSize; ++b)
                d[b] = i % 2 ? char(random.bounded(256)) : char(0);
        }
        save("pages", d);
    }
    for (int i = 0; i < 20; ++i) { // the header and first page
        QByteArray d = bytes;
        const int count = 1 + i % 4;
        for (int k = 0; k < count; ++k)
            d[random.bounded(i < 10 ? 100 : int(pageSize))] = char(random.bounded(256));
        save("header", d);
    }
    for (int length : { 0, 1, 16, 100, 512 }) // zero length and shorter than a header
        save("short", bytes.left(length));
    for (int i = 0; i < 15; ++i) { // scattered bit flips
        QByteArray d = bytes;
        for (int k = 0; k < 8; ++k) {
            const qsizetype at = random.bounded(qint64(pageSize), qint64(d.size()));
            d[at] = char(d[at] ^ (1 << random.bounded(8)));
        }
        save("bits", d);
    }
    for (int i = 0; i < 10; ++i) { // another program's SQLite file
        const QString path = QDir(dir).filePath(QStringLiteral("%1-foreign.idb").arg(++n, 3, 10, QLatin1Char('0')));
        if (!foreignFile(path, i))
            return 1;
    }
    std::printf("%d variants\n", n);
    return 0;
}

// Opens the one file, accepts the salvage a damage message offers (into rescued) and
// answers every other question No.
class Unattended final : public Prompter
{
public:
    Unattended(QString file, QString rescued)
        : m_file(std::move(file))
        , m_rescued(std::move(rescued))
    { }
    QStringList texts;
    void notice(const QString& text, Icon, const QString&) override { texts << text; }
    bool ask(const QString& text, const QString&) override
    {
        texts << text;
        return text.startsWith(DatabaseFiles::damageMessage());
    }
    std::optional<QString> openFile(const FileDialogRequest&) override { return m_file; }
    std::optional<QString> saveFile(const FileDialogRequest&) override { return m_rescued; }
    std::optional<QString> chooseFont(const QString&, int) override { return std::nullopt; }

private:
    QString m_file;
    QString m_rescued;
};

struct NoView final : FileCommandsView
{
    QString name;
    QString fileName() const override { return name; }
    void setFileName(const QString& text) override { name = text; }
    void showFileStatus(const QString&) override { }
    void showSizeBefore(const QString&) override { }
    void showSizeAfter(const QString&) override { }
};

int openInProcess(const QString& file, const QString& dataDir)
{
    const QByteArray before = readAll(file);
    SystemClock clock;
    Settings settings(QDir(dataDir).filePath(QStringLiteral("Kotrina.conf")), clock);
    const QString rescued = QDir(dataDir).filePath(QStringLiteral("rescued.idb"));
    Unattended prompter(file, rescued);
    AppState state(Paths(QCoreApplication::applicationDirPath() + QStringLiteral("/.."), dataDir,
                         QDir(dataDir).filePath(QStringLiteral("Kotrina.conf"))),
                   settings, prompter, clock);
    NoView view;
    DatabaseFiles files(state, view);
    files.open();
    QString outcome = state.ConnectionOpen ? QStringLiteral("opened") : QStringLiteral("refused");
    if (state.ConnectionOpen) {
        const FileOps::FileCheck check = FileOps::quickCheck(file);
        outcome += check.status == FileOps::FileCheck::Status::Sound ? QStringLiteral(" sound")
                                                                     : QStringLiteral(" damaged-reported");
        if (!check.sound()) {
            files.reportDamage();
            Database salvaged;
            outcome += salvaged.open(rescued) && lineCount(salvaged) >= 0
                ? QStringLiteral(" salvaged-%1-lines").arg(lineCount(salvaged))
                : QStringLiteral(" salvage-failed");
        }
        state.DatabaseConnection.close();
        const FileOps::FileCheck backup = FileOps::backupDatabase(file, state.paths.backupPath());
        outcome += backup.sound() ? QStringLiteral(" backup-replaced") : QStringLiteral(" backup-kept");
    }
    const bool unchanged = readAll(file) == before;
    std::printf("%s%s\n", qPrintable(outcome), unchanged ? "" : " FILE-CHANGED");
    return unchanged ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    FileOps::letOversizedWritesFail();
    const QStringList a = QCoreApplication::arguments();
    const QString what = a.value(1);
    const QString templatePath = QStringLiteral(KOTRINA_TEMPLATE_FILE);
    if (what == QLatin1String("make") && a.size() == 4) {
        QString error;
        BenchDataSize size;
        size.lines = a[3].toInt();
        size.products = qMax(1, size.lines / 10);
        size.dates = 2;
        if (!generateBenchData(templatePath, a[2], size, &error)) {
            std::printf("%s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }
    if (what == QLatin1String("register") && a.size() == 4)
        return registerLines(a[2], a[3].toInt());
    if (what == QLatin1String("verify") && a.size() >= 3)
        return verify(a[2], a.value(3), a.size() > 4 ? a[4].toInt() : -1);
    if (what == QLatin1String("compact") && a.size() == 3)
        return FileOps::compactDatabase(a[2]).status == FileOps::CompactResult::Status::Compacted ? 0 : 1;
    if (what == QLatin1String("saveas") && a.size() == 4) {
        Database db;
        return db.open(a[2]) && FileOps::copyDatabase(db, a[3]) ? 0 : 1;
    }
    if (what == QLatin1String("backup") && a.size() == 4)
        return FileOps::backupDatabase(a[2], a[3]).sound() ? 0 : 1;
    if (what == QLatin1String("cleanup") && a.size() == 3) {
        std::printf("%d\n", FileOps::removeLeftovers(a[2]));
        return 0;
    }
    if (what == QLatin1String("variants") && a.size() == 4)
        return variants(a[2], a[3]);
    if (what == QLatin1String("open") && a.size() == 4)
        return openInProcess(a[2], a[3]);
    std::fprintf(stderr, "usage: see the head of reliability_driver.cpp\n");
    return 2;
}
