#include "app/FormColours.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quarrelby {

namespace {
// Text at this ratio or more is readable for most users with low vision
// (WCAG's level AA for normal text).
constexpr double kReadable = 4.5;
// Enough for the outline of a control (WCAG's non-text contrast).
constexpr double kVisible = 3.0;

double channel(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

// Fusion's light colours. Fusion's own standard palette is whatever the
// desktop's is, dark on a dark desktop.
QPalette lightPalette()
{
    const QColor window(239, 239, 239);
    const QColor dark = window.darker(150);
    const QColor mid = window.darker(130);
    const QColor disabledText(190, 190, 190);
    QPalette light(Qt::black, window, window.lighter(150), dark, mid, Qt::black, Qt::white, Qt::white, window);
    light.setColor(QPalette::Midlight, mid.lighter(110));
    light.setColor(QPalette::Shadow, dark.darker(135));
    light.setColor(QPalette::Highlight, QColor(48, 140, 198));
    light.setColor(QPalette::HighlightedText, Qt::white);
    light.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    light.setColor(QPalette::ToolTipText, Qt::black);
    light.setColor(QPalette::Link, QColor(0, 0, 255));
    light.setColor(QPalette::LinkVisited, QColor(255, 0, 255));
    light.setColor(QPalette::AlternateBase, window.lighter(103));
    light.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 128));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        light.setColor(QPalette::Disabled, role, disabledText);
    light.setColor(QPalette::Disabled, QPalette::Base, window);
    light.setColor(QPalette::Disabled, QPalette::Highlight, QColor(145, 145, 145));
    return light;
}

bool readsOnWhite(const QPalette &palette)
{
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        if (contrastRatio(palette.color(QPalette::Active, role), Qt::white) < kReadable)
            return false;
    }
    return true;
}
} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QPalette formPalette(const QPalette &desktop)
{
    QPalette palette = desktop;
    if (!readsOnWhite(desktop)) {
        // Every role set, so that none comes from the desktop's palettes for
        // single classes (buttons, check boxes, headers) through inheritance.
        const QPalette light = lightPalette();
        for (int group = 0; group < QPalette::NColorGroups; ++group) {
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                const auto g = static_cast<QPalette::ColorGroup>(group);
                const auto r = static_cast<QPalette::ColorRole>(role);
                palette.setBrush(g, r, light.brush(g, r));
            }
        }
    }
    palette.setColor(QPalette::Window, Qt::white);
    return palette;
}

QColor focusRingColour(const QPalette &palette)
{
    const std::array<QColor, 3> around {
        palette.color(QPalette::Window), palette.color(QPalette::Base), palette.color(QPalette::Highlight)};
    const auto stands = [&](const QColor &ring) {
        return std::all_of(
            around.begin(), around.end(), [&](const QColor &c) { return contrastRatio(ring, c) >= kVisible; });
    };
    // The highlight, darkened step by step, keeps the desktop's hue.
    QColor ring = palette.color(QPalette::Highlight);
    for (int step = 0; step < 16; ++step, ring = ring.darker(115)) {
        if (stands(ring))
            return ring;
    }
    return stands(Qt::black) ? QColor(Qt::black) : palette.color(QPalette::WindowText);
}

} // namespace quarrelby
