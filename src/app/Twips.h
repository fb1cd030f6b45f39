#pragma once

namespace quarrelby {

// The window's places and the list's column widths are in twips, 1440 an
// inch: at 96 dpi a pixel is 15 of them. A desktop with a larger font dpi
// and no scaling of its own (QT_FONT_DPI, Xft.dpi with scaling off) gets
// fewer twips a pixel, so that the layout grows with the font.
[[nodiscard]] double twipsPerPixel();

[[nodiscard]] int pixelsFromTwips(double twips);

} // namespace quarrelby
