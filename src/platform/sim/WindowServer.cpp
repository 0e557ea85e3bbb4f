#include "platform/WindowServer.h"

#include "platform/sim/WorldState.h"

#include <QUuid>

namespace platform::WindowServer {

namespace {

using sim::World;
using Lock = std::lock_guard<std::recursive_mutex>;

constexpr ConnectionID simulatedConnection = 0x1a03;

std::optional<QVariant> overridden(const World::Internals& d, const QString& call)
{
    auto it = d.overrides.constFind(call);
    if (it == d.overrides.constEnd())
        return std::nullopt;
    return it.value();
}

QVariantMap spaceEntry(const sim::SpaceSpec& space)
{
    return {
        {QStringLiteral("id64"), QVariant::fromValue<qulonglong>(space.id)},
        {QStringLiteral("ManagedSpaceID"), QVariant::fromValue<qlonglong>(space.managedID)},
        {QStringLiteral("type"), QVariant::fromValue<qlonglong>(space.type)},
    };
}

QVariant buildDisplaySpaces(const World::Internals& d)
{
    QVariantList answer;
    answer.reserve(d.displays.size());
    for (const auto& display : d.displays) {
        QVariantList spaces;
        spaces.reserve(display.spaces.size());
        QVariantMap current;
        for (const auto& space : display.spaces) {
            spaces.append(spaceEntry(space));
            if (space.id == display.currentSpaceID)
                current = spaceEntry(space);
        }
        answer.append(QVariantMap{
            {QStringLiteral("Display Identifier"), display.uuid},
            {QStringLiteral("Current Space"), current},
            {QStringLiteral("Spaces"), spaces},
        });
    }
    return answer;
}

bool isOnCurrentSpace(const World::Internals& d, const sim::WindowSpec& window)
{
    if (window.spaces.isEmpty())
        return true;
    for (const auto& display : d.displays) {
        if (window.spaces.contains(display.currentSpaceID))
            return true;
    }
    return false;
}

QVariant buildWindowList(const World::Internals& d, quint32 options)
{
    const bool onScreenOnly = options & windowListOptionOnScreenOnly;
    const bool excludeDesktop = options & windowListExcludeDesktopElements;
    QVariantList answer;
    answer.reserve(d.windows.size());
    for (const auto& window : d.windows) {
        const bool onScreen = isOnCurrentSpace(d, window);
        if (onScreenOnly && !onScreen)
            continue;
        if (excludeDesktop && window.layer < 0)
            continue;
        QVariantMap entry{
            {QStringLiteral("kCGWindowNumber"), QVariant::fromValue<qlonglong>(window.number)},
            {QStringLiteral("kCGWindowLayer"), QVariant::fromValue<qlonglong>(window.layer)},
            {QStringLiteral("kCGWindowOwnerPID"), QVariant::fromValue<qlonglong>(window.ownerPID)},
            {QStringLiteral("kCGWindowBounds"), QVariantMap{
                 {QStringLiteral("X"), window.bounds.x()},
                 {QStringLiteral("Y"), window.bounds.y()},
                 {QStringLiteral("Width"), window.bounds.width()},
                 {QStringLiteral("Height"), window.bounds.height()},
             }},
            {QStringLiteral("kCGWindowIsOnscreen"), onScreen},
            {QStringLiteral("kCGWindowAlpha"), window.alpha},
        };
        if (const sim::AppSpec* owner = d.findApp(window.ownerPID); owner && owner->name)
            entry.insert(QStringLiteral("kCGWindowOwnerName"), *owner->name);
        answer.append(entry);
    }
    return answer;
}

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// The space ids of a request, or none when the request is not a list of numbers.
std::optional<QList<quint64>> spaceList(const QVariant& spaceIDs)
{
    if (spaceIDs.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QList<quint64> ids;
    for (const auto& value : spaceIDs.toList()) {
        if (!isNumber(value))
            return std::nullopt;
        ids.append(value.toULongLong());
    }
    return ids;
}

QVariant buildWindowsOnSpaces(const World::Internals& d, const QList<quint64>& spaceIDs, quint32 owner)
{
    QVariantList answer;
    for (const auto& window : d.windows) {
        if (owner != 0 && static_cast<quint32>(window.ownerPID) != owner)
            continue;
        bool listed = window.spaces.isEmpty();
        for (quint64 id : spaceIDs)
            listed = listed || window.spaces.contains(id);
        if (listed)
            answer.append(QVariant::fromValue<qlonglong>(window.number));
    }
    return answer;
}

} // namespace

ConnectionID mainConnectionID()
{
    World& world = World::shared();
    Lock lock(world.mutex());
    world.internals().countCall(QStringLiteral("mainConnectionID"));
    return simulatedConnection;
}

QVariant copyManagedDisplaySpaces(ConnectionID)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    auto& d = world.internals();
    d.countCall(QStringLiteral("copyManagedDisplaySpaces"));
    if (auto answer = overridden(d, QStringLiteral("copyManagedDisplaySpaces")))
        return *answer;
    if (!d.displaySpacesAnswer)
        d.displaySpacesAnswer = buildDisplaySpaces(d);
    return *d.displaySpacesAnswer;
}

qint32 managedDisplaySetCurrentSpace(ConnectionID, const QVariant& displayIdentifier, quint64 spaceID)
{
    World& world = World::shared();
    {
        Lock lock(world.mutex());
        world.internals().countCall(QStringLiteral("managedDisplaySetCurrentSpace"));
    }
    if (displayIdentifier.typeId() != QMetaType::QString)
        return illegalArgument;
    return world.setCurrentSpace(displayIdentifier.toString(), spaceID) ? success : illegalArgument;
}

QVariant copyActiveMenuBarDisplayIdentifier(ConnectionID)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    auto& d = world.internals();
    d.countCall(QStringLiteral("copyActiveMenuBarDisplayIdentifier"));
    if (auto answer = overridden(d, QStringLiteral("copyActiveMenuBarDisplayIdentifier")))
        return *answer;
    return d.activeMenuBarDisplay ? QVariant(*d.activeMenuBarDisplay) : QVariant();
}

