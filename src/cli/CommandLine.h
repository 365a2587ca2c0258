// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"

#include <QStringList>
#include <memory>
#include <optional>
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
    // Whether the verb the arguments name draws pages (it needs fonts, and so a windowing
    // platform, if one that needs no display).
    static bool drawsPages(const QStringList& args);
    // For a start of the windows (isFor() is false): the database file the arguments name,
    // empty for none. nullopt after telling on err that they name neither a verb nor a file
    // (a word with no folder or extension that is no existing file), or an option the program
    // does not know, with the nearest verb or option (the exit status is then Command::Failure). Qt's own options
    // (-style NAME, …) are passed over; "--" ends the options, so a file whose name starts with "-" can be named.
    static std::optional<QString> windowFile(const QStringList& args, QTextStream& err);

    // Runs the verb the arguments name; returns the exit status.
    int run(const QStringList& args);

    QString helpText() const;

private:
    static void tellMistypedVerb(const QString& word, const QString& next, QTextStream& err);

    std::vector<std::unique_ptr<Command>> m_commands;
    QTextStream& m_out;
    QTextStream& m_err;
};
