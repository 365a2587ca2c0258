// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/Command.h"

#include "cli/NearestWord.h"
#include "core/files/DatabaseFiles.h"
#include "core/files/FailureCause.h"
#include "core/store/DatabaseName.h"
#include "core/store/FileOps.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

Command::Command(QTextStream& out, QTextStream& err, QString verb, QString text)
    : name(std::move(verb))
    , description(std::move(text))
    , m_out(out)
    , m_err(err)
{ }

QString Command::helpText() const
{
    QString text = QStringLiteral("使い方: kotrina ") + name;
    for (const Argument& a : positionalArguments)
        text += QLatin1Char(' ') + a.name;
    if (!options.isEmpty())
        text += QStringLiteral(" [オプション]");
    text += QStringLiteral("\n\n") + description + QStringLiteral("\n");
    if (!positionalArguments.isEmpty()) {
        text += QStringLiteral("\n引数:\n");
        for (const Argument& a : positionalArguments)
            text += QStringLiteral("  %1  %2\n").arg(a.name, -24).arg(a.description);
    }
    text += QStringLiteral("\nオプション:\n");
    QList<QCommandLineOption> all = options;
    all << QCommandLineOption(QStringList { QStringLiteral("h"), QStringLiteral("help") },
                              QStringLiteral("この説明を表示します。"));
    for (const QCommandLineOption& o : all) {
        QStringList names;
        for (const QString& n : o.names())
            names << (n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n;
        QString head = names.join(QStringLiteral(", "));
        if (!o.valueName().isEmpty())
            head += QLatin1Char(' ') + o.valueName();
        text += QStringLiteral("  %1  %2\n").arg(head, -24).arg(o.description());
    }
    return text;
}

int Command::execute(const QStringList& args)
{
    QCommandLineParser parser;
    int status = Failure;
    return parse(parser, args, &status) ? run(parser) : status;
}

// Reads args against the verb's arguments and options. False when the verb is not to run:
// help was asked for (printed), or the words are wrong (told on err); status says which exit
// status that is.
bool Command::parse(QCommandLineParser& parser, const QStringList& args, int* status)
{
    *status = Failure;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(options);
    const QCommandLineOption help(QStringList { QStringLiteral("h"), QStringLiteral("help") });
    parser.addOption(help);
    if (!parser.parse(QStringList { QStringLiteral("kotrina") } + args)) {
        if (!parser.unknownOptionNames().isEmpty()) {
            const QString option = parser.unknownOptionNames().constFirst();
            // As the user wrote it ("-h.idb" is read as the option "h.idb").
            QString written = (option.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + option;
            QString wholeWord = written;
            for (const QString& word : args) {
                const QString bare = word.mid(word.startsWith(QStringLiteral("--")) ? 2 : 1);
                if (word.startsWith(QLatin1Char('-')) && bare.section(QLatin1Char('='), 0, 0) == option) {
                    written = word.section(QLatin1Char('='), 0, 0);
                    wholeWord = word;
                    break;
                }
            }
            QStringList known { QStringLiteral("--help") };
            for (const QCommandLineOption& o : options)
                known << QStringLiteral("--") + o.names().constLast();
            fail(QStringLiteral("「%1」には %2 というオプションはありません。いちばん近いのは %3 です。")
                     .arg(name, written, nearestWord(written, known)));
            if (written.contains(QLatin1Char('.')) || written.contains(QLatin1Char('/')))
                m_err << QStringLiteral("kotrina: 「-」で始まる名前のファイルは、-- の後に書いてください"
                                        "（kotrina %1 -- %2）。\n")
                             .arg(name, wholeWord);
        } else {
            // The parser's own text names the option that lacks its value in quotes.
            const QRegularExpressionMatch quoted
                = QRegularExpression(QStringLiteral("'([^']+)'")).match(parser.errorText());
            fail(QStringLiteral("オプション %1 に値がありません。")
                     .arg(quoted.hasMatch() ? quoted.captured(1) : QString()));
        }
        m_err << QStringLiteral("説明: kotrina %1 --help\n").arg(name);
        return false;
    }
    if (parser.isSet(help)) {
        m_out << helpText();
        *status = Success;
        return false;
    }
    const QStringList given = parser.positionalArguments();
    if (given.size() < positionalArguments.size()) {
        fail(QStringLiteral("%1 を指定してください。").arg(positionalArguments[given.size()].name));
        m_err << QStringLiteral("使い方は kotrina %1 --help で表示されます。\n").arg(name);
        return false;
    }
    if (given.size() > positionalArguments.size()) {
        fail(QStringLiteral("余分な引数があります: %1")
                 .arg(given.mid(positionalArguments.size()).join(QLatin1Char(' '))));
        return false;
    }
    return true;
}

std::optional<QString> Command::required(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    if (parser.isSet(option) && !parser.value(option).isEmpty())
        return parser.value(option);
    fail(QStringLiteral("--%1 %2 を指定してください。").arg(option.names().constLast(), option.valueName()));
    return std::nullopt;
}

Command::Argument Command::databaseArgument()
{
    return { QStringLiteral("FILE.idb"), QStringLiteral("Kotrina のデータベースファイル。") };
}

QCommandLineOption Command::dateOption()
{
    return { QStringLiteral("date"), QStringLiteral("決算日。"), QStringLiteral("YYYY-MM-DD") };
}

QCommandLineOption Command::xlsxOption()
{
    return { QStringLiteral("xlsx"), QStringLiteral("書き出すファイル。あれば置き換えます。"),
             QStringLiteral("OUT.xlsx") };
}

std::optional<QDate> Command::requiredDate(const QCommandLineParser& parser, const QCommandLineOption& option)
{
    const std::optional<QString> text = required(parser, option);
    if (!text)
        return std::nullopt;
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QDate result = QDate::fromString(*text, Qt::ISODate);
    if (form.match(*text).hasMatch() && result.isValid())
        return result;
    fail(QStringLiteral("日付「%1」が正しくありません。YYYY-MM-DD の形（例 2026-03-31）で指定してください。")
             .arg(*text));
    return std::nullopt;
}

std::optional<qsizetype> Command::choice(const QCommandLineParser& parser, const QCommandLineOption& option,
                                         const QStringList& allowed)
{
    const QString value = parser.value(option);
    // An option without a default that was left out is asked for, as a missing value is.
    if (value.isEmpty()) {
        required(parser, option);
        return std::nullopt;
    }
    const qsizetype index = allowed.indexOf(value);
    if (index >= 0)
        return index;
    fail(QStringLiteral("--%1 には %2 のどれかを指定してください（「%3」は使えません）。")
             .arg(option.names().constLast(), allowed.join(QStringLiteral(", ")), value));
    return std::nullopt;
}

bool Command::openDatabase(Database& db, const QString& path, Database::Access access)
{
    QString error;
    if (DatabaseName::isServer(path)) {
        if (db.open(path, &error, access))
            return true;
        fail(QStringLiteral("サーバーのデータベースを開けません（%1）：\n%2").arg(DatabaseName::display(path), error));
        return false;
    }
    const QFileInfo info(path);
    QString problem;
    if (!info.exists())
        problem = QStringLiteral("ファイルが見つかりません: ");
    else if (!info.isFile())
        problem = QStringLiteral("ファイルではありません: ");
    else if (!info.isReadable())
        problem = QStringLiteral("ファイルを読み込めません: ");
    else if (access == Database::Access::ReadWrite && !info.isWritable())
        problem = QStringLiteral("ファイルに書き込めません: ");
    else if (checkFile(path, &problem, &error) && db.open(path, &error, access))
        return true;
    if (problem.isEmpty()) {
        const QString held = FailureCause::inUse(error);
        problem = held.isEmpty() ? QStringLiteral("Kotrina のデータベースファイルではないか、壊れています: ")
                                 : held + QStringLiteral("しばらくしてからやり直してください: ");
    }
    fail(problem + QDir::toNativeSeparators(path));
    return false;
}

// Whether the file may be worked on: a write that was cut off is undone first, and a file
// whose pages are not in order is refused before anything reads from it or writes to it, as
// the window refuses to work on one. problem gets the message for a file that is refused.
bool Command::checkFile(const QString& path, QString* problem, QString* error)
{
    switch (FileOps::recoverInterruptedWrite(path, error)) {
    case FileOps::Interruption::Recovered:
        m_err << QStringLiteral("kotrina: 前回途中で終わった書き込みを取り消し、データベースファイルを元に戻しました: ")
              << QDir::toNativeSeparators(path) << QLatin1Char('\n');
        break;
    case FileOps::Interruption::CannotRecover:
        *problem = QStringLiteral("データベースファイルへの前回の書き込みが途中で終わったままです。"
                                  "ファイルかフォルダに書き込めないため、元に戻せません。"
                                  "書き込める場所にコピーしてからやり直してください: ");
        return false;
    case FileOps::Interruption::None:
        // A file that another program is writing right now reads nothing yet.
        if (!FailureCause::inUse(*error).isEmpty())
            return false;
        break;
    }
    const FileOps::FileCheck check = FileOps::quickCheck(path);
    if (check.status == FileOps::FileCheck::Status::Damaged) {
        *problem = DatabaseFiles::damageMessage()
            + QStringLiteral("\n読み取れるデータは、Kotrina の画面でファイルを開くと新しいファイルに救出できます: ");
        return false;
    }
    if (!check.sound()) {
        *error = check.detail;
        return false;
    }
    return true;
}

int Command::writeWorkbook(const QCommandLineParser& parser, const QCommandLineOption& xlsx, const Writer& write)
{
    const std::optional<QString> target = required(parser, xlsx);
    Database db;
    if (!target || !openDatabase(db, parser.positionalArguments().constFirst(), Database::Access::ReadOnly))
        return Failure;
    QString error;
    return write(db, *target, &error) ? Success : fail(error);
}

int Command::fail(const QString& message)
{
    QString text = message;
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_err << QStringLiteral("kotrina: ") << text << QLatin1Char('\n');
    m_err.flush();
    return Failure;
}
