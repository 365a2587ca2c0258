// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/CommandLine.h"

#include "cli/CheckCommand.h"
#include "cli/CodesCommand.h"
#include "cli/CopyCommand.h"
#include "cli/ExportLinesCommand.h"
#include "cli/ExportProductsCommand.h"
#include "cli/HistoryCommands.h"
#include "cli/ImportCommand.h"
#include "cli/NearestWord.h"
#include "cli/PrintBookCommand.h"
#include "cli/PrintCodesCommand.h"
#include "cli/PrintSheetCommand.h"
#include "cli/PrintSummaryCommand.h"
#include "cli/ServeCommand.h"
#include "cli/ServerInitCommand.h"
#include "cli/VersionCommand.h"
#include "core/app/Paths.h"
#include "core/store/FileOps.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

bool isHelp(const QString& word)
{
    return word == QStringLiteral("help") || word == QStringLiteral("--help") || word == QStringLiteral("-h");
}

// The options a start of the windows takes besides a file: its own (for the nearest one
// to a mistyped option) and Qt's, which QApplication reads itself.
const QStringList& ownOptions()
{
    static const QStringList options { QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("--version") };
    return options;
}

// Qt's options by name, and whether a value follows as the next word.
std::optional<bool> qtOptionTakesValue(const QString& name)
{
    static const QStringList withValue { QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
                                         QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
                                         QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
                                         QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
                                         QStringLiteral("display"),         QStringLiteral("geometry"),
                                         QStringLiteral("style"),           QStringLiteral("stylesheet") };
    static const QStringList alone { QStringLiteral("reverse"), QStringLiteral("nograb"), QStringLiteral("dograb"),
                                     QStringLiteral("sync"), QStringLiteral("widgetcount") };
    if (withValue.contains(name))
        return true;
    if (alone.contains(name))
        return false;
    return std::nullopt;
}

// A word that names a file rather than a verb: it has a folder or an extension in it.
bool looksLikePath(const QString& word)
{
    return word.contains(QLatin1Char('/')) || word.contains(QLatin1Char('.'));
}

} // namespace

CommandLine::CommandLine(QTextStream& out, QTextStream& err)
    : m_out(out)
    , m_err(err)
{
    m_commands.push_back(std::make_unique<ExportLinesCommand>(out, err));
    m_commands.push_back(std::make_unique<ExportProductsCommand>(out, err));
    m_commands.push_back(std::make_unique<CheckCommand>(out, err));
    m_commands.push_back(std::make_unique<CodesCommand>(out, err));
    m_commands.push_back(std::make_unique<PrintSheetCommand>(out, err));
    m_commands.push_back(std::make_unique<PrintBookCommand>(out, err));
    m_commands.push_back(std::make_unique<PrintSummaryCommand>(out, err));
    m_commands.push_back(std::make_unique<PrintCodesCommand>(out, err));
    m_commands.push_back(std::make_unique<ImportLinesCommand>(out, err));
    m_commands.push_back(std::make_unique<ImportProductsCommand>(out, err));
    m_commands.push_back(std::make_unique<FinaliseCommand>(out, err));
    m_commands.push_back(std::make_unique<VerifyCommand>(out, err));
    m_commands.push_back(std::make_unique<HistoryCommand>(out, err));
    m_commands.push_back(std::make_unique<FiledCommand>(out, err));
    m_commands.push_back(std::make_unique<CopyCommand>(out, err));
    m_commands.push_back(std::make_unique<ServerInitCommand>(out, err));
    m_commands.push_back(std::make_unique<ServeCommand>(out, err));
    m_commands.push_back(std::make_unique<VersionCommand>(out, err));
}

bool CommandLine::isFor(const QStringList& args)
{
    if (args.isEmpty())
        return false;
    if (isHelp(args.constFirst()) || args.constFirst() == QStringLiteral("--version"))
        return true;
    QString none;
    QTextStream quiet(&none);
    const CommandLine verbs(quiet, quiet);
    for (const auto& c : verbs.m_commands) {
        if (c->name.section(QLatin1Char(' '), 0, 0) == args.constFirst())
            return true;
    }
    return false;
}

bool CommandLine::drawsPages(const QStringList& args)
{
    QString none;
    QTextStream quiet(&none);
    const CommandLine verbs(quiet, quiet);
    for (const auto& c : verbs.m_commands) {
        const QStringList words = c->name.split(QLatin1Char(' '));
        if (args.mid(0, words.size()) == words)
            return c->drawsPages();
    }
    return false;
}

// A word where a verb or a file was expected that is neither: the nearest verb, with the
// word that followed when together they make one ("exprot lines" is "export lines").
void CommandLine::tellMistypedVerb(const QString& word, const QString& next, QTextStream& err)
{
    QString none;
    QTextStream quiet(&none);
    const CommandLine verbs(quiet, quiet);
    QStringList firstWords { QStringLiteral("help") };
    for (const auto& c : verbs.m_commands) {
        const QString first = c->name.section(QLatin1Char(' '), 0, 0);
        if (!firstWords.contains(first))
            firstWords << first;
    }
    const QString nearest = nearestWord(word, firstWords);
    QString suggested = nearest;
    for (const auto& c : verbs.m_commands) {
        if (c->name == nearest + QLatin1Char(' ') + next)
            suggested = c->name;
    }
    err << QStringLiteral("kotrina: 「%1」というコマンドも、その名前のファイルもありません。").arg(word)
        << QStringLiteral("いちばん近いコマンドは %1 です。\n").arg(suggested);
}

