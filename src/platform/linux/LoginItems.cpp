#include "platform/linux/LoginItems.h"

#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/Lifetime.h"
#include "platform/SystemLog.h"
#include "platform/linux/KeyFile.h"
#include "platform/linux/LinkHandlers.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

struct Controls {
    std::optional<LoginItems::Status> forcedStatus;
    std::optional<QString> failure;
};

Controls& controls()
{
    static Shared<Controls> current([] { return new Controls; });
    return current.get();
}

QString executable()
{
    const QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return path.isEmpty() ? QStringLiteral("tessaroom") : path;
}

// The entry's own lines, with the program quoted as one Exec argument; an
// entry the user or the session edited keeps every other line.
QList<std::pair<QByteArray, QByteArray>> entryValues(const QString& exec)
{
    return {{"Type", "Application"},
            {"Name", "Tessaroom"},
            {"Icon", "tessaroom"},
            {"Exec", exec.toUtf8()},
            {"X-GNOME-Autostart-enabled", "true"}};
}

} // namespace

QString host::loginItemEntryPath()
{
    // The preferences folder sits in the XDG config folder.
    const QString config = QFileInfo(Folders::preferences()).path();
    return config + QStringLiteral("/autostart/tessaroom.desktop");
}

void host::forceLoginItemStatus(std::optional<LoginItems::Status> status)
{
    controls().forcedStatus = status;
}

void host::failLoginItemChanges(std::optional<QString> message)
{
    controls().failure = std::move(message);
}

LoginItems::Status LoginItems::mainAppStatus()
{
    if (controls().forcedStatus)
        return *controls().forcedStatus;
    return QFileInfo::exists(host::loginItemEntryPath()) ? Status::enabled : Status::notRegistered;
}

std::optional<QString> LoginItems::registerMainApp()
{
    if (controls().failure)
        return controls().failure;
    const QString path = host::loginItemEntryPath();
    const std::optional<QString> exec = host::desktopEntryArgument(executable());
    if (!exec)
        return QStringLiteral("The login item could not be written: the app's path holds a line break.");
    QString why;
    const std::optional<QByteArray> current = host::KeyFile::read(path, &why);
    if (!current) {
        SystemLog::write(QStringLiteral("login items: not registering: %1 could not be read (%2); it is left as it is")
                             .arg(path, why));
        return QStringLiteral("The login item could not be changed: its entry could not be read (%1).").arg(why);
    }
    (void)Folders::make(QFileInfo(path).path());
    const QByteArray entry = host::KeyFile::withValues(*current, "[Desktop Entry]", entryValues(*exec));
    if (const auto error = AtomicFile::write(path, entry))
        return QStringLiteral("The login item could not be written: ") + *error;
    return std::nullopt;
}

std::optional<QString> LoginItems::unregisterMainApp()
{
    if (controls().failure)
        return controls().failure;
    const QString path = host::loginItemEntryPath();
    if (!QFileInfo::exists(path))
        return QStringLiteral("The app is not registered as a login item.");
    QFile file(path);
    if (!file.remove())
        return QStringLiteral("The login item could not be removed: ") + file.errorString();
    return std::nullopt;
}

} // namespace platform
