// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/masters/MasterModel.h"

#include <QAbstractItemModelTester>
#include <QSqlQuery>
#include <QTest>

class TestMasterModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void longListsReadInPages();
    void failedOpenLeavesAnEmptyList();
};

void TestMasterModel::longListsReadInPages()
{
    // More records than several pages hold, names repeating so that ties must keep ID order,
    // and gaps in the IDs (every sixth is missing), as deletions leave them.
    TestSession s;
    QVERIFY(s.openNewDatabase());
    const int count = 3 * MasterModel::PageSize + 17;
    QSqlQuery q(s.db().connection());
    QVERIFY(q.exec(u"BEGIN"_qs));
    q.prepare(uR"(INSERT INTO "仕入商品" VALUES (?, ?, ?, '個'))"_qs);
    const auto idOf = [](int n) { return n + n / 5; };
    for (int n = 1; n <= count; ++n) {
        q.addBindValue(idOf(n));
        q.addBindValue(u"品%1"_qs.arg((count - n) / 3, 4, 10, QLatin1Char('0')));
        q.addBindValue(idOf(n) * 10);
        QVERIFY(q.exec());
    }
    QVERIFY(q.exec(u"COMMIT"_qs));

    MasterModel model(MasterTable::products());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDatabase(&s.db());
    QVERIFY(model.open(MasterOrder::ByName));
    QCOMPARE(model.rowCount(), count);
    // Names descend with the ID in groups of three; within a group the IDs ascend.
    QCOMPARE(model.recordId(0), idOf(count - 2));
    QCOMPARE(model.recordId(1), idOf(count - 1));
    QCOMPARE(model.recordId(2), idOf(count));
    for (int row : { 0, 300, count - 1, 5, 600 }) {
        const int id = model.recordId(row);
        QCOMPARE(model.index(row, 0).data().toInt(), id);
        QCOMPARE(model.index(row, 2).data().toInt(), id * 10);
    }

    // Deleting and appending move the rows after them; the fields follow their records.
    const int id300 = model.recordId(300);
    const int id301 = model.recordId(301);
    QVERIFY(model.removeRecord(300));
    QCOMPARE(model.recordId(300), id301);
    QCOMPARE(model.index(300, 2).data().toInt(), id301 * 10);
    QCOMPARE(model.rowOfRecord(id300), -1);
    const int row = model.addRecord();
    QCOMPARE(row, count - 1);
    QCOMPARE(model.recordId(row), idOf(count) + 1);
    QVERIFY(model.index(row, 1).data().isNull());

    QVERIFY(model.open(MasterOrder::ById));
    QCOMPARE(model.recordId(0), 1);
    QCOMPARE(model.recordId(count - 1), idOf(count) + 1);
}

void TestMasterModel::failedOpenLeavesAnEmptyList()
{
    TestSession s;
    QVERIFY(s.openNewDatabase());
    QVERIFY(s.db().exec(uR"(DROP TABLE "単位")"_qs));
    MasterModel model(MasterTable::units());
    model.setDatabase(&s.db());
    QString error;
    QVERIFY(!model.open(MasterOrder::ById, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.addRecord(&error), -1);
}

KOTRINA_REGISTER_TEST(TestMasterModel)
#include "TestMasterModel.moc"
