#pragma once

#include "platform/Accessibility.h"
#include "platform/EventTap.h"
#include "platform/MissionControlPicture.h"

#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace platform::sim {

// The simulated Mission Control, its host process, and the input and
// accessibility services the app's Mission Control labels rely on.
//
// Host. Mission Control lives in the Dock ("com.apple.dock", owner "Dock",
// window layer 18) below OS major version 27 and in WindowManager
// ("com.apple.WindowManager", owner "WindowManager", layer 19) from 27 on
// (World::setOperatingSystemMajorVersion). The host app is added to the
// world when missing; restartHost() gives it a new pid (the old
// accessibility tree and observers die with the old process).
//
// Opening and closing. open(), close() and toggle(); opening the application
// "/System/Applications/Mission Control.app" through Workspace::open toggles
// it. While open the window list holds the host's windows: one at the host
// layer (WindowStyle::hostLayer) or one screen-sized window per screen plus
// one more (WindowStyle::screenSized). The bar starts collapsed (one text
// label per desktop) and expands to thumbnails after Behavior::expandDelay;
// closing first moves every bar above the top of the screens for
// Behavior::closeDuration, then removes the windows and the tree.
//
// Tree (under the host's application element):
//   "mc" (AXDisplayID of the first display when there is one display)
//     "mc.display" (AXDisplayID), one per display when there are several
//       [Behavior::extraNesting unnamed AXGroups]
//         "mc.spaces"
//           "mc.spaces.list" (AXPosition, AXSize: the bar)
//             AXButton per ordinary desktop: AXDescription "Desktop <n>",
//             AXPosition, AXSize, action "AXPress"
// Labels count the desktops of all displays (Numbering::global) or start
// at 1 on every display (Numbering::perDisplay). Positions are accessibility
// coordinates (top-left origin, y down); the WindowManager host reports a
// button's centre as its AXPosition, and its buttons span thumbnail and label.
// Pressing a button makes its desktop current on its display and closes
// Mission Control. rebuild() makes a fresh tree, so elements read before stop
// answering. The host posts "AXCreated" on open, "AXSelectedChildrenChanged"
// on expanding and "AXUIElementDestroyed" on closing, to observers whose
// run-loop source is added (delivered on the main queue).
//
// Input. Listen-only event taps receive the mouse events posted with
// mouseDown/mouseUp/click (each also counts as input for the idle clocks);
// taps can be refused at creation or disabled by the system.
// Sleep and session changes post the workspace notifications of
// platform/SessionNotifications.h.
//
// A shared instance like the world: created on first use, dropped with the
// shared instances. Main thread only.
class MissionControl {
public:
    enum class Numbering { global, perDisplay };
    enum class WindowStyle { hostLayer, screenSized };

    struct Behavior {
        Numbering numbering = Numbering::global;
        WindowStyle windows = WindowStyle::hostLayer;
        // Seconds from opening to thumbnails; negative: never expands.
        double expandDelay = 0.4;
        double closeDuration = 0.2;
        // Unnamed groups between the display (or "mc") and "mc.spaces".
        int extraNesting = 0;
        // Whether the tree has "mc.display" elements with one display too.
        bool displayElementsAlways = false;
        // Whether AXPress on a button switches and closes.
        bool pressWorks = true;
    };

    // Opening this application toggles Mission Control.
    static inline const QString applicationPath = QStringLiteral("/System/Applications/Mission Control.app");

    static MissionControl& shared();

    void setBehavior(const Behavior& behavior);
    const Behavior& behavior() const { return behavior_; }

    // --- host ------------------------------------------------------------
    QString hostBundleID() const;
    QString hostOwnerName() const;
    int hostLayer() const;
    bool isWindowManagerHost() const;
    // The host's pid, adding the host app when it is missing.
    qint32 hostPID();
    // Ends the host process and starts it again under a new pid.
    void restartHost();
    // The host process ends (reads fail from now on).
    void killHost();
    // The host ends after this many more batch reads of its elements.
    void killHostAfterBatchReads(int reads);

    // --- open and close --------------------------------------------------------
    void open();
    void close();
    void toggle();
    bool isOpen() const { return open_; }
    bool isExpanded() const { return expanded_; }
    bool isClosing() const { return closing_; }
    // Expands the bar now (normally after Behavior::expandDelay).
    void expand();
    // Builds the tree anew with the current geometry.
    void rebuild();
    // How often Mission Control was opened and closed.
    int openCount() const { return opens_; }
    int closeCount() const { return closes_; }

