// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/HistoryCommands.h"

#include "core/app/Clock.h"
#include "core/app/Paths.h"
#include "core/app/Settings.h"
#include "core/history/ChangeHistory.h"
#include "core/history/Finalisation.h"
#include "core/printing/SheetText.h"

#include <QDir>
#include <QTextStream>
#include <array>
#include <cmath>

namespace {

QString shown(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

void printEntry(QTextStream& out, const ChangeHistory::Entry& entry)
{
    out << ChangeHistory::cells(entry).join(QLatin1Char('\t')) << QLatin1Char('\n');
}

} // namespace

FinaliseCommand::FinaliseCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("finalise"),
              QStringLiteral("決算日の棚卸を確定します。棚卸表を PDF に出力してデータベースファイルに保存し、"
                             "その決算日の棚卸を変更できないようにします。\n"
                             "項目/分類が登録されていない棚卸や単価のない棚卸があれば中止します（終了コード 1）。"))
    , m_date(dateOption())
    , m_layout(QStringLiteral("layout"),
               QStringLiteral("original: A４　オリジナル棚卸表（既定）、simple: A４　簡易棚卸表、"
                              "hisago: HISAGO 1151（連続用紙）。"),
               QStringLiteral("original|simple|hisago"), QStringLiteral("original"))
    , m_font(QStringLiteral("font"), QStringLiteral("印刷に使うフォント（既定: 設定のプリンタフォント）。"),
             QStringLiteral("NAME"))
    , m_offsetX(QStringLiteral("offset-x"), QStringLiteral("連続用紙の出力位置を右へずらす量。"), QStringLiteral("MM"),
                QStringLiteral("0"))
    , m_offsetY(QStringLiteral("offset-y"), QStringLiteral("連続用紙の出力位置を下へずらす量。"), QStringLiteral("MM"),
                QStringLiteral("0"))
    , m_undo(QStringLiteral("undo"), QStringLiteral("確定を取り消します（--reason で理由を指定）。"))
    , m_reason(QStringLiteral("reason"), QStringLiteral("確定を取り消す理由（変更履歴に記録します）。"),
               QStringLiteral("TEXT"))
{
    positionalArguments = { databaseArgument() };
    options = { m_date, m_layout, m_font, m_offsetX, m_offsetY, m_undo, m_reason };
}

int FinaliseCommand::run(const QCommandLineParser& parser)
{
    const std::optional<QDate> day = requiredDate(parser, m_date);
    if (!day)
        return Failure;
    if (parser.isSet(m_undo)) {
        const std::optional<QString> reason = required(parser, m_reason);
        if (!reason)
            return Failure;
        Database db;
        if (!openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadWrite))
            return Failure;
        QString error;
        if (!Finalisation::undo(db, *day, *reason, &error))
            return fail(error);
        m_out << QStringLiteral("決算日 %1 の棚卸の確定を取り消しました。\n")
                     .arg(day->toString(QStringLiteral("yyyy/MM/dd")));
        m_out.flush();
        return Success;
    }
    if (parser.isSet(m_reason))
        return fail(QStringLiteral("--reason は --undo と共に指定してください。"));
    const std::optional<qsizetype> layout
        = choice(parser, m_layout, { QStringLiteral("original"), QStringLiteral("simple"), QStringLiteral("hisago") });
    if (!layout)
        return Failure;
    Finalisation::Options chosen;
    chosen.layout = std::array { StocktakingSheet::Layout::Original, StocktakingSheet::Layout::Simple,
                                 StocktakingSheet::Layout::Hisago1151 }[*layout];
    for (auto [option, value] :
         { std::pair { &m_offsetX, &chosen.offsetX }, std::pair { &m_offsetY, &chosen.offsetY } }) {
        bool ok = false;
        *value = parser.value(*option).trimmed().toDouble(&ok);
        if (!ok || std::abs(*value) > 500)
            return fail(
                QStringLiteral("--%1 には -500 から 500 までの数（㎜）を指定してください（「%2」は使えません）。")
                    .arg(option->names().constLast(), parser.value(*option)));
    }
    if (parser.isSet(m_font)) {
        chosen.fontFamily = parser.value(m_font);
    } else {
        const SystemClock clock;
        chosen.fontFamily = Settings(Paths::fromEnvironment().settingsFile(), clock).value(Setting::PrinterFont);
    }
    Database db;
    if (!openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadWrite))
        return Failure;
    const Finalisation::Outcome outcome = Finalisation::finalise(db, *day, chosen);
    using Outcome = Finalisation::Outcome::Status;
    switch (outcome.status) {
    case Outcome::Done:
        m_out << outcome.message << QLatin1Char('\n');
        if (outcome.record)
            m_out << QStringLiteral("確定日時 %1、PDF の SHA-256 %2\n")
                         .arg(shown(outcome.record->finalisedAt), outcome.record->pdfHash);
        m_out.flush();
        return Success;
    case Outcome::MissingCategory:
    case Outcome::MissingPrice:
    case Outcome::TotalsDisagree:
        fail(outcome.message);
        return Found;
    default:
        return fail(outcome.message);
    }
}

