// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

class QApplication;
class QIcon;
class QString;

// What every process that shows this program's windows sets up first: the names the
// settings and data directories are found under, the Japanese texts of Qt's own dialogs
// (はい/いいえ, the file dialog) and the font substitutions.
void setUpApplication(QApplication& app);

// The program's icon from the desktop's icon theme, where a menu entry finds it too; the
// icons installed beside the program (programDir/../share/icons) are looked at first, so a
// copy installed into any prefix shows its own.
QIcon programIcon(const QString& programDir);
