// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "OutsideFile.h"
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/lines/LineRegistration.h"
#include "core/masters/ProductCodes.h"
#include "core/store/DatabaseCopy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <functional>

namespace {

const QDate Day(2026, 3, 31);
const QDate Earlier(2025, 3, 31);

// The far end of a copy: a new file on SQLite, a new empty database on the server in the
// PostgreSQL run.
QString otherEnd(const TestEnvironment& env, const QString& name)
{
    if (testEngine() == Engine::Postgres)
        return freshDatabase(env, name);
    return env.path(name + QStringLiteral(".idb"));
}

// Every row of every table a copy carries, in key order, each value with its kind, so the two
// ends are compared as the program reads them (a stored PDF by its SHA-256).
QStringList rowsOf(const QString& name)
{
    Database db;
    if (!db.open(name, nullptr, Database::Access::ReadOnly))
        return { QStringLiteral("cannot open ") + name };
    QStringList rows;
    const QList<std::pair<const char*, const char*>> tables
        = { { "単位", "単位ID" },     { "仕入商品", "品名ID" }, { "商品コード", "コード" }, { "項目分類", "項目ID" },
            { "棚卸マスター", "ID" }, { "変更履歴", "番号" },   { "棚卸確定", "番号" },     { "履歴封印", "番号" } };
    for (const auto& [table, key] : tables) {
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral(R"(SELECT * FROM "%1" ORDER BY "%2")")
                        .arg(QString::fromUtf8(table), QString::fromUtf8(key)))) {
            rows << QStringLiteral("cannot read ") + QString::fromUtf8(table);
            continue;
        }
        while (q.next()) {
            QStringList values { QString::fromUtf8(table) };
            for (int i = 0; i < q.record().count(); ++i) {
                const QVariant v = q.value(i);
                if (v.isNull())
                    values << QStringLiteral("NULL");
                else if (v.typeId() == QMetaType::QByteArray)
                    values << QString::fromLatin1(
                        QCryptographicHash::hash(v.toByteArray(), QCryptographicHash::Sha256).toHex());
                else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong
                         || v.typeId() == QMetaType::Int)
                    values << QString::number(v.toDouble(), 'g', 17);
                else
                    values << v.toString();
            }
            rows << values.join(QLatin1Char('|'));
        }
    }
    return rows;
}

// `kotrina …` as a program of its own (the commands that draw pages need its fonts).
Run program(const TestEnvironment& env, const QStringList& args)
{
    QProcess p;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KOTRINA_HOME"), env.dataDir());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(environment);
    p.start(QStringLiteral(KOTRINA_EXECUTABLE), args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return { -1, {}, QStringLiteral("did not end") };
    return { p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError()) };
}

// The words of the stocktaking sheet of date printed from the database by the command line.
QString sheetWords(const TestEnvironment& env, const QString& name, QDate date)
{
    const QString pdf = env.path(QStringLiteral("sheet.pdf"));
    QFile::remove(pdf);
    const Run printed
        = program(env, { u"print"_qs, u"sheet"_qs, name, u"--date"_qs, date.toString(Qt::ISODate), u"--pdf"_qs, pdf });
    if (printed.status != 0)
        return QStringLiteral("print failed: ") + printed.err;
    QProcess text;
    text.start(QStringLiteral("pdftotext"), { pdf, QStringLiteral("-") });
    text.waitForFinished(60000);
    return QString::fromUtf8(text.readAllStandardOutput()).simplified();
}

