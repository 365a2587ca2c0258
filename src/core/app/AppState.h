#pragma once

#include "core/app/InputMethod.h"
#include "core/app/Paths.h"
#include "core/store/Database.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <functional>

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

    // Opens a document with the desktop's program for its type; false when none could.
    std::function<bool(const QUrl&)> openDocument = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    const Paths paths;
    Settings& settings;
    Prompter& prompter;
    const Clock& clock;
};
