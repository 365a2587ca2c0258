#include "core/printing/StocktakingSheet.h"

#include "core/lines/LineRegistration.h"
#include "core/printing/PageSurface.h"
#include "core/printing/SheetText.h"
#include "core/store/FileOps.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlQuery>

namespace StocktakingSheet {

namespace {

constexpr double titleSize = 14.25;
constexpr double textSize = 9.75;
constexpr int rowsPerPage = 28;

QString nameOf(Layout layout)
{
    switch (layout) {
    case Layout::Original:
        return QStringLiteral("A４　オリジナル棚卸表");
    case Layout::Simple:
        return QStringLiteral("A４　簡易棚卸表");
    case Layout::Hisago1151:
        return QStringLiteral("HISAGO 1151");
    }
    return {};
}

Line lineFrom(const QSqlQuery& q)
{
    return { QDate::fromString(q.value(0).toString(), Qt::ISODate),
             q.value(1).toString(),
             q.value(2).toDouble(),
             q.value(3).toString(),
             q.value(4).toDouble(),
             q.value(5).toDouble(),
             q.value(6).toString() };
}

// One page's frame of the A4 sheet: ruling, title, column headings, page number, date line.
void drawFrame(PageSurface& s, Layout layout, int pageNo, QDate date, const QString& fontFamily)
{
    if (layout == Layout::Original)
        s.drawRoundBox(12, 29, 192, 270, 1);
    s.drawLine(72, 16, 122, 16);
    s.setFont(fontFamily, titleSize);
    s.drawText(87, 11, QStringLiteral("棚　卸　表"));
    s.setFontSize(textSize);
    s.drawText(22, 30, QStringLiteral("品　名"));
    s.drawText(85, 30, QStringLiteral("数　量"));
    s.drawText(103, 30, QStringLiteral("単位"));
    s.drawText(117, 30, QStringLiteral("単　価"));
    s.drawText(142, 30, QStringLiteral("価　格"));
    s.drawText(167, 30, QStringLiteral("備考"));
    s.drawLine(12, 35, 192, 35);
    if (layout == Layout::Original) {
        for (const double x : { 82.0, 102.0, 112.0, 137.0, 162.0 })
            s.drawLine(x, 29, x, 270, PageSurface::Line::Dotted);
    }
    for (int rule = 0; rule < rowsPerPage - 1; ++rule)
        s.drawLine(12, 42 + 8 * rule, 192, 42 + 8 * rule, PageSurface::Line::Dotted);
    s.drawLine(12, 258, 192, 258);
    SheetText::drawPageNumber(s, pageNo);
    s.drawText(142, 20, QStringLiteral("日付　　　　　　　　　日現在"));
    s.drawText(152, 20, SheetText::dateText(date));
}

void drawLine(PageSurface& s, int row, const Line& line)
{
    const double y = 38 + 8 * row;
    // The name's column ends at the first column rule.
    s.drawTextWithin(15, y, 82 - 0.5 - 15, line.name);
    SheetText::drawQuantity(s, 90, y, QStringLiteral("数量"), line.quantity);
    s.drawText(103, y, line.unit);
    SheetText::drawQuantity(s, 125, y, QStringLiteral("単価"), line.unitPrice);
    s.drawAligned(154, y, QStringLiteral("価格"), SheetText::amount(line.price));
    if (!line.remark.isEmpty())
        s.drawTextWithin(164, y, 192 - 0.5 - 164, line.remark);
}

} // namespace

QString layoutName(Layout layout)
{
    return nameOf(layout);
}

std::optional<Layout> layoutFromName(const QString& name)
{
    for (const Layout l : { Layout::Original, Layout::Simple, Layout::Hisago1151 }) {
        if (nameOf(l) == name)
            return l;
    }
    return std::nullopt;
}

std::optional<Document> load(const Database& db, QDate date, std::optional<int> categoryId)
{
    Document doc;
    doc.date = date;
    doc.allCategories = !categoryId;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(categoryId ? QStringLiteral(R"(SELECT "項目ID", "項目分類名" FROM "項目分類" WHERE "項目ID" = ?)")
                         : QStringLiteral(
                             R"(SELECT "項目ID", "項目分類名" FROM "項目分類" WHERE "項目ID" >= 1 ORDER BY "項目ID")"));
    if (categoryId)
        q.addBindValue(*categoryId);
    if (!q.exec())
        return std::nullopt;
    QHash<int, qsizetype> sectionOf;
    while (q.next()) {
        sectionOf.insert(q.value(0).toInt(), doc.sections.size());
        doc.sections.push_back({ q.value(0).toInt(), q.value(1).toString(), {} });
    }
    if (!categoryId) {
        sectionOf.insert(0, doc.sections.size());
        doc.sections.push_back({ 0, QStringLiteral("未区分"), {} });
    }

    // The lines of the date in one pass, each put under its category; a line whose category
    // is neither printed nor 0 is left out, and the completeness check tells of it.
    q.prepare(QStringLiteral(R"(SELECT "日付", "品名", "数量", "単位", "単価", "価格", "備考", "項目ID"
        FROM "棚卸マスター" WHERE "日付" = ?)")
              + (categoryId ? QStringLiteral(R"( AND "項目ID" = ?)") : QString())
              + QStringLiteral(R"( ORDER BY "項目ID", "ID")"));
    q.addBindValue(storedDate(date));
    if (categoryId)
        q.addBindValue(*categoryId);
    if (!q.exec())
        return std::nullopt;
    while (q.next()) {
        const qsizetype section = sectionOf.value(q.value(7).toInt(), -1);
        if (section >= 0)
            doc.sections[section].lines.push_back(lineFrom(q));
    }
    if (!categoryId && doc.sections.constLast().lines.isEmpty())
        doc.sections.removeLast();
    return doc;
}

std::optional<int> categoryByName(const Database& db, const QString& name)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT MIN("項目ID") FROM "項目分類" WHERE "項目分類名" = ? AND "項目ID" >= 1)"));
    q.addBindValue(name);
    if (!q.exec() || !q.next() || q.value(0).isNull())
        return std::nullopt;
    return q.value(0).toInt();
}

