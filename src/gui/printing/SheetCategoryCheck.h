// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QDate>

class AppState;

// Before the stocktaking sheet of every category is made (printed or filed): lines whose
// category is gone would be missing from it, so the user is asked to move them to 未区分.
// False, after saying why, when the user declines or the move fails (a finalised date
// refuses it); true when there were none or they were moved.
bool moveLinesWithoutCategoryAsked(AppState& state, QDate date);
