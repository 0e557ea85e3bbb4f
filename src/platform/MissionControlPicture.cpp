#include "platform/MissionControlPicture.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace platform::MissionControlPicture {

namespace {

QColor srgb(double red, double green, double blue)
{
    return QColor::fromRgbF(float(red), float(green), float(blue));
}

} // namespace

QColor backdropColor()
{
    return srgb(0.13, 0.13, 0.13);
}

QColor barColor()
{
    return srgb(0.2, 0.2, 0.2);
}

QColor captionColor()
{
    return QColor::fromRgbF(1, 1, 1, 0.92f);
}

QGradientStops previewGradient()
{
    return {{0.0, srgb(0.05, 0.08, 0.2)},  {0.42, srgb(0.18, 0.3, 0.56)},  {0.64, srgb(0.62, 0.68, 0.9)},
            {0.74, srgb(0.93, 0.72, 0.66)}, {0.79, srgb(0.3, 0.26, 0.52)}, {1.0, srgb(0.08, 0.09, 0.22)}};
}

void draw(QPainter& painter, const Scene& scene, const QFont& captionFont, const std::optional<QImage>& wallpaper)
{
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    painter.fillRect(scene.backdrop, backdropColor());
    painter.fillRect(scene.bar, barColor());

    for (const QRectF& box : scene.previews) {
        QPainterPath path;
        path.addRoundedRect(box, previewRadius, previewRadius);
        if (wallpaper && !wallpaper->isNull()) {
            // Cover the preview, centred; the rounded clip cuts what sticks out.
            const double scale = std::max(box.width() / wallpaper->width(), box.height() / wallpaper->height());
            const QSizeF drawn(wallpaper->width() * scale, wallpaper->height() * scale);
            painter.save();
            painter.setClipPath(path);
            painter.drawImage(QRectF(box.center() - QPointF(drawn.width() / 2, drawn.height() / 2), drawn), *wallpaper);
            painter.restore();
        } else {
            QLinearGradient gradient(box.topLeft(), box.bottomLeft());
            gradient.setStops(previewGradient());
            painter.fillPath(path, gradient);
        }
    }

    const QFontMetricsF metrics(captionFont);
    painter.setFont(captionFont);
    painter.setPen(captionColor());
    for (const auto& [text, centre] : scene.captions) {
        const QRectF measured = metrics.boundingRect(text);
        painter.drawText(QRectF(centre.x() - measured.width() / 2, centre.y() - measured.height() / 2, measured.width(),
                                measured.height()),
                         Qt::AlignCenter, text);
    }
    painter.restore();
}

} // namespace platform::MissionControlPicture
