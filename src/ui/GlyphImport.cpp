#include "ui/Glyph.h"

#include "platform/Scheduler.h"
#include "ui/GlyphCache.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

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

// Claims a name no file has yet: two imports in one second must not share a
// file, or the second would replace the first under the caches' eyes.
std::variant<QString, PictureImportError> claimName(const QString& folder, qint64 managedID, qint64 seconds)
{
    QString lastError;
    for (int attempt = 1; attempt <= maximumNameAttempts; ++attempt) {
        const QString name = candidateName(managedID, seconds, attempt);
        QFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return name;
        lastError = file.errorString();
        if (!file.exists())
            return PictureImportError::unwritable(lastError);
    }
    return PictureImportError::unwritable(lastError);
}

std::optional<PictureImportError> writeClaimed(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
        return std::nullopt;
    const QString error = file.errorString();
    QFile::remove(path);
    return PictureImportError::unwritable(error);
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
    auto claimed = claimName(folder, managedID, seconds);
    if (const auto* error = std::get_if<PictureImportError>(&claimed))
        return *error;
    const QString name = std::get<QString>(claimed);
    if (auto error = writeClaimed(folder + QLatin1Char('/') + name, data))
        return *error;
    return name;
}
