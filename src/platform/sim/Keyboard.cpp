#include "platform/KeyEvents.h"
#include "platform/QtKeyEvents.h"
#include "platform/sim/Keyboard.h"

#include "platform/HotKeys.h"
#include "platform/Lifetime.h"
#include "platform/sim/DesktopShortcuts.h"
#include "platform/sim/HotKeys.h"
#include "platform/sim/World.h"

#include <map>
#include <memory>

namespace platform {

namespace {

struct Monitor {
    KeyEvents::EventMask mask = 0;
    std::shared_ptr<KeyEvents::MonitorHandler> handler;
};

struct KeyboardState {
    std::vector<sim::PostedKeyEvent> posted;
    int failingEvents = 0;
    bool failingSources = false;
    std::map<KeyEvents::MonitorToken, Monitor> monitors;
    KeyEvents::MonitorToken nextMonitor = 1;
};

KeyboardState*& keyboardStateSlot()
{
    static KeyboardState* state = nullptr;
    return state;
}

KeyboardState& keyboardState()
{
    auto*& slot = keyboardStateSlot();
    if (!slot) {
        slot = new KeyboardState;
        registerSharedReset([] {
            delete keyboardStateSlot();
            keyboardStateSlot() = nullptr;
        });
    }
    return *slot;
}

void routeKeyDown(const KeyEvent& event)
{
    if (sim::fireHotKey(event.keyCode, sim::hotKeyModifiers(event.flags)))
        return;
    sim::pressDesktopShortcut(event.keyCode, event.flags);
}

} // namespace

std::optional<KeyEventSource> KeyEvents::createSource(EventSource::StateID stateID)
{
    if (keyboardState().failingSources)
        return std::nullopt;
    return KeyEventSource{stateID};
}

std::optional<KeyEvent> KeyEvents::createKeyboardEvent(const KeyEventSource* source, quint16 keyCode, bool keyDown)
{
    Q_UNUSED(source);
    KeyboardState& s = keyboardState();
    if (s.failingEvents > 0) {
        --s.failingEvents;
        return std::nullopt;
    }
    return KeyEvent{keyDown ? KeyEventType::keyDown : KeyEventType::keyUp, keyCode, 0, {}};
}

void KeyEvents::setFlags(KeyEvent& event, EventFlags flags)
{
    event.flags = flags;
}

void KeyEvents::post(EventTapLocation tap, const KeyEvent& event)
{
    sim::World& world = sim::World::shared();
    const bool delivered = world.trusted();
    keyboardState().posted.push_back({event, tap, delivered});
    if (!delivered || event.type != KeyEventType::keyDown)
        return;
    world.noteInputEvent(EventSource::EventType::keyDown);
    routeKeyDown(event);
}

KeyEvents::MonitorToken KeyEvents::addLocalMonitor(EventMask mask, MonitorHandler handler)
{
    // Keys typed into the app's windows reach the monitors before any widget.
    QtKeyEvents::routeToLocalMonitors();
    KeyboardState& s = keyboardState();
    const MonitorToken token = s.nextMonitor++;
    s.monitors[token] = Monitor{mask, std::make_shared<MonitorHandler>(std::move(handler))};
    return token;
}

void KeyEvents::removeMonitor(MonitorToken token)
{
    keyboardState().monitors.erase(token);
}

std::vector<sim::PostedKeyEvent> sim::postedKeyEvents()
{
    return keyboardState().posted;
}

void sim::clearPostedKeyEvents()
{
    keyboardState().posted.clear();
}

void sim::failKeyEventCreation(int count)
{
    keyboardState().failingEvents = count;
}

void sim::failEventSourceCreation(bool fail)
{
    keyboardState().failingSources = fail;
}

std::optional<KeyEvent> sim::deliverLocalEvent(const KeyEvent& event)
{
    // A handler may add or remove monitors; walk a copy.
    const auto monitors = keyboardState().monitors;
    std::optional<KeyEvent> current = event;
    for (const auto& [token, monitor] : monitors) {
        if ((monitor.mask & KeyEvents::maskFor(current->type)) == 0 || !monitor.handler)
            continue;
        current = (*monitor.handler)(*current);
        if (!current)
            return std::nullopt;
    }
    return current;
}

int sim::localMonitorCount()
{
    return int(keyboardState().monitors.size());
}

} // namespace platform
