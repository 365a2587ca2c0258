// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"

// kotrina serve FILE.idb [--date YYYY-MM-DD] [--port N] [--address A] [--cert C --key K]
// Serves the counting page to phones on the shop's network until ended (SIGTERM, SIGINT):
// prints the page's address, then a pairing URL with a fresh one-time code, and another one
// for each line read from standard input.
class ServeCommand : public Command
{
public:
    ServeCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_date;
    const QCommandLineOption m_port;
    const QCommandLineOption m_address;
    const QCommandLineOption m_certificate;
    const QCommandLineOption m_key;
};
