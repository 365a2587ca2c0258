// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/ImportCommand.h"

#include "core/app/Paths.h"
#include "core/history/Finalisation.h"
#include "core/imports/TabFile.h"

#include <QDir>
#include <QTextStream>

namespace {

QString fieldList(ImportKind kind)
{
    return importFieldLabels(kind).join(QStringLiteral("、"));
}

} // namespace

ImportCommand::ImportCommand(QTextStream& out, QTextStream& err, QString verb, QString text, ImportKind kind)
    : Command(out, err, std::move(verb), std::move(text))
    , m_kind(kind)
    , m_file(QStringLiteral("file"), QStringLiteral("インポートするタブ区切りのテキストファイル（見出し行つき）。"),
             QStringLiteral("DATA.txt"))
    , m_map(QStringLiteral("map"),
            QStringLiteral("列の割り当て。FIELD は %1 のどれか、COLUMN は見出しか #N（N 列目）。"
                           "ないときはインポートの設定で保存した割り当て（保存時と見出しが違う列があれば止まり"
                           "ます）、それもなければ見出しが FIELD と同じ列。")
                .arg(fieldList(kind)),
            QStringLiteral("FIELD=COLUMN,…"))
{ }

std::optional<ImportMapping> ImportCommand::mapping(const QCommandLineParser& parser, QString* dataFile)
{
    const std::optional<QString> file = required(parser, m_file);
    if (!file)
        return std::nullopt;
    *dataFile = *file;
    QString error;
    const QStringList headings = readHeading(*file, &error);
    if (headings.isEmpty()) {
        // A file with no line at all says what the dialogs and a file of headings alone say.
        const ImportSurvey survey = surveyImportFile(*file, ImportMapping(m_kind));
        if (survey.error == noRecordsMessage())
            fail(importFailedMessage(m_kind) + QLatin1Char('\n') + survey.error);
        else
            fail(QStringLiteral("ファイルを読み込めません: %1\n%2").arg(QDir::toNativeSeparators(*file), error));
        return std::nullopt;
    }
    std::optional<ImportMapping> result;
    if (parser.isSet(m_map)) {
        result = ImportMapping::parse(m_kind, parser.value(m_map), headings, &error);
        if (!result) {
            fail(QStringLiteral("--map: ") + error);
            return std::nullopt;
        }
    } else {
        result = ImportMapping(m_kind);
        if (!result->read(Paths::fromEnvironment().inDataDir(ImportMapping::fileName(m_kind))))
            result = ImportMapping::fromHeadings(m_kind, headings);
        else if (!fitsFile(*result, headings))
            return std::nullopt;
        else
            result->assignUnnamedFields(headings);
    }
    if (!result->isAssigned(nameField(m_kind))) {
        // The headings as read show a file in another encoding for what it is.
        fail(QStringLiteral("品名の項目が設定されていません。--map で品名の列を指定してください。\n"
                            "ファイルの見出し: %1")
                 .arg(headings.join(QStringLiteral("、"))));
        return std::nullopt;
    }
    return result;
}

bool ImportCommand::fitsFile(const ImportMapping& saved, const QStringList& headings)
{
    QStringList differing, byPosition;
    for (const HeadingDifference& difference : saved.differences(headings)) {
        const QString& label = importFieldLabels(m_kind).at(difference.field - 1);
        if (difference.saved.isEmpty())
            byPosition << QStringLiteral("%1（%2 列目）").arg(label).arg(difference.column);
        else
            differing << QStringLiteral("  %1: %2").arg(label, difference.text());
    }
    if (!differing.isEmpty()) {
        QString message = QStringLiteral("保存されている列の割り当てが、このファイルの見出しと合いません。\n")
            + differing.join(QLatin1Char('\n')) + QLatin1Char('\n');
        if (saved.noSavedHeadingIn(headings))
            message += ImportMapping::headingLineHint() + QLatin1Char('\n');
        fail(message + QStringLiteral("--map で列を指定するか、インポートの設定で割り当て直してください。"));
        return false;
    }
    // An assignment kept as column positions alone cannot be checked: it is read as before.
    if (!byPosition.isEmpty()) {
        m_err << QStringLiteral("kotrina: 保存されている列の割り当てには、%1の見出しが記録されていません。"
                                "列の位置で読み込みます。\n")
                     .arg(byPosition.join(QStringLiteral("、")));
        m_err.flush();
    }
    return true;
}

