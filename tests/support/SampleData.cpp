// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"

#include "TestEnvironment.h"
#include "core/store/DatabaseName.h"
#include "core/store/HistoryTrail.h"
#include "core/store/NameIndex.h"
#include "core/store/Schema.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

Engine testEngine()
{
    return qEnvironmentVariable("KOTRINA_TEST_ENGINE").compare(u"postgresql", Qt::CaseInsensitive) == 0
        ? Engine::Postgres
        : Engine::Sqlite;
}

QString serverUri(const QString& database)
{
    DatabaseName::Server server;
    server.database = database;
    return DatabaseName::format(server);
}

QString freshDatabase(const TestEnvironment& env, const QString& name, QString* error)
{
    if (testEngine() == Engine::Sqlite)
        return env.newDatabase(name);
    // Database names are folded to lower case unless quoted: the name keeps to what needs no
    // quoting in a URI or in SQL.
    static int made = 0;
    QString base;
    for (QChar c : QFileInfo(name).completeBaseName().toLower())
        base += (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ? c : QChar(u'_');
    const QString database
        = QStringLiteral("kt_%1_%2_%3").arg(QCoreApplication::applicationPid()).arg(++made).arg(base.left(30));
    const QString connection = QStringLiteral("fresh database");
    bool created = false;
    {
        QSqlDatabase server = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        server.setDatabaseName(QStringLiteral("postgres"));
        if (server.open()) {
            QSqlQuery q(server);
            created = q.exec(QStringLiteral(R"(CREATE DATABASE "%1")").arg(database));
            if (!created && error)
                *error = q.lastError().text();
        } else if (error) {
            *error = server.lastError().text();
        }
        server.close();
    }
    QSqlDatabase::removeDatabase(connection);
    const QString uri = serverUri(database);
    return created && Database::initServer(uri, error) ? uri : QString();
}

bool addSampleLines(const Database& db, int count, QDate date)
{
    Transaction transaction(db);
    // Sample lines are the file's starting point, no entries of its history.
    std::optional<HistoryTrail::BulkChange> quiet;
    if (db.hasHistory())
        quiet.emplace(db.connection());
    const int first = db.reserveIds(Table::Tana, count);
    const bool ok = db.exec(QStringLiteral(R"(
        WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?)
        INSERT INTO "棚卸マスター"
        SELECT ? + i, ?, 1 + i % 60, '商品名・サンプル第' || i || '号（特大）', 1 + i % 17, '個',
               100 + i % 900, (1 + i % 17) * (100 + i % 900), '備考欄の文章', NULL, 1 + i % 1000, 0
        FROM n)"),
                            { count, first, date.toString(Qt::ISODate) })
        && db.exec(QStringLiteral(R"(
        INSERT INTO "仕入商品"
        SELECT "品名ID", '商品名・サンプル第' || ("品名ID" - 1) || '号（特大）', "単価", "単位"
        FROM "棚卸マスター" WHERE "ID" IN (SELECT MIN("ID") FROM "棚卸マスター" GROUP BY "品名ID")
        ON CONFLICT DO NOTHING)"))
        && db.exec(QStringLiteral(R"(INSERT INTO "単位" VALUES (1, '個') ON CONFLICT DO NOTHING)")) && db.catchUpIds();
    quiet.reset();
    return ok && transaction.commit();
}

QString sampleDatabase(const TestEnvironment& env, int count, const QString& name)
{
    const QString file = freshDatabase(env, name);
    Database db;
    return db.open(file) && addSampleLines(db, count) ? file : QString();
}

int rowCount(const Database& db, Table table)
{
    QSqlQuery q(db.connection());
    if (!q.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "%1")").arg(tableName(table))) || !q.next())
        return -1;
    return q.value(0).toInt();
}

QByteArray damageDataPage(const QString& path)
{
    // The lines' table spans many pages under an interior root page: the header of the
    // child its middle cell points to is overwritten.
    int root = 0;
    {
        Database db;
        if (!db.open(path))
            return {};
        QSqlQuery q(db.connection());
        if (q.exec(QStringLiteral(R"(SELECT rootpage FROM sqlite_master WHERE name = '棚卸マスター')")) && q.next())
            root = q.value(0).toInt();
    }
    QFile file(path);
    if (root < 2 || !file.open(QIODevice::ReadWrite))
        return {};
    QByteArray bytes = file.readAll();
    auto number = [&](qsizetype at, int size) {
        quint32 n = 0;
        for (int i = 0; i < size; ++i)
            n = (n << 8) | quint8(bytes[at + i]);
        return qsizetype(n);
    };
    const qsizetype pageSize = number(16, 2);
    const qsizetype page = (root - 1) * pageSize;
    if (bytes.size() < page + pageSize || bytes[page] != char(0x05))
        return {};
    const qsizetype cells = number(page + 3, 2);
    const qsizetype cell = page + number(page + 12 + 2 * (cells / 2), 2);
    const qsizetype child = (number(cell, 4) - 1) * pageSize;
    for (qsizetype i = child; i < child + 12; ++i)
        bytes[i] = char(0x5a);
    file.seek(0);
    file.write(bytes);
    return bytes;
}

QByteArray staleDateIndex(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return {};
    QByteArray bytes = file.readAll();
    constexpr qsizetype PageSize = 4096;
    constexpr char TableLeaf = 0x0d;
    for (qsizetype at = bytes.indexOf("2026-03-31"); at >= 0; at = bytes.indexOf("2026-03-31", at + 1)) {
        if (bytes[at / PageSize * PageSize] == TableLeaf) {
            bytes[at + 9] = '0';
            file.seek(0);
            file.write(bytes);
            return bytes;
        }
    }
    return {};
}

bool onRawConnection(const QString& path, const std::function<bool(QSqlQuery&)>& work)
{
    const QString name = QStringLiteral("raw");
    bool ok = false;
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        raw.setDatabaseName(path);
        if (raw.open()) {
            QSqlQuery q(raw);
            ok = work(q);
        }
        raw.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool integrityOk(const QString& path)
{
    return onRawConnection(path, [](QSqlQuery& q) {
        return q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next()
            && q.value(0).toString() == QLatin1String("ok");
    });
}

bool makeVersion(const QString& path, int version)
{
    return onRawConnection(path, [version](QSqlQuery& q) {
        QStringList sql;
        if (version < Schema::HistoryVersion) {
            for (const char* trigger :
                 { "棚卸マスター_確定追加", "棚卸マスター_確定変更", "棚卸マスター_確定削除", "棚卸マスター_履歴追加",
                   "棚卸マスター_履歴変更", "棚卸マスター_履歴削除", "棚卸確定_履歴確定", "棚卸確定_履歴取消",
                   "棚卸確定_保護変更", "棚卸確定_保護削除" })
                sql << uR"(DROP TRIGGER "%1")"_qs.arg(QString::fromUtf8(trigger));
            for (const char* table : { "変更履歴", "棚卸確定", "履歴封印", "履歴一括" })
                sql << uR"(DROP TABLE "%1")"_qs.arg(QString::fromUtf8(table));
        }
        if (version < Schema::CodesVersion)
            sql << uR"(DROP TRIGGER "商品コード_品名削除")"_qs << uR"(DROP TABLE "商品コード")"_qs;
        const QString list = NameIndex::lineNamesTable();
        if (version == 2) {
            // The lines' name indexes went over every line, kept by triggers on 棚卸マスター.
            sql << uR"(DROP TRIGGER "%1_追加")"_qs.arg(list) << uR"(DROP TRIGGER "%1_変更")"_qs.arg(list);
            for (auto kind : { NameIndex::Kind::Trigrams, NameIndex::Kind::ShortWords })
                sql << uR"(DROP TABLE "%1")"_qs.arg(NameIndex::indexTable(Table::Tana, kind));
            sql << uR"(DROP TABLE "%1")"_qs.arg(list)
                << uR"(CREATE VIRTUAL TABLE "棚卸マスター_品名索引" USING fts5("品名", content='棚卸マスター',
                   content_rowid='ID', tokenize='trigram', detail=none, columnsize=0))"_qs
                << uR"(CREATE VIRTUAL TABLE "棚卸マスター_品名短索引" USING fts5("品名", content='',
                   tokenize='ascii', detail=none, columnsize=0))"_qs
                << uR"(INSERT INTO "棚卸マスター_品名索引" ("棚卸マスター_品名索引") VALUES ('rebuild'))"_qs;
            for (const char* index : { "棚卸マスター_品名索引", "棚卸マスター_品名短索引" }) {
                for (const char* trigger : { "追加", "削除", "変更" })
                    sql << uR"(CREATE TRIGGER "%1_%2" AFTER INSERT ON "棚卸マスター" BEGIN SELECT 1; END)"_qs.arg(
                        QString::fromUtf8(index), QString::fromUtf8(trigger));
            }
        }
        const bool ok = std::all_of(sql.begin(), sql.end(), [&](const QString& s) { return q.exec(s); });
        sql.clear();
        if (ok && version == 1) {
            // Nothing of the name indexes: no lists, no triggers.
            if (!q.exec(u"SELECT name FROM sqlite_master WHERE type = 'trigger'"_qs))
                return false;
            while (q.next())
                sql << uR"(DROP TRIGGER "%1")"_qs.arg(q.value(0).toString());
            for (const QString& table : NameIndex::indexTables() + QStringList { list })
                sql << uR"(DROP TABLE "%1")"_qs.arg(table);
        }
        sql << u"PRAGMA user_version = %1"_qs.arg(version);
        const bool done = ok && std::all_of(sql.begin(), sql.end(), [&](const QString& s) { return q.exec(s); });
        q.finish();
        return done;
    });
}

int schemaVersion(const QString& path)
{
    int version = -1;
    onRawConnection(path, [&version](QSqlQuery& q) {
        if (q.exec(QStringLiteral("PRAGMA user_version")) && q.next())
            version = q.value(0).toInt();
        q.finish();
        return true;
    });
    return version;
}

QVariant lineField(const Database& db, int id, const char* column)
{
    QSqlQuery q(db.connection());
    q.exec(QStringLiteral(R"(SELECT "%1" FROM "棚卸マスター" WHERE "ID" = %2)").arg(QString::fromUtf8(column)).arg(id));
    return q.next() ? q.value(0) : QVariant();
}

namespace {
const QString OtherProgram = QStringLiteral("other program");
}

OtherProgramWriting::OtherProgramWriting(const QString& path, const QStringList& statements)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), OtherProgram);
    db.setDatabaseName(path);
    QSqlQuery q(db);
    m_started = db.open()
        && std::all_of(statements.begin(), statements.end(), [&](const QString& sql) { return q.exec(sql); });
}

OtherProgramWriting::~OtherProgramWriting()
{
    {
        QSqlDatabase db = QSqlDatabase::database(OtherProgram, false);
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        db.close();
    }
    QSqlDatabase::removeDatabase(OtherProgram);
}
