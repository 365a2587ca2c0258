// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/export/SpreadsheetExport.h"

#include "core/app/AppState.h"
#include "core/app/FileFolders.h"
#include "core/app/Prompter.h"
#include "core/app/WaitCursor.h"
#include "core/export/SheetWriter.h"
#include "core/lines/SummaryViews.h"
#include "core/masters/ProductCodes.h"
#include "core/store/Database.h"
#include "core/store/NameOrder.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <functional>

namespace SpreadsheetExport {

namespace {

using Kind = SheetWriter::Kind;

// One list: its columns, the statement's FROM part with its filter, and the order.
struct ListQuery
{
    QList<SheetWriter::Column> columns;
    QString select;
    QString from;
    QString order;
    QVariantList values;
};

const QString DatabaseFailed = QStringLiteral("データベースの読み込みに失敗しました。");

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// The column of the products' first codes, last so that the columns before keep their
// places; empty in a file older than the codes (opened read-only, it is not upgraded).
SheetWriter::Column codeColumn()
{
    return { QStringLiteral("JANコード"), Kind::Text };
}

QString firstCode(const Database& db, const QString& productIdExpression)
{
    return db.connection().tables().contains(QStringLiteral("商品コード"))
        ? ProductCodes::firstCodeExpression(productIdExpression)
        : QStringLiteral("NULL");
}

bool write(const Database& db, const ListQuery& list, const QString& target, QString* error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT COUNT(*) ") + list.from);
    for (const QVariant& v : list.values)
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return fail(error, DatabaseFailed);
    const qint64 rows = q.value(0).toLongLong();
    if (rows + 1 > SheetWriter::MaxRows) {
        QLocale numbers = QLocale::c();
        numbers.setNumberOptions({});
        return fail(error,
                    QStringLiteral("%1 件は 1 枚のシートに入りきらないため、書き出しませんでした。（1 枚に %2 件まで）")
                        .arg(numbers.toString(rows), numbers.toString(SheetWriter::MaxRows - 1)));
    }
    q.finish();

    q.prepare(QStringLiteral("SELECT ") + list.select + QLatin1Char(' ') + list.from + QStringLiteral(" ORDER BY ")
              + list.order);
    for (const QVariant& v : list.values)
        q.addBindValue(v);
    if (!q.exec())
        return fail(error, DatabaseFailed);

    SheetWriter sheet(target);
    if (!sheet.begin(list.columns, error))
        return false;
    const int count = int(list.columns.size());
    QVariantList row(count);
    while (q.next()) {
        for (int c = 0; c < count; ++c)
            row[c] = q.value(c);
        sheet.addRow(row);
    }
    if (q.lastError().isValid())
        return fail(error, DatabaseFailed);
    return sheet.finish(error);
}

} // namespace

bool saveAndOpen(AppState& state, const std::function<bool(const QString&, QString*)>& writeTo)
{
    FileDialogRequest request;
    request.title = QStringLiteral("名前を付けて保存");
    request.filter = QStringLiteral("すべてのファイル (*.*)|*.*|xlsx ﾌｧｲﾙ (*.xlsx)|*.xlsx");
    request.filterIndex = 2;
    request.defaultSuffix = QStringLiteral("xlsx");
    request.mustExist = false;
    const std::optional<QString> chosen = saveFileIn(FileFolder::Export, state.settings, state.prompter, request);
    if (!chosen || chosen->isEmpty())
        return false;
    QString target = *chosen;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".xlsx");
    if (!state.prompter.confirmOverwrite(target))
        return false;

    QString error;
    bool written = false;
    {
        WaitCursor hourglass;
        written = writeTo(target, &error);
    }
    if (!written) {
        state.prompter.notice(error);
        return false;
    }
    if (!state.desktop->open(QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath())))
        state.prompter.notice(QStringLiteral("ファイルは保存しましたが、開くプログラムが見つかりませんでした。\r")
                              + QDir::toNativeSeparators(target));
    return true;
}

std::optional<LinesView> linesView(const QString& viewName)
{
    if (viewName == QStringLiteral("棚卸をすべて表示"))
        return LinesView::All;
    if (viewName == QStringLiteral("単価未入力の棚卸"))
        return LinesView::WithoutUnitPrice;
    return std::nullopt;
}

bool writeLines(const Database& db, QDate date, LinesView view, const QString& target, QString* error)
{
    ListQuery list;
    list.columns = { { QStringLiteral("項目分類"), Kind::Text },
                     { QStringLiteral("品名"), Kind::Text },
                     { QStringLiteral("数量"), Kind::Number },
                     { QStringLiteral("単位"), Kind::Text },
                     { QStringLiteral("単価"), Kind::Number },
                     { QStringLiteral("金額"), Kind::Number },
                     codeColumn() };
    // The same lines, in the same order, as the summary list's view shows.
    const LineSelection lines = CategorisedLines::ofDate(date, view == LinesView::WithoutUnitPrice);
    list.select = QStringLiteral(R"("項目分類名", "品名", "数量", "単位", "単価", "価格", )")
        + firstCode(db, QStringLiteral(R"(l."品名ID")"));
    list.from = QStringLiteral("FROM ") + CategorisedLines::source() + QStringLiteral(" AS l WHERE ") + lines.condition;
    list.order = QStringLiteral(R"("ID")");
    list.values = lines.values;
    return write(db, list, target, error);
}

bool writeProducts(const Database& db, MasterOrder order, const QString& target, QString* error)
{
    ListQuery list;
    list.columns = { { QStringLiteral("品名"), Kind::Text },
                     { QStringLiteral("単位"), Kind::Text },
                     { QStringLiteral("単価"), Kind::Number },
                     codeColumn() };
    list.select
        = QStringLiteral(R"("品名", "単位", "単価", )") + firstCode(db, QStringLiteral(R"("仕入商品"."品名ID")"));
    list.from = QStringLiteral(R"(FROM "仕入商品")");
    // The order of the product screen's list.
    list.order = order == MasterOrder::ById
        ? QStringLiteral(R"("品名ID")")
        : NameOrder::orderBy(db.engine(), QStringLiteral(R"("品名")"), QStringLiteral(R"("品名ID")"));
    return write(db, list, target, error);
}

bool exportLines(AppState& state, QDate date, const QString& viewName)
{
    const std::optional<LinesView> view = linesView(viewName);
    if (!view)
        return false;
    return saveAndOpen(state, [&](const QString& target, QString* error) {
        return writeLines(state.DatabaseConnection, date, *view, target, error);
    });
}

bool exportProducts(AppState& state, MasterOrder order)
{
    return saveAndOpen(state, [&](const QString& target, QString* error) {
        return writeProducts(state.DatabaseConnection, order, target, error);
    });
}

} // namespace SpreadsheetExport
