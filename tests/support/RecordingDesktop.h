// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/DesktopServices.h"

#include <QList>

// The desktop for tests: records every page or file it is asked to open and every program
// it is asked to start, and answers as the test says, so no browser ever starts.
class RecordingDesktop final : public DesktopServices
{
public:
    bool open(const QUrl& url) override
    {
        opened << url;
        return succeeds;
    }
    bool start(const QString& program, const QStringList& arguments) override
    {
        started << ProgramCall { program, arguments };
        return succeeds;
    }

    QList<QUrl> opened;
    QList<ProgramCall> started;
    bool succeeds = true; // what open() and start() answer
};
