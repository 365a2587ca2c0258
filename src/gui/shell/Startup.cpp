#include "gui/shell/Startup.h"

#include "gui/shell/frmSplash.h"

#include <QApplication>

namespace {

// The printers are part of the state before the main window builds its menus on it.
AppState& withPrinters(AppState& state, PrinterCatalog& printers)
{
    state.printers = &printers;
    state.currentPrinter = printers.defaultPrinter();
    return state;
}

} // namespace

RunningProgram::RunningProgram(const Paths& paths, const QString& commandLineFile)
    : settings(paths.settingsFile(), clock)
    , state(paths, settings, prompter, clock)
    , window(withPrinters(state, printers), commandLineFile)
{ }

std::unique_ptr<RunningProgram> startProgram(const Paths& paths, const QString& commandLineFile)
{
    frmSplash splash;
    splash.show();
    splash.repaint();
    QApplication::processEvents();

    auto program = std::make_unique<RunningProgram>(paths, commandLineFile);
    program->window.load();
    splash.close();
    program->window.show();
    // Without a window manager nothing would make the window active, and the first-run
    // guidance waits for that.
    program->window.activateWindow();
    return program;
}
