// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/masters/ProductCodes.h"

#include "core/store/Schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace ProductCodes {

namespace {

// The digits of text with full-width ones made half-width and blanks around dropped; empty
// when anything else is in it.
QString digitsOf(const QString& text)
{
    QString digits;
    for (const QChar c : text.trimmed()) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
        else if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19)
            digits += QChar(u'0' + (c.unicode() - 0xFF10));
        else
            return {};
    }
    return digits;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

bool hasCodes(const Database& db)
{
    QSqlDatabase connection = db.connection();
    return connection.isOpen() && Schema::version(connection) >= Schema::CodesVersion;
}

// A code row met on insert whose product is gone: it is taken over (see ownerOf).
const QString OwnerGone
    = QStringLiteral(R"(NOT EXISTS (SELECT 1 FROM "仕入商品" AS s WHERE s."品名ID" = "商品コード"."品名ID"))");

// The product a code belongs to, with its name; nullopt when none. A code whose product
// is gone (deleted by a program that dropped the trigger, or written so by hand) belongs
// to nobody: it is taken over by the next product it is given to.
std::optional<std::pair<int, QString>> ownerOf(const Database& db, const QString& code)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT c."品名ID", s."品名" FROM "商品コード" AS c
        JOIN "仕入商品" AS s ON s."品名ID" = c."品名ID" WHERE c."コード" = ?)"));
    q.addBindValue(code);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return std::pair { q.value(0).toInt(), q.value(1).toString() };
}

bool productExists(const Database& db, int productId)
{
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral(R"(SELECT 1 FROM "仕入商品" WHERE "品名ID" = ?)"));
    q.addBindValue(productId);
    return q.exec() && q.next();
}

} // namespace

int checkDigit(QStringView digits)
{
    int sum = 0;
    // From the right, the digits next to the check digit weigh 3, the others 1.
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const QChar c = digits.at(digits.size() - 1 - i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        sum += (c.unicode() - u'0') * (i % 2 == 0 ? 3 : 1);
    }
    return (10 - sum % 10) % 10;
}

bool looksLikeCode(const QString& text)
{
    const qsizetype length = digitsOf(text).size();
    return length == 8 || length == 12 || length == 13;
}

Checked check(const QString& text)
{
    Checked checked;
    QString digits = digitsOf(text);
    if (digits.isEmpty() && !text.trimmed().isEmpty()) {
        checked.error = QStringLiteral("コード「%1」に数字以外の文字があります。").arg(text.trimmed());
        return checked;
    }
    if (digits.size() != 8 && digits.size() != 12 && digits.size() != 13) {
        checked.error = QStringLiteral("コード「%1」の桁数が違います。JANコードは13桁または8桁、UPCは12桁の数字です。")
                            .arg(text.trimmed());
        return checked;
    }
    const int expected = checkDigit(QStringView(digits).first(digits.size() - 1));
    if (digits.back().unicode() - u'0' != expected) {
        checked.error = QStringLiteral("コード %1 のチェックデジット（最後の桁）が違います。最後の桁は %2 のはずです。")
                            .arg(digits)
                            .arg(expected);
        return checked;
    }
    if (digits.size() == 8) {
        checked.form = Form::Ean8;
    } else if (digits.size() == 12) {
        checked.form = Form::UpcA;
        digits.prepend(QLatin1Char('0'));
    } else if (digits.front() == QLatin1Char('2')) {
        checked.form = Form::InStore;
    }
    checked.code = digits;
    return checked;
}

bool available(const Database& db)
{
    return hasCodes(db);
}

Checked checkFor(const Database& db, int productId, const QString& text)
{
    Checked checked = check(text);
    if (!checked.valid() || !hasCodes(db))
        return checked;
    if (const auto owner = ownerOf(db, checked.code); owner && owner->first != productId) {
        checked.error = inUseMessage(checked.code, owner->second);
        checked.code.clear();
    }
    return checked;
}

std::optional<Owner> findByCode(const Database& db, const QString& code)
{
    if (!hasCodes(db))
        return std::nullopt;
    const NoLockWait noWait(&db);
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT s."品名ID", s."品名", s."単位", s."単価" FROM "商品コード" AS c
        JOIN "仕入商品" AS s ON s."品名ID" = c."品名ID" WHERE c."コード" = ?)"));
    q.addBindValue(code);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return Owner { q.value(0).toInt(), q.value(1).toString(), q.value(2), q.value(3) };
}

QStringList codesOf(const Database& db, int productId)
{
    QStringList codes;
    if (!hasCodes(db))
        return codes;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT "コード" FROM "商品コード" WHERE "品名ID" = ? ORDER BY "順番", "コード")"));
    q.addBindValue(productId);
    if (q.exec()) {
        while (q.next())
            codes << q.value(0).toString();
    }
    return codes;
}

