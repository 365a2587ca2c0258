// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/ServerSchema.h"

#include "core/store/Database.h"
#include "core/store/Schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

constexpr auto NotifyFunction = "kotrina_変更通知";

QString triggerName(const QString& table)
{
    return table + QStringLiteral("_変更通知");
}

} // namespace

namespace ServerSchema {

QList<std::pair<QString, QString>> numberedColumns()
{
    QList<std::pair<QString, QString>> columns;
    for (Table table : { Table::Tana, Table::Koumoku, Table::Shohin, Table::Tani })
        columns.append({ tableName(table), idColumn(table) });
    columns.append({ QStringLiteral("変更履歴"), QStringLiteral("番号") });
    columns.append({ QStringLiteral("棚卸確定"), QStringLiteral("番号") });
    return columns;
}

QStringList notifiedTables()
{
    return { tableName(Table::Tana),    tableName(Table::Koumoku),    tableName(Table::Shohin),
             tableName(Table::Tani),    QStringLiteral("商品コード"), QStringLiteral("変更履歴"),
             QStringLiteral("棚卸確定") };
}

QStringList notifyStatements()
{
    // One notice per statement, not per row: a million lines imported are one notice, and
    // the server folds equal notices of one transaction into one.
    QStringList statements { QStringLiteral(R"(CREATE FUNCTION "%1"() RETURNS trigger LANGUAGE plpgsql AS $$
        BEGIN PERFORM pg_notify('%2', TG_TABLE_NAME); RETURN NULL; END $$)")
                                 .arg(QString::fromUtf8(NotifyFunction), QString::fromUtf8(ChangeChannel)) };
    for (const QString& table : notifiedTables())
        statements << QStringLiteral(R"(CREATE TRIGGER "%1" AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON "%2"
            FOR EACH STATEMENT EXECUTE FUNCTION "%3"())")
                          .arg(triggerName(table), table, QString::fromUtf8(NotifyFunction));
    return statements;
}

QString engineName(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const QString version
        = q.exec(QStringLiteral("SHOW server_version")) && q.next() ? q.value(0).toString() : QString();
    // Debian's builds add their own words after the number: "15.18 (Debian 15.18-0+deb12u1)".
    const QString number = version.section(QLatin1Char(' '), 0, 0);
    return number.isEmpty() ? QStringLiteral("PostgreSQL") : QStringLiteral("PostgreSQL ") + number;
}

QStringList problems(QSqlDatabase& db)
{
    QString error;
    if (!Schema::verify(db, &error))
        return { QStringLiteral("データベースの表が正しくありません（%1）。").arg(error) };
    QStringList found;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    for (const auto& [table, column] : numberedColumns()) {
        // The number the sequence hands out next against the largest ID there is.
        const QString sql = QStringLiteral(R"(SELECT (SELECT last_value + CASE WHEN is_called THEN 1 ELSE 0 END
                FROM "%1"), (SELECT COALESCE(MAX("%2"), 0) FROM "%3"))")
                                .arg(Schema::sequenceName(table, column), column, table);
        if (!q.exec(sql) || !q.next()) {
            found << QStringLiteral("%1 のIDの採番を読めません（%2）。").arg(table, q.lastError().text());
            continue;
        }
        if (q.value(0).toLongLong() <= q.value(1).toLongLong())
            found << QStringLiteral("%1 のIDの採番（次は %2）が、最大のID %3 より後になっていません。")
                         .arg(table)
                         .arg(q.value(0).toLongLong())
                         .arg(q.value(1).toLongLong());
        q.finish();
    }
    q.prepare(QStringLiteral(R"(SELECT 1 FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid
        WHERE c.relname = CAST(? AS text) AND t.tgname = CAST(? AS text) AND c.relnamespace = current_schema()::regnamespace)"));
    for (const QString& table : notifiedTables()) {
        q.addBindValue(table);
        q.addBindValue(triggerName(table));
        if (!q.exec() || !q.next())
            found << QStringLiteral("%1 の変更が他の端末に伝わりません（トリガー %2 がありません）。")
                         .arg(table, triggerName(table));
        q.finish();
    }
    return found;
}

} // namespace ServerSchema
