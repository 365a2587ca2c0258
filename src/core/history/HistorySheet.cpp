// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/history/HistorySheet.h"

#include "core/app/AppState.h"
#include "core/export/SheetWriter.h"
#include "core/export/SpreadsheetExport.h"
#include "core/history/HistorySearch.h"
#include "core/printing/SheetText.h"
#include "core/rules/TextRules.h"

#include <QLocale>

namespace HistorySheet {

namespace {

constexpr double titleSize = 14.25;
constexpr double textSize = 9.75;
constexpr double conditionSize = 8;
constexpr double twoLineSize = 7.5;

// The columns: where each starts and the rule that ends it, mm.
struct Column
{
    double x;
    double end;
    const char* heading;
};
constexpr Column TimeColumn { 13.5, 47, "日時" };
constexpr Column StationColumn { 48.5, 71, "端末" };
constexpr Column KindColumn { 72.5, 89, "種類" };
constexpr Column IdColumn { 90.5, 104, "ID" };
constexpr Column NameColumn { 105.5, 139, "品名" };
constexpr Column ContentColumn { 140.5, 192, "内容" };
constexpr Column Columns[] = { TimeColumn, StationColumn, KindColumn, IdColumn, NameColumn, ContentColumn };

void drawFrame(PageSurface& s, int pageNo, QDate date, const QString& conditions, const QString& fontFamily)
{
    s.drawRoundBox(12, 29, 192, 270, 1);
    s.drawLine(72, 16, 122, 16);
    s.setFont(fontFamily, titleSize);
    s.drawText(87, 11, title());
    s.setFontSize(textSize);
    for (const Column& column : Columns)
        s.drawText(column.x, 30, QString::fromUtf8(column.heading));
    s.drawLine(12, 35, 192, 35);
    for (const Column& column : Columns) {
        if (column.end < 192)
            s.drawLine(column.end, 29, column.end, 270, PageSurface::Line::Dotted);
    }
    for (int rule = 0; rule < RowsPerPage - 1; ++rule)
        s.drawLine(12, 42 + 8 * rule, 192, 42 + 8 * rule, PageSurface::Line::Dotted);
    s.drawLine(12, 258, 192, 258);
    SheetText::drawPageNumber(s, pageNo);
    s.drawText(142, 20, QStringLiteral("決算日"));
    s.drawText(157, 20, SheetText::dateText(date));
    if (!conditions.isEmpty()) {
        s.setFontSize(conditionSize);
        s.drawTextWithin(12, 23.5, 180, QStringLiteral("検索条件：") + conditions);
        s.setFontSize(textSize);
    }
}

void drawWithin(PageSurface& s, const Column& column, double y, const QString& text)
{
    // Half a millimetre clear of the rule that ends the column.
    s.drawTextWithin(column.x, y, column.end - 0.5 - column.x, text);
}

// A text too long for its column at the sheet's size goes on two lines in a smaller one,
// broken after a "、" where it can be.
void drawContent(PageSurface& s, const Column& column, double y, const QString& text)
{
    const double width = column.end - 0.5 - column.x;
    if (s.textWidth(text) <= width) {
        s.drawText(column.x, y, text);
        return;
    }
    s.setFontSize(twoLineSize);
    int cut = int(text.size());
    while (cut > 1 && s.textWidth(text.left(cut)) > width)
        --cut;
    const int comma = int(text.lastIndexOf(QStringLiteral("、"), cut - 1));
    if (comma > 0 && comma + 1 < cut)
        cut = comma + 1;
    s.drawText(column.x, y - 2.6, text.left(cut));
    s.drawTextWithin(column.x, y + 0.8, width, text.mid(cut));
    s.setFontSize(textSize);
}

void drawEntry(PageSurface& s, int rowNo, const ChangeHistory::Entry& e, QDate sheetDate)
{
    const double y = 38 + 8 * rowNo;
    drawWithin(s, TimeColumn, y, HistorySearch::timeText(e.time));
    drawWithin(s, StationColumn, y, e.station);
    drawWithin(s, KindColumn, y, e.kindName);
    if (e.lineId) {
        const QString id = QString::number(e.lineId);
        s.drawText(IdColumn.end - 1 - s.textWidth(id), y, id);
    }
    drawContent(s, NameColumn, y, e.name);
    drawContent(s, ContentColumn, y, HistorySearch::contentText(e, sheetDate));
}

} // namespace

QString title()
{
    return QStringLiteral("変　更　履　歴");
}

QString documentTitle(QDate date)
{
    return QStringLiteral("変更履歴 ") + SheetText::dateText(date);
}

int pageCount(qint64 entries)
{
    return int(std::max<qint64>(1, (entries + RowsPerPage - 1) / RowsPerPage));
}

SheetPrinted draw(PageSurface& s, const Database& db, const ChangeHistory::Filter& filter, const QString& conditions,
                  const QString& fontFamily)
{
    SheetPrinted printed;
    int pageNo = 1;
    int rowNo = 0;
    qint64 entries = 0;
    drawFrame(s, pageNo, filter.date, conditions, fontFamily);
    const bool read = ChangeHistory::forEach(db, filter, [&](const ChangeHistory::Entry& e) {
        if (rowNo == RowsPerPage) {
            s.newPage();
            if (s.cancelled())
                return false;
            drawFrame(s, ++pageNo, filter.date, conditions, fontFamily);
            rowNo = 0;
        }
        drawEntry(s, rowNo++, e, filter.date);
        ++entries;
        return true;
    });
    printed.pages = pageNo;
    printed.cancelled = s.cancelled();
    printed.unread = !read;
    if (printed.whole())
        s.drawText(17, 262, QStringLiteral("件数　%1 件").arg(TextRules::formatAmount(double(entries))));
    return printed;
}

std::optional<SheetPrinted> writePdf(const Database& db, const ChangeHistory::Filter& filter, const QString& conditions,
                                     const QString& fontFamily, const QString& path, QString* error,
                                     const PageSetup& setup)
{
    return writeSheetPdf(
        path, documentTitle(filter.date),
        [&](PageSurface& surface) { return draw(surface, db, filter, conditions, fontFamily); }, error, setup);
}

} // namespace HistorySheet

