// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "TestRegistry.h"

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char* argv[])
{
    // The default paper a test writes for a real printer goes to lpoptions files of its own
    // (root writes the server's file, other users ~/.cups/lpoptions), never to the machine's.
    QTemporaryDir cupsOptions;
    qputenv("CUPS_SERVERROOT", cupsOptions.path().toLocal8Bit());
    qputenv("HOME", cupsOptions.path().toLocal8Bit());
    QApplication app(argc, argv);
    return runRegisteredTests(argc, argv);
}
