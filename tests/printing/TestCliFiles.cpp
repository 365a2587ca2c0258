// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "ImportData.h"
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/files/DatabaseFiles.h"
#include "core/store/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>
#include <csignal>

namespace {

const QString Day = u"2026-03-31"_qs;

// The ways a disk or a copy damages a closed file.
enum class Damage
{
    BitFlips, // 30 single bits somewhere past the first page
    PageHeader, // the header of a page of lines overwritten
    TailCut, // the last 1,000 bytes gone
};

bool damage(const QString& path, Damage how)
{
    // The lines registered last lie on the last pages, where a cut takes them.
    if (how == Damage::TailCut && !onRawConnection(path, [](QSqlQuery& q) {
            return q.exec(uR"(WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 99)
                                 INSERT INTO "棚卸マスター" SELECT 5000 + i, '2026-03-31', 1, '追加の品', 1, '個', 100,
                                 100, hex(randomblob(100)), NULL, 1, 0 FROM n)"_qs);
        }))
        return false;
    if (how == Damage::PageHeader)
        return !damageDataPage(path).isEmpty();
    QByteArray bytes = readAll(path);
    const qsizetype pageSize = (quint8(bytes[16]) << 8) | quint8(bytes[17]);
    QRandomGenerator random(2026);
    for (int i = 0; how == Damage::BitFlips && i < 30; ++i) {
        const qsizetype at = pageSize * random.bounded(1, int(bytes.size() / pageSize)) + random.bounded(int(pageSize));
        bytes[at] = char(bytes[at] ^ (1 << random.bounded(8)));
    }
    if (how == Damage::TailCut)
        bytes.chop(1000);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Every category of the sample lines, so that every sheet prints them.
bool registerCategories(const QString& file)
{
    Database db;
    return db.open(file) && db.exec(uR"(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60)
                       INSERT INTO "項目分類" SELECT i, '分類' || i FROM n)"_qs);
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class TestCliFiles : public QObject
{
    Q_OBJECT

private slots:
    void damagedFilesAreRefusedByEveryVerb_data()
    {
        QTest::addColumn<Damage>("how");
        QTest::newRow("30 bit flips") << Damage::BitFlips;
        QTest::newRow("page header overwritten") << Damage::PageHeader;
        QTest::newRow("last 1000 bytes cut") << Damage::TailCut;
    }

    void damagedFilesAreRefusedByEveryVerb()
    {
        QFETCH(Damage, how);
        TestEnvironment env;
        const QString file = sampleDatabase(env, 2500);
        QVERIFY(registerCategories(file));
        QVERIFY(damage(file, how));
        QVERIFY(!integrityOk(file));
        const QString lines
            = env.writeFile(u"棚卸.txt"_qs, cp932(u"分類\t品名\t数量\t単価\r\n食品\tりんご\t1\t100\r\n"_qs));
        const QString products = env.writeFile(u"品名.txt"_qs, cp932(u"品名\t単位\t単価\r\nりんご\t個\t98\r\n"_qs));
        const QString out = env.path(u"out"_qs);
        QVERIFY(QDir().mkpath(out));
        const QList<QStringList> verbs = {
            { u"export"_qs, u"lines"_qs, file, u"--date"_qs, Day, u"--xlsx"_qs, out + u"/棚卸.xlsx"_qs },
            { u"export"_qs, u"products"_qs, file, u"--xlsx"_qs, out + u"/品名.xlsx"_qs },
            { u"check"_qs, file, u"--date"_qs, Day },
            { u"check"_qs, file, u"--date"_qs, Day, u"--move-to-uncategorised"_qs },
            { u"print"_qs, u"sheet"_qs, file, u"--date"_qs, Day, u"--pdf"_qs, out + u"/棚卸表.pdf"_qs },
            { u"print"_qs, u"book"_qs, file, u"--date"_qs, Day, u"--pdf"_qs, out + u"/記入帳.pdf"_qs },
            { u"print"_qs, u"summary"_qs, file, u"--date"_qs, Day, u"--by"_qs, u"product"_qs, u"--pdf"_qs,
              out + u"/集計.pdf"_qs },
            { u"import"_qs, u"lines"_qs, file, u"--date"_qs, u"2027-03-31"_qs, u"--file"_qs, lines, u"--map"_qs,
              u"項目/分類名=分類,品名=品名,数量=数量,単価=単価"_qs },
            { u"import"_qs, u"products"_qs, file, u"--file"_qs, products },
        };
        const QByteArray before = readAll(file);
        for (const QStringList& args : verbs) {
            const Run r = kotrina(args);
            QVERIFY2(r.status == 2 && r.out.isEmpty(), qPrintable(args.join(u' ') + r.err));
            QVERIFY2(r.err.startsWith(u"kotrina: "_qs + DatabaseFiles::damageMessage())
                         && r.err.contains(QDir::toNativeSeparators(file)),
                     qPrintable(r.err));
            QVERIFY(readAll(file) == before);
            QCOMPARE(filesIn(out), QStringList());
            QVERIFY(!QFileInfo::exists(file + u"-journal"_qs));
        }
    }

    void aWriteCutOffIsUndoneOrNamed()
    {
        TestEnvironment env;
        const QString file = sampleDatabase(env, 2500);
        QVERIFY(registerCategories(file));
        const QByteArray sound = readAll(file);
        QProcess writer;
        writer.start(QStringLiteral(KOTRINA_FILEOP_CHILD), { u"write"_qs, file });
        QVERIFY(writer.waitForReadyRead() && writer.readLine() == "writing\n");
        writer.kill();
        writer.waitForFinished();
        QVERIFY(QFileInfo(file + u"-journal"_qs).size() > 0);
        QVERIFY(readAll(file) != sound); // the change reached the file before the kill

        const QString pdf = env.path(u"集計.pdf"_qs);
        const QStringList summary
            = { u"print"_qs, u"summary"_qs, file, u"--date"_qs, Day, u"--by"_qs, u"category"_qs, u"--pdf"_qs, pdf };
        {
            // A file that cannot be written cannot be put back: said so, not called foreign.
            const WriteProtection readOnly(file);
            if (readOnly.isActive()) {
                const Run r = kotrina(summary);
                QCOMPARE(r.status, 2);
                QVERIFY2(r.err.contains(u"前回の書き込みが途中で終わったままです。"_qs), qPrintable(r.err));
                QVERIFY(!r.err.contains(u"Kotrina のデータベースファイルではない"_qs));
                QVERIFY(!QFileInfo::exists(pdf));
            }
        }
        const Run r = kotrina(summary);
        QVERIFY2(r.status == 0 && r.err.contains(u"前回途中で終わった書き込みを取り消し"_qs), qPrintable(r.err));
        QVERIFY(QFileInfo::exists(pdf));
        QVERIFY(!QFileInfo::exists(file + u"-journal"_qs));
        QVERIFY(readAll(file) == sound);
    }

    void namesAtTheFileSystemsLimit()
    {
        TestEnvironment env;
        // 80 full-width characters: 240 bytes, 244 with ".idb", of the 255 a name may have.
        const QString stem = QString(80, QChar(0x68DA));
        const QString file = sampleDatabase(env, 3000, stem + u".idb"_qs);
        QCOMPARE(QFile::encodeName(QFileInfo(file).fileName()).size(), 244);
        QVERIFY(registerCategories(file));
        QVERIFY(onRawConnection(
            file, [](QSqlQuery& q) { return q.exec(uR"(DELETE FROM "棚卸マスター" WHERE "ID" > 1000)"_qs); }));

        const FileOps::CompactResult compacted = FileOps::compactDatabase(file);
        QVERIFY2(compacted.status == FileOps::CompactResult::Status::Compacted, qPrintable(compacted.detail));
        QVERIFY(compacted.sizeAfter < compacted.sizeBefore);

        QVERIFY(QDir().mkpath(env.path(u"copy"_qs)));
        const QString copy = env.path(u"copy/"_qs + stem + u".idb"_qs);
        {
            Database db;
            QString why;
            QVERIFY(db.open(file));
            QVERIFY2(FileOps::copyDatabase(db, copy, &why), qPrintable(why));
        }
        QVERIFY(integrityOk(copy));

        const QString xlsx = env.path(stem + u".xlsx"_qs);
        const QString pdf = env.path(stem + u".pdf"_qs);
        for (const Run& r : { kotrina({ u"export"_qs, u"lines"_qs, file, u"--date"_qs, Day, u"--xlsx"_qs, xlsx }),
                              kotrina({ u"print"_qs, u"sheet"_qs, file, u"--date"_qs, Day, u"--pdf"_qs, pdf }) })
            QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(QFileInfo(xlsx).size() > 0 && QFileInfo(pdf).size() > 0);
        QCOMPARE(filesIn(env.root()), QStringList({ stem + u".idb"_qs, stem + u".pdf"_qs, stem + u".xlsx"_qs }));
    }

    // A verb ended while it writes its output: asked to (a desktop logging out, a terminal
    // closed, Ctrl+C), it says so; killed, it leaves its temporary file to the next start.
    void stoppedWhileWritingLeavesTheEarlierOutput_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("signal");
        const QStringList sheet { u"print"_qs, u"sheet"_qs, u"--pdf"_qs, u"棚卸表.pdf"_qs };
        const QStringList lines { u"export"_qs, u"lines"_qs, u"--xlsx"_qs, u"棚卸.xlsx"_qs };
        QTest::newRow("print sheet, SIGTERM") << sheet << SIGTERM;
        QTest::newRow("print sheet, SIGINT") << sheet << SIGINT;
        QTest::newRow("print sheet, SIGKILL") << sheet << SIGKILL;
        QTest::newRow("export lines, SIGTERM") << lines << SIGTERM;
        QTest::newRow("export lines, SIGKILL") << lines << SIGKILL;
    }

    void stoppedWhileWritingLeavesTheEarlierOutput()
    {
        QFETCH(QStringList, command);
        QFETCH(int, signal);
        TestEnvironment env;
        const QString file = sampleDatabase(env, 40000);
        QVERIFY(registerCategories(file));
        // Outputs go to a folder of their own, neither the data folder nor the file's.
        const QString target = env.writeFile(u"出力/"_qs + command.last(), "the earlier output");
        const QString out = QFileInfo(target).absolutePath();

        QProcess program;
        program.start(QStringLiteral(KOTRINA_EXECUTABLE),
                      command.first(2) + QStringList { file, u"--date"_qs, Day, command[2], target });
        // The verb is writing once a file of its own appears beside the target.
        if (!QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning || filesIn(out).size() > 1; }, 60000)
            || program.state() == QProcess::NotRunning)
            QSKIP(qPrintable(u"the verb ended before it could be stopped: "_qs
                             + QString::fromUtf8(program.readAllStandardError())));
        QCOMPARE(::kill(pid_t(program.processId()), signal), 0);
        QVERIFY(program.waitForFinished(30000));
        if (signal != SIGKILL) {
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
            QCOMPARE(program.exitCode(), 128 + signal);
            const QString errors = QString::fromUtf8(program.readAllStandardError());
            QVERIFY2(errors.contains(u"処理を中断しました"_qs), qPrintable(errors));
        }
        QCOMPARE(readAll(target), QByteArray("the earlier output"));

        // The next start of any verb removes what the stopped one left.
        const Run next = kotrina({ u"check"_qs, file, u"--date"_qs, Day });
        QVERIFY2(next.status == 0, qPrintable(next.err));
        QCOMPARE(filesIn(out), QStringList { command.last() });
    }
};

KOTRINA_REGISTER_TEST(TestCliFiles)
#include "TestCliFiles.moc"
