#include "app/FormStyle.h"

#include "app/FormColours.h"
#include "app/Twips.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>
#include <QStyleOptionGroupBox>
#include <QWidget>

namespace quarrelby {

FormStyle::FormStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
}

int FormStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
        return pixelsFromTwips(195); // 13 pixels at 96 dpi
    case PM_CheckBoxLabelSpacing:
        return pixelsFromTwips(45);
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

void FormStyle::drawPrimitive(
    PrimitiveElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    // As in Fusion, a ring only once the keyboard has moved the focus (the
    // window counts its first focus as such).
    if (element != PE_FrameFocusRect || !(option->state & State_KeyboardFocusChange)) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    constexpr int kRing = 2;
    painter->save();
    painter->setPen(Qt::NoPen);
    painter->setBrush(focusRingColour(option->palette));
    QRegion ring(option->rect);
    ring -= option->rect.adjusted(kRing, kRing, -kRing, -kRing);
    painter->setClipRegion(ring);
    painter->drawRect(option->rect);
    painter->restore();
}

void FormStyle::drawControl(
    ControlElement element, const QStyleOption *option, QPainter *painter, const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    // Fusion marks a focused button only by a thin tinted border.
    if (element == CE_PushButton && (option->state & State_HasFocus)) {
        QStyleOptionFocusRect ring;
        ring.QStyleOption::operator=(*option);
        ring.rect = option->rect.adjusted(3, 3, -3, -3);
        drawPrimitive(PE_FrameFocusRect, &ring, painter, widget);
    }
}

void FormStyle::drawComplexControl(
    ComplexControl control, const QStyleOptionComplex *option, QPainter *painter, const QWidget *widget) const
{
    const auto *box = qstyleoption_cast<const QStyleOptionGroupBox *>(option);
    if (control != CC_GroupBox || !box || (box->subControls & SC_GroupBoxCheckBox)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    constexpr int kIndent = 8;
    constexpr int kPadding = 3;
    const QFontMetrics metrics(widget ? widget->font() : painter->font());
    const QRect title(box->rect.left() + kIndent, box->rect.top(),
        box->text.isEmpty() ? 0 : metrics.horizontalAdvance(box->text) + 2 * kPadding, metrics.height());
    const QRect frame = box->rect.adjusted(0, title.center().y(), -1, -1);

    painter->save();
    QRegion outside(box->rect);
    outside -= title;
    painter->setClipRegion(outside);
    painter->setPen(box->palette.color(QPalette::Mid));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(frame);
    painter->restore();
    if (!box->text.isEmpty()) {
        drawItemText(painter, title.adjusted(kPadding, 0, -kPadding, 0), Qt::AlignLeft | Qt::AlignVCenter, box->palette,
            box->state & State_Enabled, box->text, QPalette::WindowText);
    }
}

FormStyle *formStyle()
{
    static QPointer<FormStyle> instance;
    if (!instance) {
        instance = new FormStyle;
        instance->setParent(QCoreApplication::instance());
    }
    return instance;
}

} // namespace quarrelby
