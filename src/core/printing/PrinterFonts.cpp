// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/PrinterFonts.h"

#include "core/app/BuiltinPicture.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QList>
#include <QRawFont>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {

// Measured large, so that hinting cannot round two different widths to one.
constexpr int measuringPixels = 200;

// The face of family alone, without the faces the toolkit merges in for missing characters;
// invalid when no installed face of that name is found.
QRawFont rawFace(const QString& family)
{
    QFont font(family);
    font.setPixelSize(measuringPixels);
    font.setStyleStrategy(QFont::NoFontMerging);
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid() || raw.familyName().compare(family, Qt::CaseInsensitive) != 0)
        return {};
    return raw;
}

// The advances of the characters of text in face, zero for a character the face lacks.
QList<qreal> advancesOf(const QRawFont& face, const QString& text)
{
    const QList<quint32> glyphs = face.glyphIndexesForString(text);
    QList<qreal> advances;
    for (const QPointF& advance : face.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics))
        advances.append(advance.x());
    for (qsizetype i = 0; i < glyphs.size() && i < advances.size(); ++i) {
        if (glyphs[i] == 0)
            advances[i] = 0;
    }
    return advances;
}

bool sameWidth(qreal a, qreal b)
{
    return std::abs(a - b) <= measuringPixels / 200.0;
}

bool halfWidthsEqual(const QRawFont& face)
{
    // Narrow and wide letters, digits and the signs of amounts.
    const QList<qreal> half = advancesOf(face, QStringLiteral("iWm01,.-"));
    if (half.isEmpty() || half.first() <= 0)
        return false;
    return std::all_of(half.begin(), half.end(), [&](qreal w) { return sameWidth(w, half.first()); });
}

const QString& japaneseSample()
{
    // Hiragana, katakana, common kanji and the full-width yen sign of prices.
    static const QString sample = QStringLiteral("あア漢字円品￥");
    return sample;
}

// The regional cuts of one face ("Noto Sans Mono CJK SC", "… TC") draw some kanji in the
// shapes of their region; where the Japanese cut of the face is there, the others are left out.
QStringList withoutForeignCuts(const QStringList& families)
{
    static const QRegularExpression cut(QStringLiteral("^(.+) (JP|SC|TC|HK|KR|CN|TW|MO)$"));
    QStringList kept;
    for (const QString& family : families) {
        const QRegularExpressionMatch match = cut.match(family);
        if (match.hasMatch() && match.captured(2) != QLatin1String("JP")
            && families.contains(match.captured(1) + QStringLiteral(" JP")))
            continue;
        kept.append(family);
    }
    return kept;
}

} // namespace

namespace PrinterFonts {

bool isFixedPitch(const QString& family)
{
    const QRawFont face = rawFace(family);
    if (!face.isValid() || !halfWidthsEqual(face))
        return false;
    const qreal half = advancesOf(face, QStringLiteral("0")).value(0);
    // Without kana and kanji the half widths decide alone.
    const QList<qreal> full = advancesOf(face, japaneseSample());
    return std::all_of(full.begin(), full.end(), [&](qreal w) { return w == 0 || sameWidth(w, 2 * half); });
}

bool printsJapanese(const QString& family)
{
    const QRawFont face = rawFace(family);
    if (!face.isValid())
        return false;
    const QList<quint32> glyphs = face.glyphIndexesForString(japaneseSample());
    return !glyphs.isEmpty() && !glyphs.contains(0u);
}

QStringList eligibleFamilies()
{
    BuiltinPicture::installFontSubstitutions();
    QStringList japanese;
    QStringList latin;
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families) {
        // Vertical faces ("@IPAMincho") and the system's private faces are not for sheets.
        if (family.startsWith(QLatin1Char('@')) || QFontDatabase::isPrivateFamily(family))
            continue;
        if (QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese)) {
            if (printsJapanese(family) && isFixedPitch(family))
                japanese.append(family);
        } else if (japanese.isEmpty() && isFixedPitch(family)) {
            latin.append(family);
        }
    }
    QStringList offered = japanese.isEmpty() ? latin : withoutForeignCuts(japanese);
    offered.sort(Qt::CaseInsensitive);
    return offered;
}

QString resolvedFamily(const QString& family)
{
    BuiltinPicture::installFontSubstitutions();
    return QFontInfo(QFont(family)).family();
}

} // namespace PrinterFonts
