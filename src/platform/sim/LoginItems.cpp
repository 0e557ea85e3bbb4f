#include "platform/sim/LoginItems.h"

#include "platform/Folders.h"
#include "platform/Lifetime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

namespace {

struct Controls {
    std::optional<LoginItems::Status> forcedStatus;
    std::optional<QString> failure;
};

Controls& controls()
{
    static Controls* current = nullptr;
    if (!current) {
        current = new Controls;
        registerSharedReset([] {
            delete current;
            current = nullptr;
        });
    }
    return *current;
}

QString executable()
{
    const QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return path.isEmpty() ? QStringLiteral("tessaroom") : path;
}

QByteArray entryText()
{
    return QByteArrayLiteral("[Desktop Entry]\nType=Application\nName=Tessaroom\nIcon=tessaroom\nExec=") + executable().toUtf8()
        + QByteArrayLiteral("\nX-GNOME-Autostart-enabled=true\n");
}

} // namespace

QString sim::loginItemEntryPath()
{
    // The preferences folder sits in the XDG config folder.
    const QString config = QFileInfo(Folders::preferences()).path();
    return config + QStringLiteral("/autostart/tessaroom.desktop");
}

void sim::forceLoginItemStatus(std::optional<LoginItems::Status> status)
{
    controls().forcedStatus = status;
}

void sim::failLoginItemChanges(std::optional<QString> message)
{
    controls().failure = std::move(message);
}

LoginItems::Status LoginItems::mainAppStatus()
{
    if (controls().forcedStatus)
        return *controls().forcedStatus;
    return QFileInfo::exists(sim::loginItemEntryPath()) ? Status::enabled : Status::notRegistered;
}

std::optional<QString> LoginItems::registerMainApp()
{
    if (controls().failure)
        return controls().failure;
    const QString path = sim::loginItemEntryPath();
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("The login item could not be written: ") + file.errorString();
    file.write(entryText());
    if (!file.commit())
        return QStringLiteral("The login item could not be written: ") + file.errorString();
    return std::nullopt;
}

std::optional<QString> LoginItems::unregisterMainApp()
{
    if (controls().failure)
        return controls().failure;
    const QString path = sim::loginItemEntryPath();
    if (!QFileInfo::exists(path))
        return QStringLiteral("The app is not registered as a login item.");
    QFile file(path);
    if (!file.remove())
        return QStringLiteral("The login item could not be removed: ") + file.errorString();
    return std::nullopt;
}

} // namespace platform
