#include "ui/TintPalette.h"

#include "ui/Theme.h"

QLinearGradient TintPalette::Gradient::over(const QRectF& rect) const
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

const TintPalette& TintPalette::blue()
{
    static const TintPalette palette = [] {
        QColor soft = Theme::blue();
        soft.setAlphaF(0.16f);
        return TintPalette{Theme::blue(), {Theme::blue(), Theme::lilac()}, soft,
                           Theme::blueInk()};
    }();
    return palette;
}
