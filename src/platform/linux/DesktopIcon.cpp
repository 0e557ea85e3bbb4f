#include "platform/linux/DesktopIcon.h"

#include "platform/AtomicFile.h"
#include "platform/Folders.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace platform::host {

QString desktopIconPath()
{
    return Folders::applicationSupport() + QStringLiteral("/icons/hicolor/") + QString::number(desktopIconSide)
        + QLatin1Char('x') + QString::number(desktopIconSide) + QStringLiteral("/apps/tessaroom.png");
}

std::optional<QString> installDesktopIcon()
{
    const QIcon icon = QGuiApplication::windowIcon();
    if (icon.isNull())
        return QStringLiteral("the app has no window icon");
    const QImage image = icon.pixmap(QSize(desktopIconSide, desktopIconSide), 1.0)
                             .toImage()
                             .scaled(desktopIconSide, desktopIconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG"))
        return QStringLiteral("the window icon could not be made into a PNG");
    const QString path = desktopIconPath();
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == png)
        return std::nullopt;
    existing.close();
    if (!Folders::make(QFileInfo(path).absolutePath()))
        return QStringLiteral("the folder of ") + path + QStringLiteral(" could not be made");
    if (const std::optional<QString> failure = AtomicFile::write(path, png))
        return path + QStringLiteral(": ") + *failure;
    return std::nullopt;
}

} // namespace platform::host
