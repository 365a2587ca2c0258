// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (the desktop logging out, `kill`), SIGHUP (the terminal gone) and SIGINT (Ctrl+C)
// turned into a Qt signal, so the program ends through its usual closing steps instead of
// dying where it stands. A signal handler may do next to nothing safely: it writes the
// signal's number into a pipe, and a socket notifier on the pipe's other end reports it in
// the event loop. One object per process.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers at once; a signal that comes before watch() waits in the pipe.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // From now on (once the event loop runs) each signal received is reported.
    void watch();

    // The exit status of a program that ended on signal: 128 + its number, as a shell says.
    static int exitStatusFor(int signal) { return 128 + signal; }

Q_SIGNALS:
    void received(int signal);

private:
    void readPipe();
    QSocketNotifier* m_notifier = nullptr;
};
