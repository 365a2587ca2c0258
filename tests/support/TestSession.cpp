// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "TestSession.h"

bool TestSession::openNewDatabase(const QString& name)
{
    state.ConnectionOpen = state.DatabaseConnection.open(env.newDatabase(name));
    return state.ConnectionOpen;
}
