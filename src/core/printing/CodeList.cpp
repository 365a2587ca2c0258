// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/CodeList.h"

#include "core/printing/SheetText.h"
#include "core/store/NameOrder.h"
#include "core/store/RowStream.h"
#include "core/store/Schema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace CodeList {

namespace {

// Every row has its bars: 14 rows of two rows' room to a page.
constexpr int rowsPerPage = 14;

// The kind of a code as it is kept: UPC-A as its EAN-13 with a leading 0, the shop's own
// codes starting 20–29.
QString kindOf(const QString& code)
{
    if (code.size() == 8)
        return QStringLiteral("JAN短縮");
    if (code.startsWith(QLatin1Char('0')))
        return QStringLiteral("UPC-A");
    if (code.startsWith(QLatin1Char('2')))
        return QStringLiteral("店内");
    return QStringLiteral("JAN");
}

// The products the list is of: all, or those counted under the category.
QString productFilter(std::optional<int> categoryId)
{
    return categoryId
        ? QStringLiteral(R"( WHERE s."品名ID" IN (SELECT "品名ID" FROM "棚卸マスター" WHERE "項目ID" = ?))")
        : QString();
}

bool keepsCodes(const Database& db)
{
    QSqlDatabase connection = db.connection();
    return Schema::version(connection) >= Schema::CodesVersion;
}

} // namespace

SheetLayout layout(bool oneCategory)
{
    using Field = SheetColumn::Field;
    using Format = SheetColumn::Format;
    SheetLayout l;
    l.title = QStringLiteral("商品コード一覧表");
    l.titleX = 80;
    l.titleRuleEnd = 128;
    l.headings = { { 22, QStringLiteral("品　名") },
                   { 93, QStringLiteral("単位") },
                   { 108, QStringLiteral("単　価") },
                   { 128, QStringLiteral("種類") },
                   { 160, QStringLiteral("コード") } };
    l.columnRules = { 90, 104, 126, 142 };
    l.dateLabel = QStringLiteral("作成日");
    l.dateX = 155;
    l.categoryHeadings = oneCategory;
    // The bars stand in a column of their own, so they take all of the row's height but the
    // digits: 11.5 mm, half the standard's height, which a reader held across them needs no
    // care to hit.
    l.columns = { { Field::Name, Format::Text, 15, {}, 90 },
                  { Field::Unit, Format::Text, 93 },
                  { Field::UnitPrice, Format::Quantity, 112, QStringLiteral("単価") },
                  { Field::Remark, Format::Text, 128, {}, 142 },
                  { Field::Code, Format::Barcode, 143.5 } };
    l.barHeight = 11.5;
    return l;
}

std::optional<SheetDocument> load(const Database& db, QDate made, std::optional<int> categoryId, QString* problem)
{
    const auto failed = [problem](const QString& text) {
        if (problem)
            *problem = text;
        return std::nullopt;
    };
    const QString databaseFailed = QStringLiteral("データベースの接続に失敗しました。");
    SheetDocument doc;
    doc.date = made;
    doc.allCategories = !categoryId;
    SheetSection section;
    if (categoryId) {
        QSqlQuery q(db.connection());
        q.prepare(QStringLiteral(R"(SELECT "項目分類名" FROM "項目分類" WHERE "項目ID" = ?)"));
        q.addBindValue(*categoryId);
        if (!q.exec())
            return failed(databaseFailed);
        section.categoryId = *categoryId;
        section.categoryName = q.next() ? q.value(0).toString() : QString();
    }
    if (keepsCodes(db)) {
        QSqlQuery q(db.connection());
        q.prepare(QStringLiteral(R"(SELECT COUNT(*) FROM "商品コード" c JOIN "仕入商品" s ON s."品名ID" = c."品名ID")")
                  + productFilter(categoryId));
        if (categoryId)
            q.addBindValue(*categoryId);
        if (!q.exec() || !q.next())
            return failed(databaseFailed);
        section.lineCount = q.value(0).toLongLong();
    }
    if (section.lineCount == 0)
        return failed(categoryId ? QStringLiteral("この項目/分類の品名にはコードが登録されていません。")
                                 : QStringLiteral("コードが登録された品名がありません。"));
    section.pages = int((section.lineCount + rowsPerPage - 1) / rowsPerPage);
    doc.sections = { section };
    const QString statement = QStringLiteral(R"(SELECT s."品名", s."単位", s."単価", c."コード" FROM "商品コード" c
            JOIN "仕入商品" s ON s."品名ID" = c."品名ID")")
        + productFilter(categoryId) + QStringLiteral(" ORDER BY ")
        + NameOrder::orderBy(db.engine(), QStringLiteral(R"(s."品名")"), QStringLiteral(R"(s."品名ID")"))
        + QStringLiteral(R"(, c."順番", c."コード")");
    doc.rows = [connection = db.connection(), statement, categoryId](const SheetRowVisitor& visit) {
        RowStream q(connection, statement, categoryId ? QVariantList { *categoryId } : QVariantList());
        if (!q.exec())
            return false;
        while (q.next()) {
            SheetRow row;
            row.name = q.value(0).toString();
            row.unit = q.value(1).toString();
            row.unitPrice = q.value(2).toDouble();
            row.code = q.value(3).toString();
            row.remark = kindOf(row.code);
            if (!visit(0, row))
                return true;
        }
        return !q.lastError().isValid();
    };
    return doc;
}

std::optional<qint64> productsWithoutCode(const Database& db, std::optional<int> categoryId)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    const QString coded = keepsCodes(db)
        ? QStringLiteral(R"(EXISTS (SELECT 1 FROM "商品コード" c WHERE c."品名ID" = s."品名ID"))")
        : QStringLiteral("0");
    q.prepare(QStringLiteral(R"(SELECT COUNT(*) FROM "仕入商品" s)") + productFilter(categoryId)
              + (categoryId ? QStringLiteral(" AND NOT ") : QStringLiteral(" WHERE NOT ")) + coded);
    if (categoryId)
        q.addBindValue(*categoryId);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

QString documentTitle(QDate made)
{
    return QStringLiteral("商品コード一覧表 ") + SheetText::dateText(made);
}

SheetPrinted draw(PageSurface& surface, const SheetDocument& document, const QString& fontFamily)
{
    return drawSheet(surface, document, layout(!document.allCategories), fontFamily);
}

std::optional<SheetPrinted> writePdf(const SheetDocument& document, const QString& fontFamily, const QString& path,
                                     QString* error, const PageSetup& setup)
{
    return writeSheetPdf(
        path, documentTitle(document.date), [&](PageSurface& surface) { return draw(surface, document, fontFamily); },
        error, setup);
}

} // namespace CodeList
