#include "platform/sim/OtherCopies.h"

#include "platform/Lifetime.h"
#include "platform/sim/SessionHooks.h"

#include <mutex>

namespace platform::sim {

namespace {

struct OtherCopiesState {
    // The workspace may be asked from any thread.
    std::mutex mutex;
    OtherCopies copies;
};

OtherCopiesState& otherCopiesState()
{
    static Shared<OtherCopiesState> current([] { return new OtherCopiesState; });
    return current.get();
}

} // namespace

void setOtherCopies(OtherCopies copies)
{
    OtherCopiesState& s = otherCopiesState();
    std::lock_guard lock(s.mutex);
    s.copies = std::move(copies);
}

OtherCopies otherCopies()
{
    OtherCopiesState& s = otherCopiesState();
    std::lock_guard lock(s.mutex);
    return s.copies;
}

} // namespace platform::sim
