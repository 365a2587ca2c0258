// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"

// kotrina check FILE.idb --date YYYY-MM-DD [--move-to-uncategorised]
// Lists the lines of the date whose category or product has no master row. The exit status
// is Found while any such line is left (after the repair, when it was asked for).
class CheckCommand : public Command
{
public:
    CheckCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_date;
    const QCommandLineOption m_move;
};
