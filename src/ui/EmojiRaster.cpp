#include "ui/EmojiRaster.h"

#include "ui/Theme.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainter>

#include <cmath>

namespace EmojiRaster {

namespace {
// Enough for every emoji tile of every surface at two scales; emptied when
// full, like the tile cache.
constexpr qsizetype rasterLimit = 256;

QImage rasterize(const QString& text, const QFont& font, double scale)
{
    const QFontMetricsF metrics(font);
    const QSizeF box(metrics.horizontalAdvance(text), metrics.height());
    QImage image(QSize(int(std::ceil(box.width() * scale)), int(std::ceil(box.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    painter.setFont(font);
    painter.setPen(Theme::onColour());
    painter.drawText(QPointF(0, metrics.ascent()), text);
    return image;
}

const QImage& raster(const QString& text, const QFont& font, double scale)
{
    static QHash<QString, QImage> rasters;
    const QString key = text + QLatin1Char('|') + font.key() + QLatin1Char('|') + QString::number(scale);
    auto found = rasters.constFind(key);
    if (found != rasters.constEnd())
        return *found;
    if (rasters.size() >= rasterLimit)
        rasters.clear();
    return *rasters.insert(key, rasterize(text, font, scale));
}
} // namespace

void drawCentred(QPainter& painter, const QString& text, const QFont& font, QPointF centre)
{
    const QTransform device = painter.deviceTransform();
    const double scale = std::sqrt(std::abs(device.determinant()));
    if (scale <= 0 || !std::isfinite(scale))
        return;
    const QFontMetricsF metrics(font);
    const QPointF topLeft(centre.x() - metrics.horizontalAdvance(text) / 2, centre.y() - metrics.height() / 2);
    const QImage& image = raster(text, font, scale);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(topLeft, image.deviceIndependentSize()), image);
    painter.restore();
}

} // namespace EmojiRaster
