// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/PrintSheetCommand.h"

#include "core/lines/LineChecks.h"
#include "core/printing/SheetText.h"
#include "core/printing/StocktakingSheet.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <array>
#include <cmath>

using StocktakingSheet::Layout;

PrintSheetCommand::PrintSheetCommand(QTextStream& out, QTextStream& err)
    : PrintCommand(
        out, err, QStringLiteral("print sheet"),
        QStringLiteral("決算日の棚卸表を PDF ファイルに出力します（項目/分類ごとに頁を分け、小計と合計付き）。\n"
                       "すべての項目/分類を出力するとき、登録されていない項目/分類の棚卸があれば中止します。"))
    , m_date(dateOption())
    , m_layout(QStringLiteral("layout"),
               QStringLiteral("original: A４　オリジナル棚卸表（既定）、simple: A４　簡易棚卸表、"
                              "hisago: HISAGO 1151（連続用紙）。"),
               QStringLiteral("original|simple|hisago"), QStringLiteral("original"))
    , m_category(QStringLiteral("category"), QStringLiteral("この項目/分類だけを出力します（A4 の用紙のみ）。"),
                 QStringLiteral("NAME"))
    , m_offsetX(QStringLiteral("offset-x"), QStringLiteral("連続用紙の出力位置を右へずらす量。"), QStringLiteral("MM"),
                QStringLiteral("0"))
    , m_offsetY(QStringLiteral("offset-y"), QStringLiteral("連続用紙の出力位置を下へずらす量。"), QStringLiteral("MM"),
                QStringLiteral("0"))
    , m_move(QStringLiteral("move-to-uncategorised"),
             QStringLiteral("登録されていない項目/分類の棚卸を「未区分」に変更してから出力します。"))
{
    positionalArguments = { databaseArgument() };
    options = { m_date, m_layout, m_category, m_offsetX, m_offsetY, m_move, m_font, m_pdf, m_printer };
}

std::optional<double> PrintSheetCommand::offset(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    bool ok = false;
    const double mm = parser.value(option).trimmed().toDouble(&ok);
    // The offsets turn into 16-bit twips on the form.
    if (ok && std::abs(mm) <= 500)
        return mm;
    fail(QStringLiteral("--%1 には -500 から 500 までの数（㎜）を指定してください（「%2」は使えません）。")
             .arg(option.names().constLast(), parser.value(option)));
    return std::nullopt;
}

int PrintSheetCommand::run(const QCommandLineParser& parser)
{
    const std::optional<QDate> day = requiredDate(parser, m_date);
    const std::optional<qsizetype> layoutChoice = day
        ? choice(parser, m_layout, { QStringLiteral("original"), QStringLiteral("simple"), QStringLiteral("hisago") })
        : std::nullopt;
    if (!layoutChoice)
        return Failure;
    const Layout layout = std::array { Layout::Original, Layout::Simple, Layout::Hisago1151 }[*layoutChoice];
    const std::optional<double> offsetX = offset(parser, m_offsetX);
    const std::optional<double> offsetY = offsetX ? offset(parser, m_offsetY) : std::nullopt;
    if (!offsetY)
        return Failure;
    QTemporaryDir spool;
    const std::optional<QString> target = PrintCommand::target(parser, spool, QStringLiteral("棚卸表.pdf"));
    if (!target)
        return Failure;
    const bool oneCategory = parser.isSet(m_category);
    if (oneCategory && layout == Layout::Hisago1151)
        return fail(QStringLiteral("この用紙は、項目/分類別に出力できません。"));

    // Printing every category first marks the lines whose category is missing, which writes
    // the file; one category is printed from a file opened for reading only.
    Database db;
    if (!openDatabase(db, parser.positionalArguments().constFirst(),
                      oneCategory ? Database::Access::ReadOnly : Database::Access::ReadWrite))
        return Failure;
    const QString failed = QStringLiteral("データベースの接続に失敗しました。");

    std::optional<int> categoryId;
    if (oneCategory) {
        categoryId = namedCategory(db, parser, m_category);
        if (!categoryId)
            return Failure;
    } else {
        const std::optional<int> unmatched = markLinesWithoutCategory(db, *day);
        if (!unmatched)
            return fail(failed);
        if (*unmatched > 0 && !parser.isSet(m_move)) {
            fail(QStringLiteral("項目/分類が登録された項目に属さない棚卸が %1 件あります。"
                                "棚卸表作成を中止し棚卸表訂正を行ってください。\n"
                                "（--move-to-uncategorised を付けると、これらを「未区分」に変更して出力します。）")
                     .arg(*unmatched));
            return Found;
        }
        QString refusal;
        if (*unmatched > 0 && !moveMarkedLinesToNoCategory(db, *day, &refusal))
            return fail(refusal.isEmpty() ? failed : refusal);
        if (*unmatched > 0)
            m_out << QStringLiteral("%1 件の棚卸を「未区分」に変更しました。\n").arg(*unmatched);
    }

    const std::optional<int> lines = StocktakingSheet::lineCount(db, *day);
    if (!lines)
        return fail(failed);
    if (*lines == 0)
        return fail(QStringLiteral("該当する棚卸はありません。決算日を確認してください。"));
    const std::optional<StocktakingSheet::Document> document = StocktakingSheet::load(db, *day, categoryId);
    if (!document)
        return fail(failed);

    QString error;
    const std::optional<StocktakingSheet::Printed> printed = StocktakingSheet::writePdf(
        *document, layout, font(parser), *offsetX, *offsetY, *target, &error, pageSetup(parser));
    if (!printed)
        return fail(error);
    QString sum = QStringLiteral("合計 %1 円").arg(SheetText::amount(printed->total));
    if (layout == Layout::Hisago1151 && printed->taxTotal != 0)
        sum += QStringLiteral("（うち消費税 %1 円）").arg(SheetText::amount(printed->taxTotal));
    if (const int delivered = deliver(parser, *target, StocktakingSheet::documentTitle(*day), *printed, sum);
        delivered != Success)
        return delivered;

    // What was printed must be every line of the date.
    if (!oneCategory) {
        const std::optional<double> stored = StocktakingSheet::storedTotal(db, *day);
        if (!stored)
            return fail(failed);
        if (!StocktakingSheet::totalsAgree(*stored, printed->total)) {
            fail(QStringLiteral("出力した棚卸表に出力漏れがあります。棚卸表「項目ID」の修正を行ってください。\n"
                                "（印刷した合計 %1 円、決算日の合計 %2 円）")
                     .arg(SheetText::amount(printed->total), SheetText::amount(*stored)));
            return Found;
        }
    }
    return Success;
}
