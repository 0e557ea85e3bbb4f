#include "platform/HotKeys.h"
#include "platform/sim/HotKeys.h"

#include "platform/Lifetime.h"
#include "platform/QtKeyEvents.h"
#include "platform/Scheduler.h"

#include <algorithm>
#include <map>
#include <memory>

namespace platform {

class CarbonEvent {
public:
    EventTypeSpec kind;
    std::optional<EventHotKeyID> hotKeyID;
};

namespace {

constexpr EventTargetRef applicationTarget = 1;

struct InstalledHandler {
    EventTargetRef target = 0;
    std::vector<EventTypeSpec> kinds;
    std::shared_ptr<EventHandler> handler;
};

struct Registration {
    quint32 keyCode = 0;
    quint32 modifiers = 0;
    EventHotKeyID id;
    EventTargetRef target = 0;
};

struct HotKeyState {
    std::vector<InstalledHandler> handlers;
    std::map<EventHotKeyRef, Registration> registrations;
    EventHotKeyRef nextRef = 1;
    EventHandlerRef nextHandler = 1;
};

HotKeyState*& hotKeyStateSlot()
{
    static HotKeyState* state = nullptr;
    return state;
}

HotKeyState& hotKeyState()
{
    auto*& slot = hotKeyStateSlot();
    if (!slot) {
        slot = new HotKeyState;
        registerSharedReset([] {
            delete hotKeyStateSlot();
            hotKeyStateSlot() = nullptr;
        });
    }
    return *slot;
}

bool accepts(const InstalledHandler& installed, EventTargetRef target, const EventTypeSpec& kind)
{
    if (installed.target != target)
        return false;
    return std::any_of(installed.kinds.begin(), installed.kinds.end(), [&](const EventTypeSpec& spec) {
        return spec.eventClass == kind.eventClass && spec.eventKind == kind.eventKind;
    });
}

// Hands a pressed event to the handlers from the main queue, the way the event
// manager dispatches it from the run loop.
void queuePressedEvent(EventTargetRef target, std::optional<EventHotKeyID> id)
{
    Scheduler::current().schedule(0, [target, id] {
        CarbonEvent event{{kEventClassKeyboard, kEventHotKeyPressed}, id};
        // Handlers may register or unregister while they run; take a copy.
        const std::vector<InstalledHandler> handlers = hotKeyState().handlers;
        for (const InstalledHandler& installed : handlers) {
            if (accepts(installed, target, event.kind))
                (*installed.handler)(&event);
        }
    });
}

} // namespace

EventTargetRef HotKeys::applicationEventTarget()
{
    return applicationTarget;
}

OSStatus HotKeys::installEventHandler(EventTargetRef target, EventHandler handler,
                                      const std::vector<EventTypeSpec>& kinds, EventHandlerRef* outRef)
{
    if (target == 0 || !handler)
        return Status::paramErr;
    HotKeyState& s = hotKeyState();
    s.handlers.push_back({target, kinds, std::make_shared<EventHandler>(std::move(handler))});
    if (outRef)
        *outRef = s.nextHandler;
    ++s.nextHandler;
    return Status::noErr;
}

OSStatus HotKeys::registerEventHotKey(quint32 keyCode, quint32 modifiers, EventHotKeyID id, EventTargetRef target,
                                      quint32 options, EventHotKeyRef* outRef)
{
    Q_UNUSED(options);
    if (target == 0 || !outRef)
        return Status::paramErr;
    HotKeyState& s = hotKeyState();
    for (const auto& [ref, registration] : s.registrations) {
        if (registration.keyCode == keyCode && registration.modifiers == modifiers)
            return Status::eventHotKeyExistsErr;
    }
    // Pressed in one of the app's own windows, the combination is the hot
    // key's too, not the focused control's.
    QtKeyEvents::routeToLocalMonitors();
    const EventHotKeyRef ref = s.nextRef++;
    s.registrations[ref] = {keyCode, modifiers, id, target};
    *outRef = ref;
    return Status::noErr;
}

OSStatus HotKeys::unregisterEventHotKey(EventHotKeyRef ref)
{
    if (hotKeyState().registrations.erase(ref) == 0)
        return Status::eventHotKeyInvalidErr;
    return Status::noErr;
}

OSStatus HotKeys::getEventParameter(EventRef event, FourCharCode name, FourCharCode type, EventHotKeyID* out)
{
    if (!event || !out)
        return Status::paramErr;
    if (name != kEventParamDirectObject || type != typeEventHotKeyID || !event->hotKeyID)
        return Status::eventParameterNotFoundErr;
    *out = *event->hotKeyID;
    return Status::noErr;
}

std::vector<sim::RegisteredHotKey> sim::registeredHotKeys()
{
    std::vector<RegisteredHotKey> list;
    for (const auto& [ref, registration] : hotKeyState().registrations)
        list.push_back({registration.keyCode, registration.modifiers, registration.id});
    return list;
}

bool sim::isHotKeyRegistered(quint32 keyCode, quint32 modifiers)
{
    const auto& registrations = hotKeyState().registrations;
    return std::any_of(registrations.begin(), registrations.end(), [&](const auto& entry) {
        return entry.second.keyCode == keyCode && entry.second.modifiers == modifiers;
    });
}

quint32 sim::hotKeyModifiers(EventFlags flags)
{
    quint32 mask = 0;
    if (flags & EventFlag::control)
        mask |= CarbonModifiers::control;
    if (flags & EventFlag::option)
        mask |= CarbonModifiers::option;
    if (flags & EventFlag::shift)
        mask |= CarbonModifiers::shift;
    if (flags & EventFlag::command)
        mask |= CarbonModifiers::command;
    return mask;
}

bool sim::fireHotKey(quint32 keyCode, quint32 modifiers)
{
    for (const auto& [ref, registration] : hotKeyState().registrations) {
        if (registration.keyCode == keyCode && registration.modifiers == modifiers) {
            queuePressedEvent(registration.target, registration.id);
            return true;
        }
    }
    return false;
}

void sim::deliverHotKeyEvent(std::optional<EventHotKeyID> id)
{
    queuePressedEvent(applicationTarget, id);
}

} // namespace platform
