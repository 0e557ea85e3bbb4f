#include "ui/Glyph.h"

#include "engine/Desktop.h"
#include "store/Palette.h"
#include "ui/EmojiRaster.h"
#include "ui/GlyphCache.h"
#include "ui/KitFonts.h"
#include "ui/KitText.h"
#include "ui/SymbolFont.h"
#include "ui/SymbolNames.h"
#include "ui/Theme.h"

#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

struct Tile {
    qint64 number;
    SpaceIcon icon;
    bool transparent;
    QColor fill;
    double radius;
};

QString shortestDecimal(double value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    const bool plainInteger = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == QLatin1Char('.') || c == QLatin1Char('e') || c == QLatin1Char('n') || c == QLatin1Char('i');
    });
    if (plainInteger)
        text += QStringLiteral(".0");
    return text;
}

QPainterPath tileShape(const QRectF& rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// The middle part of a picture with the target's aspect ratio: drawn over
// the target, the picture covers it without being stretched, its overhang
// cut off equally on both sides.
QRectF coveringSource(const QImage& picture, const QRectF& target)
{
    const QSizeF size = QSizeF(picture.size());
    if (size.isEmpty() || target.isEmpty())
        return QRectF(QPointF(0, 0), size);
    const double scale = std::max(target.width() / size.width(), target.height() / size.height());
    const QSizeF shown(target.width() / scale, target.height() / scale);
    return QRectF(QPointF((size.width() - shown.width()) / 2, (size.height() - shown.height()) / 2), shown);
}

// The picture over the rectangle inset on every side, clipped to a rounded
// rectangle of radius x 0.8.
void drawPicture(QPainter& painter, const QImage& picture, const QRectF& rect, double inset, double radius)
{
    const QRectF inner = rect.adjusted(inset, inset, -inset, -inset);
    painter.save();
    painter.setClipPath(tileShape(inner, radius * 0.8), Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(inner, picture, coveringSource(picture, inner));
    painter.restore();
}

void drawHighlight(QPainter& painter, const QRectF& rect, const QPainterPath& shape)
{
    // Strongest at the tile's middle, fading out at its top edge.
    const QRectF upperHalf(rect.left(), rect.top(), rect.width(), rect.height() / 2);
    QLinearGradient gradient(upperHalf.bottomLeft(), upperHalf.topLeft());
    QColor fadedHighlight = Theme::tileHighlight();
    fadedHighlight.setAlphaF(0);
    gradient.setColorAt(0, Theme::tileHighlight());
    gradient.setColorAt(1, fadedHighlight);
    painter.save();
    painter.setClipPath(shape, Qt::IntersectClip);
    painter.fillRect(upperHalf, gradient);
    painter.restore();
}

void drawNumber(QPainter& painter, const QRectF& rect, qint64 number, bool raised)
{
    const double side = rect.width();
    const QFont font = KitFonts::system(side * (number < 10 ? 0.62 : 0.52), QFont::Bold);
    QPointF centre = rect.center();
    if (raised)
        centre.ry() -= side * 0.02;
    KitText::drawCentred(painter, QString::number(number), font, Theme::onColour(), centre);
}

bool drawSymbol(QPainter& painter, const QRectF& rect, const QString& name)
{
    const double side = rect.width();
    const GlyphImagePtr symbol = Glyph::symbolImage(name, side * 0.56, Theme::onColour(), QFont::DemiBold);
    if (!symbol)
        return false;
    const QSizeF natural = symbol->size();
    const double scale = std::min(1.0, side * 0.66 / std::max(natural.width(), natural.height()));
    QRectF target(QPointF(0, 0), natural * scale);
    target.moveCenter(rect.center());
    symbol->draw(painter, target);
    return true;
}

// The symbol, emoji or number on a tile whose background is already drawn.
void drawMark(QPainter& painter, const QRectF& rect, const Tile& tile)
{
    switch (tile.icon.kind()) {
    case SpaceIcon::Kind::symbol:
        if (!drawSymbol(painter, rect, tile.icon.payload()))
            drawNumber(painter, rect, tile.number, false);
        return;
    case SpaceIcon::Kind::emoji:
        EmojiRaster::drawCentred(painter, tile.icon.payload(), KitFonts::emoji(rect.width() * 0.6), rect.center());
        return;
    case SpaceIcon::Kind::picture:
        drawNumber(painter, rect, tile.number, false);
        return;
    case SpaceIcon::Kind::none:
        drawNumber(painter, rect, tile.number, true);
        return;
    }
}

void drawTile(QPainter& painter, const QRectF& rect, const Tile& tile)
{
    const QPainterPath shape = tileShape(rect, tile.radius);
    const QImage picture = Glyph::picture(tile.icon);
    if (tile.transparent) {
        if (!picture.isNull()) {
            drawPicture(painter, picture, rect, 0, tile.radius);
            return;
        }
        if (tile.icon.isNone())
            painter.strokePath(shape, QPen(Theme::tileOutline(), 1));
    } else {
        painter.fillPath(shape, tile.fill);
        drawHighlight(painter, rect, shape);
        if (!picture.isNull()) {
            drawPicture(painter, picture, rect, rect.width() * 0.13, tile.radius);
            return;
        }
    }
    drawMark(painter, rect, tile);
}

bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

GlyphImagePtr emojiImage(const QString& text, double pointSize)
{
    const QFont font = KitFonts::emoji(pointSize * 0.95);
    const QSizeF measured = KitText::measure(text, font);
    const double side = std::max(measured.width(), measured.height());
    return std::make_shared<GlyphImage>(QSizeF(side, side), [text, font](QPainter& painter, const QRectF& bounds) {
        EmojiRaster::drawCentred(painter, text, font, bounds.center());
    });
}

GlyphImagePtr pictureImage(const QImage& picture, double pointSize)
{
    return std::make_shared<GlyphImage>(QSizeF(pointSize, pointSize), [picture](QPainter& painter, const QRectF& bounds) {
        painter.save();
        painter.setClipPath(tileShape(bounds, bounds.width() * 0.25), Qt::IntersectClip);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(bounds, picture, coveringSource(picture, bounds));
        painter.restore();
    });
}

} // namespace

QString Glyph::tileKey(qint64 number, const SpaceIcon& icon, const TileColor& color, std::optional<double> radius,
                       double size)
{
    const QChar bar = QLatin1Char('|');
    return QString::number(number) + bar + icon.stringValue() + bar + QString::number(color.intValue()) + bar
        + shortestDecimal(size) + bar + shortestDecimal(radius.value_or(-1));
}

GlyphImagePtr Glyph::image(const Desktop& desktop, std::optional<double> radius, bool numberOnly, double size)
{
    if (!numberOnly)
        return tileImage(desktop.number, desktop.icon(), desktop.color(), radius, size);
    const TileColor shown = desktop.color();
    const TileColor color = shown.kind() == TileColor::Kind::transparent ? TileColor::automatic() : shown;
    return tileImage(desktop.number, SpaceIcon::none(), color, radius, size);
}

GlyphImagePtr Glyph::tileImage(qint64 number, const SpaceIcon& icon, const TileColor& color,
                               std::optional<double> radius, double size)
{
    GlyphCache& cache = GlyphCache::shared();
    const QString key = tileKey(number, icon, color, radius, size);
    if (GlyphImagePtr cached = cache.tile(key))
        return cached;

    const qint64 paletteIndex = color.kind() == TileColor::Kind::palette ? color.paletteIndex() : number - 1;
    const Tile tile{number, icon, color.kind() == TileColor::Kind::transparent, Palette::color(paletteIndex),
                    radius.value_or(size * tileRadiusRatio)};
    auto made = std::make_shared<GlyphImage>(QSizeF(size, size), [tile](QPainter& painter, const QRectF& bounds) {
        drawTile(painter, bounds, tile);
    });
    cache.storeTile(key, made);
    return made;
}

GlyphImagePtr Glyph::iconImage(const SpaceIcon& icon, double pointSize, const QColor& color, QFont::Weight weight)
{
    switch (icon.kind()) {
    case SpaceIcon::Kind::symbol:
        return symbolImage(icon.payload(), pointSize, color, weight);
    case SpaceIcon::Kind::emoji:
        return emojiImage(icon.payload(), pointSize);
    case SpaceIcon::Kind::picture: {
        const QImage stored = picture(icon);
        return stored.isNull() ? nullptr : pictureImage(stored, pointSize);
    }
    case SpaceIcon::Kind::none:
        return nullptr;
    }
    return nullptr;
}

GlyphImagePtr Glyph::symbolImage(const QString& name, double pointSize, const QColor& color, QFont::Weight)
{
    const std::optional<QString> ligature = SymbolNames::ligature(name);
    if (!ligature)
        return nullptr;
    const std::optional<SymbolFont::Outline> outline = SymbolFont::outline(*ligature);
    if (!outline)
        return nullptr;
    const QPainterPath path = outline->path;
    return std::make_shared<GlyphImage>(
        QSizeF(pointSize * outline->aspect, pointSize), [path, color](QPainter& painter, const QRectF& bounds) {
            painter.save();
            painter.translate(bounds.topLeft());
            painter.scale(bounds.width(), bounds.height());
            painter.fillPath(path, color);
            painter.restore();
        });
}

QImage Glyph::picture(const SpaceIcon& icon)
{
    if (icon.kind() != SpaceIcon::Kind::picture || !isPlainFileName(icon.payload()))
        return {};
    GlyphCache& cache = GlyphCache::shared();
    const QString& name = icon.payload();
    QImage cached = cache.picture(name);
    if (!cached.isNull())
        return cached;
    QImageReader reader(cache.iconsFolder() + QLatin1Char('/') + name);
    reader.setAutoTransform(true);
    const QImage loaded = reader.read();
    if (!loaded.isNull())
        cache.storePicture(name, loaded);
    return loaded;
}

GlyphImagePtr Glyph::badged(const GlyphImagePtr& image, const QString& text)
{
    const QFont font = KitFonts::system(7.5, QFont::Bold);
    const double badgeWidth = std::max(std::ceil(KitText::measure(text, font).width()) + 5, 10.0);
    const QSizeF inner = image ? image->size() : QSizeF();
    const QSizeF outer(inner.width() + 3, inner.height() + 3);
    return std::make_shared<GlyphImage>(outer, [image, inner, text, font, badgeWidth](QPainter& painter,
                                                                                    const QRectF& bounds) {
        // The image keeps the bottom left corner; the badge takes the top right.
        if (image)
            image->draw(painter, QRectF(QPointF(bounds.left(), bounds.bottom() - inner.height()), inner));
        const QRectF badge(bounds.right() - badgeWidth, bounds.top(), badgeWidth, 10);
        QPainterPath bubble;
        bubble.addRoundedRect(badge, 5, 5);
        painter.fillPath(bubble, Theme::red());
        painter.strokePath(bubble, QPen(Theme::badgeOutline(), 0.5));
        KitText::drawCentred(painter, text, font, Theme::onColour(), badge.center());
    });
}

QString Glyph::iconsFolder()
{
    return GlyphCache::shared().iconsFolder();
}
