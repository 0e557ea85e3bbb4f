#include "platform/Lifetime.h"

#include <mutex>
#include <utility>
#include <vector>

namespace platform {

namespace {

struct Entry {
    std::function<void()> reset;
    // Set for the instances held by Shared; only those are dropped at exit,
    // when the statics other resets touch may be gone already.
    std::shared_ptr<detail::SharedSlot> slot;
};

struct Registry {
    std::mutex mutex;
    std::vector<Entry> entries;
    // After the drop at exit nothing more is dropped: an instance made by a
    // late destructor is left to the end of the process.
    bool closed = false;
};

Registry& registry()
{
    // Never destroyed, so a destructor running late at exit still finds it.
    static auto* registry = new Registry;
    return *registry;
}

void drop(detail::SharedSlot& slot)
{
    std::shared_ptr<void> owner;
    {
        std::lock_guard lock(slot.creation);
        slot.instance.store(nullptr, std::memory_order_release);
        owner = std::move(slot.owner);
    }
    // Outside the lock: a destructor may ask for other instances.
    owner.reset();
}

std::vector<Entry> takeEntries()
{
    Registry& list = registry();
    std::lock_guard lock(list.mutex);
    return std::exchange(list.entries, {});
}

void run(std::vector<Entry>& entries, bool sharedOnly)
{
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->slot)
            drop(*it->slot);
        else if (!sharedOnly)
            it->reset();
    }
}

// Drops the shared instances, newest first, when the process ends.
struct ExitDrop {
    ~ExitDrop()
    {
        auto entries = takeEntries();
        {
            std::lock_guard lock(registry().mutex);
            registry().closed = true;
        }
        run(entries, true);
    }
};

void add(Entry entry)
{
    static ExitDrop atExit;
    Registry& list = registry();
    std::lock_guard lock(list.mutex);
    if (!list.closed)
        list.entries.push_back(std::move(entry));
}

} // namespace

void registerSharedReset(std::function<void()> reset)
{
    add(Entry{std::move(reset), nullptr});
}

void resetSharedInstances()
{
    // A reset may make or register others; take the list first.
    auto entries = takeEntries();
    run(entries, false);
}

namespace detail {

void adoptShared(const std::shared_ptr<SharedSlot>& slot)
{
    add(Entry{{}, slot});
}

} // namespace detail

} // namespace platform
