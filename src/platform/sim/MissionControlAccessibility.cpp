// The accessibility services the labels rely on beyond the element API: the
// host's notifications to observers, batch reads and observers.
#include "platform/sim/MissionControl.h"

#include "platform/Scheduler.h"
#include "platform/sim/MissionControlServices.h"
#include "platform/sim/WorldState.h"

namespace platform::sim {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

} // namespace

// --- notifications from the host ---------------------------------------------------------

void MissionControl::postNotification(const QString& name)
{
    const qint32 pid = hostPID_;
    Scheduler::current().schedule(0, [pid, name] {
        MissionControl& mc = MissionControl::shared();
        World& world = World::shared();
        quint64 application = 0;
        {
            Lock lock(world.mutex());
            const AppSpec* app = world.internals().findApp(pid);
            if (!app || app->terminated)
                return;
            application = world.internals().applicationElements.value(pid);
        }
        // Copy the deliveries first: a callback may change the observers.
        std::vector<std::pair<quint64, void*>> deliveries;
        for (const auto& [handle, observer] : mc.services().observers) {
            if (observer.pid != pid || !observer.sourceAdded)
                continue;
            for (const auto& registration : observer.registrations) {
                if (registration.name == name && registration.element == application)
                    deliveries.emplace_back(handle, registration.context);
            }
        }
        for (const auto& [handle, context] : deliveries) {
            auto it = mc.services().observers.find(handle);
            if (it == mc.services().observers.end() || !it->second.sourceAdded)
                continue;
            const AX::ObserverCallback callback = it->second.callback;
            if (callback)
                callback(AX::Observer(handle), AX::Element(application), name, context);
        }
    });
}

int MissionControl::observerCount(qint32 pid) const
{
    int count = 0;
    for (const auto& [handle, observer] : services_->observers) {
        if (observer.pid == pid)
            ++count;
    }
    return count;
}

QStringList MissionControl::observedNotifications(qint32 pid) const
{
    QStringList names;
    for (const auto& [handle, observer] : services_->observers) {
        if (observer.pid != pid)
            continue;
        for (const auto& registration : observer.registrations)
            names.append(registration.name);
    }
    return names;
}

} // namespace platform::sim

// --- accessibility: batch reads and observers -------------------------------------------

namespace platform::AX {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

bool isPerAttributeError(Error error)
{
    return error == Error::attributeUnsupported || error == Error::noValue || error == Error::failure;
}

qint32 processOf(const Element& element)
{
    sim::World& world = sim::World::shared();
    Lock lock(world.mutex());
    const sim::ElementNode* node = world.internals().node(element.handle());
    return node ? node->pid : 0;
}

} // namespace

Error copyMultipleAttributeValues(const Element& element, const QStringList& attributes, quint32, QVariantList* values)
{
    if (!values)
        return Error::illegalArgument;
    sim::MissionControl::shared().noteBatchRead(processOf(element));
    QVariantList answer;
    answer.reserve(attributes.size());
    for (const QString& attribute : attributes) {
        QVariant value;
        const Error error = copyAttributeValue(element, attribute, &value);
        if (error == Error::success)
            answer.append(value);
        else if (isPerAttributeError(error))
            answer.append(QVariant::fromValue(ValueError{error}));
        else
            return error;
    }
    *values = answer;
    return Error::success;
}

Error observerCreate(qint32 processIdentifier, ObserverCallback callback, Observer* out)
{
    if (!out)
        return Error::illegalArgument;
    sim::MissionControl& mc = sim::MissionControl::shared();
    {
        sim::World& world = sim::World::shared();
        Lock lock(world.mutex());
        if (!world.internals().trusted)
            return Error::apiDisabled;
        const sim::AppSpec* app = world.internals().findApp(processIdentifier);
        if (!app || app->terminated)
            return Error::illegalArgument;
    }
    if (mc.refusesObservers())
        return Error::failure;
    auto& services = mc.services();
    const quint64 handle = services.nextObserver++;
    services.observers[handle] = {processIdentifier, std::move(callback), {}, false};
    *out = Observer(handle);
    return Error::success;
}

Error observerAddNotification(const Observer& observer, const Element& element, const QString& notification,
                              void* context)
{
    sim::MissionControl& mc = sim::MissionControl::shared();
    auto it = mc.services().observers.find(observer.handle());
    if (it == mc.services().observers.end())
        return Error::illegalArgument;
    {
        sim::World& world = sim::World::shared();
        Lock lock(world.mutex());
        if (!world.internals().trusted)
            return Error::apiDisabled;
        if (!world.internals().node(element.handle()))
            return Error::invalidUIElement;
    }
    if (mc.failsNotificationAdd(notification))
        return Error::failure;
    it->second.registrations.append({element.handle(), notification, context});
    return Error::success;
}

Error observerRemoveNotification(const Observer& observer, const Element& element, const QString& notification)
{
    auto& observers = sim::MissionControl::shared().services().observers;
    auto it = observers.find(observer.handle());
    if (it == observers.end())
        return Error::illegalArgument;
    const auto removed = it->second.registrations.removeIf([&](const auto& registration) {
        return registration.element == element.handle() && registration.name == notification;
    });
    return removed > 0 ? Error::success : Error::failure;
}

void observerSetRunLoopSourceAdded(const Observer& observer, bool added)
{
    auto& observers = sim::MissionControl::shared().services().observers;
    auto it = observers.find(observer.handle());
    if (it != observers.end())
        it->second.sourceAdded = added;
}

void observerRelease(const Observer& observer)
{
    sim::MissionControl::shared().services().observers.erase(observer.handle());
}

} // namespace platform::AX
