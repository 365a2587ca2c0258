// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/PrintCommand.h"

// kotrina print book FILE.idb --date YYYY-MM-DD [--category NAME] [--font NAME] --pdf OUT.pdf | --printer NAME
class PrintBookCommand : public PrintCommand
{
public:
    PrintBookCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_date;
    const QCommandLineOption m_category;
};
