// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"

// kotrina version (also kotrina --version)
// Prints the version and where the program finds its own files, the template and the
// manual. The exit status is Failure when one of them is missing.
class VersionCommand : public Command
{
public:
    VersionCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;
};
