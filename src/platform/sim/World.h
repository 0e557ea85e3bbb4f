#pragma once

#include "platform/Accessibility.h"
#include "platform/Workspace.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

namespace platform::sim {

// The simulated machine behind the window-server, screen, workspace,
// accessibility and input-clock headers. Product code never includes this
// header; tests and the app's start-up use it to build and change the world.
//
// The world is a shared instance: created on first use, dropped by
// platform::resetSharedInstances(). On creation it loads the JSON file named
// by the environment variable TESSAROOM_SIM_WORLD, or the built-in default
// (one display with four desktops, a few apps with windows, two Dock badges)
// when the variable is unset or the file cannot be read (a system-log line
// then says why).
//
// World file format (every member optional unless marked; integers must be
// whole numbers within their range):
//   {
//     "displays": [                          // window-server order; the first
//       {                                    // is the primary (menu-bar) screen
//         "uuid": "37D8832A-...",            // required, text
//         "displayID": 1,                    // 32-bit, default: position + 1
//         "current": 3,                      // current space id, default: first space
//         "name": "Built-in Display",
//         "frame": [0, 0, 1512, 982],        // x, y, width, height; y up
//         "visibleFrame": [0, 0, 1512, 945], // default: frame less 37 points at the top
//         "notch": { "left": [x, y, w, h], "right": [x, y, w, h] },
//         "scale": 2,
//         "spaces": [ { "id": 3, "managedID": 3, "type": 0, "name": "text" } ]
//       }                                    // "id" required; managedID defaults to id
//     ],
//     "activeMenuBarDisplay": "uuid",        // default: the first display
//     "ownPID": 4242,
//     "apps": [ { "pid": 501, "bundleID": "com.example.mail", "name": "Mail",
//                 "policy": "regular" | "accessory" | "prohibited",
//                 "bundlePath": "/Applications/Mail.app", "iconColor": "#3478f6",
//                 "frontmost": true, "refusesActivation": false } ],
//     "windows": [ { "number": 101, "pid": 501, "layer": 0,   // front to back
//                    "bounds": [x, y, w, h], "spaces": [3] } ], // top-left origin, y down
//     "dock": [ { "title": "Mail", "url": "file:///Applications/Mail.app/",
//                 "badge": "3", "running": true } ],
//     "trusted": true
//   }

struct SpaceSpec {
    quint64 id = 0;
    qint64 managedID = 0;
    qint64 type = 0;
    // The window server's own name; a UUID-like text when none is given.
    std::optional<QString> name;

    bool operator==(const SpaceSpec&) const = default;
};

struct DisplaySpec {
    QString uuid;
    quint32 displayID = 0;
    QList<SpaceSpec> spaces;
    // 0 picks the first space.
    quint64 currentSpaceID = 0;
    QString name;
    // Screen coordinates (origin bottom-left of the primary screen, y up).
    QRectF frame{0, 0, 1512, 982};
    // Empty: the frame less a 37-point menu bar.
    QRectF visibleFrame;
    std::optional<QRectF> notchLeft;
    std::optional<QRectF> notchRight;
    double scale = 2.0;
    // False: the screen's device description has no "NSScreenNumber".
    bool hasScreenNumber = true;

    bool operator==(const DisplaySpec&) const = default;
};

struct WindowSpec {
    qint64 number = 0;
    qint32 ownerPID = 0;
    qint32 layer = 0;
    // Top-left origin, y down, as the window list reports it.
    QRectF bounds{100, 100, 800, 600};
    // The spaces the window is on; empty means on every space.
    QList<quint64> spaces;
    double alpha = 1.0;
};

struct AppSpec {
    qint32 pid = 0;
    QString bundleID;
    std::optional<QString> name;
    QImage icon;
    ActivationPolicy policy = ActivationPolicy::regular;
    std::optional<QString> bundlePath;
    bool terminated = false;
    bool refusesActivation = false;
};

struct DockItemSpec {
    std::optional<QString> title;
    std::optional<QString> statusLabel;
    std::optional<QUrl> url;
    // None: the item has no "AXIsApplicationRunning" attribute.
    std::optional<bool> running = true;
};

class World {
public:
    static World& shared();

    // --- whole world -----------------------------------------------------
    // Removes everything: no displays, apps, windows, Dock items; trusted;
    // the own pid stays.
    void clear();
    void loadDefault();
    // Replaces the world by a file's; on failure the world is unchanged and
    // error (when given) says why.
    bool loadFile(const QString& path, QString* error = nullptr);
    bool loadJson(const QByteArray& json, QString* error = nullptr);
    // Whether the world came from a world file (loadFile or loadJson) rather
    // than the built-in default or an emptied world.
    bool loadedFromFile() const;

