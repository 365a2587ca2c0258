#pragma once

// Window positions and column widths are kept in twips (1/1440 inch), the unit the
// settings have always used.
inline int twipsToPixels(double twips, int dpi)
{
    return int(twips * dpi / 1440.0);
}

inline int pixelsToTwips(int pixels, int dpi)
{
    return pixels * 1440 / dpi;
}
