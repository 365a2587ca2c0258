// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/PrintCodesCommand.h"

#include "core/app/Clock.h"
#include "core/printing/CodeList.h"

PrintCodesCommand::PrintCodesCommand(QTextStream& out, QTextStream& err)
    : PrintCommand(out, err, QStringLiteral("print codes"),
                   QStringLiteral("品名情報の商品コード一覧表を PDF ファイルに出力します（品名順に、コードごとに"
                                  "品名・単位・単価・種類とバーコード。店内コードも含みます）。"))
    , m_category(QStringLiteral("category"), QStringLiteral("この項目/分類で棚卸された品名だけを出力します。"),
                 QStringLiteral("NAME"))
{
    positionalArguments = { databaseArgument() };
    options = { m_category, m_font, m_pdf, m_printer };
}

int PrintCodesCommand::run(const QCommandLineParser& parser)
{
    QTemporaryDir spool;
    const std::optional<QString> target = PrintCommand::target(parser, spool, QStringLiteral("商品コード一覧表.pdf"));
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
    const SystemClock clock;
    const QDate made = clock.today();
    QString problem;
    const std::optional<SheetDocument> document = CodeList::load(db, made, categoryId, &problem);
    if (!document)
        return fail(problem);
    const std::optional<qint64> without = CodeList::productsWithoutCode(db, categoryId);
    const std::optional<SheetPrinted> printed
        = CodeList::writePdf(*document, font(parser), *target, &problem, pageSetup(parser));
    if (!printed)
        return fail(problem);
    QString more = QStringLiteral("%1 コード").arg(document->lineCount());
    if (without && *without > 0)
        more += QStringLiteral("（コードのない品名 %1 件は載せていません）").arg(*without);
    return deliver(parser, *target, CodeList::documentTitle(made), *printed, more);
}
