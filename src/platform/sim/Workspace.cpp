#include "platform/Workspace.h"

#include "platform/Bundle.h"
#include "platform/sim/MissionControl.h"
#include "platform/sim/OtherCopies.h"
#include "platform/sim/WorldState.h"

#include <algorithm>

namespace platform::Workspace {

namespace {

using sim::World;
using Lock = std::lock_guard<std::recursive_mutex>;

RunningApplication applicationOf(const sim::AppSpec& app)
{
    RunningApplication running;
    running.processIdentifier = app.pid;
    running.bundleIdentifier = app.bundleID;
    running.localizedName = app.name;
    running.icon = app.icon;
    running.activationPolicy = app.policy;
    running.bundlePath = app.bundlePath;
    running.isTerminated = app.terminated;
    return running;
}

} // namespace

QList<RunningApplication> runningApplications()
{
    World& world = World::shared();
    Lock lock(world.mutex());
    QList<RunningApplication> result;
    for (const auto& app : world.internals().apps) {
        if (!app.terminated)
            result.append(applicationOf(app));
    }
    return result;
}

QList<RunningApplication> runningApplications(const QString& bundleIdentifier)
{
    QList<RunningApplication> result = runningApplications();
    result.removeIf([&](const RunningApplication& app) { return app.bundleIdentifier != bundleIdentifier; });
    if (bundleIdentifier != Bundle::identifier())
        return result;
    // This app's copies that run as real processes beside this one.
    const std::optional<RunningApplication> self = runningApplication(currentProcessIdentifier());
    const sim::OtherCopies others = sim::otherCopies();
    for (const sim::RealCopy& copy : others.find ? others.find() : QList<sim::RealCopy>()) {
        if (std::any_of(result.cbegin(), result.cend(),
                        [&](const RunningApplication& app) { return app.processIdentifier == copy.pid; }))
            continue;
        RunningApplication running;
        running.processIdentifier = copy.pid;
        running.bundleIdentifier = bundleIdentifier;
        running.localizedName = self ? self->localizedName : std::nullopt;
        running.icon = self ? self->icon : QImage();
        running.activationPolicy = self ? self->activationPolicy : ActivationPolicy::accessory;
        running.bundlePath = copy.bundlePath;
        result.append(running);
    }
    return result;
}

std::optional<RunningApplication> runningApplication(qint32 processIdentifier)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    if (const sim::AppSpec* app = world.internals().findApp(processIdentifier))
        return applicationOf(*app);
    return std::nullopt;
}

std::optional<RunningApplication> frontmostApplication()
{
    World& world = World::shared();
    Lock lock(world.mutex());
    const auto& d = world.internals();
    if (!d.frontmostApp)
        return std::nullopt;
    if (const sim::AppSpec* app = d.findApp(*d.frontmostApp))
        return applicationOf(*app);
    return std::nullopt;
}

qint32 currentProcessIdentifier()
{
    return World::shared().ownPID();
}

bool activate(qint32 processIdentifier)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    auto& d = world.internals();
    d.countCall(QStringLiteral("activate"));
    d.activationRequests.append(processIdentifier);
    const sim::AppSpec* app = d.findApp(processIdentifier);
    if (!app || app->terminated || app->refusesActivation)
        return false;
    d.frontmostApp = processIdentifier;
    return true;
}

bool open(const QUrl& url)
{
    {
        World& world = World::shared();
        Lock lock(world.mutex());
        auto& d = world.internals();
        d.countCall(QStringLiteral("open"));
        if (!url.isValid() || url.scheme().isEmpty())
            return false;
        d.openedURLs.append(url);
    }
    // Opening Mission Control's application shows it, or hides it when shown.
    if (url.isLocalFile() && url.toLocalFile() == sim::MissionControl::applicationPath)
        sim::MissionControl::shared().toggle();
    return true;
}

} // namespace platform::Workspace
