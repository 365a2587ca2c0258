// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The phone server's tests, the desk's window among them: an application with windows
// (offscreen).
#include "TestRegistry.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return runRegisteredTests(argc, argv);
}
