// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"

// kotrina export products FILE.idb [--order id|name] --xlsx OUT.xlsx
class ExportProductsCommand : public Command
{
public:
    ExportProductsCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_order;
    const QCommandLineOption m_xlsx;
};
