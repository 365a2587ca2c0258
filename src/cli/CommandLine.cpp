#include "cli/CommandLine.h"

#include "cli/CheckCommand.h"
#include "cli/ExportLinesCommand.h"
#include "cli/ExportProductsCommand.h"
#include "cli/ImportCommand.h"
#include "cli/PrintBookCommand.h"
#include "cli/PrintSheetCommand.h"
#include "cli/PrintSummaryCommand.h"
#include "cli/VersionCommand.h"
#include "core/app/Paths.h"
#include "core/store/FileOps.h"

#include <QTextStream>

namespace {

bool isHelp(const QString& word)
{
    return word == QStringLiteral("help") || word == QStringLiteral("--help") || word == QStringLiteral("-h");
}

} // namespace

CommandLine::CommandLine(QTextStream& out, QTextStream& err)
    : m_out(out)
    , m_err(err)
{
    m_commands.push_back(std::make_unique<ExportLinesCommand>(out, err));
    m_commands.push_back(std::make_unique<ExportProductsCommand>(out, err));
    m_commands.push_back(std::make_unique<CheckCommand>(out, err));
    m_commands.push_back(std::make_unique<PrintSheetCommand>(out, err));
    m_commands.push_back(std::make_unique<PrintBookCommand>(out, err));
    m_commands.push_back(std::make_unique<PrintSummaryCommand>(out, err));
    m_commands.push_back(std::make_unique<ImportLinesCommand>(out, err));
    m_commands.push_back(std::make_unique<ImportProductsCommand>(out, err));
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
    if (next.isEmpty() || args.size() > 1)
        m_err << QStringLiteral("kotrina: 「%1」というコマンドはありません。\n")
                     .arg(args.mid(0, 2).join(QLatin1Char(' ')));
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
                                  "        kotrina [FILE.idb]          ウィンドウで開きます。\n\n"
                                  "コマンド:\n");
    for (const auto& c : m_commands)
        text += QStringLiteral("  %1  %2\n").arg(c->name, -16).arg(c->description.section(QLatin1Char('\n'), 0, 0));
    text += QStringLiteral("\n各コマンドの説明: kotrina <コマンド> --help\n");
    return text;
}
