#include "ui/SpaceGlyph.h"

#include "ui/Glyph.h"
#include "ui/KitText.h"
#include "ui/Theme.h"

#include <QPainter>

#include <cmath>

SpaceGlyph::SpaceGlyph(const Desktop& desktop, double pointSize, double opacity, QWidget* parent)
    : QWidget(parent)
    , desktop_(desktop)
    , pointSize_(pointSize)
    , opacity_(opacity)
{
}

void SpaceGlyph::setDesktop(const Desktop& desktop)
{
    desktop_ = desktop;
    updateGeometry();
    update();
}

QFont SpaceGlyph::numberFont() const
{
    return Theme::displayFont(pointSize_ - 1, QFont::Bold);
}

QSizeF SpaceGlyph::contentSize() const
{
    if (const GlyphImagePtr icon = Glyph::iconImage(desktop_.icon(), pointSize_, Theme::onColour()))
        return icon->size();
    return KitText::measure(QString::number(desktop_.number), numberFont());
}

QSize SpaceGlyph::sizeHint() const
{
    const QSizeF size = contentSize();
    return {int(std::ceil(size.width())), int(std::ceil(size.height()))};
}

void SpaceGlyph::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    const QRectF bounds = rect();
    if (const GlyphImagePtr icon = Glyph::iconImage(desktop_.icon(), pointSize_, Theme::onColour())) {
        QRectF target(QPointF(0, 0), icon->size());
        target.moveCenter(bounds.center());
        icon->draw(painter, target);
        return;
    }
    QColor color = Theme::onColour();
    color.setAlphaF(float(opacity_));
    KitText::drawCentred(painter, QString::number(desktop_.number), numberFont(), color, bounds.center());
}
