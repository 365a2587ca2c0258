// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "RecordingDesktop.h"
#include "ScriptedPrompter.h"
#include "TestEnvironment.h"
#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Settings.h"

// What every test of the program's work starts from: a fresh environment, the day fixed
// at 2026-03-31, the settings store, scripted dialogs, a desktop that only records and the
// program-wide state over them.
struct TestSession
{
    TestSession() { state.desktop = &desktop; }

    TestEnvironment env;
    FixedClock clock { QDate(2026, 3, 31) };
    Settings settings { env.settingsFile(), clock };
    ScriptedPrompter prompter;
    AppState state { env.paths(), settings, prompter, clock };
    RecordingDesktop desktop;

    const Database& db() const { return state.DatabaseConnection; }
    // Opens a new database made from the template as the program's database.
    bool openNewDatabase(const QString& name = QStringLiteral("shop.idb"));
};
