#pragma once

#include "platform/StatusBar.h"

#include <QPoint>
#include <QRect>

#include <memory>
#include <optional>

namespace platform::sim {

// A desktop session's tray, where the simulated bar's items also show as
// icons (on this machine platform/linux/SystemTray.h). A click on an icon
// clicks the item's button; popovers anchored at an item hang from its icon.
// Without a tray the bar stands alone.
class Tray {
public:
    virtual ~Tray() = default;

    // Whether the session shows a tray now; items made meanwhile get no icon,
    // menus and popovers stay the simulation's own.
    virtual bool isAvailable() const = 0;
    // Shows an icon for the item, with what update shows.
    virtual void add(StatusItem& item) = 0;
    // Shows the item's tray image, tool tip and visibility.
    virtual void update(const StatusItem& item) = 0;
    virtual void remove(const StatusItem& item) = 0;
    // Where the item's icon lies, in the window system's coordinates; none
    // when the item has none or the tray does not tell.
    virtual std::optional<QRect> geometry(const StatusItem& item) const = 0;
    // Whether a point (the window system's coordinates) lies on a shown icon.
    virtual bool contains(const QPoint& point) const = 0;
};

// Set with setTray (SessionHooks.h).

} // namespace platform::sim
