#include "settings/AboutTexts.h"

#include "update/Updates.h"

#include <QDir>
#include <QFileInfo>

namespace AboutTexts {

QString versionLine(const std::optional<QString>& shortVersion)
{
    return QStringLiteral("Version ") + shortVersion.value_or(QString()) + QStringLiteral(" \u00b7 Native ") +
        QLatin1String(buildTechnology) + QStringLiteral(" \u00b7 macOS 14+");
}

QString tagline()
{
    return QStringLiteral("Name your desktops. See the names everywhere.");
}

QString checkCaption()
{
    return QStringLiteral("One request to ") + Updates::updateHost +
        QStringLiteral(" for its version file, and nothing sent.");
}

QStringList underTheHood()
{
    return {
        QStringLiteral("Event driven: space changes come from macOS notifications; a slow sweep every 1.5 s catches "
                       "added or removed desktops and credits tracked time."),
        QStringLiteral("Mission Control detection is one window-list read five times a second, well under a "
                       "millisecond each, and only while you have touched the Mac in the last few seconds. Label "
                       "geometry is read only while it is open."),
        QStringLiteral("Shortcuts are Carbon hotkeys, not a keyboard tap; the only event tap listens for mouse "
                       "buttons while Mission Control is open, so the labels leave with it. The hover strip listens "
                       "for mouse moves and does nothing while the pointer is still."),
        QStringLiteral("An idle Mac costs nothing: no timer does work without input. Memory stays around twenty "
                       "megabytes."),
    };
}

QString noFileManager(const QString& logPath)
{
    const QFileInfo file(logPath);
    return QStringLiteral("No file manager could show it. The logs are in \u201c%1\u201d.")
        .arg(QDir::toNativeSeparators(file.absolutePath()));
}

} // namespace AboutTexts
