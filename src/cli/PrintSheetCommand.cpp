#include "cli/PrintSheetCommand.h"

#include "core/app/Clock.h"
#include "core/app/Paths.h"
#include "core/app/Settings.h"
#include "core/lines/LineChecks.h"
#include "core/printing/PrintQueue.h"
#include "core/printing/SheetText.h"
#include "core/printing/StocktakingSheet.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>
#include <array>
#include <cmath>

using StocktakingSheet::Layout;

namespace {

// The face the windows print with: the setting "PrinterFont" of this user.
QString printerFont()
{
    const SystemClock clock;
    return Settings(Paths::fromEnvironment().settingsFile(), clock).value(Setting::PrinterFont);
}

} // namespace

PrintSheetCommand::PrintSheetCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("print sheet"),
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
    , m_font(QStringLiteral("font"), QStringLiteral("印刷に使うフォント（既定: 設定のプリンタフォント）。"),
             QStringLiteral("NAME"))
    , m_pdf(QStringLiteral("pdf"), QStringLiteral("書き出す PDF ファイル。あれば置き換えます。"),
            QStringLiteral("OUT.pdf"))
    , m_printer(QStringLiteral("printer"),
                QStringLiteral("PDF ファイルの代わりに、このプリンタ（CUPS のキュー名）に出力します。"),
                QStringLiteral("NAME"))
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

int PrintSheetCommand::execute(const QStringList& args)
{
    QCommandLineParser parser;
    int status = Failure;
    if (!parse(parser, args, &status))
        return status;
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
    // Either a PDF file or a printer; a printer gets the same pages as a PDF file made aside.
    const QString printer = parser.value(m_printer);
    if (parser.isSet(m_pdf) == parser.isSet(m_printer))
        return fail(QStringLiteral("--pdf OUT.pdf か --printer NAME のどちらか一つを指定してください。"));
    if (!printer.isEmpty() && !PrintQueue::exists(printer))
        return fail(QStringLiteral("プリンタ「%1」が見つかりません。").arg(printer));
    QTemporaryDir spool;
    const std::optional<QString> target = printer.isEmpty()
        ? std::optional<QString>(parser.value(m_pdf))
        : std::optional<QString>(spool.filePath(QStringLiteral("棚卸表.pdf")));
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
        categoryId = StocktakingSheet::categoryByName(db, parser.value(m_category));
        if (!categoryId)
            return fail(QStringLiteral("項目/分類「%1」は登録されていません。").arg(parser.value(m_category)));
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
        if (*unmatched > 0 && !moveMarkedLinesToNoCategory(db, *day))
            return fail(failed);
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
    const std::optional<StocktakingSheet::Printed> printed
        = StocktakingSheet::writePdf(*document, layout, parser.isSet(m_font) ? parser.value(m_font) : printerFont(),
                                     *offsetX, *offsetY, *target, &error);
    if (!printed)
        return fail(error);
    if (!printer.isEmpty() && !PrintQueue::submit(printer, *target, QStringLiteral("棚卸表"), &error))
        return fail(QStringLiteral("プリンタ「%1」に出力できませんでした。\n%2").arg(printer, error));
    m_out << QStringLiteral("%1: %2 頁、合計 %3 円")
                 .arg(printer.isEmpty() ? QDir::toNativeSeparators(*target) : printer)
                 .arg(printed->pages)
                 .arg(SheetText::amount(printed->total));
    if (layout == Layout::Hisago1151 && printed->taxTotal != 0)
        m_out << QStringLiteral("（うち消費税 %1 円）").arg(SheetText::amount(printed->taxTotal));
    m_out << QLatin1Char('\n');
    m_out.flush();

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
