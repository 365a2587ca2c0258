// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QString>
#include <QStringList>

// The faces the printed sheets can be set in. A sheet lines up its columns by counting
// characters, so its face must give every half-width character one width and every
// full-width character twice that, and it must hold the kana and kanji the names are written
// in. Fontconfig marks such Japanese faces "dual" rather than monospaced, so the toolkit's
// own notion of fixed pitch leaves them out; the widths are measured here instead.
namespace PrinterFonts {

// family is named as QFontDatabase::families() names it: under a Japanese locale that is the
// face's Japanese name ("IPA明朝"), which the lists and resolvedFamily() give alike.
// True when the installed face family has one advance for the half-width characters and
// twice that for kana and kanji.
bool isFixedPitch(const QString& family);
// True when the installed face family itself (not a fallback face) has kana and kanji.
bool printsJapanese(const QString& family);

// The installed families to offer for the sheets, sorted: the fixed-pitch faces that print
// Japanese; only where there is none, the fixed-pitch faces of any script.
QStringList eligibleFamilies();

// The installed family a face name prints in: "ＭＳ 明朝" gives the IPA face it is substituted
// with, an installed family itself.
QString resolvedFamily(const QString& family);

} // namespace PrinterFonts
