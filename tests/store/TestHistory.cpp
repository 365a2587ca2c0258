// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/history/ChangeHistory.h"
#include "core/history/Finalisation.h"
#include "core/lines/LineRegistration.h"
#include "core/store/FileOps.h"
#include "core/store/HistoryTrail.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTest>

namespace {

const QDate Day(2026, 3, 31);

// Runs SQL through the sqlite3 program, which knows nothing of this program; its exit status.
int sqlite3(const QString& path, const QString& sql)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/sqlite3"), { path, sql });
    p.waitForFinished(30000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

LineInput apple()
{
    return { Day, 1, QStringLiteral("りんご"), 10, QStringLiteral("個"), 120, QString() };
}

QList<ChangeHistory::Entry> entriesOf(const Database& db)
{
    ChangeHistory::Filter filter;
    filter.date = Day;
    QList<ChangeHistory::Entry> entries;
    ChangeHistory::forEach(db, filter, [&](const ChangeHistory::Entry& e) {
        entries << e;
        return true;
    });
    return entries;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    // Each kind of change of a line is one entry with the old and new values of the columns
    // that changed, this computer's station, sealed; the checks' mark alone is none.
    void eachChangeIsRecordedOnceWithItsValues()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(env.newDatabase()));
        QVERIFY(db.hasHistory());
        const std::optional<RegisteredLine> line = registerLine(db, apple());
        QVERIFY(line);
        QVERIFY(
            db.exec(uR"(UPDATE "棚卸マスター" SET "数量" = 12, "価格" = 1440 WHERE "ID" = ?)"_qs, { line->lineId }));
        QVERIFY(db.exec(uR"(UPDATE "棚卸マスター" SET "区分調整" = 1 WHERE "ID" = ?)"_qs, { line->lineId }));
        QVERIFY(db.exec(uR"(UPDATE "棚卸マスター" SET "数量" = 12 WHERE "ID" = ?)"_qs, { line->lineId })); // no change
        QVERIFY(db.exec(uR"(UPDATE "棚卸マスター" SET "単位" = '箱' WHERE "ID" = ?)"_qs, { line->lineId }));
        QVERIFY(deleteLine(db, line->lineId));

        const std::optional<QList<ChangeHistory::Entry>> entries = ChangeHistory::ofLine(db, line->lineId);
        QVERIFY(entries);
        QCOMPARE(entries->size(), 4);
        const ChangeHistory::Entry& added = entries->at(0);
        QCOMPARE(added.kind, ChangeHistory::Kind::Inserted);
        QCOMPARE(added.newValues.value(u"品名"_qs).toString(), u"りんご"_qs);
        QCOMPARE(added.newValues.value(u"価格"_qs).toDouble(), 1200.0);
        QVERIFY(added.oldValues.isEmpty());
        const ChangeHistory::Entry& changed = entries->at(1);
        QCOMPARE(changed.kind, ChangeHistory::Kind::Changed);
        QCOMPARE(changed.oldValues, (QVariantMap { { u"数量"_qs, 10.0 }, { u"価格"_qs, 1200.0 } }));
        QCOMPARE(changed.newValues, (QVariantMap { { u"数量"_qs, 12.0 }, { u"価格"_qs, 1440.0 } }));
        QCOMPARE(ChangeHistory::describe(changed), u"数量: 10 → 12、価格: 1200 → 1440"_qs);
        QCOMPARE(entries->at(2).oldValues, (QVariantMap { { u"単位"_qs, u"個"_qs } }));
        QCOMPARE(entries->at(2).newValues, (QVariantMap { { u"単位"_qs, u"箱"_qs } }));
        const ChangeHistory::Entry& deleted = entries->at(3);
        QCOMPARE(deleted.kind, ChangeHistory::Kind::Deleted);
        QCOMPARE(deleted.oldValues.value(u"数量"_qs).toDouble(), 12.0);
        QCOMPARE(deleted.oldValues.value(u"単位"_qs).toString(), u"箱"_qs);
        for (const ChangeHistory::Entry& e : *entries) {
            QCOMPARE(e.station, HistoryTrail::station());
            QVERIFY(!e.outside);
            QVERIFY(e.sealed);
            QCOMPARE(e.date, Day);
        }
        // The date's list narrows by name, amount and time.
        ChangeHistory::Filter filter;
        filter.date = Day;
        QCOMPARE(ChangeHistory::count(db, filter).value_or(-1), 4);
        filter.nameText = u"みかん"_qs;
        QCOMPARE(ChangeHistory::count(db, filter).value_or(-1), 0);
        filter.nameText = u"りん"_qs;
        filter.minAmount = 1300;
        // The entries made while the line stood at 1,440: the change to it, the unit, the deletion.
        QCOMPARE(ChangeHistory::count(db, filter).value_or(-1), 3);
        filter.minAmount.reset();
        filter.from = QDateTime::currentDateTime().addSecs(60);
        QCOMPARE(ChangeHistory::count(db, filter).value_or(-1), 0);
        filter.date = Day.addDays(1);
        filter.from = {};
        QCOMPARE(ChangeHistory::count(db, filter).value_or(-1), 0);
    }

