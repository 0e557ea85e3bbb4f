#include "missioncontrol/PillPainter.h"

#include "engine/Desktop.h"
#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <charconv>
#include <cstring>
#include <cmath>

namespace {

constexpr double shadowBlur = 6;
// Rings of falling strength stand in for the blur.
constexpr int shadowRings = 3;
// Downwards on screen.
constexpr double shadowDrop = 1.5;
constexpr double fillAlpha = 0.96;
constexpr double strokeWidth = 1;
// A pixel buffer larger than this is not made.
constexpr double largestPixelSide = 8192;

// The shortest decimal that reads back to the value, with at least one
// digit after the point: 1.0, 1.25, 2.0.
QString shortestDecimal(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')) && !text.contains(QLatin1Char('n'))
        && !text.contains(QLatin1Char('i')))
        text += QStringLiteral(".0");
    return text;
}

QString wholeOrZero(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    return QString::number(std::trunc(value), 'f', 0);
}

} // namespace

QString PillPainter::key(const Desktop& desktop, const PillMetrics& metrics, double backingScale, bool showNumber)
{
    const QChar bar = QLatin1Char('|');
    return QString::number(desktop.id()) + bar + QString::number(desktop.number) + bar + desktop.displayName() + bar
        + desktop.icon().stringValue() + bar + QString::number(desktop.color().intValue()) + bar + wholeOrZero(metrics.width)
        + bar + wholeOrZero(metrics.height) + bar + shortestDecimal(metrics.scale) + bar
        + (showNumber ? QStringLiteral("true") : QStringLiteral("false")) + bar + shortestDecimal(backingScale);
}

PillPainter::Picture PillPainter::image(const Desktop& desktop, const QString& text, const QFont& font,
                                        const GlyphImagePtr& glyph, const PillMetrics& metrics, double backingScale,
                                        bool showNumber)
{
    Picture picture;
    picture.size = QSizeF(std::ceil(metrics.width + 2 * margin), std::ceil(metrics.height + 2 * margin));
    const QString cacheKey = key(desktop, metrics, backingScale, showNumber);
    if (!cache_.isEmpty()) {
        auto it = cache_.constFind(cacheKey);
        if (it != cache_.constEnd()) {
            picture.image = it.value();
            return picture;
        }
    }
    ++draws_;
    const double pixelWidth = std::ceil(picture.size.width() * backingScale);
    const double pixelHeight = std::ceil(picture.size.height() * backingScale);
    const bool drawable = !failRendering_ && std::isfinite(pixelWidth) && std::isfinite(pixelHeight)
        && pixelWidth >= 1 && pixelHeight >= 1 && pixelWidth <= largestPixelSide && pixelHeight <= largestPixelSide;
    if (drawable) {
        QImage image(int(pixelWidth), int(pixelHeight), QImage::Format_ARGB32_Premultiplied);
        // A plain clear: Qt's fill hands larger images to its thread pool.
        std::memset(image.bits(), 0, size_t(image.sizeInBytes()));
        QPainter painter(&image);
        painter.scale(backingScale, backingScale);
        draw(painter, picture.size, desktop, text, font, glyph, metrics);
        painter.end();
        image.setDevicePixelRatio(backingScale);
        picture.image = image;
    }
    if (cache_.size() >= cacheLimit)
        cache_.clear();
    if (!picture.image.isNull())
        cache_.insert(cacheKey, picture.image);
    return picture;
}

void PillPainter::draw(QPainter& painter, const QSizeF& imageSize, const Desktop& desktop, const QString& text,
                       const QFont& font, const GlyphImagePtr& glyph, const PillMetrics& metrics)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // The pill sits margin points in from the bottom-left, so in y-down terms
    // its top is the image height less margin and its height.
    const QRectF pill(margin, imageSize.height() - margin - metrics.height, metrics.width, metrics.height);
    const double radius = PillPainter::cornerRadius * metrics.scale;
    QPainterPath path;
    path.addRoundedRect(pill, radius, radius);

    // A soft shadow: rings of falling strength around the dropped shape.
    QColor shadow = Theme::pillShadow();
    const double strength = shadow.alphaF();
    painter.setPen(Qt::NoPen);
    for (int ring = shadowRings; ring >= 1; --ring) {
        const double grow = ring * shadowBlur / (2 * shadowRings);
        shadow.setAlphaF(float(strength / (shadowRings + 1)));
        painter.setBrush(shadow);
        painter.drawRoundedRect(pill.translated(0, shadowDrop).adjusted(-grow, -grow, grow, grow), radius + grow,
                                radius + grow);
    }
    QColor fill = desktop.swatchColor();
    fill.setAlphaF(float(fillAlpha));
    painter.setBrush(fill);
    painter.drawPath(path);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Theme::pillStroke(), strokeWidth));
    painter.drawPath(path);

    double x = pill.left() + (metrics.width - metrics.contentWidth) / 2 + metrics.padding;
    if (glyph) {
        glyph->drawFitted(painter,
                          QRectF(x, pill.center().y() - metrics.glyphSize / 2, metrics.glyphSize, metrics.glyphSize));
        x += metrics.glyphSize + metrics.gap;
    }
    const QFontMetricsF measure(font);
    const double textHeight = measure.height();
    painter.setFont(font);
    painter.setPen(Theme::pillText());
    const QString shown = measure.elidedText(text, Qt::ElideRight, metrics.textWidth);
    painter.drawText(QRectF(x, pill.center().y() - textHeight / 2, metrics.textWidth + 1, textHeight),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}
