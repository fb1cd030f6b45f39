#include "app/FormStyle.h"

#include <QCoreApplication>
#include <QPointer>
#include <QStyleFactory>

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
        return 13;
    case PM_CheckBoxLabelSpacing:
        return 3;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

} // namespace quarrelby

namespace quarrelby {

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