    // The sqlite3 program still writes the file; its rows are recorded, marked as written
    // outside (also when this program commits right after it) and sealed at the next opening.
    void outsideWritesAreRecordedAndSealed()
    {
        TestEnvironment env;
        const QString file = env.newDatabase();
        Database db;
        QVERIFY(db.open(file));
        const std::optional<RegisteredLine> line = registerLine(db, apple());
        QVERIFY(line);
        QCOMPARE(sqlite3(file, uR"(UPDATE "棚卸マスター" SET "数量" = 3 WHERE "ID" = %1)"_qs.arg(line->lineId)), 0);
        QVERIFY(registerLine(db, apple())); // commits after the outside row
        db.close();
        QCOMPARE(
            sqlite3(file, uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "品名") VALUES (99, '2026-03-31', '梨'))"_qs),
            0);
        {
            Database reader;
            QVERIFY(reader.open(file, nullptr, Database::Access::ReadOnly));
            const QList<ChangeHistory::Entry> entries = entriesOf(reader);
            QCOMPARE(entries.size(), 4);
            QVERIFY(!entries.last().sealed); // nobody sealed it yet
            QVERIFY(entries.last().outside);
        }
        QVERIFY(db.open(file));
        const QList<ChangeHistory::Entry> entries = entriesOf(db);
        QCOMPARE(entries.size(), 4);
        const QList<bool> outside { false, true, false, true };
        for (int i = 0; i < entries.size(); ++i) {
            QCOMPARE(entries[i].outside, outside[i]);
            QVERIFY(entries[i].sealed);
        }
        QCOMPARE(entries[1].newValues, (QVariantMap { { u"数量"_qs, 3 } }));
        QCOMPARE(entries[3].lineId, 99);
        QVERIFY(!Finalisation::verify(db, Day).historyBroken);
    }

    // A sealed row altered, one removed from the middle, or the last ones removed: verify says so.
    void tamperedHistoryIsFound_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::newRow("altered") << uR"(UPDATE "変更履歴" SET "新値" = '{"数量":1}' WHERE "番号" = 2)"_qs;
        QTest::newRow("middle row deleted") << uR"(DELETE FROM "変更履歴" WHERE "番号" = 2)"_qs;
        QTest::newRow("last row deleted") << uR"(DELETE FROM "変更履歴" WHERE "番号" = 3)"_qs;
        QTest::newRow("station forged") << uR"(UPDATE "変更履歴" SET "端末" = 'someone' WHERE "番号" = 1)"_qs;
    }
    void tamperedHistoryIsFound()
    {
        QFETCH(QString, sql);
        TestEnvironment env;
        const QString file = env.newDatabase();
        {
            Database db;
            QVERIFY(db.open(file));
            for (int i = 0; i < 3; ++i)
                QVERIFY(registerLine(db, apple()));
            QVERIFY(!Finalisation::verify(db, Day).historyBroken);
        }
        QCOMPARE(sqlite3(file, sql), 0);
        Database db;
        QVERIFY(db.open(file));
        // What is written afterwards does not cover it up.
        QVERIFY(registerLine(db, apple()));
        const Finalisation::Verification v = Finalisation::verify(db, Day);
        QVERIFY(v.historyBroken);
        QCOMPARE(v.status, Finalisation::Verification::Status::Changed);
    }

    // An older file gets the history with its upgrade: from then on every write is recorded,
    // and triggers another program dropped are put back at the next opening.
    void upgradedFilesRecordFromThenOn()
    {
        TestEnvironment env;
        const QString file = sampleDatabase(env, 50);
        for (int version = 1; version < Schema::HistoryVersion; ++version) {
            const QString older = env.path(u"v%1.idb"_qs.arg(version));
            QVERIFY(QFile::copy(file, older) && makeVersion(older, version));
            // Without the history the sqlite3 program writes as ever.
            QCOMPARE(sqlite3(older, uR"(UPDATE "棚卸マスター" SET "数量" = 2 WHERE "ID" = 1)"_qs), 0);
            Database db;
            QVERIFY(db.open(older));
            QVERIFY(db.hasHistory());
            QCOMPARE(entriesOf(db).size(), 0);
            QVERIFY(db.exec(uR"(DELETE FROM "棚卸マスター" WHERE "ID" = 1)"_qs));
            QCOMPARE(entriesOf(db).size(), 1);
            db.close();
            QCOMPARE(sqlite3(older, uR"(DROP TRIGGER "棚卸マスター_履歴削除")"_qs), 0);
            QVERIFY(db.open(older));
            QVERIFY(db.exec(uR"(DELETE FROM "棚卸マスター" WHERE "ID" = 2)"_qs));
            QCOMPARE(entriesOf(db).size(), 2);
        }
    }

    // Deleting every line is one entry with the number of lines.
    void dataDeletionIsOneEntry()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(sampleDatabase(env, 300)));
        QVERIFY(FileOps::deleteData(db, FileOps::DataItem::Lines));
        const QList<ChangeHistory::Entry> entries = entriesOf(db);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].kind, ChangeHistory::Kind::BulkDeleted);
        QCOMPARE(entries[0].oldValues.value(u"行数"_qs).toInt(), 300);
        QCOMPARE(rowCount(db, Table::Tana), 0);
    }
};

KOTRINA_REGISTER_TEST(TestHistory)
#include "TestHistory.moc"
