#pragma once

#include "cli/Command.h"

#include <QStringList>
#include <memory>
#include <vector>

class QTextStream;

// The verbs of `kotrina <verb> …`: finds the verb named by the first words of the
// arguments and runs it, and prints the list of verbs for `kotrina help`.
class CommandLine
{
public:
    CommandLine(QTextStream& out, QTextStream& err);

    // Whether the program's arguments (after its own name) ask for the command line rather
    // than the windows: the first one is the first word of a verb, or a request for help.
    static bool isFor(const QStringList& args);

    // Runs the verb the arguments name; returns the exit status.
    int run(const QStringList& args);

    QString helpText() const;

private:
    std::vector<std::unique_ptr<Command>> m_commands;
    QTextStream& m_out;
    QTextStream& m_err;
};
