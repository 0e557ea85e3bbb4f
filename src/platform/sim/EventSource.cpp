#include "platform/EventSource.h"

#include "platform/sim/World.h"

namespace platform::EventSource {

double secondsSinceLastEventType(StateID, quint32 eventType)
{
    return sim::World::shared().secondsSinceLastEvent(eventType);
}

} // namespace platform::EventSource
