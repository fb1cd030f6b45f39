#pragma once

#include <QColor>
#include <QPalette>

namespace quarrelby {

// The window is white by design. Its text colours must then be dark: a dark or
// inverse high-contrast desktop gives light text, which would vanish on that
// white. A desktop whose text reads on white keeps its own palette; any other
// gets a whole light one (Fusion's colours), never our white with its light text.
[[nodiscard]] QPalette formPalette(const QPalette &desktop);

// WCAG 2 contrast ratio of two opaque colours, from 1 to 21.
[[nodiscard]] double contrastRatio(const QColor &a, const QColor &b);

// A ring that stands out at least 3:1 from the window, the list's rows and a
// selected row, so that the keyboard focus can be found at a glance.
[[nodiscard]] QColor focusRingColour(const QPalette &palette);

} // namespace quarrelby
