// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/PrintCommand.h"

#include "core/app/Clock.h"
#include "core/app/Paths.h"
#include "core/app/Settings.h"
#include "core/files/FailureCause.h"
#include "core/printing/PrintQueue.h"
#include "core/printing/StocktakingSheet.h"

#include <QDir>
#include <QTextStream>

PrintCommand::PrintCommand(QTextStream& out, QTextStream& err, QString verb, QString what)
    : Command(out, err, std::move(verb), std::move(what))
    , m_font(QStringLiteral("font"), QStringLiteral("印刷に使うフォント（既定: 設定のプリンタフォント）。"),
             QStringLiteral("NAME"))
    , m_pdf(QStringLiteral("pdf"), QStringLiteral("書き出す PDF ファイル。あれば置き換えます。"),
            QStringLiteral("OUT.pdf"))
    , m_printer(QStringLiteral("printer"),
                QStringLiteral("PDF ファイルの代わりに、このプリンタ（CUPS のキュー名）に出力します。"),
                QStringLiteral("NAME"))
{ }

QString PrintCommand::font(const QCommandLineParser& parser) const
{
    if (parser.isSet(m_font))
        return parser.value(m_font);
    // The face the windows print with: the setting "PrinterFont" of this user.
    const SystemClock clock;
    return Settings(Paths::fromEnvironment().settingsFile(), clock).value(Setting::PrinterFont);
}

PageSetup PrintCommand::pageSetup(const QCommandLineParser& parser) const
{
    PageSetup setup;
    if (parser.isSet(m_printer))
        setup.margins = PrintQueue::unprintableMargins(parser.value(m_printer));
    return setup;
}

std::optional<int> PrintCommand::namedCategory(const Database& db, const QCommandLineParser& parser,
                                               const QCommandLineOption& option)
{
    const std::optional<int> id = StocktakingSheet::categoryByName(db, parser.value(option));
    if (!id)
        fail(QStringLiteral("項目/分類「%1」は登録されていません。").arg(parser.value(option)));
    return id;
}

std::optional<QString> PrintCommand::target(const QCommandLineParser& parser, const QTemporaryDir& spool,
                                            const QString& fileName)
{
    const QString printer = parser.value(m_printer);
    if (parser.isSet(m_pdf) == parser.isSet(m_printer)) {
        fail(QStringLiteral("--pdf OUT.pdf か --printer NAME のどちらか一つを指定してください。"));
        return std::nullopt;
    }
    if (!printer.isEmpty() && !PrintQueue::exists(printer)) {
        fail(QStringLiteral("プリンタ「%1」が見つかりません。").arg(printer));
        return std::nullopt;
    }
    if (printer.isEmpty()) {
        // A file that cannot be written is said before any page is drawn, with the reason.
        const QString pdf = parser.value(m_pdf);
        if (const QString cause = FailureCause::ofWrite(pdf); !cause.isEmpty()) {
            fail(QStringLiteral("PDFファイルを保存できませんでした。%1\n%2").arg(QDir::toNativeSeparators(pdf), cause));
            return std::nullopt;
        }
        return pdf;
    }
    return spool.filePath(fileName);
}

int PrintCommand::deliver(const QCommandLineParser& parser, const QString& file, const QString& jobTitle,
                          const SheetPrinted& printed, const QString& more)
{
    const QString printer = parser.value(m_printer);
    QString error;
    if (!printer.isEmpty() && PrintQueue::submit(printer, file, jobTitle, &error) == 0)
        return fail(QStringLiteral("プリンタ「%1」に出力できませんでした。\n%2").arg(printer, error));
    m_out << QStringLiteral("%1: %2 頁")
                 .arg(printer.isEmpty() ? QDir::toNativeSeparators(file) : printer)
                 .arg(printed.pages);
    if (!more.isEmpty())
        m_out << QStringLiteral("、") << more;
    m_out << QLatin1Char('\n');
    m_out.flush();
    return Success;
}
