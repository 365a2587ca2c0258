// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The tests of both engines: on files, or with KOTRINA_TEST_ENGINE=postgresql on a server.
#include "TestRegistry.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return runRegisteredTests(argc, argv);
}
