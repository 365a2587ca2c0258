// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"

// kotrina export lines FILE.idb --date YYYY-MM-DD [--view all|no-price] --xlsx OUT.xlsx
class ExportLinesCommand : public Command
{
public:
    ExportLinesCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_date;
    const QCommandLineOption m_view;
    const QCommandLineOption m_xlsx;
};
