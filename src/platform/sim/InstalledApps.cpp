#include "platform/sim/InstalledApps.h"

#include "platform/Lifetime.h"
#include "platform/Workspace.h"
#include "platform/sim/WorldState.h"

#include <QColor>
#include <QDir>
#include <QHash>
#include <QPainter>

#include <optional>

namespace platform {

namespace {

struct InstalledState {
    // None: uninstalled on purpose.
    QHash<QString, std::optional<QString>> bundles;
    QHash<QString, QImage> icons;
};

QHash<QString, std::optional<QString>> systemApplications()
{
    const auto entry = [](const char* path) { return std::optional<QString>(QString::fromLatin1(path)); };
    return {
        {QStringLiteral("com.apple.finder"), entry("/System/Library/CoreServices/Finder.app")},
        {QStringLiteral("com.apple.Terminal"), entry("/System/Applications/Utilities/Terminal.app")},
        {QStringLiteral("com.apple.Safari"), entry("/Applications/Safari.app")},
        {QStringLiteral("com.apple.Preview"), entry("/System/Applications/Preview.app")},
        {QStringLiteral("com.apple.Photos"), entry("/System/Applications/Photos.app")},
        {QStringLiteral("com.apple.mail"), entry("/System/Applications/Mail.app")},
        {QStringLiteral("com.apple.iCal"), entry("/System/Applications/Calendar.app")},
        {QStringLiteral("com.apple.Notes"), entry("/System/Applications/Notes.app")},
        {QStringLiteral("com.apple.Music"), entry("/System/Applications/Music.app")},
        {QStringLiteral("com.apple.reminders"), entry("/System/Applications/Reminders.app")},
        {QStringLiteral("com.apple.MobileSMS"), entry("/System/Applications/Messages.app")},
        {QStringLiteral("com.apple.FaceTime"), entry("/System/Applications/FaceTime.app")},
    };
}

InstalledState& installedState()
{
    static InstalledState* current = nullptr;
    if (!current) {
        current = new InstalledState{systemApplications(), {}};
        registerSharedReset([] {
            delete current;
            current = nullptr;
        });
    }
    return *current;
}

// The same path always gives the same colour, in every process.
QImage drawnIcon(const QString& path)
{
    quint32 fold = 2166136261u;
    for (const QChar character : path)
        fold = (fold ^ character.unicode()) * 16777619u;
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv(static_cast<int>(fold % 360), 150, 220));
    painter.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);
    return image;
}

} // namespace

std::optional<QUrl> Workspace::urlForApplication(const QString& bundleIdentifier)
{
    const auto& bundles = installedState().bundles;
    if (const auto found = bundles.constFind(bundleIdentifier); found != bundles.constEnd()) {
        if (!*found)
            return std::nullopt;
        return QUrl::fromLocalFile(**found);
    }
    sim::World& world = sim::World::shared();
    std::lock_guard<std::recursive_mutex> lock(world.mutex());
    for (const sim::AppSpec& app : world.internals().apps) {
        if (app.bundleID == bundleIdentifier && app.bundlePath)
            return QUrl::fromLocalFile(*app.bundlePath);
    }
    return std::nullopt;
}

QImage Workspace::icon(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    if (const QImage set = installedState().icons.value(clean); !set.isNull())
        return set;
    sim::World& world = sim::World::shared();
    {
        std::lock_guard<std::recursive_mutex> lock(world.mutex());
        for (const sim::AppSpec& app : world.internals().apps) {
            if (app.bundlePath && QDir::cleanPath(*app.bundlePath) == clean && !app.icon.isNull())
                return app.icon;
        }
    }
    return drawnIcon(clean);
}

void sim::installApp(const QString& bundleIdentifier, const QString& bundlePath)
{
    installedState().bundles.insert(bundleIdentifier, bundlePath);
}

void sim::uninstallApp(const QString& bundleIdentifier)
{
    installedState().bundles.insert(bundleIdentifier, std::nullopt);
}

void sim::setFileIcon(const QString& path, const QImage& icon)
{
    installedState().icons.insert(QDir::cleanPath(path), icon);
}

} // namespace platform
