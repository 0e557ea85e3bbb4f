#include "platform/linux/SystemTray.h"

#include "platform/sim/StatusBar.h"

#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace platform::host {

SystemTray::~SystemTray()
{
    for (auto& [item, icon] : icons_)
        delete icon;
}

bool SystemTray::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTray::add(StatusItem& item)
{
    if (icons_.count(&item))
        return;
    auto* icon = new QSystemTrayIcon;
    icons_[&item] = icon;
    QObject::connect(icon, &QSystemTrayIcon::activated, icon, [&item](QSystemTrayIcon::ActivationReason why) {
        const bool right = why == QSystemTrayIcon::Context;
        if (why == QSystemTrayIcon::Trigger || right)
            sim::clickStatusButton(item, right ? EventType::rightMouseUp : EventType::leftMouseUp);
    });
    update(item);
    icon->show();
}

void SystemTray::update(const StatusItem& item)
{
    const auto found = icons_.find(&item);
    if (found == icons_.end())
        return;
    found->second->setIcon(QIcon(QPixmap::fromImage(sim::trayImage(item))));
    found->second->setToolTip(item.button()->toolTip());
    found->second->setVisible(item.isVisible());
}

void SystemTray::remove(const StatusItem& item)
{
    const auto found = icons_.find(&item);
    if (found == icons_.end())
        return;
    delete found->second;
    icons_.erase(found);
}

std::optional<QRect> SystemTray::geometry(const StatusItem& item) const
{
    const auto found = icons_.find(&item);
    if (found == icons_.end())
        return std::nullopt;
    const QRect geometry = found->second->geometry();
    if (!geometry.isValid() || geometry.isEmpty())
        return std::nullopt;
    return geometry;
}

bool SystemTray::contains(const QPoint& point) const
{
    for (const auto& [item, icon] : icons_) {
        if (icon->isVisible() && icon->geometry().contains(point))
            return true;
    }
    return false;
}

} // namespace platform::host