    // --- displays and spaces ---------------------------------------------
    // Adds a display at the end (or replaces one with the same uuid) and
    // announces a screen change.
    void addDisplay(const DisplaySpec& display);
    void removeDisplay(const QString& uuid);
    QList<DisplaySpec> displays() const;
    std::optional<DisplaySpec> display(const QString& uuid) const;
    void setDisplayFrame(const QString& uuid, const QRectF& frame, const QRectF& visibleFrame);
    // Replaces the whole list of displays (the first is the primary) and
    // announces a screen change; the active menu bar stays on its display
    // while that is still attached, else moves to the first.
    void replaceDisplays(const QList<DisplaySpec>& displays);
    // Where the window system's origin lies from the primary screen's
    // top-left corner: the toolkit's global position of that corner ((0, 0)
    // unless the real screens put the primary elsewhere). Conversions between
    // screen and window-system coordinates go through it.
    void setWindowSystemOrigin(const QPoint& topLeftOfPrimary);
    QPoint windowSystemOrigin() const;
    // Inserts a space into a display's list (at the end when index is -1).
    void addSpace(const QString& uuid, const SpaceSpec& space, int index = -1);
    // Removes a space from its display; a removed current space hands over
    // to the display's first space (with the workspace notification).
    void removeSpace(quint64 spaceID);
    std::optional<quint64> currentSpace(const QString& uuid) const;
    // Makes spaceID current on the display at once; posts the workspace's
    // active-space notification on the main queue. False (and no change) for
    // an unknown display or a space the display does not hold.
    bool setCurrentSpace(const QString& uuid, quint64 spaceID);
    // Moves the active menu bar to a display (none: no display has it).
    void setActiveMenuBarDisplay(const std::optional<QString>& uuid);
    std::optional<QString> activeMenuBarDisplay() const;
    // The display that holds a space, if any.
    std::optional<QString> displayOfSpace(quint64 spaceID) const;

    // --- windows -----------------------------------------------------------
    // Adds a window in front of every other (or replaces one with that number
    // where it stands).
    void addWindow(const WindowSpec& window);
    void removeWindow(qint64 number);
    void bringWindowToFront(qint64 number);
    void moveWindowToSpace(qint64 number, quint64 spaceID);
    // Front to back.
    QList<WindowSpec> windows() const;
    std::optional<WindowSpec> window(qint64 number) const;

    // --- applications --------------------------------------------------------
    void addApp(const AppSpec& app);
    void removeApp(qint32 pid);
    void setAppTerminated(qint32 pid, bool terminated);
    void setAppRefusesActivation(qint32 pid, bool refuses);
    void setFrontmostApp(std::optional<qint32> pid);
    std::optional<qint32> frontmostApp() const;
    // Every activation request, granted or not, in order.
    QList<qint32> activationRequests() const;
    qint32 ownPID() const;
    void setOwnPID(qint32 pid);
    // Links and files handed to Workspace::open, in order (nothing is opened).
    QList<QUrl> openedURLs() const;

    // --- Accessibility -----------------------------------------------------
    void setTrusted(bool trusted);
    bool trusted() const;
    // How often the system was asked to prompt the user.
    int trustPromptCount() const;

    // Generic element trees, one per process. A null parent means the
    // application element of pid. "AXChildren" is answered from the tree.
    AX::Element addElement(qint32 pid, const AX::Element& parent, const QVariantMap& attributes);
    void removeElement(const AX::Element& element);
    // Lists child among parent's children too, without moving it: a tree
    // that shows an element twice or loops back to an ancestor.
    void addElementLink(const AX::Element& parent, const AX::Element& child);
    void setElementAttribute(const AX::Element& element, const QString& attribute, const QVariant& value);
    void removeElementAttribute(const AX::Element& element, const QString& attribute);
    // Runs on performAction (on the caller's thread, outside the world's lock).
    void setActionHandler(const AX::Element& element, const QString& action, std::function<AX::Error()> handler);
    // Every request to the element then answers this error (success clears it).
    void setElementError(const AX::Element& element, AX::Error error);
    // Messaging timeout last set on the element (0 when never set).
    float messagingTimeout(const AX::Element& element) const;
    // Attribute writes in order, as "<attribute>=<value>" per element handle.
    QStringList attributeWrites() const;

    // The Dock's list of items, rebuilt under the Dock process's element.
    void setDockItems(const QList<DockItemSpec>& items);
    qint32 dockPID() const;

    // --- system ----------------------------------------------------------
    // The major version SystemInfo reports (14 unless set).
    void setOperatingSystemMajorVersion(int version);
    int operatingSystemMajorVersion() const;

    // --- input clocks ------------------------------------------------------
    // An input event of this type happened now (on the scheduler's clock).
    void noteInputEvent(quint32 eventType);
    // Sets the time of the last event of this type to seconds ago.
    void setSecondsSinceLastEvent(quint32 eventType, double seconds);
    double secondsSinceLastEvent(quint32 eventType) const;
    // The seconds since the real session's last key or pointer event (none
    // while it cannot tell). While set, the key, pointer and any-input clocks
    // answer the smaller of the simulated time and this; the gesture clocks
    // stay simulated. An empty function removes it.
    using SessionIdleClock = std::function<std::optional<double>()>;
    void setSessionIdleClock(SessionIdleClock clock);

    // --- answers and counters for tests -----------------------------------
    // Makes one window-server call answer the given raw value (an invalid
    // QVariant: null) instead of the world's state; none restores it. Calls:
    // "copyManagedDisplaySpaces", "copyActiveMenuBarDisplayIdentifier",
    // "spaceCopyName", "copyWindowsWithOptionsAndTags", "windowListCopyWindowInfo".
    void overrideAnswer(const QString& call, const std::optional<QVariant>& answer);
    // How often a platform call ran since the world was made (the names of
    // the public functions, e.g. "copyManagedDisplaySpaces").
    int callCount(const QString& call) const;

    // --- used by the platform implementation ------------------------------
    struct Internals;
    Internals& internals() { return *d_; }
    std::recursive_mutex& mutex() const { return mutex_; }

    World();
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

private:
    void announceSpaceChange();
    void announceScreenChange();

    mutable std::recursive_mutex mutex_;
    std::unique_ptr<Internals> d_;
};

} // namespace platform::sim
