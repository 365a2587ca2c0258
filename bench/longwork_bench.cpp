// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The long work on a large business file, each on a copy of it in a temporary folder:
//   bench_longwork close FILE.idb     time from the main window's close to its end (the backup), twice
//   bench_longwork upgrade FILE.idb   time of the one-time upgrade of the copy made a version 1 file,
//                                     and how often and how evenly it told its progress
//   bench_longwork compact FILE.idb   time of the compaction (最適化)
//   bench_longwork backup FILE.idb    the backup of the close (FileOps::backupDatabase) against the same
//                                     steps one after the other on plain connections, as they ran before,
//                                     three times each in turn

#include "core/store/Database.h"
#include "core/store/FileOps.h"
#include "core/store/NameIndex.h"
#include "gui/shell/ApplicationSetup.h"
#include "gui/shell/Startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Processor time of the whole process (every thread) so far, in ms: beside the wall clock,
// it tells work from waiting on a busy machine.
long long cpuMs()
{
    return static_cast<long long>(std::clock()) * 1000 / CLOCKS_PER_SEC;
}

// Takes away the name indexes, as a file of schema version 1 was.
bool makeVersion1(const QString& path)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        QStringList drops;
        if (ok && q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'"))) {
            while (q.next())
                drops << QStringLiteral(R"(DROP TRIGGER "%1")").arg(q.value(0).toString());
        }
        for (const QString& table : NameIndex::indexTables() + QStringList { NameIndex::lineNamesTable() })
            drops << QStringLiteral(R"(DROP TABLE "%1")").arg(table);
        drops << QStringLiteral("PRAGMA user_version = 1") << QStringLiteral("VACUUM");
        for (const QString& sql : drops)
            ok = ok && q.exec(sql);
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    return ok;
}

int closeBench(const QString& file, const QTemporaryDir& home)
{
    const Paths paths(QApplication::applicationDirPath() + QStringLiteral("/.."), home.path(),
                      home.filePath(QStringLiteral("Kotrina.conf")));
    for (int run = 1; run <= 2; ++run) {
        const auto program = startProgram(paths, file);
        if (!QTest::qWaitForWindowExposed(&program->window, 5000))
            std::fprintf(stderr, "the window was never shown\n");
        QElapsedTimer closing;
        closing.start();
        const long long cpu = cpuMs();
        program->window.close();
        std::printf("close %d: %lld ms, processor %lld ms (backup %s)\n", run,
                    static_cast<long long>(closing.elapsed()), cpuMs() - cpu,
                    QFile::exists(paths.backupPath()) ? "written" : "missing");
    }
    return 0;
}

int upgradeBench(const QString& file)
{
    QElapsedTimer making;
    making.start();
    if (!makeVersion1(file)) {
        std::fprintf(stderr, "cannot make the copy a version 1 file\n");
        return 1;
    }
    std::printf("made a version 1 file in %lld ms\n", static_cast<long long>(making.elapsed()));
    int calls = 0;
    qint64 last = -1, longestGap = 0, lastTotal = 0;
    bool increasing = true;
    QElapsedTimer upgrading, sinceCall;
    upgrading.start();
    sinceCall.start();
    Database db;
    const bool opened = db.open(file, nullptr, Database::Access::ReadWrite, [&](qint64 done, qint64 total) {
        ++calls;
        increasing = increasing && done >= last && done <= total;
        last = done;
        lastTotal = total;
        longestGap = qMax(longestGap, sinceCall.restart());
        return true;
    });
    std::printf("open with upgrade: %lld ms, %s, upgrade %s; progress told %d times, last %lld of %lld, %s, "
                "longest time between two: %lld ms\n",
                static_cast<long long>(upgrading.elapsed()), opened ? "opened" : "NOT opened",
                db.upgrade() == Schema::Upgrade::Done ? "done" : "NOT done", calls, static_cast<long long>(last),
                static_cast<long long>(lastTotal), increasing ? "never backwards" : "WENT BACKWARDS",
                static_cast<long long>(longestGap));
    return opened && db.upgrade() == Schema::Upgrade::Done ? 0 : 1;
}

// The close's backup as it was: the quick check, then the copy, then the full check of the
// copy on a connection with the engine's default cache, then the copy to the disk.
bool backupOneAfterTheOther(const QString& source, const QString& target)
{
    bool ok = true;
    for (const auto& [path, sql] : { std::pair(source, QStringLiteral("PRAGMA quick_check")),
                                     std::pair(source, QStringLiteral("VACUUM INTO '%1'").arg(target)),
                                     std::pair(target, QStringLiteral("PRAGMA integrity_check")) }) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("step"));
            db.setDatabaseName(path);
            QSqlQuery q(db);
            ok = ok && db.open() && q.exec(sql);
            while (q.next())
                ok = ok && q.value(0).toString() == QLatin1String("ok");
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("step"));
    }
    QFile copy(target);
    return ok && copy.open(QIODevice::ReadOnly) && ::fsync(copy.handle()) == 0;
}

int backupBench(const QString& file)
{
    const QString target = file + QStringLiteral(".backup");
    for (int run = 1; run <= 3; ++run) {
        QFile::remove(target);
        QElapsedTimer timer;
        timer.start();
        long long cpu = cpuMs();
        const bool before = backupOneAfterTheOther(file, target);
        const qint64 beforeMs = timer.restart();
        const long long beforeCpu = cpuMs() - cpu;
        QFile::remove(target);
        cpu = cpuMs();
        const bool now = FileOps::backupDatabase(file, target).sound();
        std::printf("backup %d: one step after the other %lld ms (processor %lld ms)%s, now %lld ms (processor %lld "
                    "ms)%s\n",
                    run, static_cast<long long>(beforeMs), beforeCpu, before ? "" : " (FAILED)",
                    static_cast<long long>(timer.elapsed()), cpuMs() - cpu, now ? "" : " (FAILED)");
    }
    QFile::remove(target);
    return 0;
}

int compactBench(const QString& file)
{
    int calls = 0;
    FileOps::Progress progress;
    progress.step = [&calls](qint64, qint64) {
        ++calls;
        return true;
    };
    QElapsedTimer compacting;
    compacting.start();
    const FileOps::CompactResult result = FileOps::compactDatabase(file, progress);
    std::printf("compaction: %lld ms, %lld -> %lld bytes, %s, progress told %d times\n",
                static_cast<long long>(compacting.elapsed()), static_cast<long long>(result.sizeBefore),
                static_cast<long long>(result.sizeAfter),
                result.status == FileOps::CompactResult::Status::Compacted ? "compacted" : "NOT compacted", calls);
    return result.status == FileOps::CompactResult::Status::Compacted ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_longwork close|upgrade|compact FILE.idb\n");
        return 2;
    }
    const QString what = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("large.idb"));
    QElapsedTimer copying;
    copying.start();
    if (!QFile::copy(QString::fromLocal8Bit(argv[2]), file)) {
        std::fprintf(stderr, "cannot copy %s\n", argv[2]);
        return 2;
    }
    QFile(file).setPermissions(QFile(file).permissions() | QFileDevice::WriteOwner);
    std::printf("copied in %lld ms\n", static_cast<long long>(copying.elapsed()));
    if (what == QLatin1String("close"))
        return closeBench(file, home);
    if (what == QLatin1String("upgrade"))
        return upgradeBench(file);
    if (what == QLatin1String("backup"))
        return backupBench(file);
    if (what == QLatin1String("compact"))
        return compactBench(file);
    std::fprintf(stderr, "unknown: %s\n", argv[1]);
    return 2;
}
