// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/ExportLinesCommand.h"

#include "core/export/SpreadsheetExport.h"

ExportLinesCommand::ExportLinesCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("export lines"),
              QStringLiteral("決算日の棚卸を .xlsx ファイルに書き出します（項目/分類が登録されている行を ID 順に）。"))
    , m_date(dateOption())
    , m_view(QStringLiteral("view"), QStringLiteral("all: 棚卸をすべて表示（既定）、no-price: 単価未入力の棚卸。"),
             QStringLiteral("all|no-price"), QStringLiteral("all"))
    , m_xlsx(xlsxOption())
{
    positionalArguments = { databaseArgument() };
    options = { m_date, m_view, m_xlsx };
}

int ExportLinesCommand::run(const QCommandLineParser& parser)
{
    const std::optional<QDate> day = requiredDate(parser, m_date);
    const std::optional<qsizetype> view
        = day ? choice(parser, m_view, { QStringLiteral("all"), QStringLiteral("no-price") }) : std::nullopt;
    if (!view)
        return Failure;
    return writeWorkbook(parser, m_xlsx, [&](const Database& db, const QString& target, QString* error) {
        return SpreadsheetExport::writeLines(
            db, *day, *view == 0 ? SpreadsheetExport::LinesView::All : SpreadsheetExport::LinesView::WithoutUnitPrice,
            target, error);
    });
}
