#pragma once

#include "platform/NotificationCenter.h"
#include "platform/Popover.h"
#include "platform/StatusBar.h"
#include "platform/sim/Tray.h"

#include <QList>
#include <QRect>
#include <QRectF>

#include <map>
#include <memory>
#include <optional>
#include <set>

namespace platform::sim {

// Where one of the app's items lies in the bar.
struct Placement {
    QRectF frame;
    bool visible = false;
    bool operator==(const Placement&) const = default;
};

// The simulated bar, menus and popovers; a shared instance.
struct StatusBarState {
    struct Entry {
        StatusItem* item = nullptr; // null for another app's item
        int otherID = 0;
        double otherWidth = 0;
    };

    double appMenusWidth = 420;
    QList<Entry> entries; // right to left
    std::map<const StatusItem*, Placement> placed;
    qint64 nextWindowNumber = 7001;
    int nextOtherID = 1;
    qint64 deliveringWindow = 0;
    NotificationCenter::Subscription screens;

    // Items whose button has no window (as when the bar lost it).
    std::set<const StatusItem*> windowless;

    Menu* openMenu = nullptr;
    QList<Popover*> shownPopovers;

    // Real desktop sessions: a tray icon per item.
    std::unique_ptr<Tray> tray;
    // Tray icon geometries set by tests, in place of the tray icons' own.
    std::map<const StatusItem*, QRect> trayGeometries;

    static StatusBarState& shared();
    // Computes every item's place now.
    std::map<const StatusItem*, Placement> layout() const;
    // Lays the bar out again and announces the windows that moved.
    void relayout();
    // A desktop session whose tray shows the items: menus open as the
    // toolkit's own and popovers take the keyboard.
    static bool realSession();
    // Whether a point (Qt's global coordinates) lies on one of the tray icons.
    bool isOnTrayIcon(const QPoint& point) const;
    // The window-system geometry of the tray icon that mirrors the item whose
    // button window has this frame (screen coordinates), or had it before
    // the item's width changed; none when no such item has a tray icon that
    // knows where it is.
    std::optional<QRect> trayIconAt(const QRectF& anchor) const;
};

} // namespace platform::sim