    // --- the tree --------------------------------------------------------
    AX::Element rootElement() const { return root_; }
    // The buttons of every display, in tree order.
    QList<AX::Element> buttons() const;
    // The centre of the button whose label is "Desktop <number>" on the
    // display with displayID (0: any display), accessibility coordinates.
    std::optional<QPointF> buttonCentre(qint64 label, quint32 displayID = 0) const;
    // Presses counted per button label.
    int pressCount() const { return presses_; }
    // Posts a host notification about the application element.
    void postNotification(const QString& name);

    // --- accessibility failures ------------------------------------------------
    // Adding these notification names to an observer fails.
    void failNotificationAdds(const QSet<QString>& names) { failingAdds_ = names; }
    void refuseObserverCreation(bool refuse) { refuseObservers_ = refuse; }
    // Observers currently alive for pid, and the notifications they asked for.
    int observerCount(qint32 pid) const;
    QStringList observedNotifications(qint32 pid) const;

    // --- input ---------------------------------------------------------------------
    void mouseDown(const QPointF& location);
    void mouseUp(const QPointF& location);
    // Down and up at one place.
    void click(const QPointF& location);
    void refuseEventTaps(bool refuse) { refuseTaps_ = refuse; }
    // The system turns every enabled tap off and tells each.
    void disableTapsByTimeout();
    int tapCount() const;

    // --- on a desktop session ----------------------------------------------------------
    // Whether open Mission Control shows itself: one window per display that
    // covers it with the backdrop and the bar as they lie now, drawn as
    // platform::MissionControlPicture. Escape or a click on the backdrop
    // closes it; a click on a desktop's button presses that button (as an
    // app's press does); a click on the bar's empty part does nothing; every
    // click also reaches the event taps. On by default on a desktop session,
    // off offscreen.
    void setShowsWindows(bool shows);
    // The windows shown now, one per display in the world's order.
    QList<QWidget*> windows() const;
    // What the user's click at a point (accessibility coordinates) does.
    void userClick(const QPointF& location);
    // A display's part of open Mission Control, accessibility coordinates.
    struct DisplayPicture {
        QString uuid;
        QRectF screen;
        MissionControlPicture::Scene scene;
    };
    QList<DisplayPicture> pictures() const;

    // --- sleep and session ----------------------------------------------------------
    void sleepScreens();
    void wakeScreens();
    void resignSession();
    void becomeActiveSession();

    MissionControl();
    ~MissionControl();
    MissionControl(const MissionControl&) = delete;
    MissionControl& operator=(const MissionControl&) = delete;

    // --- used by the platform implementation --------------------------------------
    struct Services;
    Services& services() { return *services_; }
    // Called for every batch read of an element of pid.
    void noteBatchRead(qint32 pid);
    bool refusesObservers() const { return refuseObservers_; }
    bool failsNotificationAdd(const QString& name) const { return failingAdds_.contains(name); }
    bool refusesEventTaps() const { return refuseTaps_; }

private:
    // Whether the app runs on a desktop session, where Mission Control shows.
    static bool onDesktopSession();
    void buildTree();
    void removeTree();
    void addWindows();
    void removeWindows();
    void finishClose(quint64 session);
    void deliverTap(EventTap::EventType type, const QPointF& location);
    void pressButton(const QString& displayUUID, quint64 spaceID);
    void updateGeometry();
    void showWindows();
    void hideWindows();
    void redrawWindows();
    struct Button {
        AX::Element element;
        quint32 displayID = 0;
        qint64 label = 0;
    };
    struct Bar {
        AX::Element list;
        quint32 displayID = 0;
    };

    Behavior behavior_;
    std::unique_ptr<Services> services_;
    bool open_ = false;
    bool expanded_ = false;
    bool closing_ = false;
    quint64 session_ = 0;
    int opens_ = 0;
    int closes_ = 0;
    int presses_ = 0;
    AX::Element root_;
    QList<Bar> bars_;
    QList<Button> buttons_;
    QList<qint64> windows_;
    qint32 hostPID_ = 0;
    int readsUntilDeath_ = -1;
    QSet<QString> failingAdds_;
    bool refuseObservers_ = false;
    bool refuseTaps_ = false;
    bool showsWindows_;
    std::vector<std::unique_ptr<QWidget>> views_;
};

} // namespace platform::sim
