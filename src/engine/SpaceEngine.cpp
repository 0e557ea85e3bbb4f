#include "engine/SpaceEngine.h"

#include "engine/DockBadges.h"
#include "platform/EventSource.h"
#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"
#include "platform/Scheduler.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "store/Timers.h"

#include <QPointer>

#include <algorithm>
#include <initializer_list>
#include <limits>

namespace {

constexpr double distantPast = -std::numeric_limits<double>::infinity();
constexpr double sweepInterval = 1.5;
constexpr double sweepTolerance = 0.5;
constexpr double followUpDelay = 0.03;
constexpr double longestCountedSample = 30;
constexpr double timeFlushInterval = 60;
constexpr double badgePollInterval = 6.0;
constexpr double badgePollIdleLimit = 90;


SpaceEngine::SwitcherFactory& switcherFactory()
{
    static SpaceEngine::SwitcherFactory factory;
    return factory;
}

// Seconds since the most recent input event of any of these types.
double idleSeconds(std::initializer_list<quint32> eventTypes)
{
    double idle = std::numeric_limits<double>::infinity();
    for (quint32 type : eventTypes) {
        const double seconds = platform::EventSource::secondsSinceLastEventType(
            platform::EventSource::StateID::combinedSessionState, type);
        idle = std::min(idle, seconds);
    }
    return idle;
}

QString badgeEntry(qint32 pid, const QString& badge)
{
    const auto app = platform::Workspace::runningApplication(pid);
    const QString who = app && app->localizedName ? *app->localizedName : QStringLiteral("pid ") + QString::number(pid);
    return who + QLatin1Char(' ') + badge;
}

} // namespace

SpaceEngine& SpaceEngine::shared()
{
    // The engine subscribes to both centres later, in start(): made first,
    // they outlive it.
    static platform::Shared<SpaceEngine> engine({
        .make = [] { return new SpaceEngine; },
        .needs = {&platform::NotificationCenter::defaultCenter, &platform::NotificationCenter::workspaceCenter},
        .whenMade = [](SpaceEngine& made) { made.refresh(true); },
    });
    return engine.get();
}

SpaceEngine::SpaceEngine()
    : appsCachedAt_(distantPast)
    , lastTimeSample_(platform::now())
    , lastTimeFlush_(platform::now())
    , lastBadgePoll_(distantPast)
{
}

SpaceEngine::~SpaceEngine() = default;

void SpaceEngine::setSwitcherFactory(SwitcherFactory factory)
{
    switcherFactory() = std::move(factory);
}

DesktopSwitching* SpaceEngine::switcher()
{
    if (!switcher_ && switcherFactory())
        switcher_ = switcherFactory()(*this);
    return switcher_.get();
}

void SpaceEngine::start()
{
    auto& workspace = platform::NotificationCenter::workspaceCenter();
    auto& center = platform::NotificationCenter::defaultCenter();
    subscriptions_.push_back(
        workspace.observe(platform::notifications::activeSpaceDidChange, [this] { environmentChanged(); }));
    subscriptions_.push_back(
        center.observe(platform::notifications::screenParametersDidChange, [this] { environmentChanged(); }));
    subscriptions_.push_back(center.observe(SpaceStore::changedNotification, [this] { metaChanged(); }));
    subscriptions_.push_back(center.observe(DockBadges::badgesDidChange, [this] { badgesChanged(); }));
    lastTimeSample_ = platform::now();
    lastTimeFlush_ = lastTimeSample_;
    QPointer<SpaceEngine> weak(this);
    sweep_ = RepeatingTimer::start(sweepInterval, sweepTolerance, [weak] {
        if (!weak)
            return;
        weak->refresh(false);
        weak->sampleTime();
        weak->pollBadges();
        platform::PreferenceDomain::synchronizePending();
    });
}

QList<Desktop> SpaceEngine::numberDesktops(const QList<SkyLight::Display>& displays)
{
    QList<Desktop> desktops;
    for (const auto& display : displays) {
        for (const auto& space : display.spaces) {
            if (space.isDesktop())
                desktops.append(Desktop{space, desktops.size() + 1, space.id == display.currentSpaceID});
        }
    }
    return desktops;
}

void SpaceEngine::refresh(bool initial)
{
    const QList<SkyLight::Display> fresh = SkyLight::displays();
    if (fresh.isEmpty())
        return;
    QHash<QString, quint64> current;
    for (const auto& display : fresh)
        current.insert(display.uuid, display.currentSpaceID);
    // Unchanged displays mean unchanged desktops: number them only on a change.
    const bool published = fresh != displays_;
    if (published) {
        displays_ = fresh;
        desktops_ = numberDesktops(fresh);
        emit displaysChanged();
        emit desktopsChanged();
        emit changed();
    }

    std::vector<SwitchEvent> events;
    recordSwitches(current, events);
    currentPerDisplay_ = current;

    auto& center = platform::NotificationCenter::defaultCenter();
    if (published)
        center.post(EngineNotifications::spacesDidChange);
    if (events.empty() || initial)
        return;
    center.post(EngineNotifications::activeSpaceDidChange);
    for (const auto& event : events) {
        if (onSwitch_)
            onSwitch_(event.displayUUID, event.from, event.to);
    }
}

