// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"

// `kotrina server init URI`: makes the tables of a business in an empty database on a
// PostgreSQL server, which the stations then open by the same URI.
class ServerInitCommand : public Command
{
public:
    ServerInitCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;
};
