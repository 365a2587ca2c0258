// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/Settings.h"

class QWidget;

// Puts a window where the settings say, in twips. A value that is not a number counts as
// its default (0), and a place no screen shows any more (a monitor unplugged, a resolution
// lowered) brings the window onto the nearest screen, so it can always be reached.
void placeWindow(QWidget* window, const Settings& settings, Setting left, Setting top);

// The working windows (entry, list, correction) open where the main window was when the
// program last closed: settings "frmLeft" and "frmTop".
void placeWorkingWindow(QWidget* window, const Settings& settings);
