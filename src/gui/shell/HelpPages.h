// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

class AppState;

// The online-support and update entries of the help menu. Their pages are those of the
// settings (SupportURL, UpdateURL), which a dealer who looks after a shop's installation
// fills in; the program itself knows no such page. Without one, the entries say where
// help, the version, the manual and the updates are on this system, and change nothing.
namespace HelpPages {

// True when the settings name a page for online support / for updates.
bool hasSupportPage(const AppState& state);
bool hasUpdatePage(const AppState& state);

// Opens the online-support page, or says what there is instead.
void showSupport(AppState& state);
// Says how updates arrive on this system (used when no update page is set).
void tellHowUpdatesArrive(AppState& state);

} // namespace HelpPages
