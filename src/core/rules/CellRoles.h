// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <Qt>

// The roles the program's own item models answer beyond Qt's.
namespace CellRoles {

// True for a cell that holds a number, an ID or a date: its editor takes no input method.
inline constexpr int NumbersOnly = Qt::UserRole + 78;

} // namespace CellRoles
