// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The start of a test executable whose folder has no start of its own: an application with
// windows, then every test class the folder registered.
#include "TestRegistry.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return runRegisteredTests(argc, argv);
}
