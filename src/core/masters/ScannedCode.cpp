// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/masters/ScannedCode.h"

#include <QSqlQuery>

namespace ScannedCode {

namespace {

bool isProductName(const Database& db, const QString& name)
{
    const NoLockWait noWait(&db);
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT 1 FROM "仕入商品" WHERE "品名" = ? LIMIT 1)"));
    q.addBindValue(name);
    return q.exec() && q.next();
}

} // namespace

Result resolve(const Database& db, const QString& text, bool fromScanner)
{
    Result result;
    const ProductCodes::Checked checked = ProductCodes::check(text);
    if (checked.valid()) {
        result.code = checked.code;
        if (const std::optional<ProductCodes::Owner> owner = ProductCodes::findByCode(db, checked.code)) {
            result.kind = Result::Kind::Found;
            result.owner = *owner;
            return result;
        }
    }
    if (!fromScanner && isProductName(db, text.trimmed())) {
        result.kind = Result::Kind::Name;
        return result;
    }
    result.kind = checked.valid() ? Result::Kind::Unknown : Result::Kind::NotACode;
    result.error = checked.error;
    return result;
}

} // namespace ScannedCode
