// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/shell/Startup.h"

#include "core/app/SingleInstance.h"
#include "core/app/TerminationSignals.h"
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

void listenForHandOver(SingleInstance& instance, frmAMain& window)
{
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, &frmAMain::bringToFront);
    // Queued: the request has been answered, and the question it leads to waits for the user.
    QObject::connect(&instance, &SingleInstance::openRequested, &window, &frmAMain::openHandedOver,
                     Qt::QueuedConnection);
    // A start while the window was still loading is answered now.
    if (const QString file = instance.takePendingFile(); !file.isEmpty())
        QMetaObject::invokeMethod(
            &window, [&window, file] { window.openHandedOver(file); }, Qt::QueuedConnection);
}

void endOnSignal(TerminationSignals& requests, RunningProgram& program)
{
    // What kept a request for the window while it was not up gives way.
    QObject::disconnect(&requests, &TerminationSignals::received, nullptr, nullptr);
    QObject::connect(&requests, &TerminationSignals::received, &program.window, [&program](int signal) {
        WidgetPrompter::setUnattended();
        program.window.close();
        // Ends every event loop, a modal dialog's included, once the closing steps have run.
        QCoreApplication::exit(TerminationSignals::exitStatusFor(signal));
    });
    requests.watch();
}
