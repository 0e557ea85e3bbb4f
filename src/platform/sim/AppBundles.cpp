#include "platform/AppBundles.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QStringList AppBundles::openCommand(const QString& bundlePath)
{
    const QFileInfo info(bundlePath);
    if (info.isFile())
        return {info.absoluteFilePath()};
    return {QDir::cleanPath(bundlePath) + QStringLiteral("/Contents/MacOS/tessaroom")};
}

} // namespace platform
