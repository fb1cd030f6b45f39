#pragma once

#include <cmath>

namespace quarrelby {

// The window's places and the list's column widths are in twips; at 96 dpi a
// pixel is 15 of them.
inline constexpr double kTwipsPerPixel = 15.0;

[[nodiscard]] inline int pixelsFromTwips(double twips)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

} // namespace quarrelby
