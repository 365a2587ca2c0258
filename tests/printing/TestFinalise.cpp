// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "OutsideFile.h"
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/history/ChangeHistory.h"
#include "core/history/Finalisation.h"
#include "core/lines/LineChecks.h"
#include "core/lines/LineRegistration.h"
#include "core/store/FileOps.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

namespace {

const QDate Day(2026, 3, 31);

int sqlite3(const QString& path, const QString& sql)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/sqlite3"), { path, sql });
    p.waitForFinished(30000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString sha256(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// A file with three priced lines of Day in category 食品, and one of the day after.
QString pricedFile(const TestEnvironment& env)
{
    const QString file = env.newDatabase();
    Database db;
    if (!db.open(file))
        return {};
    const std::optional<int> food = findOrRegisterCategory(db, u"食品"_qs);
    for (const auto& [name, quantity, price] :
         { std::tuple { "りんご", 10, 120 }, std::tuple { "みかん", 3, 2000 }, std::tuple { "なし", 1, 300 } }) {
        if (!food
            || !registerLine(db,
                             { Day, *food, QString::fromUtf8(name), double(quantity), u"個"_qs, double(price), {} }))
            return {};
    }
    return registerLine(db, { Day.addDays(1), *food, u"ぶどう"_qs, 1, u"房"_qs, 500, {} }) ? file : QString();
}

Finalisation::Outcome finalised(const Database& db)
{
    return Finalisation::finalise(db, Day, {});
}

} // namespace

class TestFinalise : public QObject
{
    Q_OBJECT

private slots:
    // A file made by the sqlite3 program, finalised from the command line; an import into the
    // date refused with the file as it was; verify sees nothing until a line changes outside
    // the program, which history then shows; filed gives back the stored sheet.
    void finalisesAFileMadeOutside()
    {
        TestEnvironment env;
        const QString file = madeOutside(env, "PRAGMA user_version = 5;\n");
        QVERIFY(!file.isEmpty());
        const QStringList date { u"--date"_qs, u"2026-03-31"_qs };
        // ﾒﾓ帳's category is gone: nothing is finalised until it is moved.
        Run r = kotrina(QStringList { u"finalise"_qs, file } + date);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(u"属さない棚卸が 1 件"_qs), qPrintable(r.err));
        QCOMPARE(kotrina(QStringList { u"check"_qs, file, u"--move-to-uncategorised"_qs } + date).status, 1);
        r = kotrina(QStringList { u"finalise"_qs, file } + date + QStringList { u"--layout"_qs, u"simple"_qs });
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(u"4 行、合計 1,177 円"_qs), qPrintable(r.out));

        const QString lines = env.writeFile(u"lines.txt"_qs, "品名\t数量\t単位\t単価\nもも\t2\t個\t300\n");
        const QByteArray before = bytesOf(file);
        // Refused for the lock before the question about the lines the date has.
        r = kotrina({ u"import"_qs, u"lines"_qs, file, u"--date"_qs, u"2026-03-31"_qs, u"--file"_qs, lines });
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"決算日 2026/03/31 の棚卸は"_qs) && r.err.contains(u"に確定されています"_qs),
                 qPrintable(r.err));
        QCOMPARE(bytesOf(file), before);
        // Printing, reading and checking stay allowed.
        QCOMPARE(kotrina(QStringList { u"print"_qs, u"sheet"_qs, file, u"--pdf"_qs, env.path(u"again.pdf"_qs) } + date)
                     .status,
                 0);
        r = kotrina(QStringList { u"verify"_qs, file } + date);
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QVERIFY(r.out.contains(u"変更されていません"_qs));

        // The sqlite3 program is refused too, until it takes the lock away.
        QVERIFY(sqlite3(file, uR"(UPDATE "棚卸マスター" SET "数量" = 20 WHERE "ID" = 1)"_qs) != 0);
        QCOMPARE(sqlite3(file, uR"(DROP TRIGGER "棚卸マスター_確定変更";
                                   UPDATE "棚卸マスター" SET "数量" = 20, "価格" = 2000 WHERE "ID" = 1)"_qs),
                 0);
        r = kotrina(QStringList { u"verify"_qs, file } + date);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(
                     u"\t変更\t1\t2026/03/31\tりんご\t2,000\t数量: 10 → 20、価格: 1000 → 2000\t外部のプログラム"_qs),
                 qPrintable(r.out));
        r = kotrina(QStringList { u"history"_qs, file } + date + QStringList { u"--since"_qs, u"2020-01-01"_qs });
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(u"数量: 10 → 20"_qs));
        QVERIFY(r.out.contains(u"\t確定\t"_qs));

        const QString out = env.path(u"filed.pdf"_qs);
        r = kotrina(QStringList { u"filed"_qs, file } + date + QStringList { u"--pdf"_qs, out });
        QCOMPARE(r.status, 0);
        Database db;
        QVERIFY(db.open(file, nullptr, Database::Access::ReadOnly));
        const std::optional<Finalisation::Record> record = Finalisation::latest(db, Day);
        QVERIFY(record);
        QCOMPARE(sha256(bytesOf(out)), record->pdfHash);
        QVERIFY(bytesOf(out).startsWith("%PDF"));
    }

    // Every change to a line of a finalised date is refused, by the program's functions with
    // the date and the time of finalising, by the file itself for any other program; reading
    // and the checks' mark stay allowed, and other dates are not locked.
    void aFinalisedDateRefusesEveryChange()
    {
        TestEnvironment env;
        const QString file = pricedFile(env);
        QVERIFY(!file.isEmpty());
        Database db;
        QVERIFY(db.open(file));
        const Finalisation::Outcome done = finalised(db);
        QVERIFY2(done.status == Finalisation::Outcome::Status::Done, qPrintable(done.message));
        QVERIFY(done.record && done.record->active());
        QCOMPARE(done.record->lineCount, 3);
        QCOMPARE(done.record->total, 1200.0 + 6000 + 300);
        const QString refusal = Finalisation::refusal(*Finalisation::lockOf(db, Day));
        QVERIFY(refusal.contains(u"2026/03/31"_qs));
        QVERIFY(refusal.contains(done.record->finalisedAt.toString(u"yyyy/MM/dd HH:mm:ss"_qs)));
        const QString linesBefore = *Finalisation::linesText(db, Day);

        QString error;
        QVERIFY(!registerLine(db, { Day, 1, u"もも"_qs, 1, u"個"_qs, 10, {} }, &error));
        QCOMPARE(error, refusal);
        error.clear();
        QVERIFY(!deleteLine(db, 1, &error));
        QCOMPARE(error, refusal);
        error.clear();
        QVERIFY(!db.exec(uR"(UPDATE "棚卸マスター" SET "項目ID" = 0 WHERE "ID" = 2)"_qs, {}, &error));
        QVERIFY(error.contains(QString::fromUtf8(HistoryTrail::LockedByTrigger)));
        QCOMPARE(markLinesWithoutCategory(db, Day), 0);
        QVERIFY(db.exec(uR"(UPDATE "棚卸マスター" SET "区分調整" = 1 WHERE "ID" = 2)"_qs));
        error.clear();
        QVERIFY(!moveMarkedLinesToNoCategory(db, Day, &error));
        QCOMPARE(error, refusal);
        for (FileOps::DataItem item : { FileOps::DataItem::Lines, FileOps::DataItem::All }) {
            error.clear();
            QVERIFY(!FileOps::deleteData(db, item, &error));
            QCOMPARE(error, refusal);
        }
        QCOMPARE(sqlite3(file, uR"(DELETE FROM "棚卸マスター" WHERE "日付" = '2026-03-31')"_qs) != 0, true);
        QCOMPARE(sqlite3(file, uR"(INSERT INTO "棚卸マスター" ("日付", "品名") VALUES ('2026-03-31', 'x'))"_qs) != 0,
                 true);
        QCOMPARE(sqlite3(file, uR"(DELETE FROM "棚卸確定")"_qs) != 0, true);

        QCOMPARE(*Finalisation::linesText(db, Day), linesBefore);
        QCOMPARE(Finalisation::finalise(db, Day, {}).status, Finalisation::Outcome::Status::AlreadyFinalised);
        // Another date takes lines as ever.
        QVERIFY(registerLine(db, { Day.addDays(1), 1, u"もも"_qs, 1, u"個"_qs, 10, {} }));
        QCOMPARE(Finalisation::verify(db, Day).status, Finalisation::Verification::Status::Unchanged);
    }

    // Undoing asks a reason, is recorded with it and unlocks; the sheet stays, and finalising
    // again keeps a second one beside it, verify then comparing with the latest.
    void undoAndFinaliseAgain()
    {
        TestEnvironment env;
        const QString file = pricedFile(env);
        Database db;
        QVERIFY(db.open(file));
        QCOMPARE(finalised(db).status, Finalisation::Outcome::Status::Done);
        QString error;
        QVERIFY(!Finalisation::undo(db, Day, u"  "_qs, &error));
        QCOMPARE(error, u"取消の理由を入力してください。"_qs);
        QVERIFY(Finalisation::lockOf(db, Day));
        QVERIFY(Finalisation::undo(db, Day, u"数え直し"_qs, &error));
        QVERIFY(!Finalisation::lockOf(db, Day));
        QVERIFY(!Finalisation::undo(db, Day, u"もう一度"_qs, &error));

        const std::optional<RegisteredLine> peach = registerLine(db, { Day, 1, u"もも"_qs, 2, u"個"_qs, 150, {} });
        QVERIFY(peach);
        Finalisation::Verification v = Finalisation::verify(db, Day);
        QCOMPARE(v.status, Finalisation::Verification::Status::Changed);
        QVERIFY(v.linesChanged && !v.pdfChanged && !v.historyBroken);
        QCOMPARE(v.changes.size(), 1);
        QCOMPARE(v.changes[0].lineId, peach->lineId);
        QVERIFY(v.findings.join(u"\n"_qs).contains(u"数え直し"_qs));

        const Finalisation::Outcome again = finalised(db);
        QCOMPARE(again.status, Finalisation::Outcome::Status::Done);
        QCOMPARE(again.record->lineCount, 4);
        const QList<Finalisation::Record> records = *Finalisation::records(db, Day);
        QCOMPARE(records.size(), 2);
        QVERIFY(!records[0].active());
        QCOMPARE(records[0].undoReason, u"数え直し"_qs);
        QVERIFY(records[1].active());
        QVERIFY(records[0].pdfHash != records[1].pdfHash);
        for (const Finalisation::Record& record : records)
            QCOMPARE(sha256(*Finalisation::pdf(db, record.id)), record.pdfHash);
        QCOMPARE(Finalisation::verify(db, Day).status, Finalisation::Verification::Status::Unchanged);

        ChangeHistory::Filter filter;
        filter.date = Day;
        QStringList kinds;
        ChangeHistory::forEach(db, filter, [&](const ChangeHistory::Entry& e) {
            kinds << e.kindName;
            if (e.kind == ChangeHistory::Kind::Undone)
                kinds << e.newValues.value(u"理由"_qs).toString();
            return true;
        });
        QCOMPARE(kinds,
                 (QStringList { u"追加"_qs, u"追加"_qs, u"追加"_qs, u"確定"_qs, u"確定の取消"_qs, u"数え直し"_qs,
                                u"追加"_qs, u"確定"_qs }));
        db.close();
        const QString first = env.path(u"first.pdf"_qs);
        const Run r = kotrina({ u"filed"_qs, file, u"--date"_qs, u"2026-03-31"_qs, u"--pdf"_qs, first, u"--number"_qs,
                                QString::number(records[0].id) });
        QCOMPARE(r.status, 0);
        QCOMPARE(sha256(bytesOf(first)), records[0].pdfHash);
    }

    // A stored sheet changed behind the program's back, or the record of the finalisation
    // taken away, is found.
    void verifyFindsAChangedSheet()
    {
        TestEnvironment env;
        const QString file = pricedFile(env);
        {
            Database db;
            QVERIFY(db.open(file));
            QCOMPARE(finalised(db).status, Finalisation::Outcome::Status::Done);
        }
        QCOMPARE(sqlite3(file, uR"(DROP TRIGGER "棚卸確定_保護変更";
                                   UPDATE "棚卸確定" SET "PDF" = "PDF" || x'0a')"_qs),
                 0);
        const QStringList verify { u"verify"_qs, file, u"--date"_qs, u"2026-03-31"_qs };
        Run r = kotrina(verify);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(u"PDF が確定の時のものと一致しません"_qs), qPrintable(r.out));
        QCOMPARE(sqlite3(file, uR"(DROP TRIGGER "棚卸確定_保護削除"; DELETE FROM "棚卸確定")"_qs), 0);
        r = kotrina(verify);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(u"確定の記録が削除されています"_qs), qPrintable(r.out));
        // A date never finalised cannot be told.
        r = kotrina({ u"verify"_qs, file, u"--date"_qs, u"2026-04-01"_qs });
        QCOMPARE(r.status, 2);
    }

    // The backup, the compaction and the salvage of a file carry its history and its stored
    // sheets as they were; an import is one entry of the history.
    void copiesAndImportCarryTheHistory()
    {
        TestEnvironment env;
        const QString file = pricedFile(env);
        QString text = u"品名\t数量\t単位\t単価\t価格\n"_qs;
        for (int i = 0; i < 1000; ++i)
            text += u"品%1\t1\t個\t10\t10\n"_qs.arg(i);
        const QString lines = env.writeFile(u"棚卸.txt"_qs, text.toUtf8());
        const Run r = kotrina({ u"import"_qs, u"lines"_qs, file, u"--date"_qs, u"2026-04-02"_qs, u"--file"_qs, lines });
        QVERIFY2(r.status == 0, qPrintable(r.err));
        int entries = 0;
        {
            Database db;
            QVERIFY(db.open(file));
            ChangeHistory::Filter filter;
            filter.date = QDate(2026, 4, 2);
            const QList<ChangeHistory::Entry> imported = *ChangeHistory::page(db, filter, 0, 10);
            QCOMPARE(imported.size(), 1);
            QCOMPARE(imported[0].kind, ChangeHistory::Kind::Imported);
            QCOMPARE(imported[0].newValues.value(u"ファイル"_qs).toString(), u"棚卸.txt"_qs);
            QCOMPARE(imported[0].newValues.value(u"行数"_qs).toInt(), 1000);
            QVERIFY(imported[0].sealed && !imported[0].outside);
            QCOMPARE(finalised(db).status, Finalisation::Outcome::Status::Done);
            QSqlQuery q(db.connection());
            QVERIFY(q.exec(uR"(SELECT count(*) FROM "変更履歴")"_qs) && q.next());
            entries = q.value(0).toInt();
        }
        // The backup, save-as and the compaction copy the whole file.
        const QString backup = env.path(u"backup.idb"_qs);
        QVERIFY(FileOps::backupDatabase(file, backup).sound());
        QCOMPARE(FileOps::compactDatabase(file).status, FileOps::CompactResult::Status::Compacted);
        for (const QString& copy : { backup, file }) {
            Database db;
            QVERIFY(db.open(copy));
            QVERIFY(Finalisation::lockOf(db, Day));
            QCOMPARE(Finalisation::verify(db, Day).status, Finalisation::Verification::Status::Unchanged);
        }
        const QString saved = env.path(u"saved.idb"_qs);
        const FileOps::SalvageResult salvaged = FileOps::salvageDatabase(file, TestEnvironment::buildTemplate(), saved);
        QVERIFY2(salvaged.ok, qPrintable(salvaged.detail));
        Database db;
        QVERIFY(db.open(saved));
        QSqlQuery q(db.connection());
        QVERIFY(q.exec(uR"(SELECT count(*) FROM "変更履歴")"_qs) && q.next());
        QCOMPARE(q.value(0).toInt(), entries);
        QVERIFY(Finalisation::lockOf(db, Day));
        QCOMPARE(Finalisation::verify(db, Day).status, Finalisation::Verification::Status::Unchanged);
        QCOMPARE(Finalisation::records(db, Day)->size(), 1);
    }
};

KOTRINA_REGISTER_TEST(TestFinalise)
#include "TestFinalise.moc"
