#include "cli/ExportLinesCommand.h"

#include "core/export/SpreadsheetExport.h"

#include <QTextStream>

ExportLinesCommand::ExportLinesCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("export lines"),
              QStringLiteral("決算日の棚卸を .xlsx ファイルに書き出します（項目/分類が登録されている行を ID 順に）。"))
    , m_date(QStringLiteral("date"), QStringLiteral("決算日。"), QStringLiteral("YYYY-MM-DD"))
    , m_view(QStringLiteral("view"), QStringLiteral("all: 棚卸をすべて表示（既定）、no-price: 単価未入力の棚卸。"),
             QStringLiteral("all|no-price"), QStringLiteral("all"))
    , m_xlsx(QStringLiteral("xlsx"), QStringLiteral("書き出すファイル。あれば置き換えます。"),
             QStringLiteral("OUT.xlsx"))
{
    positionalArguments = { { QStringLiteral("FILE.idb"), QStringLiteral("Kotrina のデータベースファイル。") } };
    options = { m_date, m_view, m_xlsx };
}

int ExportLinesCommand::execute(const QStringList& args)
{
    QCommandLineParser parser;
    int status = Failure;
    if (!parse(parser, args, &status))
        return status;
    const std::optional<QString> dateText = required(parser, m_date);
    if (!dateText)
        return Failure;
    const std::optional<QDate> day = date(*dateText);
    if (!day)
        return Failure;
    const QString viewText = parser.value(m_view);
    SpreadsheetExport::LinesView view = SpreadsheetExport::LinesView::All;
    if (viewText == QStringLiteral("no-price"))
        view = SpreadsheetExport::LinesView::WithoutUnitPrice;
    else if (viewText != QStringLiteral("all"))
        return fail(
            QStringLiteral("--view には all か no-price を指定してください（「%1」は使えません）。").arg(viewText));
    const std::optional<QString> target = required(parser, m_xlsx);
    if (!target)
        return Failure;

    Database db;
    if (!openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadOnly))
        return Failure;
    QString error;
    if (!SpreadsheetExport::writeLines(db, *day, view, *target, &error))
        return fail(error);
    return Success;
}
