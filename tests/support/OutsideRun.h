// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "CliRun.h"
#include "OutsideFile.h"
#include "TestEnvironment.h"

// `kotrina` run on a business file made outside this program (madeOutside), with a PDF file
// to print into.
struct OutsideRun
{
    TestEnvironment env;
    const QString file = madeOutside(env);
    const QString pdf = env.path(QStringLiteral("out.pdf"));

    // `kotrina <command> FILE <options>`, the command being its words with spaces between.
    Run operator()(const QString& command, const QStringList& options = {}) const
    {
        if (file.isEmpty())
            return { -1, {}, QStringLiteral("sqlite3 could not make the file") };
        return kotrina(command.split(QLatin1Char(' ')) + QStringList { file } + options);
    }
    // `kotrina print <what> FILE --date 2026-03-31 --pdf PDF <options>`.
    Run print(const QString& what, const QStringList& options = {}) const
    {
        return (*this)(u"print "_qs + what, QStringList { u"--date"_qs, u"2026-03-31"_qs, u"--pdf"_qs, pdf } + options);
    }
};
