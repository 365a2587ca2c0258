// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"

// kotrina codes FILE.idb [--all] [--add NAME=CODE]
// Lists the products with their JAN codes, tab-separated (品名ID, 品名, the codes joined by
// ","), or attaches one code to the product of a name.
class CodesCommand : public Command
{
public:
    CodesCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    int list(const Database& db, bool all);
    int add(const Database& db, const QString& assignment);

    const QCommandLineOption m_all;
    const QCommandLineOption m_add;
};
