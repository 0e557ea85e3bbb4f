#pragma once

#include "platform/Popover.h"
#include "platform/StatusBar.h"

#include <QList>
#include <QRect>

#include <optional>

class QMenu;

// Control of the simulated menu bar, its menus and popovers. The bar sits on
// the first screen; its room is the screen's width less the app menus and,
// on a screen with a notch, the gap between the two areas beside the camera.
// Items are laid right to left in the order they joined (other apps' items
// added here join at the right end); an item that no longer fits, and every
// item left of it, gets a frame that lies on no screen.
namespace platform::sim {

// Width of the frontmost app's menus (default 420 points).
void setAppMenusWidth(double points);
double statusBarRoom();
// Another app's item at the right end of the bar; answers its id.
int addOtherStatusItem(double width);
void removeOtherStatusItem(int id);
// The app's own items, right to left.
QList<StatusItem*> statusItems();

// What a desktop session's tray shows for the item: its icon form, else the
// button's image, else the bar's drawing of the button.
QImage trayImage(const StatusItem& item);

// A click on the button as the user makes it (mouse-up of that kind).
void clickStatusButton(StatusItem& item, EventType type, quint64 modifierFlags = 0);
// The item's button loses its window (null) or gets it back.
void setWindowless(StatusItem& item, bool windowless);
// Where the tray icon that mirrors the item lies (the window system's
// coordinates), as a desktop session's tray reports it; none: the tray icon's
// own answer, which offscreen is nothing. Popovers anchored at the item's
// button hang from it.
void setTrayIconGeometry(const StatusItem& item, const std::optional<QRect>& geometry);
// Window notifications for a window that is not a status item's.
void postWindowMove(qint64 windowNumber);

// A menu item's keys as a desktop session's menu shows them, in the system's
// glyphs ("⌃⌥1", "⌘,"); empty without a key equivalent.
QString shortcutText(const MenuItem& item);
// The Qt menu a desktop session shows for these items, one action per item
// (separators included), each item's keys after a tab. While it is open, an
// item's keys trigger its action (Command and Control are Ctrl). Wider than
// widthLimit (when above 0), its longest titles end in "…" until it fits, so
// every line keeps its keys in view. Not shown; the caller owns it.
QMenu* makeQtMenu(const QList<MenuItem>& items, int widthLimit = 0);

// The menu open right now, if any.
Menu* openMenu();
// The popover shown right now, if any.
Popover* shownPopover();
// A click outside every shown popover.
void clickOutsidePopovers();

} // namespace platform::sim
