#include "ui/BadgeBubble.h"

#include "platform/Graphemes.h"
#include "ui/KitText.h"
#include "ui/KitFonts.h"
#include "ui/KitShapes.h"
#include "ui/Theme.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr double minimumSide = 10;

QFont badgeFont()
{
    return KitFonts::system(7.5, QFont::Bold);
}
} // namespace

BadgeBubble::BadgeBubble(const QString& text, QWidget* parent)
    : QWidget(parent)
    , text_(text)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(sizeHint());
}

QSize BadgeBubble::sizeHint() const
{
    const QSizeF size = sizeFor(text_);
    return {int(std::ceil(size.width())), int(std::ceil(size.height()))};
}

QSizeF BadgeBubble::sizeFor(const QString& text)
{
    const double padding = platform::Graphemes::count(text) > 1 ? 2.5 : 0;
    const QSizeF measured = KitText::measure(text, badgeFont());
    return {std::max(minimumSide, measured.width() + 2 * padding), std::max(minimumSide, measured.height())};
}

void BadgeBubble::paint(QPainter& painter, const QRectF& rect, const QString& text)
{
    const QPainterPath shape = KitShapes::capsule(rect);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape, Theme::red());
    painter.strokePath(shape, QPen(Theme::badgeOutline(), 0.5));
    painter.restore();
    KitText::drawCentred(painter, text, badgeFont(), Theme::onColour(), rect.center());
}

void BadgeBubble::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QSizeF size = sizeFor(text_);
    QRectF bubble(QPointF(0, 0), size);
    bubble.moveCenter(QRectF(rect()).center());
    paint(painter, bubble, text_);
}
