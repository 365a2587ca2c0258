// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The tests of both engines: on files, or with KOTRINA_TEST_ENGINE=postgresql on a server.
#include "TestRegistry.h"

#include <QGuiApplication>

int main(int argc, char* argv[])
{
    // Finalising and printing draw pages, which takes the fonts of a GUI application (offscreen).
    QGuiApplication app(argc, argv);
    return runRegisteredTests(argc, argv);
}