VerifyCommand::VerifyCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("verify"),
              QStringLiteral("確定した決算日の棚卸と保存した棚卸表が、確定の時から変わっていないかを調べます。\n"
                             "変わっていなければ終了コード 0、変わっていれば 1（変更された棚卸を表示）、"
                             "調べられなければ 2 です。"))
    , m_date(dateOption())
{
    positionalArguments = { databaseArgument() };
    options = { m_date };
}

int VerifyCommand::run(const QCommandLineParser& parser)
{
    const std::optional<QDate> day = requiredDate(parser, m_date);
    Database db;
    if (!day || !openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadOnly))
        return Failure;
    const Finalisation::Verification v = Finalisation::verify(db, *day);
    if (v.status == Finalisation::Verification::Status::CannotTell)
        return fail(v.findings.join(QLatin1Char('\n')));
    if (v.record)
        m_out << QStringLiteral("確定日時 %1（%2、%3 行、合計 %4 円）\n")
                     .arg(shown(v.record->finalisedAt), v.record->layoutName, SheetText::amount(v.record->lineCount),
                          SheetText::amount(v.record->total));
    for (const QString& finding : v.findings)
        m_out << finding << QLatin1Char('\n');
    if (!v.changes.isEmpty()) {
        m_out << QStringLiteral("確定の後の変更:\n") << ChangeHistory::headings().join(QLatin1Char('\t'))
              << QLatin1Char('\n');
        for (const ChangeHistory::Entry& entry : v.changes)
            printEntry(m_out, entry);
    }
    m_out.flush();
    return v.status == Finalisation::Verification::Status::Unchanged ? Success : Found;
}

HistoryCommand::HistoryCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("history"),
              QStringLiteral("決算日の棚卸の変更履歴を古い順に表示します（タブ区切り）。"))
    , m_date(dateOption())
    , m_since(QStringLiteral("since"), QStringLiteral("この日時以後の変更だけを表示します。"),
              QStringLiteral("\"YYYY-MM-DD[ HH:MM[:SS]]\""))
{
    positionalArguments = { databaseArgument() };
    options = { m_date, m_since };
}