// Runs once the fresh lists are published: displays_ and desktops_ are the
// new ones, currentPerDisplay_ still the old.
void SpaceEngine::recordSwitches(const QHash<QString, quint64>& current, std::vector<SwitchEvent>& events)
{
    // Displays in window-server order, each once.
    QSet<QString> seen;
    for (const auto& display : displays_) {
        if (seen.contains(display.uuid) || !current.contains(display.uuid))
            continue;
        seen.insert(display.uuid);
        const quint64 id = current.value(display.uuid);
        auto previous = currentPerDisplay_.constFind(display.uuid);
        const bool firstSeen = previous == currentPerDisplay_.constEnd();
        const quint64 old = firstSeen ? 0 : previous.value();
        if (!firstSeen && old == id)
            continue;
        if (!firstSeen) {
            // Credit the time so far to the desktop being left.
            sampleTime();
            SpaceStore::shared().flushTime();
            if (!transitSpaceIDs_.contains(old) && desktopWithID(old))
                setLastDesktopID(old);
        }
        if (transitSpaceIDs_.contains(id))
            continue;
        const auto to = desktopWithID(id);
        if (!to)
            continue;
        events.push_back({display.uuid, firstSeen ? std::nullopt : desktopWithID(old), *to});
    }
}

void SpaceEngine::setLastDesktopID(quint64 id)
{
    if (lastDesktopID_ == id)
        return;
    lastDesktopID_ = id;
    emit lastDesktopIDChanged();
    emit changed();
}

void SpaceEngine::environmentChanged()
{
    if (refreshPending_)
        return;
    refreshPending_ = true;
    refresh(false);
    QPointer<SpaceEngine> weak(this);
    runAfter(followUpDelay, [weak] {
        if (!weak)
            return;
        weak->refreshPending_ = false;
        weak->refresh(false);
    });
}

void SpaceEngine::metaChanged()
{
    emit changed();
    platform::NotificationCenter::defaultCenter().post(EngineNotifications::spacesDidChange);
}

void SpaceEngine::badgesChanged()
{
    const DockBadges& reader = DockBadges::shared();
    QStringList entries;
    for (auto it = reader.badges().cbegin(); it != reader.badges().cend(); ++it)
        entries.append(badgeEntry(it.key(), it.value()));
    entries.sort();
    const QString list = entries.isEmpty() ? QStringLiteral("none") : entries.join(QStringLiteral(", "));
    LogFile::switches().write(QStringLiteral("dock badges: ") + list + QStringLiteral(" (read in ") +
                              QString::number(reader.lastReadMilliseconds()) + QStringLiteral(" ms)"));
    appsByDesktop(true);
}

void SpaceEngine::sampleTime()
{
    const double now = platform::now();
    const double elapsed = now - lastTimeSample_;
    lastTimeSample_ = now;
    // Written so that a non-finite amount is never counted either.
    if (!counting_ || !(elapsed > 0 && elapsed < longestCountedSample))
        return;
    const Settings& settings = Settings::shared();
    if (!settings.trackTime())
        return;
    const auto active = activeDesktop();
    if (!active)
        return;
    using namespace platform::EventSource::EventType;
    const double idle = idleSeconds({mouseMoved, keyDown, leftMouseDown, rightMouseDown, scrollWheel, flagsChanged});
    const double idleLimit = static_cast<double>(std::max<qint64>(settings.idleMinutes(), 1)) * 60;
    if (!(idle < idleLimit))
        return;
    SpaceStore::shared().addTime(active->managedID(), elapsed);
    if (now - lastTimeFlush_ > timeFlushInterval) {
        lastTimeFlush_ = now;
        SpaceStore::shared().flushTime();
    }
}

void SpaceEngine::pollBadges()
{
    if (!Settings::shared().badgesEnabled() || sampleApps_)
        return;
    const double now = platform::now();
    if (!(now - lastBadgePoll_ >= badgePollInterval))
        return;
    using namespace platform::EventSource::EventType;
    if (!(idleSeconds({mouseMoved, keyDown, leftMouseDown, scrollWheel}) < badgePollIdleLimit))
        return;
    lastBadgePoll_ = now;
    DockBadges::shared().refresh();
}

void SpaceEngine::saveTime()
{
    sampleTime();
    SpaceStore::shared().flushTime();
}

void SpaceEngine::setSampleApps(std::optional<AppsMap> apps)
{
    sampleApps_ = std::move(apps);
    appsCache_ = sampleApps_.value_or(AppsMap());
    appsCachedAt_ = sampleApps_ ? std::numeric_limits<double>::infinity() : distantPast;
    emit changed();
}
