// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "gui/printing/CupsPrinterCatalog.h"
#include "gui/shell/frmAMain.h"
#include "gui/widgets/WidgetPrompter.h"

#include <memory>

class SingleInstance;
class TerminationSignals;

// The running program: its services, its state and the main window over them.
struct RunningProgram
{
    RunningProgram(const Paths& paths, const QString& commandLineFile);

    SystemClock clock;
    Settings settings;
    WidgetPrompter prompter;
    CupsPrinterCatalog printers;
    AppState state;
    frmAMain window;
};

// Shows the splash window, loads the main window while it is up (settings, database,
// picture), closes the splash and shows the main window, which then runs its activation.
std::unique_ptr<RunningProgram> startProgram(const Paths& paths, const QString& commandLineFile);

// The running program takes the requests of later starts: come forward, open a file.
void listenForHandOver(SingleInstance& instance, frmAMain& window);

// A request to end (SIGTERM, SIGHUP, SIGINT) closes the main window as its close box does,
// with the same closing steps, and ends the program with 128 + the signal's number. What
// the closing steps would tell goes to standard error: nobody is there to answer.
void endOnSignal(TerminationSignals& requests, RunningProgram& program);
