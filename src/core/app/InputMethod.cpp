// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/app/InputMethod.h"

#include <QGuiApplication>
#include <QInputMethod>

void InputMethod::open()
{
    // Qt offers no call to switch an input method into Japanese mode; showing the input
    // panel is the most it can ask for.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::inputMethod()->show();
}
