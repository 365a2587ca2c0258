// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/PrintCommand.h"

// kotrina print summary FILE.idb --date YYYY-MM-DD --by category|product [--font NAME]
//     --pdf OUT.pdf | --printer NAME
class PrintSummaryCommand : public PrintCommand
{
public:
    PrintSummaryCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_date;
    const QCommandLineOption m_by;
};
