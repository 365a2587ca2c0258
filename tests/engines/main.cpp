// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The tests of both engines: on files, or with KOTRINA_TEST_ENGINE=postgresql on a server.
#include "TestRegistry.h"

#include <QGuiApplication>

int main(int argc, char* argv[])
{
    // Printing draws pages with fonts, which takes the GUI's application (offscreen).
    QGuiApplication app(argc, argv);
    return runRegisteredTests(argc, argv);
}
