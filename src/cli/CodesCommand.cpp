// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/CodesCommand.h"

#include "core/masters/ProductCodes.h"

#include <QTextStream>

CodesCommand::CodesCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("codes"),
              QStringLiteral("品名のJANコードを表示します（品名ID、品名、コードのタブ区切り）。\n"
                             "--add で品名にコードを登録します。"))
    , m_all(QStringLiteral("all"), QStringLiteral("コードのない品名も表示します。"))
    , m_add(QStringLiteral("add"),
            QStringLiteral("品名にコードを登録します（JANコード13桁・8桁、UPC12桁）。品名が同じものが複数あるときは"
                           "品名IDの小さいものです。"),
            QStringLiteral("品名=コード"))
{
    positionalArguments = { databaseArgument() };
    options = { m_all, m_add };
}

int CodesCommand::run(const QCommandLineParser& parser)
{
    const QStringList additions = parser.values(m_add);
    if (additions.size() > 1)
        return fail(QStringLiteral("--add は一度に一つだけ指定してください。"));
    Database db;
    if (!openDatabase(db, parser.positionalArguments().constFirst(),
                      additions.isEmpty() ? Database::Access::ReadOnly : Database::Access::ReadWrite))
        return Failure;
    return additions.isEmpty() ? list(db, parser.isSet(m_all)) : add(db, additions.constFirst());
}

int CodesCommand::list(const Database& db, bool all)
{
    QString error;
    const bool read = ProductCodes::forEachProduct(
        db, all,
        [this](int productId, const QString& productName, const QStringList& codes) {
            m_out << productId << '\t' << productName << '\t' << codes.join(QLatin1Char(',')) << '\n';
        },
        &error);
    m_out.flush();
    if (!read)
        return fail(QStringLiteral("データベースの読み込みに失敗しました。\r") + error);
    return Success;
}

int CodesCommand::add(const Database& db, const QString& assignment)
{
    // A code has no "=", a name may: the code is what follows the last one.
    const qsizetype equals = assignment.lastIndexOf(QLatin1Char('='));
    if (equals <= 0)
        return fail(QStringLiteral("--add には「品名=コード」の形で指定してください: %1").arg(assignment));
    const QString productName = assignment.left(equals);
    const QString text = assignment.mid(equals + 1);
    const ProductCodes::Checked checked = ProductCodes::check(text);
    if (!checked.valid())
        return fail(checked.error);
    const std::optional<int> productId = ProductCodes::productIdByName(db, productName);
    if (!productId)
        return fail(QStringLiteral("品名「%1」は登録されていません。").arg(productName));
    const bool had = ProductCodes::codesOf(db, *productId).contains(checked.code);
    QString error;
    if (!ProductCodes::addCode(db, *productId, checked.code, &error))
        return fail(error);
    m_out << (had ? QStringLiteral("品名「%1」（品名ID %2）にはコード %3 が登録済みです。\n")
                  : QStringLiteral("品名「%1」（品名ID %2）にコード %3 を登録しました。\n"))
                 .arg(productName)
                 .arg(*productId)
                 .arg(checked.code);
    m_out.flush();
    return Success;
}