std::optional<int> lineCount(const Database& db, QDate date)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT COUNT(*) FROM "棚卸マスター" WHERE "日付" = ?)"));
    q.addBindValue(storedDate(date));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toInt();
}

std::optional<double> storedTotal(const Database& db, QDate date)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT TOTAL("価格") FROM "棚卸マスター" WHERE "日付" = ?)"));
    q.addBindValue(storedDate(date));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toDouble();
}

Printed drawA4(PageSurface& s, const Document& doc, Layout layout, const QString& fontFamily)
{
    Printed printed;
    int pageNo = 0;
    auto startPage = [&](const Section& section) {
        if (pageNo > 0)
            s.newPage();
        drawFrame(s, layout, ++pageNo, doc.date, fontFamily);
        if (section.categoryId == 0) {
            s.drawText(12, 18, QStringLiteral("項目　未区分"));
        } else {
            s.drawText(12, 18, QStringLiteral("項目"));
            s.drawText(20, 18, section.categoryName);
        }
    };
    for (const Section& section : doc.sections) {
        startPage(section);
        double pageSum = 0;
        int row = 0;
        for (const Line& line : section.lines) {
            if (row == rowsPerPage) {
                SheetText::drawSum(s, 258, QStringLiteral("小計"), pageSum);
                startPage(section);
                row = 0;
                pageSum = 0;
            }
            drawLine(s, row++, line);
            pageSum += line.price;
            printed.total += line.price;
        }
        SheetText::drawSum(s, 258, QStringLiteral("小計"), pageSum);
    }
    SheetText::drawSum(s, 262, QStringLiteral("合計"), printed.total);
    printed.pages = pageNo;
    return printed;
}

Printed draw(PageSurface& surface, const Document& doc, Layout layout, const QString& fontFamily, double offsetX,
             double offsetY)
{
    return layout == Layout::Hisago1151 ? drawContinuous(surface, doc, fontFamily, offsetX, offsetY)
                                        : drawA4(surface, doc, layout, fontFamily);
}

std::optional<Printed> writePdf(const Document& doc, Layout layout, const QString& fontFamily, double offsetX,
                                double offsetY, const QString& path, QString* error)
{
    Printed printed;
    const bool written
        = writePdfPages(path, QStringLiteral("棚卸表 ") + SheetText::dateText(doc.date), [&](PageSurface& surface) {
              printed = draw(surface, doc, layout, fontFamily, offsetX, offsetY);
          });
    if (written)
        return printed;
    if (error)
        *error = QStringLiteral("PDFファイルを保存できませんでした。\r") + QDir::toNativeSeparators(path);
    return std::nullopt;
}

} // namespace StocktakingSheet
