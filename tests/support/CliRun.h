// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/CommandLine.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

// One run of `kotrina …` in this process, for the tests that link the command line.
struct Run
{
    int status = -1;
    QString out;
    QString err;
};

inline Run kotrina(const QStringList& args)
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = CommandLine(out, err).run(args);
    return run;
}
