// Listen-only event taps and the mouse events posted to them.
#include "platform/sim/MissionControl.h"

#include "platform/EventSource.h"
#include "platform/sim/MissionControlServices.h"
#include "platform/sim/World.h"

namespace platform::sim {

void MissionControl::deliverTap(EventTap::EventType type, const QPointF& location)
{
    std::vector<EventTap::Callback> callbacks;
    for (const auto& [port, tap] : services_->taps) {
        if (tap.enabled && (tap.mask & EventTap::maskBit(type)) && tap.callback)
            callbacks.push_back(tap.callback);
    }
    for (const auto& callback : callbacks)
        callback({type, location});
}

void MissionControl::mouseDown(const QPointF& location)
{
    World::shared().noteInputEvent(EventSource::EventType::leftMouseDown);
    deliverTap(EventTap::EventType::leftMouseDown, location);
}

void MissionControl::mouseUp(const QPointF& location)
{
    World::shared().noteInputEvent(EventSource::EventType::leftMouseDown);
    deliverTap(EventTap::EventType::leftMouseUp, location);
}

void MissionControl::click(const QPointF& location)
{
    mouseDown(location);
    mouseUp(location);
}

void MissionControl::disableTapsByTimeout()
{
    std::vector<EventTap::Callback> callbacks;
    for (auto& [port, tap] : services_->taps) {
        if (!tap.enabled)
            continue;
        tap.enabled = false;
        if (tap.callback)
            callbacks.push_back(tap.callback);
    }
    for (const auto& callback : callbacks)
        callback({EventTap::EventType::tapDisabledByTimeout, {}});
}

int MissionControl::tapCount() const
{
    return int(services_->taps.size());
}

} // namespace platform::sim

// --- event taps ----------------------------------------------------------------------------

namespace platform::EventTap {

Port createListenOnly(quint64 mask, Callback callback)
{
    sim::MissionControl& mc = sim::MissionControl::shared();
    if (mc.refusesEventTaps())
        return 0;
    auto& services = mc.services();
    const Port port = services.nextTap++;
    services.taps[port] = {mask, std::move(callback), true};
    return port;
}

void enable(Port port, bool enabled)
{
    auto& taps = sim::MissionControl::shared().services().taps;
    auto it = taps.find(port);
    if (it != taps.end())
        it->second.enabled = enabled;
}

bool isEnabled(Port port)
{
    auto& taps = sim::MissionControl::shared().services().taps;
    auto it = taps.find(port);
    return it != taps.end() && it->second.enabled;
}

void release(Port port)
{
    sim::MissionControl::shared().services().taps.erase(port);
}

} // namespace platform::EventTap
