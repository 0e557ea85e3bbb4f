#include "ui/Glyph.h"

#include "platform/AtomicFile.h"
#include "platform/Scheduler.h"
#include "ui/GlyphCache.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
// 72 pixels per inch: the 256-pixel picture is 256 points.
constexpr int dotsPerMeterAt72Dpi = 2835;
constexpr int maximumNameAttempts = 10000;

QImage coverSquare(const QImage& source)
{
    const int side = Glyph::pictureSide;
    QImage square(side, side, QImage::Format_ARGB32);
    if (square.isNull())
        return square;
    square.fill(Qt::transparent);
    square.setDotsPerMeterX(dotsPerMeterAt72Dpi);
    square.setDotsPerMeterY(dotsPerMeterAt72Dpi);

    // Cover the square, keeping the aspect ratio; the overhang is cut off
    // equally on both sides.
    const double width = std::max(1.0, source.width() / source.devicePixelRatio());
    const double height = std::max(1.0, source.height() / source.devicePixelRatio());
    const double scale = std::max(side / width, side / height);
    const QRectF target((side - width * scale) / 2, (side - height * scale) / 2, width * scale, height * scale);

    QPainter painter(&square);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(target, source);
    painter.end();
    return square;
}

QByteArray pngData(const QImage& image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return {};
    return data;
}

QString candidateName(qint64 managedID, qint64 seconds, int attempt)
{
    QString name = QStringLiteral("space-") + QString::number(managedID) + QLatin1Char('-') + QString::number(seconds);
    if (attempt > 1)
        name += QLatin1Char('-') + QString::number(attempt);
    return name + QStringLiteral(".png");
}

// Writes the picture under a name no file has yet: two imports in one second
// must not share a file, or the second would replace the first under the
// caches' eyes. The write never replaces a file, also one that appeared
// after the name was picked.
std::variant<QString, PictureImportError> writeUnderNewName(const QString& folder, qint64 managedID, qint64 seconds,
                                                           const QByteArray& data)
{
    for (int attempt = 1; attempt <= maximumNameAttempts; ++attempt) {
        const QString name = candidateName(managedID, seconds, attempt);
        const QString path = folder + QLatin1Char('/') + name;
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            continue;
        if (const auto error = platform::AtomicFile::write(path, data, {.replaceExisting = false}))
            return PictureImportError::unwritable(*error);
        return name;
    }
    return PictureImportError::unwritable(QStringLiteral("every name for this desktop and second is taken"));
}
} // namespace

std::variant<QString, PictureImportError> Glyph::importPicture(const QString& sourcePath, qint64 managedID)
{
    QImageReader reader(sourcePath);
    reader.setAutoTransform(true);
    const QImage source = reader.read();
    if (source.isNull())
        return PictureImportError::unreadable();

    const QImage square = coverSquare(source);
    if (square.isNull())
        return PictureImportError::unencodable();
    const QByteArray data = pngData(square);
    if (data.isEmpty())
        return PictureImportError::unencodable();

    const QString folder = iconsFolder();
    const auto seconds = qint64(std::trunc(platform::now()));
    return writeUnderNewName(folder, managedID, seconds, data);
}
