#pragma once

#include "platform/sim/Tray.h"

#include <map>
#include <memory>

class QObject;
class QSystemTrayIcon;

namespace platform::host {

// The desktop session's system tray: one QSystemTrayIcon per status item,
// showing the item's tray image (sim::trayImage) with its tool tip; a left
// click on the icon clicks the item's button with the left button, a right
// click with the right one; each press of a double click is a click.
//
// An icon embedded in the tray shows its tool tip each time the pointer rests
// on it, and as every popup of the app opens: beside the icon, inside the
// area the session leaves for windows (Qt's own tip hangs from the pointer
// and may lie over the tray's panel, and shows on the first of several
// hovers that end on one spot only).
class SystemTray final : public sim::Tray {
public:
    SystemTray();
    ~SystemTray() override;

    bool isAvailable() const override;
    void add(StatusItem& item) override;
    void update(const StatusItem& item) override;
    void remove(const StatusItem& item) override;
    std::optional<QRect> geometry(const StatusItem& item) const override;
    bool contains(const QPoint& point) const override;

private:
    std::map<const StatusItem*, QSystemTrayIcon*> icons_;
    // Takes the tool tip requests, hovers and second right presses of the
    // embedded icons.
    std::unique_ptr<QObject> iconEvents_;
};

} // namespace platform::host
