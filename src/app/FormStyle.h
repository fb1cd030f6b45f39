#pragma once

#include <QProxyStyle>

namespace quarrelby {

// The window is laid out in fixed twips, as its captions were measured against
// the classic 13-pixel check box with a narrow gap. Fusion draws a larger box
// with a wider gap, which would cut the longer captions ("Company Tel No") at
// their 112-pixel width; this style keeps Fusion's look with the classic
// measures, whatever style the desktop prefers. Frames are drawn the classic
// way too: a plain line through the middle of the caption, no tinted panel,
// so that the boxes inside sit on the window's own colour. The keyboard focus
// is a solid ring that stands out from white and from a selected row alike;
// Fusion's is a faint tint.
class FormStyle : public QProxyStyle {
    Q_OBJECT

public:
    FormStyle();

    int pixelMetric(
        PixelMetric metric, const QStyleOption *option = nullptr, const QWidget *widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
        const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
        const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
        const QWidget *widget = nullptr) const override;
};

// The one instance, owned by the application.
[[nodiscard]] FormStyle *formStyle();

} // namespace quarrelby