QVariant spaceCopyName(ConnectionID, quint64 spaceID)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    auto& d = world.internals();
    d.countCall(QStringLiteral("spaceCopyName"));
    if (auto answer = overridden(d, QStringLiteral("spaceCopyName")))
        return *answer;
    for (const auto& display : d.displays) {
        for (const auto& space : display.spaces) {
            if (space.id != spaceID)
                continue;
            if (space.name)
                return *space.name;
            // Unnamed spaces carry a generated identifier, as on the real system.
            static const QUuid namespaceID(QStringLiteral("6ba7b811-9dad-11d1-80b4-00c04fd430c8"));
            return QUuid::createUuidV5(namespaceID, QString::number(spaceID)).toString(QUuid::WithoutBraces).toUpper();
        }
    }
    return {};
}

QVariant copyWindowsWithOptionsAndTags(ConnectionID, quint32 owner, const QVariant& spaceIDs, quint32, quint64, quint64)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    auto& d = world.internals();
    d.countCall(QStringLiteral("copyWindowsWithOptionsAndTags"));
    if (auto answer = overridden(d, QStringLiteral("copyWindowsWithOptionsAndTags")))
        return *answer;
    const auto ids = spaceList(spaceIDs);
    if (!ids)
        return {};
    if (owner != 0 || ids->size() != 1)
        return buildWindowsOnSpaces(d, *ids, owner);
    auto cached = d.windowsBySpaceAnswers.constFind(ids->first());
    if (cached != d.windowsBySpaceAnswers.constEnd())
        return cached.value();
    const QVariant answer = buildWindowsOnSpaces(d, *ids, owner);
    d.windowsBySpaceAnswers.insert(ids->first(), answer);
    return answer;
}

void moveWindowsToManagedSpace(ConnectionID, const QVariant& windowNumbers, quint64 spaceID)
{
    World& world = World::shared();
    {
        Lock lock(world.mutex());
        world.internals().countCall(QStringLiteral("moveWindowsToManagedSpace"));
    }
    if (!world.displayOfSpace(spaceID) || windowNumbers.typeId() != QMetaType::QVariantList)
        return;
    for (const auto& value : windowNumbers.toList()) {
        if (isNumber(value))
            world.moveWindowToSpace(value.toLongLong(), spaceID);
    }
}

QVariant windowListCopyWindowInfo(quint32 options, quint32)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    auto& d = world.internals();
    d.countCall(QStringLiteral("windowListCopyWindowInfo"));
    if (auto answer = overridden(d, QStringLiteral("windowListCopyWindowInfo")))
        return *answer;
    auto cached = d.windowListAnswers.constFind(options);
    if (cached != d.windowListAnswers.constEnd())
        return cached.value();
    const QVariant answer = buildWindowList(d, options);
    d.windowListAnswers.insert(options, answer);
    return answer;
}

std::optional<QString> displayUUIDString(quint32 displayID)
{
    World& world = World::shared();
    Lock lock(world.mutex());
    auto& d = world.internals();
    d.countCall(QStringLiteral("displayUUIDString"));
    for (const auto& display : d.displays) {
        if (display.displayID == displayID)
            return display.uuid;
    }
    return std::nullopt;
}

} // namespace platform::WindowServer
