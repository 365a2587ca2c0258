// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

class Prompter;

// What the program asks of the desktop it runs on: open a file or a web page with the
// program the desktop has for it, and start another program. Every such request goes
// through here, so tests record what was asked instead of starting a browser.
class DesktopServices
{
public:
    virtual ~DesktopServices() = default;

    // A file (file URL) or a web page in the desktop's program for it; false when none started.
    virtual bool open(const QUrl& url);
    // Starts a program beside this one; false when it could not be started.
    virtual bool start(const QString& program, const QStringList& arguments);
};

// A program of the desktop with the arguments it is started with.
struct ProgramCall
{
    QString program;
    QStringList arguments;

    bool operator==(const ProgramCall&) const = default;
};

// The desktop's window that describes this computer (processor, memory, system), when one
// is installed: the first known tool found on the search path.
std::optional<ProgramCall> systemInformationTool();

// Opens a web page; when no browser starts, tells the user the address to open by hand.
void openWebPage(DesktopServices& desktop, Prompter& prompter, const QString& address);
