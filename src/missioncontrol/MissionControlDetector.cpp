#include "missioncontrol/MissionControlDetector.h"

#include "engine/SkyLight.h"
#include "missioncontrol/DockAccess.h"
#include "missioncontrol/MissionControlHost.h"
#include "platform/EventSource.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/SessionNotifications.h"
#include "platform/WindowServer.h"
#include "store/Timers.h"

#include <cmath>

namespace {

std::optional<double> number(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    default:
        return std::nullopt;
    }
}

} // namespace

MissionControlDetector::MissionControlDetector(DockAccess& dock)
    : dock_(dock)
{
    std::weak_ptr<bool> alive = alive_;
    dock_.observe([this, alive](const QString& name) {
        if (!alive.expired())
            noteDockNotification(name);
    });
    auto& workspace = platform::NotificationCenter::workspaceCenter();
    namespace names = platform::notifications;
    subscriptions_.push_back(workspace.observe(names::screensDidSleep, [this] { pause(); }));
    subscriptions_.push_back(workspace.observe(names::sessionDidResignActive, [this] { pause(); }));
    subscriptions_.push_back(workspace.observe(names::screensDidWake, [this] { resume(); }));
    subscriptions_.push_back(workspace.observe(names::sessionDidBecomeActive, [this] { resume(); }));
}

MissionControlDetector::~MissionControlDetector() = default;

void MissionControlDetector::startPolling()
{
    if (poll_)
        return;
    std::weak_ptr<bool> alive = alive_;
    poll_ = RepeatingTimer::start(pollInterval, std::nullopt, [this, alive] {
        if (!alive.expired())
            pollTick();
    });
}

void MissionControlDetector::stopPolling()
{
    poll_.reset();
    if (!isOpen_)
        return;
    isOpen_ = false;
    if (onChange)
        onChange(false);
}

bool MissionControlDetector::check(const QString& trigger)
{
    const bool open = isMissionControlOpen();
    if (open == isOpen_)
        return open;
    isOpen_ = open;
    lastTrigger_ = trigger;
    if (open) {
        openedAt_ = platform::now();
        dockNotifications_.clear();
    }
    if (onChange)
        onChange(open);
    return open;
}

void MissionControlDetector::pollTick()
{
    if (paused_)
        return;
    const double idle = platform::EventSource::secondsSinceLastEventType(
        platform::EventSource::StateID::combinedSessionState, platform::EventSource::EventType::anyInput);
    if (isOpen_ || idle < recentInputWindow)
        check(pollTrigger);
}

void MissionControlDetector::noteDockNotification(const QString& name)
{
    if (isOpen_ && dockNotifications_.size() < notificationLimit)
        dockNotifications_.append({name, platform::now() - openedAt_});
    if (checkQueued_ || paused_)
        return;
    checkQueued_ = true;
    std::weak_ptr<bool> alive = alive_;
    runAfter(0, [this, alive] {
        if (alive.expired())
            return;
        checkQueued_ = false;
        const bool wasOpen = isOpen_;
        const bool open = check(observerTrigger);
        if (open && wasOpen && onDockActivity)
            onDockActivity();
    });
}

bool MissionControlDetector::isMissionControlOpen()
{
    const QVariant answer = platform::WindowServer::windowListCopyWindowInfo(
        platform::WindowServer::windowListOptionOnScreenOnly, 0);
    if (answer.typeId() != QMetaType::QVariantList)
        return false;
    const QVariantList windows = answer.toList();
    for (const QVariant& window : windows) {
        if (window.typeId() != QMetaType::QVariantMap)
            return false;
    }
    const QString owner = MissionControlHost::ownerName();
    const int hostLayer = MissionControlHost::layer();
    const QList<platform::Screen> screens = platform::Screens::screens();
    qsizetype counter = 0;
    for (const QVariant& entry : windows) {
        const QVariantMap window = entry.toMap();
        const QVariant name = window.value(QStringLiteral("kCGWindowOwnerName"));
        if (name.typeId() != QMetaType::QString || name.toString() != owner)
            continue;
        const qint64 layer = SkyLight::signedValue(window.value(QStringLiteral("kCGWindowLayer"))).value_or(0);
        if (layer < 0)
            continue;
        if (layer == hostLayer)
            return true;
        const QVariant boundsValue = window.value(QStringLiteral("kCGWindowBounds"));
        const QVariantMap bounds = boundsValue.typeId() == QMetaType::QVariantMap ? boundsValue.toMap() : QVariantMap();
        const double width = number(bounds.value(QStringLiteral("Width"))).value_or(0);
        const double height = number(bounds.value(QStringLiteral("Height"))).value_or(0);
        for (const auto& screen : screens) {
            if (std::abs(screen.frame.width() - width) < sizeTolerance
                && std::abs(screen.frame.height() - height) < sizeTolerance) {
                ++counter;
                break;
            }
        }
    }
    return counter >= screens.size() + 1;
}
