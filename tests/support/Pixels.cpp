#include "support/Pixels.h"

#include <QLayout>
#include <QWidget>

#include <cmath>
#include <cstdlib>

::testing::AssertionResult sameColor(const QColor& actual, const QColor& expected, int tolerance)
{
    const QColor a = actual.toRgb();
    const QColor e = expected.toRgb();
    const bool close = std::abs(a.red() - e.red()) <= tolerance && std::abs(a.green() - e.green()) <= tolerance
        && std::abs(a.blue() - e.blue()) <= tolerance && std::abs(a.alpha() - e.alpha()) <= tolerance;
    if (close)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "colour " << a.name(QColor::HexArgb).toStdString() << " is not "
                                         << e.name(QColor::HexArgb).toStdString();
}

namespace {

QImage renderOn(QWidget& widget, const QColor& background, double scale)
{
    QImage image(QSize(int(std::ceil(widget.width() * scale)), int(std::ceil(widget.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(background);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

QImage renderBare(QWidget& widget, double scale)
{
    return renderOn(widget, Qt::transparent, scale);
}

QImage renderLaidOut(QWidget& widget, const QColor& background, double scale)
{
    if (!widget.testAttribute(Qt::WA_Resized))
        widget.resize(widget.sizeHint());
    if (widget.layout())
        widget.layout()->activate();
    return renderOn(widget, background, scale);
}
