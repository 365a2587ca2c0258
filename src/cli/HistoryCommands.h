// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"

// kotrina finalise FILE.idb --date YYYY-MM-DD [--layout original|simple|hisago] [--font NAME]
//                  [--offset-x MM] [--offset-y MM]
// kotrina finalise FILE.idb --date YYYY-MM-DD --undo --reason TEXT
// Finalises a date (the stocktaking sheet printed to a PDF kept in the file, the date locked),
// or undoes its finalisation. Found when the checks before printing stop it.
class FinaliseCommand : public Command
{
public:
    FinaliseCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;
    bool drawsPages() const override { return true; }

private:
    const QCommandLineOption m_date, m_layout, m_font, m_offsetX, m_offsetY, m_undo, m_reason;
};

// kotrina verify FILE.idb --date YYYY-MM-DD
// Success when the date's lines and its stored sheet are as finalised, Found when either
// changed (or the history's seals are broken) with the changed lines listed, Failure when it
// cannot tell.
class VerifyCommand : public Command
{
public:
    VerifyCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_date;
};

// kotrina history FILE.idb --date YYYY-MM-DD [--since "YYYY-MM-DD HH:MM:SS"]
// The date's change history, tab-separated, oldest first.
class HistoryCommand : public Command
{
public:
    HistoryCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_date, m_since;
};

// kotrina filed FILE.idb --date YYYY-MM-DD [--pdf OUT.pdf [--number N]]
// Lists the sheets kept for the date's finalisations, or writes one (the latest unless
// --number names it) byte for byte.
class FiledCommand : public Command
{
public:
    FiledCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_date, m_pdf, m_number;
};
