// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>

// The file behind the settings store, and what to tell the user when it fails.
namespace SettingsFile {

// What kept the stored values in fileName from being read, in a sentence for the user;
// empty when they can all be read (or there are none yet).
QString readProblem(const QString& fileName);

// The sentence for a settings file that could not be written.
QString writeProblem(const QString& fileName);

} // namespace SettingsFile
