// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/PrintCommand.h"

// kotrina print sheet FILE.idb --date YYYY-MM-DD [--layout original|simple|hisago] [--category NAME]
//     [--offset-x MM --offset-y MM] [--move-to-uncategorised] --pdf OUT.pdf | --printer NAME
class PrintSheetCommand : public PrintCommand
{
public:
    PrintSheetCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    std::optional<double> offset(const QCommandLineParser& parser, const QCommandLineOption& option);

    const QCommandLineOption m_date;
    const QCommandLineOption m_layout;
    const QCommandLineOption m_category;
    const QCommandLineOption m_offsetX;
    const QCommandLineOption m_offsetY;
    const QCommandLineOption m_move;
};
