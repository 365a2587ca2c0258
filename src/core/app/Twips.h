// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

// Window positions and column widths are kept in twips (1/1440 inch), the unit the
// settings have always used.
// Any stored number converts: the result is bounded to a range an int holds.
inline int twipsToPixels(double twips, int dpi)
{
    const double pixels = twips * dpi / 1440.0;
    return int(pixels < -1.0e6 ? -1.0e6 : (pixels > 1.0e6 ? 1.0e6 : pixels));
}

inline int pixelsToTwips(int pixels, int dpi)
{
    return pixels * 1440 / dpi;
}
