#pragma once

#include "platform/sim/Tray.h"

#include <map>

class QSystemTrayIcon;

namespace platform::host {

// The desktop session's system tray: one QSystemTrayIcon per status item,
// showing the item's tray image (sim::trayImage) with its tool tip; a left
// click on the icon clicks the item's button with the left button, a right
// click with the right one.
class SystemTray final : public sim::Tray {
public:
    ~SystemTray() override;

    bool isAvailable() const override;
    void add(StatusItem& item) override;
    void update(const StatusItem& item) override;
    void remove(const StatusItem& item) override;
    std::optional<QRect> geometry(const StatusItem& item) const override;
    bool contains(const QPoint& point) const override;

private:
    std::map<const StatusItem*, QSystemTrayIcon*> icons_;
};

} // namespace platform::host
