#include "cli/ExportProductsCommand.h"

#include "core/export/SpreadsheetExport.h"

#include <QTextStream>

ExportProductsCommand::ExportProductsCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("export products"), QStringLiteral("品名情報を .xlsx ファイルに書き出します。"))
    , m_order(QStringLiteral("order"), QStringLiteral("id: 品名ID 順、name: 品名順（既定）。"),
              QStringLiteral("id|name"), QStringLiteral("name"))
    , m_xlsx(QStringLiteral("xlsx"), QStringLiteral("書き出すファイル。あれば置き換えます。"),
             QStringLiteral("OUT.xlsx"))
{
    positionalArguments = { { QStringLiteral("FILE.idb"), QStringLiteral("Kotrina のデータベースファイル。") } };
    options = { m_order, m_xlsx };
}

int ExportProductsCommand::execute(const QStringList& args)
{
    QCommandLineParser parser;
    int status = Failure;
    if (!parse(parser, args, &status))
        return status;
    const QString orderText = parser.value(m_order);
    if (orderText != QStringLiteral("id") && orderText != QStringLiteral("name"))
        return fail(
            QStringLiteral("--order には id か name を指定してください（「%1」は使えません）。").arg(orderText));
    const std::optional<QString> target = required(parser, m_xlsx);
    if (!target)
        return Failure;

    Database db;
    if (!openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadOnly))
        return Failure;
    QString error;
    const MasterOrder order = orderText == QStringLiteral("id") ? MasterOrder::ById : MasterOrder::ByName;
    if (!SpreadsheetExport::writeProducts(db, order, *target, &error))
        return fail(error);
    return Success;
}