// A business with everything a copy must carry: lines another program wrote (a category gone,
// a product missing, figures no binary fraction holds exactly), a line of this program with its
// history, a product's code, and an earlier date finalised with its stored sheet.
QString fullBusiness(const TestEnvironment& env)
{
    const QString file = env.newDatabase();
    QProcess sqlite;
    sqlite.start(QStringLiteral("/usr/bin/sqlite3"), { file });
    sqlite.waitForStarted();
    sqlite.write(R"(
INSERT INTO 項目分類 VALUES (1, '食品'), (2, '雑貨');
INSERT INTO 仕入商品 VALUES (1, 'りんご', 100, '個'), (2, 'ﾒﾓ帳', 80, '冊');
INSERT INTO 単位 VALUES (1, '個'), (2, '冊');
INSERT INTO 棚卸マスター VALUES
  (3, '2026-03-31', 1, 'りんご', 0.125, '個', 100, 12, NULL, NULL, 1, 0),
  (1, '2026-03-31', 1, 'りんご', 10, '個', 100, 1000, NULL, NULL, 1, 0),
  (4, '2026-03-31', 2, 'ﾒﾓ帳', 2, '冊', 80, 160, NULL, NULL, 2, 0),
  (5, '2026-03-31', 1, '幻の品', 1, '個', 5, 5, '', NULL, 9, 0),
  (2, '2025-03-31', 1, 'りんご', 1, '個', 100, 100, '見本', NULL, 1, 0),
  (6, '2025-03-31', 1, 'りんご', 0.1, '個', 100.7, 10.07, NULL, '端数', 1, 0);
DELETE FROM 項目分類 WHERE 項目ID = 2;
)");
    sqlite.closeWriteChannel();
    if (!sqlite.waitForFinished() || sqlite.exitCode() != 0)
        return {};
    {
        Database db;
        QString error;
        if (!db.open(file, &error)
            || !registerLine(db, { Day, 1, QStringLiteral("みかん"), 3, QStringLiteral("箱"), 1200.5, u"棚A"_qs },
                             &error)
            || !ProductCodes::addCode(db, 1, QStringLiteral("4901234567894"), &error)) {
            qWarning() << "business not made:" << error;
            return {};
        }
    }
    const Run finalised = program(env, { u"finalise"_qs, file, u"--date"_qs, Earlier.toString(Qt::ISODate) });
    if (finalised.status != 0) {
        qWarning() << "not finalised:" << finalised.err;
        return {};
    }
    return file;
}

} // namespace

class TestCopy : public QObject
{
    Q_OBJECT

private slots:
    // Up to the other end and back to a file: every row and ID arrives as it was (the history
    // with its seals, the stored sheet), the copy records no history of its own, the checks,
    // the verification and the printed sheet agree at every end, and the next line registered
    // at the far end takes the next ID and is recorded again.
    void movesEveryRowUpAndBack()
    {
        TestEnvironment env;
        const QString file = fullBusiness(env);
        QVERIFY(!file.isEmpty());
        const QStringList original = rowsOf(file);
        QVERIFY(original.filter(QStringLiteral("棚卸確定|")).size() == 1);

        const QString up = otherEnd(env, QStringLiteral("up"));
        const Run copied = kotrina({ u"copy"_qs, file, up });
        QVERIFY2(copied.status == 0, qPrintable(copied.err));
        QVERIFY(copied.out.contains(QStringLiteral("行をコピーしました")));
        QCOMPARE(rowsOf(up), original);

        const QString back = env.path(QStringLiteral("back.idb"));
        QCOMPARE(kotrina({ u"copy"_qs, up, back }).status, 0);
        QCOMPARE(rowsOf(back), original);

        for (const QString& end : { file, up, back }) {
            const Run check = kotrina({ u"check"_qs, end, u"--date"_qs, Day.toString(Qt::ISODate) });
            QCOMPARE(check.status, 1);
            QCOMPARE(check.out, kotrina({ u"check"_qs, file, u"--date"_qs, Day.toString(Qt::ISODate) }).out);
            const Run verified = kotrina({ u"verify"_qs, end, u"--date"_qs, Earlier.toString(Qt::ISODate) });
            QVERIFY2(verified.status == 0, qPrintable(end + verified.out + verified.err));
        }
        const QString words = sheetWords(env, file, Earlier);
        QVERIFY(words.contains(QStringLiteral("りんご")));
        QCOMPARE(sheetWords(env, up, Earlier), words);
        QCOMPARE(sheetWords(env, back, Earlier), words);

        Database far;
        QVERIFY(far.open(up));
        const std::optional<RegisteredLine> next
            = registerLine(far, { Day, 1, QStringLiteral("ぶどう"), 1, QStringLiteral("房"), 500, QString() });
        QVERIFY(next);
        QCOMPARE(next->lineId, 8);
        QCOMPARE(rowsOf(up).filter(QStringLiteral("変更履歴|")).size(),
                 original.filter(QStringLiteral("変更履歴|")).size() + 1);
    }

