#pragma once

#include "platform/KeyEvents.h"
#include "platform/Workspace.h"

#include <QList>
#include <QString>

#include <optional>

namespace platform {

// What the application object tells its delegate about the process's life.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;

    virtual void applicationDidFinishLaunching() = 0;
    // The user opened the app again while it runs; answers whether the
    // application should do its own default handling.
    virtual bool applicationShouldHandleReopen(bool hasVisibleWindows) = 0;
    virtual void applicationWillTerminate() = 0;
    // The status the process ends with once will-terminate has run: not 0
    // when quitting cut short what the process was asked to do.
    virtual int terminationStatus() const { return 0; }
    // Links opened with the app, as received (not yet parsed), in order.
    virtual void applicationOpenURLs(const QList<QString>& urls) = 0;
};

// The kind of the event being handled while an action runs.
enum class EventType {
    leftMouseDown = 1,
    leftMouseUp = 2,
    rightMouseDown = 3,
    rightMouseUp = 4,
    keyDown = 10,
    keyUp = 11,
};

struct CurrentEvent {
    EventType type = EventType::leftMouseUp;
    EventFlags modifierFlags = 0;
};

// The shared application object (NSApplication).
namespace Application {

void setActivationPolicy(ActivationPolicy policy);
ActivationPolicy activationPolicy();

// The delegate is not owned; none clears it.
void setDelegate(ApplicationDelegate* delegate);
ApplicationDelegate* delegate();

// Ends launching: the delegate's did-finish-launching runs once.
void finishLaunching();
bool isFinishedLaunching();

// The user opened the app again (from a launcher or the file manager).
void reopen();

// Hands opened links to the delegate, in the order given.
void openURLs(const QList<QString>& urls);

// The normal end of the process: the delegate's will-terminate runs, the
// preference changes still waiting for their write are written (waiting a
// few seconds at most for another process's lock on their folder), then the
// main loop ends. Later calls do nothing.
void terminate();
bool isTerminating();

// Brings the app to the front (ignoringOtherApps: even while another app is
// active).
void activate(bool ignoringOtherApps);
bool isActive();

// The event that triggered the action being run, if any.
std::optional<CurrentEvent> currentEvent();

} // namespace Application
} // namespace platform
