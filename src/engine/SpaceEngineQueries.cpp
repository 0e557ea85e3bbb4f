#include "engine/SpaceEngine.h"

#include "engine/DockBadges.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"
#include "store/Settings.h"
#include "store/SpaceSearch.h"

#include <limits>

namespace {

constexpr double appsRebuildInterval = 1.0;

} // namespace

std::optional<Desktop> SpaceEngine::desktopWithID(quint64 id) const
{
    for (const auto& desktop : desktops_) {
        if (desktop.id() == id)
            return desktop;
    }
    return std::nullopt;
}

std::optional<Desktop> SpaceEngine::desktopWithNumber(qint64 number) const
{
    for (const auto& desktop : desktops_) {
        if (desktop.number == number)
            return desktop;
    }
    return std::nullopt;
}

QList<Desktop> SpaceEngine::desktopsOnDisplay(const QString& displayUUID) const
{
    QList<Desktop> result;
    for (const auto& desktop : desktops_) {
        if (desktop.displayUUID() == displayUUID)
            result.append(desktop);
    }
    return result;
}

std::optional<quint64> SpaceEngine::currentSpaceID(const QString& displayUUID) const
{
    auto it = currentPerDisplay_.constFind(displayUUID);
    if (it == currentPerDisplay_.constEnd())
        return std::nullopt;
    return it.value();
}

std::optional<Desktop> SpaceEngine::activeDesktop() const
{
    std::optional<QString> uuid = SkyLight::activeMenuBarDisplayUUID();
    if (!uuid && !displays_.isEmpty())
        uuid = displays_.first().uuid;
    if (uuid) {
        if (const auto current = currentSpaceID(*uuid)) {
            if (auto desktop = desktopWithID(*current))
                return desktop;
        }
    }
    for (const auto& desktop : desktops_) {
        if (desktop.isCurrent)
            return desktop;
    }
    return std::nullopt;
}

std::optional<Desktop> SpaceEngine::lastDesktop() const
{
    if (!lastDesktopID_)
        return std::nullopt;
    return desktopWithID(*lastDesktopID_);
}

std::optional<Desktop> SpaceEngine::bestDesktopMatching(const QString& text)
{
    const QString query = SpaceSearch::normalize(text);
    if (query.isEmpty())
        return std::nullopt;
    appsByDesktop(false);
    std::optional<Desktop> best;
    int bestScore = std::numeric_limits<int>::min();
    for (const auto& desktop : desktops_) {
        QStringList appNames;
        for (const auto& app : apps(desktop))
            appNames.append(app.name);
        const auto score = SpaceSearch::score(query, desktop.displayName(), desktop.number, appNames);
        if (score && *score > bestScore) {
            best = desktop;
            bestScore = *score;
        }
    }
    // A desktop matched only as a scattered subsequence is too weak a guess.
    if (!best || bestScore <= SpaceSearch::Score::fuzzy)
        return std::nullopt;
    return best;
}

QList<SpaceApp> SpaceEngine::apps(const Desktop& desktop) const
{
    return appsCache_.value(desktop.id());
}

bool SpaceEngine::badgesShown() const
{
    return Settings::shared().badgesEnabled() && !sampleApps_;
}

void SpaceEngine::appsByDesktop(bool force)
{
    if (sampleApps_)
        return;
    const double now = platform::now();
    if (!force && !(now - appsCachedAt_ > appsRebuildInterval))
        return;
    appsCachedAt_ = now;
    AppsMap fresh = buildApps();
    const auto before = badgesByDesktop();
    appsCache_ = std::move(fresh);
    emit changed();
    if (badgesByDesktop() != before)
        platform::NotificationCenter::defaultCenter().post(EngineNotifications::spacesDidChange);
    if (force && badgesShown())
        DockBadges::shared().refresh();
}

SpaceEngine::AppsMap SpaceEngine::buildApps() const
{
    const QList<SkyLight::WindowInfo> windows = SkyLight::allWindows();
    QHash<qint64, int> rank;
    QHash<qint64, qint32> owner;
    rank.reserve(windows.size());
    owner.reserve(windows.size());
    for (int i = 0; i < windows.size(); ++i) {
        // A number listed twice keeps its frontmost place.
        if (!rank.contains(windows[i].id)) {
            rank.insert(windows[i].id, i);
            owner.insert(windows[i].id, windows[i].pid);
        }
    }
    AppsMap result;
    result.reserve(desktops_.size());
    for (const auto& desktop : desktops_)
        result.insert(desktop.id(), appsOnSpace(desktop.id(), rank, owner));
    return result;
}

QList<SpaceApp> SpaceEngine::appsOnSpace(quint64 spaceID, const QHash<qint64, int>& rank,
                                         const QHash<qint64, qint32>& owner) const
{
    struct Record {
        qint32 pid;
        int rank;
    };
    const qint32 ownPID = platform::Workspace::currentProcessIdentifier();
    std::vector<Record> records;
    QSet<qint32> seen;
    for (qint64 id : SkyLight::windowIDs(spaceID)) {
        auto found = owner.constFind(id);
        if (found == owner.constEnd())
            continue;
        const qint32 pid = found.value();
        if (pid == ownPID || seen.contains(pid))
            continue;
        seen.insert(pid);
        records.push_back({pid, rank.value(id, std::numeric_limits<int>::max())});
    }
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.rank < b.rank; });

    const auto& badges = DockBadges::shared().badges();
    const bool withBadges = badgesShown() && !badges.isEmpty();
    QList<SpaceApp> apps;
    for (const auto& record : records) {
        const auto app = platform::Workspace::runningApplication(record.pid);
        if (!app || app->activationPolicy != platform::ActivationPolicy::regular)
            continue;
        std::optional<QString> badge;
        if (withBadges) {
            auto it = badges.constFind(record.pid);
            if (it != badges.constEnd())
                badge = it.value();
        }
        apps.append(SpaceApp{record.pid, app->localizedName.value_or(QString()), app->icon, badge});
    }
    return apps;
}

std::optional<QString> SpaceEngine::badgesByDesktop() const
{
    if (!Settings::shared().badgesEnabled())
        return std::nullopt;
    QSet<quint64> shown;
    for (quint64 id : currentPerDisplay_)
        shown.insert(id);
    QSet<qint32> visible;
    QHash<qint32, QString> hidden;
    for (auto it = appsCache_.cbegin(); it != appsCache_.cend(); ++it) {
        for (const auto& app : it.value()) {
            if (!app.badge)
                continue;
            if (shown.contains(it.key()))
                visible.insert(app.pid);
            else
                hidden.insert(app.pid, *app.badge);
        }
    }
    for (qint32 pid : visible)
        hidden.remove(pid);
    return DockBadges::summary(hidden.values());
}
