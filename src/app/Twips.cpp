#include "app/Twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace quarrelby {

double twipsPerPixel()
{
    constexpr double kTwipsPerInch = 1440.0;
    constexpr double kDesignDpi = 96.0;
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? std::max(kDesignDpi, screen->logicalDotsPerInchY()) : kDesignDpi;
    return kTwipsPerInch / dpi;
}

int pixelsFromTwips(double twips)
{
    return static_cast<int>(std::lround(twips / twipsPerPixel()));
}

} // namespace quarrelby
