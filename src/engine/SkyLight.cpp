#include "engine/SkyLight.h"

#include "platform/WindowServer.h"

#include <cmath>
#include <limits>

namespace SkyLight {

namespace {

namespace WS = platform::WindowServer;

// The keys of the window server's dictionaries.
namespace Key {
const QString displayIdentifier = QStringLiteral("Display Identifier");
const QString currentSpace = QStringLiteral("Current Space");
const QString spaces = QStringLiteral("Spaces");
const QString id64 = QStringLiteral("id64");
const QString managedSpaceID = QStringLiteral("ManagedSpaceID");
const QString type = QStringLiteral("type");
const QString windowNumber = QStringLiteral("kCGWindowNumber");
const QString windowLayer = QStringLiteral("kCGWindowLayer");
const QString windowBounds = QStringLiteral("kCGWindowBounds");
const QString windowOwnerPID = QStringLiteral("kCGWindowOwnerPID");
const QString width = QStringLiteral("Width");
const QString height = QStringLiteral("Height");
const QString screenNumber = QStringLiteral("NSScreenNumber");
} // namespace Key

const QVariant* member(const QVariantMap& map, const QString& name)
{
    auto it = map.constFind(name);
    return it == map.constEnd() ? nullptr : &it.value();
}

bool isMap(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantMap;
}

bool isList(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantList;
}

// A list whose every element is a dictionary, or none.
std::optional<QVariantList> listOfMaps(const QVariant& value)
{
    if (!isList(value))
        return std::nullopt;
    QVariantList list = value.toList();
    for (const auto& element : list) {
        if (!isMap(element))
            return std::nullopt;
    }
    return list;
}

enum class NumberKind { none, signedInteger, unsignedInteger, floating };

NumberKind numberKind(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
        return NumberKind::signedInteger;
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return NumberKind::unsignedInteger;
    case QMetaType::Double:
    case QMetaType::Float:
        return NumberKind::floating;
    default:
        return NumberKind::none;
    }
}

// A floating value that is a whole number within [low, high).
std::optional<double> wholeNumber(double number, double low, double high)
{
    if (!std::isfinite(number) || std::trunc(number) != number || number < low || number >= high)
        return std::nullopt;
    return number;
}

std::optional<double> numberValue(const QVariant& value)
{
    if (numberKind(value) == NumberKind::none)
        return std::nullopt;
    return value.toDouble();
}

std::optional<qint32> int32Value(const QVariant& value)
{
    const auto number = signedValue(value);
    if (!number || *number < std::numeric_limits<qint32>::min() || *number > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(*number);
}

// Width and height of a bounds dictionary; an absent or malformed one is empty.
std::pair<std::optional<double>, std::optional<double>> boundsSize(const QVariant* bounds)
{
    if (!bounds || !isMap(*bounds))
        return {};
    const QVariantMap map = bounds->toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (numberKind(it.value()) == NumberKind::none)
            return {};
    }
    const QVariant* width = member(map, Key::width);
    const QVariant* height = member(map, Key::height);
    return {width ? numberValue(*width) : std::nullopt, height ? numberValue(*height) : std::nullopt};
}

QList<WindowInfo> parseWindowList(const QVariant& answer)
{
    const auto list = listOfMaps(answer);
    if (!list)
        return {};
    QList<WindowInfo> windows;
    windows.reserve(list->size());
    for (const auto& entry : *list) {
        if (auto info = windowInfo(entry.toMap()))
            windows.append(*info);
    }
    return windows;
}

constexpr double twoToThe63 = 9223372036854775808.0;
constexpr double twoToThe64 = 18446744073709551616.0;

} // namespace

std::optional<quint64> unsignedValue(const QVariant& value)
{
    switch (numberKind(value)) {
    case NumberKind::signedInteger: {
        const qlonglong number = value.toLongLong();
        if (number < 0)
            return std::nullopt;
        return static_cast<quint64>(number);
    }
    case NumberKind::unsignedInteger:
        return value.toULongLong();
    case NumberKind::floating:
        if (auto number = wholeNumber(value.toDouble(), 0, twoToThe64))
            return static_cast<quint64>(*number);
        return std::nullopt;
    case NumberKind::none:
        break;
    }
    return std::nullopt;
}