    // A target that holds a business is refused with status 2 and what it holds, and left as
    // it was; one made from the template (the reserved category alone) takes the copy; a
    // database is never copied onto itself.
    void takesOnlyAnEmptyTarget()
    {
        TestEnvironment env;
        const QString file = madeOutside(env);
        QVERIFY(!file.isEmpty());
        const QString used = env.newDatabase(QStringLiteral("used.idb"));
        {
            Database db;
            QVERIFY(db.open(used));
            QVERIFY(registerLine(db, { Day, 0, QStringLiteral("いちご"), 1, QStringLiteral("パック"), 400, {} }));
        }
        const QStringList before = rowsOf(used);
        const Run refused = kotrina({ u"copy"_qs, file, used });
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.err.contains(QStringLiteral("すでにデータがあります（")), qPrintable(refused.err));
        QVERIFY(refused.err.contains(QStringLiteral("棚卸 1 件")));
        QCOMPARE(rowsOf(used), before);
        QVERIFY(!DatabaseCopy::refusalOf(used).isEmpty());

        const QString empty = env.newDatabase(QStringLiteral("empty.idb"));
        QVERIFY(DatabaseCopy::refusalOf(empty).isEmpty());
        QCOMPARE(kotrina({ u"copy"_qs, file, empty }).status, 0);
        QCOMPARE(rowsOf(empty), rowsOf(file));

        const Run itself = kotrina({ u"copy"_qs, file, file });
        QCOMPARE(itself.status, 2);
        QVERIFY(itself.err.contains(QStringLiteral("コピー元とコピー先が同じです")));
    }

    // Stopped half-way, a copy leaves nothing: a new file is not made (nor its temporary
    // file left), an empty target stays empty.
    void aStoppedCopyLeavesNothing()
    {
        TestEnvironment env;
        const QString source = sampleDatabase(env, 20000);
        QVERIFY(!source.isEmpty());
        const auto stopHalfWay = [](qint64 done, qint64 total) { return done * 2 < total; };

        const QString fresh = env.path(QStringLiteral("fresh/new.idb"));
        QVERIFY(QDir().mkpath(QFileInfo(fresh).path()));
        DatabaseCopy::Result result = DatabaseCopy::copy(source, fresh, stopHalfWay);
        QCOMPARE(result.status, DatabaseCopy::Result::Status::Cancelled);
        QCOMPARE(QDir(QFileInfo(fresh).path()).entryList(QDir::Files | QDir::Hidden), QStringList());

        const QString empty = env.newDatabase(QStringLiteral("empty.idb"));
        const QStringList before = rowsOf(empty);
        result = DatabaseCopy::copy(source, empty, stopHalfWay);
        QCOMPARE(result.status, DatabaseCopy::Result::Status::Cancelled);
        QVERIFY(result.message.contains(QStringLiteral("何も書き込んでいません")));
        QCOMPARE(rowsOf(empty), before);
    }

    // kill -9 in the middle of a copy leaves nothing behind either: no new file (and its
    // temporary file goes at the next start), an existing empty file put back as it was.
    void aKilledCopyLeavesNothing()
    {
        TestEnvironment env;
        const QString source = sampleDatabase(env, 200000);
        QVERIFY(!source.isEmpty());
        const QString fresh = env.path(QStringLiteral("fresh/new.idb"));
        QVERIFY(QDir().mkpath(QFileInfo(fresh).path()));
        const QString empty = env.newDatabase(QStringLiteral("empty.idb"));
        const QStringList before = rowsOf(empty);
        // What shows that the copy is writing: its temporary file, or the empty file's journal.
        const QList<std::pair<QString, std::function<bool()>>> cases {
            { fresh, [&] { return !QDir(QFileInfo(fresh).path()).entryList(QDir::Files | QDir::Hidden).isEmpty(); } },
            { empty, [&] { return QFileInfo::exists(empty + QStringLiteral("-journal")); } },
        };
        for (const auto& [target, writing] : cases) {
            QProcess copy;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("KOTRINA_HOME"), env.dataDir());
            copy.setProcessEnvironment(environment);
            copy.start(QStringLiteral(KOTRINA_EXECUTABLE), { u"copy"_qs, source, target });
            QVERIFY(copy.waitForStarted());
            QVERIFY(QTest::qWaitFor(writing, 30000));
            copy.kill();
            QVERIFY(copy.waitForFinished());
        }
        QVERIFY(!QFileInfo::exists(fresh));
        QCOMPARE(rowsOf(empty), before);
        kotrina({ u"version"_qs }); // a start of a command: the killed run's leftovers go
        QCOMPARE(QDir(QFileInfo(fresh).path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

KOTRINA_REGISTER_TEST(TestCopy)

#include "TestCopy.moc"
