// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/PrintCommand.h"

// kotrina print codes FILE.idb [--category NAME] [--font NAME] --pdf OUT.pdf | --printer NAME
class PrintCodesCommand : public PrintCommand
{
public:
    PrintCodesCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_category;
};
