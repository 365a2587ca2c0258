// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/DesktopServices.h"
#include "core/app/InputMethod.h"
#include "core/app/Paths.h"
#include "core/store/Database.h"

#include <QString>

class Clock;
class PrinterCatalog;
class Prompter;
class Settings;

// The program-wide state every screen receives from the main window, and the services
// behind it. Member names are the names the screens know them by.
class AppState
{
public:
    AppState(Paths where, Settings& store, Prompter& dialogs, const Clock& today)
        : paths(std::move(where))
        , settings(store)
        , prompter(dialogs)
        , clock(today)
    { }
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    Database DatabaseConnection;
    QString DatabaseFileName;
    bool ConnectionOpen = false;

    QString PrinterName;
    QString PrinterFont;
    // The printers of the machine, the current printer (its device name; empty while none is
    // installed) and the position a print dialog last chose in its printer list.
    PrinterCatalog* printers = nullptr;
    QString currentPrinter;
    int PrinterIndex = 0;
    QString PictureFile;
    QString PlatformName;

    InputMethod defaultInputMethod;
    InputMethod* inputMethod = &defaultInputMethod;

    // Opens documents and web pages and starts the desktop's programs.
    DesktopServices defaultDesktop;
    DesktopServices* desktop = &defaultDesktop;

    const Paths paths;
    Settings& settings;
    Prompter& prompter;
    const Clock& clock;
};
