#include "gui/widgets/WindowPlacement.h"

#include "core/app/Settings.h"
#include "core/app/Twips.h"

#include <QWidget>

void placeWorkingWindow(QWidget* window, const Settings& settings)
{
    const int left = Settings::toNumber(settings.value(Setting::frmLeft)).value_or(0);
    const int top = Settings::toNumber(settings.value(Setting::frmTop)).value_or(0);
    window->move(twipsToPixels(left, window->logicalDpiX()), twipsToPixels(top, window->logicalDpiY()));
}
