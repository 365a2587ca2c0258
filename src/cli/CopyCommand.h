// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"

// kotrina copy SOURCE TARGET
// Copies a whole business database, file or server, into a new file or an empty database,
// every table and ID as it is (core/store/DatabaseCopy).
class CopyCommand : public Command
{
public:
    CopyCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;
};
