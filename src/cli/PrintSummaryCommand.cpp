// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/PrintSummaryCommand.h"

#include "core/printing/SheetText.h"
#include "core/printing/SummarySheet.h"

PrintSummaryCommand::PrintSummaryCommand(QTextStream& out, QTextStream& err)
    : PrintCommand(out, err, QStringLiteral("print summary"),
                   QStringLiteral("決算日の集計表を PDF ファイルに出力します（項目/分類別は合計の大きい順、品名別は"
                                  "品名順に、合計と集計数、頁ごとの小計と合計付き）。"))
    , m_date(dateOption())
    , m_by(QStringLiteral("by"), QStringLiteral("category: 項目/分類別集計、product: 品名別集計。"),
           QStringLiteral("category|product"))
{
    positionalArguments = { databaseArgument() };
    options = { m_date, m_by, m_font, m_pdf, m_printer };
}

int PrintSummaryCommand::run(const QCommandLineParser& parser)
{
    const std::optional<QDate> day = requiredDate(parser, m_date);
    const std::optional<qsizetype> byChoice
        = day ? choice(parser, m_by, { QStringLiteral("category"), QStringLiteral("product") }) : std::nullopt;
    if (!byChoice)
        return Failure;
    const SummarySheet::By by = *byChoice == 0 ? SummarySheet::By::Category : SummarySheet::By::Product;
    QTemporaryDir spool;
    const std::optional<QString> target = PrintCommand::target(parser, spool, QStringLiteral("集計表.pdf"));
    if (!target)
        return Failure;
    Database db;
    if (!openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadOnly))
        return Failure;
    QString problem;
    const std::optional<SheetDocument> document = SummarySheet::load(db, by, *day, &problem);
    if (!document)
        return fail(problem);
    const std::optional<SheetPrinted> printed
        = SummarySheet::writePdf(*document, SummarySheet::title(by), SummarySheet::heading(by), font(parser), *target,
                                 &problem, pageSetup(parser));
    if (!printed)
        return fail(problem);
    return deliver(
        parser, *target, SummarySheet::documentTitle(SummarySheet::title(by), *day), *printed,
        QStringLiteral("%1 行、合計 %2 円").arg(document->lineCount()).arg(SheetText::amount(printed->total)));
}
