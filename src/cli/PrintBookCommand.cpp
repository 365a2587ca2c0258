// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/PrintBookCommand.h"

#include "core/printing/CountBook.h"

PrintBookCommand::PrintBookCommand(QTextStream& out, QTextStream& err)
    : PrintCommand(out, err, QStringLiteral("print book"),
                   QStringLiteral("前期の棚卸日の棚卸から棚卸記入帳を PDF ファイルに出力します（項目/分類ごとに頁を"
                                  "分け、品名・単位・参考単価付き、数量・単価・備考は空欄）。"))
    , m_date(dateOption())
    , m_category(QStringLiteral("category"), QStringLiteral("この項目/分類だけを出力します。"), QStringLiteral("NAME"))
{
    positionalArguments = { databaseArgument() };
    options = { m_date, m_category, m_font, m_pdf, m_printer };
}

int PrintBookCommand::run(const QCommandLineParser& parser)
{
    const std::optional<QDate> day = requiredDate(parser, m_date);
    if (!day)
        return Failure;
    QTemporaryDir spool;
    const std::optional<QString> target = PrintCommand::target(parser, spool, QStringLiteral("棚卸記入帳.pdf"));
    if (!target)
        return Failure;
    Database db;
    if (!openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadOnly))
        return Failure;
    std::optional<int> categoryId;
    if (parser.isSet(m_category)) {
        categoryId = namedCategory(db, parser, m_category);
        if (!categoryId)
            return Failure;
    }
    QString problem;
    const std::optional<SheetDocument> document = CountBook::load(db, *day, categoryId, &problem);
    if (!document)
        return fail(problem);
    const std::optional<SheetPrinted> printed
        = CountBook::writePdf(*document, font(parser), *target, &problem, pageSetup(parser));
    if (!printed)
        return fail(problem);
    return deliver(parser, *target, CountBook::documentTitle(*day), *printed,
                   QStringLiteral("%1 品").arg(document->lineCount()));
}