int ImportCommand::report(const ImportOutcome& outcome, const QStringList& counts)
{
    if (outcome.status == ImportOutcome::Status::Done) {
        for (const QString& line : counts)
            m_out << line << QLatin1Char('\n');
        m_out.flush();
        return Success;
    }
    // A run that failed wrote nothing: the message says so, then names the records that made it fail.
    return fail(importFailedMessage(m_kind) + QLatin1Char('\n') + outcome.details());
}

ImportLinesCommand::ImportLinesCommand(QTextStream& out, QTextStream& err)
    : ImportCommand(out, err, QStringLiteral("import lines"),
                    QStringLiteral("タブ区切りのテキストファイルから決算日の棚卸をインポートします。\n"
                                   "よくない行が一つでもあれば何も書き込まず、その行を表示します。"),
                    ImportKind::Lines)
    , m_date(dateOption())
    , m_yes(QStringLiteral("yes"), QStringLiteral("決算日の棚卸がすでにあっても続けます。"))
{
    positionalArguments = { databaseArgument() };
    options = { m_date, m_file, m_map, m_yes };
}

int ImportLinesCommand::run(const QCommandLineParser& parser)
{
    const std::optional<QDate> day = requiredDate(parser, m_date);
    QString file;
    const std::optional<ImportMapping> columns = day ? mapping(parser, &file) : std::nullopt;
    Database db;
    if (!columns || !openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadWrite))
        return Failure;
    // A finalised date takes no lines: said before asking about the lines it has.
    if (const std::optional<Finalisation::DateLock> lock = Finalisation::lockOf(db, *day))
        return fail(QStringLiteral("インポートに失敗しました。棚卸データは取り込まれていません。\n")
                    + Finalisation::refusal(*lock));
    const std::optional<bool> exists = linesExistOn(db, *day);
    if (!exists)
        return fail(QStringLiteral("データベースの読み込みに失敗しました。"));
    if (*exists && !parser.isSet(m_yes))
        return fail(QStringLiteral("既に棚卸表に%1日付のデータがあります。続けるときは --yes を指定してください。")
                        .arg(day->toString(QStringLiteral("yyyy/MM/dd"))));
    const ImportOutcome outcome = importLines(db, file, *day, *columns);
    return report(outcome,
                  { QStringLiteral("棚卸表　入力件数       %1 件").arg(outcome.linesAdded),
                    QStringLiteral("項目/分類情報　新規登録件数　%1 件").arg(outcome.categoriesAdded),
                    QStringLiteral("品名情報　新規登録件数　 　　%1 件").arg(outcome.productsAdded) });
}

ImportProductsCommand::ImportProductsCommand(QTextStream& out, QTextStream& err)
    : ImportCommand(
        out, err, QStringLiteral("import products"),
        QStringLiteral("タブ区切りのテキストファイルから品名情報をインポートします（品名のない行は"
                       "読み飛ばします）。\nよくない行が一つでもあれば何も書き込まず、その行を表示します。"),
        ImportKind::Products)
    , m_update(QStringLiteral("update-existing"),
               QStringLiteral("既に登録されている品名情報の単価、数量単位を更新し、JANコードを追加します。"))
{
    positionalArguments = { databaseArgument() };
    options = { m_file, m_map, m_update };
}

int ImportProductsCommand::run(const QCommandLineParser& parser)
{
    QString file;
    const std::optional<ImportMapping> columns = mapping(parser, &file);
    Database db;
    if (!columns || !openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadWrite))
        return Failure;
    const ImportOutcome outcome = importProducts(db, file, *columns, parser.isSet(m_update));
    return report(outcome, { QStringLiteral("品名情報　新規登録件数　 　　%1 件").arg(outcome.productsAdded) });
}
