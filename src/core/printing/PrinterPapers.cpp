// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/printing/PrinterPapers.h"

#include <array>
#include <map>

namespace {

// DMPAPER codes 1 to 118 by their constant names; 56 is left without a name.
constexpr std::array<const char*, 118> paperNames = {
    "LETTER", // 1
    "LETTERSMALL", // 2
    "TABLOID", // 3
    "LEDGER", // 4
    "LEGAL", // 5
    "STATEMENT", // 6
    "EXECUTIVE", // 7
    "A3", // 8
    "A4", // 9
    "A4SMALL", // 10
    "A5", // 11
    "B4", // 12
    "B5", // 13
    "FOLIO", // 14
    "QUARTO", // 15
    "10X14", // 16
    "11X17", // 17
    "NOTE", // 18
    "ENV_9", // 19
    "ENV_10", // 20
    "ENV_11", // 21
    "ENV_12", // 22
    "ENV_14", // 23
    "CSHEET", // 24
    "DSHEET", // 25
    "ESHEET", // 26
    "ENV_DL", // 27
    "ENV_C5", // 28
    "ENV_C3", // 29
    "ENV_C4", // 30
    "ENV_C6", // 31
    "ENV_C65", // 32
    "ENV_B4", // 33
    "ENV_B5", // 34
    "ENV_B6", // 35
    "ENV_ITALY", // 36
    "ENV_MONARCH", // 37
    "ENV_PERSONAL", // 38
    "FANFOLD_US", // 39
    "FANFOLD_STD_GERMAN", // 40
    "FANFOLD_LGL_GERMAN", // 41
    "ISO_B4", // 42
    "JAPANESE_POSTCARD", // 43
    "9X11", // 44
    "10X11", // 45
    "15X11", // 46
    "ENV_INVITE", // 47
    "RESERVED_48", // 48
    "RESERVED_49", // 49
    "LETTER_EXTRA", // 50
    "LEGAL_EXTRA", // 51
    "TABLOID_EXTRA", // 52
    "A4_EXTRA", // 53
    "LETTER_TRANSVERSE", // 54
    "A4_TRANSVERSE", // 55
    "", // 56
    "A_PLUS", // 57
    "B_PLUS", // 58
    "LETTER_PLUS", // 59
    "A4_PLUS", // 60
    "A5_TRANSVERSE", // 61
    "B5_TRANSVERSE", // 62
    "A3_EXTRA", // 63
    "A5_EXTRA", // 64
    "B5_EXTRA", // 65
    "A2", // 66
    "A3_TRANSVERSE", // 67
    "A3_EXTRA_TRANSVERSE", // 68
    "DBL_JAPANESE_POSTCARD", // 69
    "A6", // 70
    "JENV_KAKU2", // 71
    "JENV_KAKU3", // 72
    "JENV_CHOU3", // 73
    "JENV_CHOU4", // 74
    "LETTER_ROTATED", // 75
    "A3_ROTATED", // 76
    "A4_ROTATED", // 77
    "A5_ROTATED", // 78
    "B4_JIS_ROTATED", // 79
    "B5_JIS_ROTATED", // 80
    "JAPANESE_POSTCARD_ROTATED", // 81
    "DBL_JAPANESE_POSTCARD_ROTATED", // 82
    "A6_ROTATED", // 83
    "JENV_KAKU2_ROTATED", // 84
    "JENV_KAKU3_ROTATED", // 85
    "JENV_CHOU3_ROTATED", // 86
    "JENV_CHOU4_ROTATED", // 87
    "B6_JIS", // 88
    "B6_JIS_ROTATED", // 89
    "12X11", // 90
    "JENV_YOU4", // 91
    "JENV_YOU4_ROTATED", // 92
    "P16K", // 93
    "P32K", // 94
    "P32KBIG", // 95
    "PENV_1", // 96
    "PENV_2", // 97
    "PENV_3", // 98
    "PENV_4", // 99
    "PENV_5", // 100
    "PENV_6", // 101
    "PENV_7", // 102
    "PENV_8", // 103
    "PENV_9", // 104
    "PENV_10", // 105
    "P16K_ROTATED", // 106
    "P32K_ROTATED", // 107
    "P32KBIG_ROTATED", // 108
    "PENV_1_ROTATED", // 109
    "PENV_2_ROTATED", // 110
    "PENV_3_ROTATED", // 111
    "PENV_4_ROTATED", // 112
    "PENV_5_ROTATED", // 113
    "PENV_6_ROTATED", // 114
    "PENV_7_ROTATED", // 115
    "PENV_8_ROTATED", // 116
    "PENV_9_ROTATED", // 117
    "PENV_10_ROTATED", // 118
};

const std::map<int, const char*> descriptions = {
    { 1, "レター、8 1/2 x 11 インチ" },
    { 2, "レター スモール、8 1/2 x 11 インチ" },
    { 3, "タブロイド、11 x 17 インチ" },
    { 4, "レジャー、17 x 11 インチ" },
    { 5, "リーガル、8 1/2 x 14 インチ" },
    { 6, "ステートメント、5 1/2 x 8 1/2 インチ" },
    { 7, "エグゼクティブ、7 1/2 x 10 1/2 インチ" },
    { 8, "A3、297 x 420 mm" },
    { 9, "A4、210 x 297 mm" },
    { 10, "A4 Small、210 x 297 mm" },
    { 11, "A5、148 x 210 mm" },
    { 12, "B4、250 x 354 mm" },
    { 13, "B5、182 x 257 mm" },
    { 14, "フォリオ、8 1/2 x 13 インチ" },
    { 15, "クォート、215 x 275 mm" },
    { 16, "10 x 14 インチ" },
    { 17, "11 x 17 インチ" },
    { 18, "ノート、8 1/2 x 11 インチ" },
    { 19, "封筒 #9、3 7/8 x 8 7/8 インチ" },
    { 20, "封筒 #10、4 1/8 x 9 1/2 インチ" },
    { 21, "封筒 #11、4 1/2 x 10 3/8 インチ" },
    { 22, "封筒 #12、4 1/2 x 11 インチ" },
    { 23, "封筒 #14、5 x 11 1/2 インチ" },
    { 24, "C サイズ シート" },
    { 25, "D サイズ シート" },
    { 26, "E サイズ シート" },
    { 27, "封筒 DL、110 x 220 mm" },
    { 28, "封筒 C5、162 x 229 mm" },
    { 29, "封筒 C3、324 x 458 mm" },
    { 30, "封筒 C4、229 x 324 mm" },
    { 31, "封筒 C6、114 x 162 mm" },
    { 32, "封筒 C65、114 x 229 mm" },
    { 33, "封筒 B4、250 x 353 mm" },
    { 34, "封筒 B5、176 x 250 mm" },
    { 35, "封筒 B6、176 x 125 mm" },
    { 36, "封筒、110 x 230 mm" },
    { 37, "封筒 Monarch、3 7/8 x 7 1/2 インチ" },
    { 38, "封筒、3 5/8 x 6 1/2 インチ" },
    { 39, "U.S. スタンダード ファンフォールド、14 7/8 x 11 インチ" },
    { 40, "ドイツ スタンダード ファンフォールド、8 1/2 x 12 インチ" },
    { 41, "ドイツ リーガル ファンフォールド、8 1/2 x 13 インチ" },
};

const std::map<int, const char*> paperSources = {
    { 1, "上段のトレーの用紙を使います。" },           { 2, "下段のトレーの用紙を使います。" },
    { 3, "中央のトレーの用紙を使います。" },           { 4, "用紙が1枚ずつ手差しで供給されるまで待機します。" },
    { 5, "封筒フィーダの封筒を使います。" },           { 6, "封筒フィーダの封筒が手差しで供給されるまで待機します。" },
    { 7, "現在の既定値のトレーの用紙を使います。" },   { 8, "トラクタフィーダの用紙を使います。" },
    { 9, "小さいペーパーフィーダの用紙を使います。" }, { 10, "大きいペーパーフィーダの用紙を使います。" },
    { 11, "容量の大きいフィーダの用紙を使います。" },  { 14, "カセットカートリッジの用紙を使います。" },
};

} // namespace

namespace PrinterPapers {

QString paperName(int code)
{
    if (code >= 256)
        return QStringLiteral("USER(%1)").arg(code);
    if (code >= 1 && code <= int(paperNames.size()) && *paperNames[std::size_t(code - 1)] != '\0')
        return QString::fromLatin1(paperNames[std::size_t(code - 1)]);
    return QStringLiteral("UNKNOWN(%1)").arg(code);
}

QString description(int code, int widthMm, int heightMm)
{
    if (const auto found = descriptions.find(code); found != descriptions.end())
        return QString::fromUtf8(found->second);
    const QString size = QStringLiteral("H %1 × W %2㎜").arg(widthMm).arg(heightMm);
    return (code == 256 ? QStringLiteral("ユーザー定義サイズ  ") : QStringLiteral("User Size  ")) + size;
}

QString paperSource(int bin)
{
    const auto found = paperSources.find(bin);
    return found == paperSources.end() ? QString() : QString::fromUtf8(found->second);
}

QString copiesMessage(int copies)
{
    return QStringLiteral("このプリンターの最大印刷部数は　%1枚です。").arg(copies);
}

} // namespace PrinterPapers
