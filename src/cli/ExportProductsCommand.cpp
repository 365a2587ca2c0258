// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/ExportProductsCommand.h"

#include "core/export/SpreadsheetExport.h"

ExportProductsCommand::ExportProductsCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("export products"), QStringLiteral("品名情報を .xlsx ファイルに書き出します。"))
    , m_order(QStringLiteral("order"), QStringLiteral("id: 品名ID 順、name: 品名順（既定）。"),
              QStringLiteral("id|name"), QStringLiteral("name"))
    , m_xlsx(xlsxOption())
{
    positionalArguments = { databaseArgument() };
    options = { m_order, m_xlsx };
}

int ExportProductsCommand::run(const QCommandLineParser& parser)
{
    const std::optional<qsizetype> order = choice(parser, m_order, { QStringLiteral("id"), QStringLiteral("name") });
    if (!order)
        return Failure;
    return writeWorkbook(parser, m_xlsx, [&](const Database& db, const QString& target, QString* error) {
        return SpreadsheetExport::writeProducts(db, *order == 0 ? MasterOrder::ById : MasterOrder::ByName, target,
                                                error);
    });
}