int HistoryCommand::run(const QCommandLineParser& parser)
{
    const std::optional<QDate> day = requiredDate(parser, m_date);
    if (!day)
        return Failure;
    ChangeHistory::Filter filter;
    filter.date = *day;
    if (parser.isSet(m_since)) {
        const QString text = parser.value(m_since).trimmed();
        for (const QString& form : { QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm"),
                                     QStringLiteral("yyyy-MM-ddTHH:mm:ss"), QStringLiteral("yyyy-MM-dd") }) {
            if (!filter.from.isValid())
                filter.from = QDateTime::fromString(text, form);
        }
        if (!filter.from.isValid())
            return fail(
                QStringLiteral("--since の日時は YYYY-MM-DD または \"YYYY-MM-DD HH:MM:SS\" の形で指定してください"
                               "（「%1」は使えません）。")
                    .arg(text));
    }
    Database db;
    if (!openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadOnly))
        return Failure;
    if (!HistoryTrail::hasHistory(db.connection()))
        return fail(QStringLiteral("このファイルには変更履歴がありません（古い形式のままです）。"
                                   "Kotrina で一度開くと記録が始まります。"));
    m_out << ChangeHistory::headings().join(QLatin1Char('\t')) << QLatin1Char('\n');
    const bool read = ChangeHistory::forEach(db, filter, [this](const ChangeHistory::Entry& entry) {
        printEntry(m_out, entry);
        return true;
    });
    m_out.flush();
    return read ? Success : fail(QStringLiteral("データベースの読み込みに失敗しました。"));
}

FiledCommand::FiledCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("filed"),
              QStringLiteral("確定の時に保存した棚卸表を一覧します。--pdf を付けると、その PDF を"
                             "保存したときのまま書き出します（既定は最新のもの）。"))
    , m_date(dateOption())
    , m_pdf(QStringLiteral("pdf"), QStringLiteral("書き出す PDF ファイル。あれば置き換えます。"),
            QStringLiteral("OUT.pdf"))
    , m_number(QStringLiteral("number"), QStringLiteral("書き出す確定の番号（一覧の「番号」）。"), QStringLiteral("N"))
{
    positionalArguments = { databaseArgument() };
    options = { m_date, m_pdf, m_number };
}

int FiledCommand::run(const QCommandLineParser& parser)
{
    const std::optional<QDate> day = requiredDate(parser, m_date);
    Database db;
    if (!day || !openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadOnly))
        return Failure;
    const std::optional<QList<Finalisation::Record>> records = Finalisation::records(db, *day);
    if (!records || records->isEmpty())
        return fail(QStringLiteral("決算日 %1 の棚卸は確定されたことがありません。")
                        .arg(day->toString(QStringLiteral("yyyy/MM/dd"))));
    if (!parser.isSet(m_pdf)) {
        if (parser.isSet(m_number))
            return fail(QStringLiteral("--number は --pdf と共に指定してください。"));
        m_out << QStringLiteral("番号\t確定日時\t様式\t行数\t合計\tPDFのSHA-256\tPDFの大きさ\t取消\n");
        for (const Finalisation::Record& r : *records)
            m_out << r.id << '\t' << shown(r.finalisedAt) << '\t' << r.layoutName << '\t' << r.lineCount << '\t'
                  << SheetText::amount(r.total) << '\t' << r.pdfHash << '\t' << r.pdfSize << '\t'
                  << (r.undoneAt ? shown(*r.undoneAt) + QStringLiteral(" ") + r.undoReason : QString()) << '\n';
        m_out.flush();
        return Success;
    }
    const Finalisation::Record* chosen = &records->constLast();
    if (parser.isSet(m_number)) {
        bool ok = false;
        const qint64 number = parser.value(m_number).toLongLong(&ok);
        chosen = nullptr;
        for (const Finalisation::Record& r : *records) {
            if (ok && r.id == number)
                chosen = &r;
        }
        if (!chosen)
            return fail(QStringLiteral("決算日 %1 の確定に番号「%2」はありません。")
                            .arg(day->toString(QStringLiteral("yyyy/MM/dd")), parser.value(m_number)));
    }
    QString error;
    if (!Finalisation::writePdf(db, chosen->id, parser.value(m_pdf), &error))
        return fail(error);
    m_out << QStringLiteral("%1: 確定日時 %2 の棚卸表（SHA-256 %3）\n")
                 .arg(QDir::toNativeSeparators(parser.value(m_pdf)), shown(chosen->finalisedAt), chosen->pdfHash);
    m_out.flush();
    return Success;
}
