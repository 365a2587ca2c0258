// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QPixmap>
#include <QSize>

// The pictures the program ships with, drawn rather than stored so they scale to any screen.
namespace BuiltinPicture {

// The main window's picture when the user has chosen none.
QPixmap mainPicture(QSize size);
// A small decorative band.
QPixmap decoration(QSize size);
// The light bulb beside a tip.
QPixmap tipIcon(QSize size);

// Lets "ＭＳ 明朝" and the other fonts the settings name resolve to the installed IPA fonts,
// and gives each face the program prints or shows with the faces that fill in the characters
// it lacks (JIS X 0213 kanji such as 𠮷, emoji). Once per process; later calls do nothing.
void installFontSubstitutions();

} // namespace BuiltinPicture
