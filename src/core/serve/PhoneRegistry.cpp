// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/serve/PhoneRegistry.h"

#include "core/lines/LineRegistration.h"
#include "core/rules/TextRules.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

namespace PhoneRegistry {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString freshToken()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(words), sizeof words)
                                   .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

PhoneLine lineFrom(const QSqlQuery& q)
{
    PhoneLine line;
    line.id = q.value(0).toInt();
    line.categoryId = q.value(1).toInt();
    line.product = q.value(2).toString();
    line.quantity = q.value(3).toDouble();
    line.unit = q.value(4).toString();
    line.unitPrice = q.value(5).toDouble();
    line.amount = q.value(6).toDouble();
    line.note = q.value(7).toString();
    return line;
}

const auto LineColumns
    = QStringLiteral(R"(t."ID", t."項目ID", t."品名", t."数量", t."単位", t."単価", t."価格", t."備考")");

} // namespace

QString tokenHash(const QString& token)
{
    return QString::fromLatin1(QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex());
}

bool available(const Database& db)
{
    QSqlQuery q(db.connection());
    return q.exec(QStringLiteral(R"(SELECT count(*) FROM "スマートフォン" WHERE "番号" = 0)"));
}

std::optional<PairedPhone> pair(const Database& db, QString* error)
{
    Transaction transaction(db);
    if (!transaction.isActive()) {
        fail(error, QStringLiteral("the database is not open"));
        return std::nullopt;
    }
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(R"(SELECT COALESCE(MAX("番号"), 0) + 1 FROM "スマートフォン")")) || !q.next()) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    PairedPhone paired;
    paired.phone.id = q.value(0).toInt();
    paired.phone.name = QStringLiteral("スマートフォン%1").arg(paired.phone.id);
    paired.token = freshToken();
    q.finish();
    q.prepare(QStringLiteral(
        R"(INSERT INTO "スマートフォン" ("番号", "名前", "トークン", "ペアリング時刻") VALUES (?, ?, ?, ?))"));
    q.addBindValue(paired.phone.id);
    q.addBindValue(paired.phone.name);
    q.addBindValue(tokenHash(paired.token));
    q.addBindValue(now());
    if (!q.exec()) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    q.finish();
    if (!transaction.commit(error))
        return std::nullopt;
    return paired;
}

std::optional<Phone> phoneOf(const Database& db, const QString& token)
{
    if (token.isEmpty())
        return std::nullopt;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral(R"(SELECT "番号", "名前" FROM "スマートフォン" WHERE "トークン" = ? AND "解除時刻" IS NULL)"));
    q.addBindValue(tokenHash(token));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return Phone { q.value(0).toInt(), q.value(1).toString() };
}

std::optional<QList<PhoneCount>> phones(const Database& db, QDate date, QString* error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT p."番号", p."名前",
        (SELECT count(*) FROM "スマートフォン明細" AS k JOIN "棚卸マスター" AS t ON t."ID" = k."行ID"
         WHERE k."端末番号" = p."番号" AND t."日付" = ?)
        FROM "スマートフォン" AS p WHERE p."解除時刻" IS NULL ORDER BY p."番号")"));
    q.addBindValue(storedDate(date));
    if (!q.exec()) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    QList<PhoneCount> list;
    while (q.next())
        list.append({ { q.value(0).toInt(), q.value(1).toString() }, q.value(2).toLongLong() });
    return list;
}

bool rename(const Database& db, int phoneId, const QString& name, QString* error)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return fail(error, QStringLiteral("名前が入力されていません。"));
    if (const std::optional<QString> tooLong = TextRules::nameTooLong(TextRules::Name::Product, trimmed))
        return fail(error, *tooLong);
    return db.exec(QStringLiteral(R"(UPDATE "スマートフォン" SET "名前" = ? WHERE "番号" = ?)"), { trimmed, phoneId },
                   error);
}

bool unpair(const Database& db, int phoneId, QString* error)
{
    return db.exec(
        QStringLiteral(R"(UPDATE "スマートフォン" SET "解除時刻" = ? WHERE "番号" = ? AND "解除時刻" IS NULL)"),
        { now(), phoneId }, error);
}

std::optional<KeyedLine> lineOfKey(const Database& db, int phoneId, const QString& key, QString* error)
{
    if (error)
        error->clear();
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT k."行ID", t."ID" FROM "スマートフォン明細" AS k
        LEFT JOIN "棚卸マスター" AS t ON t."ID" = k."行ID" WHERE k."端末番号" = ? AND k."キー" = ?)"));
    q.addBindValue(phoneId);
    q.addBindValue(key);
    if (!q.exec()) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    return KeyedLine { q.value(0).toInt(), !q.value(1).isNull() };
}

bool recordKey(const Database& db, int phoneId, const QString& key, int lineId, QString* error)
{
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral(R"(INSERT INTO "スマートフォン明細" ("端末番号", "キー", "行ID") VALUES (?, ?, ?))"));
    q.addBindValue(phoneId);
    q.addBindValue(key);
    q.addBindValue(lineId);
    return q.exec() || fail(error, q.lastError().text());
}

std::optional<QList<PhoneLine>> linesOf(const Database& db, int phoneId, QDate date, QString* error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT %1, k."キー" FROM "スマートフォン明細" AS k
        JOIN "棚卸マスター" AS t ON t."ID" = k."行ID" WHERE k."端末番号" = ? AND t."日付" = ? ORDER BY t."ID")")
                  .arg(LineColumns));
    q.addBindValue(phoneId);
    q.addBindValue(storedDate(date));
    if (!q.exec()) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    QList<PhoneLine> list;
    while (q.next()) {
        PhoneLine line = lineFrom(q);
        line.key = q.value(8).toString();
        list.append(line);
    }
    return list;
}

std::optional<PhoneLine> lineById(const Database& db, int lineId, const QString& key, QString* error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT %1 FROM "棚卸マスター" AS t WHERE t."ID" = ?)").arg(LineColumns));
    q.addBindValue(lineId);
    if (!q.exec() || !q.next()) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    PhoneLine line = lineFrom(q);
    line.key = key;
    return line;
}

} // namespace PhoneRegistry