std::optional<QString> CommandLine::windowFile(const QStringList& args, QTextStream& err)
{
    const auto told = [&err] {
        err << QStringLiteral("コマンドの一覧は kotrina help で表示されます。\n");
        err.flush();
        return std::nullopt;
    };
    // Neither a file nor a path to one: a verb mistyped, whatever follows.
    const auto mistypedVerb = [](const QString& word) {
        return !word.startsWith(QLatin1Char('-')) && !looksLikePath(word) && !QFileInfo::exists(word);
    };
    if (!args.isEmpty() && mistypedVerb(args.constFirst())) {
        tellMistypedVerb(args.constFirst(), args.value(1), err);
        return told();
    }
    QStringList files;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& word = args.at(i);
        if (optionsEnded || word == QStringLiteral("-") || !word.startsWith(QLatin1Char('-'))) {
            files << word;
            continue;
        }
        if (word == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        const QString name = word.mid(word.startsWith(QStringLiteral("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
        if (const std::optional<bool> takesValue = qtOptionTakesValue(name)) {
            if (*takesValue && !word.contains(QLatin1Char('=')))
                ++i;
            continue;
        }
        // The word as the user wrote it: "-h.idb" is no "-h", nor an option "h.idb".
        err << QStringLiteral("kotrina: 「%1」というオプションはありません。").arg(word)
            << QStringLiteral("いちばん近いのは %1 です。\n").arg(nearestWord(word, ownOptions()));
        if (looksLikePath(word) || QFileInfo::exists(word))
            err << QStringLiteral(
                       "kotrina: 「-」で始まる名前のファイルを開くときは、kotrina -- %1 と指定してください。\n")
                       .arg(word);
        return told();
    }
    if (files.isEmpty())
        return QString();
    const QString& word = files.constFirst();
    // A path that names no file is still a file: the window says it is missing, as 開く does
    // (started from a file manager, nobody reads standard error).
    if (!optionsEnded && mistypedVerb(word)) {
        tellMistypedVerb(word, files.value(1), err);
        return told();
    }
    if (files.size() > 1) {
        err << QStringLiteral("kotrina: 開けるファイルは一つだけです: %1\n").arg(files.join(QLatin1Char(' ')));
        return told();
    }
    return word;
}

int CommandLine::run(const QStringList& given)
{
    QStringList args = given;
    if (!args.isEmpty() && args.constFirst() == QStringLiteral("--version"))
        args.first() = QStringLiteral("version");
    if (args.isEmpty() || isHelp(args.constFirst())) {
        // "kotrina help check" explains one verb.
        const QStringList rest = args.mid(1);
        for (const auto& c : m_commands) {
            if (!rest.isEmpty() && rest.join(QLatin1Char(' ')) == c->name) {
                m_out << c->helpText();
                return Command::Success;
            }
        }
        m_out << helpText();
        return Command::Success;
    }
    for (const auto& c : m_commands) {
        const qsizetype words = c->name.count(QLatin1Char(' ')) + 1;
        if (args.size() >= words && args.mid(0, words).join(QLatin1Char(' ')) == c->name) {
            // Each verb starts as the program does: what killed runs left is removed, and the
            // temporary files of this one are noted where the next start looks.
            FileOps::keepTemporaryRecords(Paths::fromEnvironment().dataDir());
            return c->execute(args.mid(words));
        }
    }
    // "kotrina import" alone or with a word it does not know: the words that may follow.
    QStringList next;
    for (const auto& c : m_commands) {
        const QStringList words = c->name.split(QLatin1Char(' '));
        if (words.size() > 1 && words.constFirst() == args.constFirst())
            next << words.constLast();
    }
    if (next.isEmpty() || args.size() > 1) {
        m_err
            << QStringLiteral("kotrina: 「%1」というコマンドはありません。").arg(args.mid(0, 2).join(QLatin1Char(' ')));
        if (!next.isEmpty())
            m_err << QStringLiteral("いちばん近いコマンドは %1 %2 です。")
                         .arg(args.constFirst(), nearestWord(args.at(1), next));
        m_err << QLatin1Char('\n');
    }
    if (!next.isEmpty())
        m_err << QStringLiteral("kotrina: 「%1」の後に %2 のどれかを指定してください。\n")
                     .arg(args.constFirst(), next.join(QStringLiteral(", ")));
    m_err << QStringLiteral("コマンドの一覧は kotrina help で表示されます。\n");
    m_err.flush();
    return Command::Failure;
}

QString CommandLine::helpText() const
{
    QString text = QStringLiteral("使い方: kotrina <コマンド> [引数] [オプション]\n"
                                  "        kotrina [FILE.idb]          ウィンドウで開きます。\n"
                                  "        kotrina -- -FILE.idb        「-」で始まる名前のファイルを開きます。\n\n"
                                  "コマンド:\n");
    for (const auto& c : m_commands)
        text += QStringLiteral("  %1  %2\n").arg(c->name, -16).arg(c->description.section(QLatin1Char('\n'), 0, 0));
    text += QStringLiteral("\n各コマンドの説明: kotrina <コマンド> --help\n");
    return text;
}
