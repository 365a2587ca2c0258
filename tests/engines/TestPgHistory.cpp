// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/history/ChangeHistory.h"
#include "core/history/Finalisation.h"
#include "core/lines/LineRegistration.h"
#include "core/masters/ProductCodes.h"
#include "core/store/DatabaseName.h"
#include "core/store/HistoryTrail.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>

namespace {

const QDate Day(2026, 3, 31);
const QStringList DateOption { u"--date"_qs, u"2026-03-31"_qs };

LineInput lineOf(const QString& name, double quantity = 10, double price = 120)
{
    return { Day, 0, name, quantity, QStringLiteral("個"), price, QString() }; // 未区分: always registered
}

// Runs statements on a plain connection of its own, as psql or the sqlite3 program would:
// nothing of what this program sets up for its own connections. The first error's text, or
// empty when every statement ran.
QString outside(const QString& name, const QStringList& statements)
{
    const QString connection = QStringLiteral("outside program");
    QString error;
    {
        const bool server = DatabaseName::isServer(name);
        QSqlDatabase db = QSqlDatabase::addDatabase(server ? u"QPSQL"_qs : u"QSQLITE"_qs, connection);
        if (server) {
            // The server and the user come from the PG* variables, as for psql.
            const std::optional<DatabaseName::Server> parts = DatabaseName::parse(name);
            db.setDatabaseName(parts ? parts->database : QString());
        } else {
            db.setDatabaseName(name);
        }
        if (!db.open())
            error = db.lastError().text();
        QSqlQuery q(db);
        for (const QString& statement : statements) {
            if (error.isEmpty() && !q.exec(statement))
                error = q.lastError().text();
        }
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
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

// The lines the outside program of stationsWritingTogetherKeepOneChain got in.
qsizetype linesWrittenOutside(const Database& db)
{
    QSqlQuery q(db.connection());
    return q.exec(uR"(SELECT count(*) FROM "棚卸マスター" WHERE "品名" LIKE '外%')"_qs) && q.next()
        ? q.value(0).toLongLong()
        : -1;
}

// A product registered as the product screen adds one; its ID.
int addProduct(const Database& db, const QString& name)
{
    if (!db.exec(uR"(INSERT INTO "仕入商品" ("品名ID", "品名", "単価", "単位") VALUES (?, ?, 100, '個'))"_qs,
                 { db.nextId(Table::Shohin), name }))
        return 0;
    return ProductCodes::productIdByName(db, name).value_or(0);
}

QString ean13(const QString& twelve)
{
    return twelve + QString::number(ProductCodes::checkDigit(twelve));
}

} // namespace

// The change history, finalising and the products' codes, on a file and on a server alike.
class TestPgHistory : public QObject
{
    Q_OBJECT

private slots:
    // A registration, a change and a deletion are one entry each, with the values that
    // changed, this computer's station and their seals; the mark of the checks is none.
    void changesOfALineAreRecordedWithTheStation()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(freshDatabase(env)));
        QVERIFY(db.hasHistory());
        const std::optional<RegisteredLine> line = registerLine(db, lineOf(u"りんご"_qs));
        QVERIFY(line);
        QVERIFY(
            db.exec(uR"(UPDATE "棚卸マスター" SET "数量" = 12, "価格" = 1440 WHERE "ID" = ?)"_qs, { line->lineId }));
        QVERIFY(db.exec(uR"(UPDATE "棚卸マスター" SET "区分調整" = 1 WHERE "ID" = ?)"_qs, { line->lineId }));
        QVERIFY(deleteLine(db, line->lineId));

        const std::optional<QList<ChangeHistory::Entry>> entries = ChangeHistory::ofLine(db, line->lineId);
        QVERIFY(entries);
        QCOMPARE(entries->size(), 3);
        QCOMPARE(entries->at(0).kind, ChangeHistory::Kind::Inserted);
        QCOMPARE(entries->at(0).newValues.value(u"品名"_qs).toString(), u"りんご"_qs);
        QCOMPARE(entries->at(0).newValues.value(u"価格"_qs).toDouble(), 1200.0);
        QVERIFY(entries->at(0).newValues.contains(u"備考"_qs)); // told, empty
        QVERIFY(entries->at(0).newValues.value(u"備考"_qs).isNull());
        QCOMPARE(ChangeHistory::describe(entries->at(1)), u"数量: 10 → 12、価格: 1200 → 1440"_qs);
        QCOMPARE(entries->at(2).kind, ChangeHistory::Kind::Deleted);
        QCOMPARE(entries->at(2).oldValues.value(u"数量"_qs).toDouble(), 12.0);
        for (const ChangeHistory::Entry& e : *entries) {
            QCOMPARE(e.station, HistoryTrail::station());
            QVERIFY(e.sealed);
            QCOMPARE(e.date, Day);
            QCOMPARE(e.name, u"りんご"_qs);
        }
        // The list of the date narrows by name and by the amount the line had then.
        ChangeHistory::Filter filter;
        filter.date = Day;
        filter.nameText = u"りん"_qs;
        filter.minAmount = 1300;
        QCOMPARE(ChangeHistory::count(db, filter).value_or(-1), 2);
        const Run r = kotrina({ u"history"_qs, db.fileName(), u"--date"_qs, u"2026-03-31"_qs });
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.count(HistoryTrail::station()), 3);
    }

    // Rows written without this program (psql, the sqlite3 program) are recorded all the
    // same, marked as written outside and sealed: by the next commit of this program, or by
    // its next opening.
    void outsideWritesAreMarkedAndSealed()
    {
        TestEnvironment env;
        const QString name = freshDatabase(env);
        Database db;
        QVERIFY(db.open(name));
        QVERIFY(registerLine(db, lineOf(u"りんご"_qs)));
        QCOMPARE(outside(name, { uR"(UPDATE "棚卸マスター" SET "数量" = 3 WHERE "品名" = 'りんご')"_qs }), QString());
        QVERIFY(registerLine(db, lineOf(u"みかん"_qs)));
        db.close();
        QCOMPARE(
            outside(name,
                    { uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "品名") VALUES (99, '2026-03-31', '梨'))"_qs }),
            QString());
        QVERIFY(db.open(name));
        const QList<ChangeHistory::Entry> entries = entriesOf(db);
        QCOMPARE(entries.size(), 4);
        const QList<bool> outsideRows { false, true, false, true };
        for (int i = 0; i < entries.size(); ++i) {
            QCOMPARE(entries[i].outside, outsideRows[i]);
            QCOMPARE(entries[i].station,
                     outsideRows[i] ? QString::fromUtf8(HistoryTrail::OutsideStation) : HistoryTrail::station());
            QVERIFY(entries[i].sealed);
        }
        QCOMPARE(entries[1].newValues, (QVariantMap { { u"数量"_qs, 3 } }));
        QCOMPARE(entries[3].lineId, 99);
        QVERIFY(!Finalisation::verify(db, Day).historyBroken);

        // A trigger another program took away is put back at the next opening.
        const QString drop = db.engine() == Engine::Postgres
            ? uR"(DROP TRIGGER "棚卸マスター_履歴削除" ON "棚卸マスター")"_qs
            : uR"(DROP TRIGGER "棚卸マスター_履歴削除")"_qs;
        db.close();
        QCOMPARE(outside(name, { drop }), QString());
        QVERIFY(db.open(name));
        QCOMPARE(outside(name, { uR"(DELETE FROM "棚卸マスター" WHERE "ID" = 99)"_qs }), QString());
        QCOMPARE(entriesOf(db).size(), 5);
        QCOMPARE(entriesOf(db).constLast().kind, ChangeHistory::Kind::Deleted);
    }

    // Two stations register and correct lines at the same moment while another program
    // writes too: every line and change is in the history once, in one unbroken chain of
    // seals, and the date finalised afterwards verifies.
    void stationsWritingTogetherKeepOneChain()
    {
        TestEnvironment env;
        const QString name = freshDatabase(env);
        constexpr int PerStation = 25;
        std::atomic<int> written { 0 };
        const auto station = [&](int number) {
            Database db;
            if (!db.open(name))
                return;
            for (int i = 0; i < PerStation; ++i) {
                const QString product = u"品%1-%2"_qs.arg(number).arg(i);
                // A file takes one writer at a time: a station that meets another's write tries again.
                std::optional<RegisteredLine> line;
                for (int attempt = 0; attempt < 100 && !line; ++attempt) {
                    if (!(line = registerLine(db, lineOf(product))))
                        QThread::msleep(3);
                }
                for (int attempt = 0; attempt < 100 && line; ++attempt) {
                    if (db.exec(uR"(UPDATE "棚卸マスター" SET "数量" = 11, "価格" = 1320 WHERE "ID" = ?)"_qs,
                                { line->lineId })) {
                        ++written;
                        break;
                    }
                    QThread::msleep(3);
                }
            }
        };
        std::unique_ptr<QThread> first(QThread::create(station, 1));
        std::unique_ptr<QThread> second(QThread::create(station, 2));
        first->start();
        second->start();
        QStringList outsideErrors;
        for (int i = 0; i < 5; ++i) {
            const QString error = outside(name, { uR"(INSERT INTO "棚卸マスター" ("日付", "品名", "単価", "価格")
                       VALUES ('2026-03-31', '外%1', 10, 10))"_qs.arg(i) });
            if (!error.isEmpty() && !error.contains(u"locked"_qs))
                outsideErrors << error;
            QThread::msleep(5);
        }
        QVERIFY(first->wait(120000));
        QVERIFY(second->wait(120000));
        QVERIFY2(outsideErrors.isEmpty(), qPrintable(outsideErrors.join(u'\n')));
        QCOMPARE(written.load(), 2 * PerStation);

        Database db;
        QVERIFY(db.open(name));
        const QList<ChangeHistory::Entry> entries = entriesOf(db);
        int ours = 0;
        for (const ChangeHistory::Entry& e : entries) {
            QVERIFY(e.sealed);
            ours += e.station == HistoryTrail::station() ? 1 : 0;
        }
        QCOMPARE(ours, 4 * PerStation);
        QCOMPARE(entries.size() - ours, linesWrittenOutside(db));
        QVERIFY(!Finalisation::verify(db, Day).historyBroken);
        db.close();
        const Run finalised = kotrina(QStringList { u"finalise"_qs, name } + DateOption);
        QVERIFY2(finalised.status == 0, qPrintable(finalised.err));
        const Run verified = kotrina(QStringList { u"verify"_qs, name } + DateOption);
        QVERIFY2(verified.status == 0, qPrintable(verified.out + verified.err));
    }

    // A finalised date refuses every change to its lines, from this program's functions with
    // the date and time it was finalised at, and from another program by the database itself;
    // undone with a reason it takes them again. Both are entries of the history.
    void aFinalisedDateRefusesWrites()
    {
        TestEnvironment env;
        const QString name = freshDatabase(env);
        Database db;
        QVERIFY(db.open(name));
        const std::optional<RegisteredLine> line = registerLine(db, lineOf(u"りんご"_qs));
        QVERIFY(line);
        const Finalisation::Outcome done = Finalisation::finalise(db, Day, {});
        QVERIFY2(done.status == Finalisation::Outcome::Status::Done, qPrintable(done.message));
        QVERIFY(done.record);

        QString refusal;
        QVERIFY(!registerLine(db, lineOf(u"みかん"_qs), &refusal));
        QVERIFY2(refusal.contains(done.record->finalisedAt.toString(u"yyyy/MM/dd HH:mm:ss"_qs)), qPrintable(refusal));
        QString engine;
        QVERIFY(!db.exec(uR"(UPDATE "棚卸マスター" SET "数量" = 1 WHERE "ID" = ?)"_qs, { line->lineId }, &engine));
        QVERIFY2(engine.contains(QString::fromUtf8(HistoryTrail::LockedByTrigger)), qPrintable(engine));
        QVERIFY(outside(name, { uR"(DELETE FROM "棚卸マスター")"_qs })
                    .contains(QString::fromUtf8(HistoryTrail::LockedByTrigger)));
        // The checks' mark is no change of the lines: printing a finalised date goes on.
        QVERIFY(db.exec(uR"(UPDATE "棚卸マスター" SET "区分調整" = 1 WHERE "ID" = ?)"_qs, { line->lineId }));
        // A finalisation's record is kept as written.
        QVERIFY(!outside(name, { uR"(UPDATE "棚卸確定" SET "合計" = 0)"_qs }).isEmpty());
        QCOMPARE(Finalisation::finalise(db, Day, {}).status, Finalisation::Outcome::Status::AlreadyFinalised);
        QCOMPARE(Finalisation::verify(db, Day).status, Finalisation::Verification::Status::Unchanged);

        const Run filed = kotrina(QStringList { u"filed"_qs, name } + DateOption
                                  + QStringList { u"--pdf"_qs, env.path(u"filed.pdf"_qs) });
        QVERIFY2(filed.status == 0, qPrintable(filed.err));
        QFile pdf(env.path(u"filed.pdf"_qs));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(QCryptographicHash::hash(pdf.readAll(), QCryptographicHash::Sha256).toHex(),
                 done.record->pdfHash.toLatin1());

        QVERIFY(!Finalisation::undo(db, Day, u"  "_qs, &refusal));
        QVERIFY(Finalisation::undo(db, Day, u"数え直し"_qs, &refusal));
        QVERIFY(registerLine(db, lineOf(u"みかん"_qs)));
        const QList<ChangeHistory::Entry> entries = entriesOf(db);
        QCOMPARE(entries.size(), 4);
        QCOMPARE(entries[1].kind, ChangeHistory::Kind::Finalised);
        QCOMPARE(entries[1].newValues.value(u"行数"_qs).toInt(), 1);
        QCOMPARE(entries[2].kind, ChangeHistory::Kind::Undone);
        QCOMPARE(ChangeHistory::describe(entries[2]), u"理由: 数え直し"_qs);
        QCOMPARE(Finalisation::records(db, Day).value_or(QList<Finalisation::Record>()).size(), 1);
        QVERIFY(!Finalisation::verify(db, Day).historyBroken);
        db.close();
        const Run again = kotrina(QStringList { u"finalise"_qs, name } + DateOption);
        QVERIFY2(again.status == 0, qPrintable(again.err));
        const Run verified = kotrina(QStringList { u"verify"_qs, name } + DateOption);
        QCOMPARE(verified.status, 0);
        QVERIFY(outside(name, { uR"(UPDATE "棚卸マスター" SET "数量" = 2 WHERE "品名" = 'みかん')"_qs })
                    .contains(QString::fromUtf8(HistoryTrail::LockedByTrigger)));
    }

    // Many lines written at once by this program (an import) are one entry; other stations
    // go on recording meanwhile; a date another station finalised before the entry is written
    // refuses it (on a file the write lock keeps the other station out until the commit).
    void aBulkChangeIsOneEntry()
    {
        TestEnvironment env;
        const QString name = freshDatabase(env);
        Database db;
        QVERIFY(db.open(name));
        Database other;
        QVERIFY(other.open(name));
        const auto bulkWrite = [&](const QString& day, int lines, QString* error) {
            Transaction transaction(db);
            HistoryTrail::BulkChange bulk(db.connection());
            if (!transaction.isActive() || !bulk.isActive())
                return false;
            for (const QString& sql : HistoryTrail::suspendLineTriggers(db.connection())) {
                if (!db.exec(sql, {}, error))
                    return false;
            }
            for (int i = 0; i < lines; ++i) {
                if (!db.exec(
                        uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "品名", "単価", "価格") VALUES (?, ?, ?, 10, 10))"_qs,
                        { db.nextId(Table::Tana), day, u"取込%1"_qs.arg(i) }, error))
                    return false;
            }
            // Another station's line while the lines go in: recorded as ever on a server.
            if (db.engine() == Engine::Postgres && !registerLine(other, lineOf(u"別端末"_qs), error))
                return false;
            for (const QString& sql : HistoryTrail::resumeLineTriggers(db.connection())) {
                if (!db.exec(sql, {}, error))
                    return false;
            }
            return bulk.finish(QString::fromUtf8(HistoryTrail::KindImported), day,
                               uR"({"ファイル": "棚卸.txt", "行数": %1})"_qs.arg(lines), error)
                && transaction.commit(error);
        };
        QString error;
        QVERIFY2(bulkWrite(u"2026-03-31"_qs, 3, &error), qPrintable(error));
        QVERIFY(registerLine(db, lineOf(u"りんご"_qs)));
        QList<ChangeHistory::Entry> entries = entriesOf(db);
        QCOMPARE(entries.size(), db.engine() == Engine::Postgres ? 3 : 2);
        const ChangeHistory::Entry& imported = entries[db.engine() == Engine::Postgres ? 1 : 0];
        QCOMPARE(imported.kind, ChangeHistory::Kind::Imported);
        QCOMPARE(ChangeHistory::describe(imported), u"棚卸.txt（3 行）"_qs);
        QCOMPARE(imported.station, HistoryTrail::station());
        QCOMPARE(entries.last().newValues.value(u"品名"_qs).toString(), u"りんご"_qs);
        for (const ChangeHistory::Entry& e : entries)
            QVERIFY(e.sealed);

        if (db.engine() == Engine::Postgres) {
            // The other station finalises the date while this one is writing into it.
            Transaction transaction(db);
            HistoryTrail::BulkChange bulk(db.connection());
            QVERIFY(db.exec(HistoryTrail::suspendLineTriggers(db.connection()).constFirst()));
            QVERIFY(db.exec(uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "品名") VALUES (?, '2026-03-31', '遅れ'))"_qs,
                            { db.nextId(Table::Tana) }));
            const Finalisation::Outcome done = Finalisation::finalise(other, Day, {});
            QVERIFY2(done.status == Finalisation::Outcome::Status::Done, qPrintable(done.message));
            QVERIFY(!bulk.finish(QString::fromUtf8(HistoryTrail::KindImported), u"2026-03-31"_qs, u"{}"_qs, &error));
            QCOMPARE(error, QString::fromUtf8(HistoryTrail::LockedByTrigger));
        }
        QVERIFY(!Finalisation::verify(db, Day).historyBroken);
    }

    // Codes are found, added, refused on another product, replaced and removed; they go with
    // their product; `kotrina codes` lists and adds them.
    void codesOfProducts()
    {
        TestEnvironment env;
        const QString name = freshDatabase(env);
        Database db;
        QVERIFY(db.open(name));
        QVERIFY(ProductCodes::available(db));
        const int apple = addProduct(db, u"りんご"_qs);
        const int pear = addProduct(db, u"梨"_qs);
        QVERIFY(apple > 0 && pear > 0 && apple != pear);
        const QString first = ean13(u"490123456789"_qs);
        const QString second = ean13(u"490123456780"_qs);
        QString error;
        QVERIFY2(ProductCodes::addCode(db, apple, first, &error), qPrintable(error));
        QVERIFY(ProductCodes::addCode(db, apple, first, &error)); // its own already
        QVERIFY(ProductCodes::addCode(db, apple, second, &error));
        const std::optional<ProductCodes::Owner> found = ProductCodes::findByCode(db, second);
        QVERIFY(found);
        QCOMPARE(found->productId, apple);
        QVERIFY(!ProductCodes::findByCode(db, ean13(u"490123456781"_qs)));

        QVERIFY(!ProductCodes::addCode(db, pear, first, &error));
        QVERIFY2(error.contains(u"りんご"_qs), qPrintable(error));
        QVERIFY(!ProductCodes::setCodes(db, pear, { first }, &error));
        QCOMPARE(ProductCodes::findByCode(db, first)->productId, apple);

        QVERIFY(ProductCodes::setCodes(db, apple, { second }, &error));
        QVERIFY(!ProductCodes::findByCode(db, first));
        QVERIFY(ProductCodes::setCodes(db, pear, { first }, &error));
        QVERIFY(ProductCodes::removeCode(db, first));
        QVERIFY(!ProductCodes::findByCode(db, first));

        Run r = kotrina({ u"codes"_qs, name, u"--add"_qs, u"梨="_qs + first });
        QVERIFY2(r.status == 0, qPrintable(r.err));
        r = kotrina({ u"codes"_qs, name, u"--add"_qs, u"梨="_qs + second });
        QVERIFY(r.status != 0);
        QVERIFY2(r.err.contains(u"りんご"_qs), qPrintable(r.err));
        r = kotrina({ u"codes"_qs, name });
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(u"\t梨\t"_qs + first), qPrintable(r.out));

        // A product deleted, by this program or another, takes its codes with it.
        QVERIFY(db.exec(uR"(DELETE FROM "仕入商品" WHERE "品名ID" = ?)"_qs, { apple }));
        QVERIFY(!ProductCodes::findByCode(db, second));
        QCOMPARE(outside(name, { uR"(DELETE FROM "仕入商品" WHERE "品名" = '梨')"_qs }), QString());
        QVERIFY(!ProductCodes::findByCode(db, first));
    }
};

KOTRINA_REGISTER_TEST(TestPgHistory)

#include "TestPgHistory.moc"