std::optional<qint64> signedValue(const QVariant& value)
{
    switch (numberKind(value)) {
    case NumberKind::signedInteger:
        return value.toLongLong();
    case NumberKind::unsignedInteger: {
        const qulonglong number = value.toULongLong();
        if (number > static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return static_cast<qint64>(number);
    }
    case NumberKind::floating:
        if (auto number = wholeNumber(value.toDouble(), -twoToThe63, twoToThe63))
            return static_cast<qint64>(*number);
        return std::nullopt;
    case NumberKind::none:
        break;
    }
    return std::nullopt;
}

qint32 connection()
{
    static const qint32 id = WS::mainConnectionID();
    return id;
}

QList<Display> displays()
{
    return parseDisplays(WS::copyManagedDisplaySpaces(connection()));
}

QList<Display> parseDisplays(const QVariant& answer)
{
    const auto list = listOfMaps(answer);
    if (!list)
        return {};
    QList<Display> result;
    result.reserve(list->size());
    for (const auto& entry : *list) {
        const QVariantMap map = entry.toMap();
        Display display;
        const QVariant* uuid = member(map, Key::displayIdentifier);
        if (uuid && uuid->typeId() == QMetaType::QString)
            display.uuid = uuid->toString();
        const QVariant* current = member(map, Key::currentSpace);
        if (current && isMap(*current)) {
            const QVariantMap currentMap = current->toMap();
            const QVariant* id = member(currentMap, Key::id64);
            display.currentSpaceID = id ? unsignedValue(*id).value_or(0) : 0;
        }
        const QVariant* spaces = member(map, Key::spaces);
        if (spaces) {
            if (auto spaceList = listOfMaps(*spaces))
                display.spaces = parseSpaces(*spaceList, display.uuid);
        }
        result.append(std::move(display));
    }
    return result;
}

QList<Space> parseSpaces(const QVariantList& spaces, const QString& displayUUID)
{
    QList<Space> result;
    result.reserve(spaces.size());
    for (const auto& entry : spaces) {
        if (!isMap(entry))
            continue;
        const QVariantMap map = entry.toMap();
        const QVariant* id64 = member(map, Key::id64);
        const auto id = id64 ? unsignedValue(*id64) : std::nullopt;
        if (!id)
            continue;
        Space space;
        space.id = *id;
        const QVariant* managed = member(map, Key::managedSpaceID);
        const auto managedID = managed ? signedValue(*managed) : std::nullopt;
        // An id above the signed range has no signed managed form; keep its bits.
        space.managedID = managedID.value_or(static_cast<qint64>(*id));
        const QVariant* type = member(map, Key::type);
        space.type = type ? signedValue(*type).value_or(0) : 0;
        space.displayUUID = displayUUID;
        result.append(std::move(space));
    }
    return result;
}

qint32 setCurrentSpace(const Space& space)
{
    return WS::managedDisplaySetCurrentSpace(connection(), QVariant(space.displayUUID), space.id);
}

std::optional<QString> activeMenuBarDisplayUUID()
{
    const QVariant answer = WS::copyActiveMenuBarDisplayIdentifier(connection());
    if (answer.typeId() != QMetaType::QString)
        return std::nullopt;
    return answer.toString();
}

std::optional<QString> spaceName(quint64 spaceID)
{
    const QVariant answer = WS::spaceCopyName(connection(), spaceID);
    if (answer.typeId() != QMetaType::QString)
        return std::nullopt;
    return answer.toString();
}

std::optional<QString> displayUUID(quint32 displayID)
{
    return WS::displayUUIDString(displayID);
}

std::optional<platform::Screen> screen(const QString& uuid)
{
    for (const auto& candidate : platform::Screens::screens()) {
        const QVariant number = candidate.deviceDescription.value(Key::screenNumber);
        const auto id = unsignedValue(number);
        if (!id || *id > std::numeric_limits<quint32>::max())
            continue;
        const auto candidateUUID = displayUUID(static_cast<quint32>(*id));
        if (candidateUUID && *candidateUUID == uuid)
            return candidate;
    }
    return std::nullopt;
}

QList<qint64> windowIDs(quint64 spaceID)
{
    const QVariantList spaces{QVariant::fromValue<qulonglong>(spaceID)};
    const QVariant answer = WS::copyWindowsWithOptionsAndTags(connection(), 0, spaces, 2, 0, 0);
    if (!isList(answer))
        return {};
    const QVariantList list = answer.toList();
    QList<qint64> ids;
    ids.reserve(list.size());
    for (const auto& entry : list) {
        const auto id = signedValue(entry);
        if (!id)
            return {};
        ids.append(*id);
    }
    return ids;
}

QList<WindowInfo> allWindows()
{
    return parseWindowList(WS::windowListCopyWindowInfo(WS::windowListOptionAll, 0));
}

std::optional<qint64> frontWindowID(qint32 pid)
{
    const quint32 onScreen = WS::windowListOptionOnScreenOnly | WS::windowListExcludeDesktopElements;
    for (const auto& window : parseWindowList(WS::windowListCopyWindowInfo(onScreen, 0))) {
        if (window.pid == pid)
            return window.id;
    }
    return std::nullopt;
}

void moveWindows(qint64 windowID, quint64 spaceID)
{
    WS::moveWindowsToManagedSpace(connection(), QVariantList{QVariant::fromValue<qlonglong>(windowID)}, spaceID);
}

std::optional<WindowInfo> windowInfo(const QVariantMap& window)
{
    const QVariant* number = member(window, Key::windowNumber);
    const auto id = number ? signedValue(*number) : std::nullopt;
    if (!id)
        return std::nullopt;
    const QVariant* layer = member(window, Key::windowLayer);
    const auto layerValue = layer ? signedValue(*layer) : std::nullopt;
    if (!layerValue || *layerValue != 0)
        return std::nullopt;
    const auto [width, height] = boundsSize(member(window, Key::windowBounds));
    if (!width || !height || !(*width > 80) || !(*height > 60))
        return std::nullopt;
    const QVariant* owner = member(window, Key::windowOwnerPID);
    const qint32 pid = owner ? int32Value(*owner).value_or(0) : 0;
    return WindowInfo{*id, pid};
}

} // namespace SkyLight

size_t qHash(const SkyLight::Space& space, size_t seed) noexcept
{
    return qHashMulti(seed, space.id, space.managedID, space.type, space.displayUUID);
}
