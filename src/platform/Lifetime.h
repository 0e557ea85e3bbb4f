#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// Process-wide shared instances register how to drop themselves, so that a
// test can start from a fresh process state. The app never calls the reset.
void registerSharedReset(std::function<void()> reset);

// Drops every shared instance and registered reset, newest first, and forgets
// them (each instance is made again when it is next asked for).
void resetSharedInstances();

namespace detail {

// Where a shared instance lives; its handle and the process-wide list of
// instances both hold it, so neither outlives the other's view of it.
struct SharedSlot {
    std::mutex creation;
    std::atomic<void*> instance{nullptr};
    std::shared_ptr<void> owner;
};

// Adds a slot whose instance was just made to the list that drops instances
// newest first, at a reset and when the process ends.
void adoptShared(const std::shared_ptr<SharedSlot>& slot);

} // namespace detail

// How a shared instance is made. make builds it (it may call a private
// constructor); each of needs is called first, so the instances they return
// outlive it; whenMade runs once the instance is in place, so it may ask for
// itself (a first refresh that posts notifications).
template <typename T>
struct SharedOptions {
    std::function<T*()> make;
    std::vector<std::function<void()>> needs = {};
    std::function<void(T&)> whenMade = {};
};

// The one way to hold a process-wide instance: made on first use, dropped by
// resetSharedInstances() and when the process ends. Instances are dropped
// newest first, so an instance outlives every instance made after it: what
// an instance needs is made first, because its constructor asks for it or
// because its options name it. Creation is safe from any thread; the
// instance itself is not made thread-safe by this.
//
//     SpaceStore& SpaceStore::shared()
//     {
//         static platform::Shared<SpaceStore> store([] { return new SpaceStore; });
//         return store.get();
//     }
template <typename T>
class Shared {
public:
    explicit Shared(std::function<T*()> make)
        : options_{.make = std::move(make)}
    {
    }
    explicit Shared(SharedOptions<T> options)
        : options_(std::move(options))
    {
    }

    T& get()
    {
        if (void* instance = slot_->instance.load(std::memory_order_acquire))
            return *static_cast<T*>(instance);
        return make();
    }

    // A handle that empties when the instance is dropped, for work that
    // finishes later (a background read handing back its result).
    std::weak_ptr<T> weak()
    {
        get();
        std::lock_guard lock(slot_->creation);
        return std::static_pointer_cast<T>(slot_->owner);
    }

private:
    T& make()
    {
        for (const auto& need : options_.needs)
            need();
        T* made = nullptr;
        {
            std::lock_guard lock(slot_->creation);
            if (void* instance = slot_->instance.load(std::memory_order_acquire))
                return *static_cast<T*>(instance);
            std::shared_ptr<T> owner(options_.make());
            made = owner.get();
            slot_->owner = std::move(owner);
            slot_->instance.store(made, std::memory_order_release);
            detail::adoptShared(slot_);
        }
        if (options_.whenMade)
            options_.whenMade(*made);
        return *made;
    }

    SharedOptions<T> options_;
    std::shared_ptr<detail::SharedSlot> slot_ = std::make_shared<detail::SharedSlot>();
};

} // namespace platform