namespace HistoryExport {

bool write(const Database& db, const ChangeHistory::Filter& filter, const QString& target, QString* error)
{
    const QString unread = QStringLiteral("データベースの読み込みに失敗しました。");
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const std::optional<qint64> entries = ChangeHistory::count(db, filter);
    if (!entries)
        return fail(unread);
    if (*entries + 1 > SheetWriter::MaxRows) {
        QLocale numbers = QLocale::c();
        numbers.setNumberOptions({});
        return fail(QStringLiteral("%1 件は 1 枚のシートに入りきらないため、書き出しませんでした。（1 枚に %2 件まで）")
                        .arg(numbers.toString(*entries), numbers.toString(SheetWriter::MaxRows - 1)));
    }
    using Kind = SheetWriter::Kind;
    SheetWriter sheet(target);
    if (!sheet.begin({ { QStringLiteral("番号"), Kind::Number },
                       { QStringLiteral("日時"), Kind::Text },
                       { QStringLiteral("種類"), Kind::Text },
                       { QStringLiteral("ID"), Kind::Number },
                       { QStringLiteral("日付"), Kind::Text },
                       { QStringLiteral("品名"), Kind::Text },
                       { QStringLiteral("金額"), Kind::Number },
                       { QStringLiteral("内容"), Kind::Text },
                       { QStringLiteral("端末"), Kind::Text } },
                     error))
        return false;
    const bool read = ChangeHistory::forEach(db, filter, [&sheet](const ChangeHistory::Entry& e) {
        sheet.addRow({ e.number, HistorySearch::timeText(e.time), e.kindName,
                       e.lineId ? QVariant(e.lineId) : QVariant(),
                       e.date.isValid() ? QVariant(SheetText::dateText(e.date)) : QVariant(),
                       e.name.isEmpty() ? QVariant() : QVariant(e.name), e.amount ? QVariant(*e.amount) : QVariant(),
                       ChangeHistory::describe(e), e.station });
        return true;
    });
    if (!read)
        return fail(unread);
    return sheet.finish(error);
}

bool exportEntries(AppState& state, const ChangeHistory::Filter& filter)
{
    return SpreadsheetExport::saveAndOpen(state, [&](const QString& target, QString* error) {
        return write(state.DatabaseConnection, filter, target, error);
    });
}

} // namespace HistoryExport
