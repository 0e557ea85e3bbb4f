#include "ui/PlainSymbolButton.h"

#include "ui/Glyph.h"
#include "ui/KitFocus.h"
#include "ui/Theme.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

PlainSymbolButton::PlainSymbolButton(const QString& symbolName, double pointSize, const QColor& color,
                                     QWidget* parent)
    : QAbstractButton(parent)
    , symbolName_(symbolName)
    , pointSize_(pointSize)
    , color_(color)
{
    KitFocus::pressesOnReturn(*this);
    setCursor(Qt::ArrowCursor);
    setFixedSize(sizeHint());
}

QSize PlainSymbolButton::sizeHint() const
{
    const int side = int(std::ceil(pointSize_));
    return {side, side};
}

void PlainSymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Pressed, the symbol darkens a little, as a plain button's label does.
    if (isDown())
        painter.setOpacity(0.7);
    if (const GlyphImagePtr symbol = Glyph::symbolImage(symbolName_, pointSize_, color_)) {
        QRectF target(QPointF(0, 0), symbol->size());
        target.moveCenter(QRectF(rect()).center());
        symbol->draw(painter, target);
    }
    if (KitFocus::showsRing(*this)) {
        painter.setOpacity(1);
        const QRectF bounds = rect();
        KitFocus::paintRing(painter, bounds, std::min(bounds.width(), bounds.height()) / 2, Theme::focusRing());
    }
}