bool addCode(const Database& db, int productId, const QString& text, QString* error)
{
    const Checked checked = check(text);
    if (!checked.valid())
        return fail(error, checked.error);
    if (!hasCodes(db))
        return fail(error, QStringLiteral("このデータベースファイルはコードを登録できない古い形式です。"));
    Transaction transaction(db);
    if (!transaction.isActive())
        return fail(error, QStringLiteral("データベースに書き込めません。"));
    if (const auto owner = ownerOf(db, checked.code)) {
        if (owner->first == productId)
            return true;
        return fail(error, inUseMessage(checked.code, owner->second));
    }
    if (!productExists(db, productId))
        return fail(error, QStringLiteral("品名ID %1 の品名は登録されていません。").arg(productId));
    QString engine;
    // Another station may give the same code to another product at the same moment: the
    // code is the key, so one of them keeps it and the other is told whose it is.
    if (!db.exec(QStringLiteral(R"(INSERT INTO "商品コード" ("コード", "品名ID", "順番")
            SELECT ?, ?, COALESCE(MAX("順番") + 1, 0) FROM "商品コード" WHERE "品名ID" = ?
            ON CONFLICT ("コード") DO UPDATE SET "品名ID" = excluded."品名ID", "順番" = excluded."順番"
                WHERE %1)")
                     .arg(OwnerGone),
                 { checked.code, productId, productId }, &engine))
        return fail(error, engine);
    if (const auto owner = ownerOf(db, checked.code); owner && owner->first != productId)
        return fail(error, inUseMessage(checked.code, owner->second));
    return transaction.commit(error);
}

bool setCodes(const Database& db, int productId, const QStringList& codes, QString* error)
{
    QStringList kept;
    for (const QString& text : codes) {
        const Checked checked = check(text);
        if (!checked.valid())
            return fail(error, checked.error);
        if (!kept.contains(checked.code))
            kept << checked.code;
    }
    if (!hasCodes(db))
        return fail(error, QStringLiteral("このデータベースファイルはコードを登録できない古い形式です。"));
    Transaction transaction(db);
    if (!transaction.isActive())
        return fail(error, QStringLiteral("データベースに書き込めません。"));
    for (const QString& code : kept) {
        const auto owner = ownerOf(db, code);
        if (owner && owner->first != productId)
            return fail(error, inUseMessage(code, owner->second));
    }
    if (!kept.isEmpty() && !productExists(db, productId))
        return fail(error, QStringLiteral("品名ID %1 の品名は登録されていません。").arg(productId));
    QString engine;
    if (!db.exec(QStringLiteral(R"(DELETE FROM "商品コード" WHERE "品名ID" = ?)"), { productId }, &engine))
        return fail(error, engine);
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (!db.exec(QStringLiteral(R"(INSERT INTO "商品コード" ("コード", "品名ID", "順番") VALUES (?, ?, ?)
                ON CONFLICT ("コード") DO UPDATE SET "品名ID" = excluded."品名ID", "順番" = excluded."順番"
                    WHERE %1)")
                         .arg(OwnerGone),
                     { kept.at(i), productId, int(i) }, &engine))
            return fail(error, engine);
        if (const auto owner = ownerOf(db, kept.at(i)); owner && owner->first != productId)
            return fail(error, inUseMessage(kept.at(i), owner->second));
    }
    return transaction.commit(error);
}

bool removeCode(const Database& db, const QString& code, QString* error)
{
    if (!hasCodes(db))
        return true;
    return db.exec(QStringLiteral(R"(DELETE FROM "商品コード" WHERE "コード" = ?)"), { code }, error);
}

std::optional<int> productIdByName(const Database& db, const QString& name)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT "品名ID" FROM "仕入商品" WHERE "品名" = ? ORDER BY "品名ID" LIMIT 1)"));
    q.addBindValue(name);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toInt();
}

bool forEachProduct(const Database& db, bool all,
                    const std::function<void(int productId, const QString& name, const QStringList& codes)>& each,
                    QString* error)
{
    const bool codes = hasCodes(db);
    if (!codes && !all)
        return true;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    // One pass over the products in ID order, their codes joined in; a product's rows come
    // together, so each is handed on when the next one starts.
    const QString sql = !codes ? QStringLiteral(R"(SELECT "品名ID", "品名", NULL FROM "仕入商品" ORDER BY "品名ID")")
                               : QStringLiteral(R"(SELECT s."品名ID", s."品名", c."コード" FROM "仕入商品" AS s
            %1 JOIN "商品コード" AS c ON c."品名ID" = s."品名ID"
            ORDER BY s."品名ID", c."順番", c."コード")")
                                     .arg(all ? QStringLiteral("LEFT") : QString());
    if (!q.exec(sql))
        return fail(error, q.lastError().text());
    int current = 0;
    QString name;
    QStringList list;
    bool any = false;
    while (q.next()) {
        const int id = q.value(0).toInt();
        if (any && id != current) {
            each(current, name, list);
            list.clear();
        }
        any = true;
        current = id;
        name = q.value(1).toString();
        if (!q.value(2).isNull())
            list << q.value(2).toString();
    }
    if (q.lastError().isValid())
        return fail(error, q.lastError().text());
    if (any)
        each(current, name, list);
    return true;
}

QString firstCodeExpression(const QString& productIdExpression)
{
    // An alias no outer query uses, so that productIdExpression names the outer product.
    return QStringLiteral(R"((SELECT "最初のコード"."コード" FROM "商品コード" AS "最初のコード"
                   WHERE "最初のコード"."品名ID" = %1 ORDER BY "最初のコード"."順番", "最初のコード"."コード" LIMIT 1))")
        .arg(productIdExpression);
}

QString inUseMessage(const QString& code, const QString& ownerName)
{
    return QStringLiteral("コード %1 は品名「%2」に登録されています。").arg(code, ownerName);
}

QStringList splitCell(const QString& cell)
{
    QStringList codes;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= cell.size(); ++i) {
        if (i < cell.size()) {
            const char16_t c = cell.at(i).unicode();
            if (c != u',' && c != u';' && c != u'，' && c != u'；')
                continue;
        }
        const QString code = cell.mid(start, i - start).trimmed();
        if (!code.isEmpty())
            codes << code;
        start = i + 1;
    }
    return codes;
}

} // namespace ProductCodes
