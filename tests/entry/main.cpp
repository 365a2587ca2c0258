// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "TestRegistry.h"
#include "gui/widgets/InputMethodGuard.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // As the program does at start-up.
    InputMethodGuard::install();
    return runRegisteredTests(argc, argv);
}
