#include "platform/sim/DesktopShortcuts.h"

#include "platform/KeyCodes.h"
#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"
#include "platform/Scheduler.h"
#include "platform/sim/World.h"

#include <QVariantList>

#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace platform::sim {

namespace {

constexpr EventFlags modifierFlags = EventFlag::control | EventFlag::option | EventFlag::shift | EventFlag::command;
constexpr int firstDesktopEntry = 118;
constexpr int desktopEntries = 10;
constexpr int moveLeftEntry = 79;
constexpr int moveRightEntry = 81;

struct Shortcut {
    int entry = 0;
    qint64 keyCode = 0;
    EventFlags modifiers = 0;
};

// Where a display is heading while switch animations run.
struct Animation {
    quint64 target = 0;
    int running = 0;
};

struct DockState {
    std::vector<Shortcut> shortcuts;
    std::map<QString, Animation> animations;
};

std::shared_ptr<DockState>& dockStateSlot()
{
    static std::shared_ptr<DockState> state;
    return state;
}

std::optional<qint64> integer(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (std::isfinite(number) && std::trunc(number) == number && std::abs(number) < 9.0e15)
            return qint64(number);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

bool isEnabled(const QVariantMap& entry)
{
    const QVariant enabled = entry.value(QStringLiteral("enabled"));
    if (enabled.typeId() == QMetaType::Bool)
        return enabled.toBool();
    return integer(enabled) == 1 && enabled.typeId() != QMetaType::Double;
}

// The shortcut of one entry; none when it is off. A move entry that is on but
// unreadable, or missing, falls back to Control + arrow.
std::optional<Shortcut> readEntry(const QVariantMap& table, int number, std::optional<Shortcut> fallback)
{
    const QVariant stored = table.value(QString::number(number));
    if (stored.typeId() != QMetaType::QVariantMap)
        return fallback;
    const QVariantMap entry = stored.toMap();
    if (!isEnabled(entry))
        return std::nullopt;
    const QVariantList parameters =
        entry.value(QStringLiteral("value")).toMap().value(QStringLiteral("parameters")).toList();
    if (parameters.size() < 3)
        return fallback;
    const auto keyCode = integer(parameters.at(1));
    const auto mask = integer(parameters.at(2));
    if (!keyCode || !mask)
        return fallback;
    return Shortcut{number, *keyCode, EventFlags(*mask) & modifierFlags};
}

std::vector<Shortcut> loadShortcuts()
{
    const QVariant stored = PreferenceDomain::named(QStringLiteral("com.apple.symbolichotkeys"))
                                .object(QStringLiteral("AppleSymbolicHotKeys"));
    const QVariantMap table = stored.toMap();
    std::vector<Shortcut> shortcuts;
    for (int n = 0; n < desktopEntries; ++n) {
        if (auto shortcut = readEntry(table, firstDesktopEntry + n, std::nullopt))
            shortcuts.push_back(*shortcut);
    }
    if (auto left = readEntry(table, moveLeftEntry, Shortcut{moveLeftEntry, KeyCode::leftArrow, EventFlag::control}))
        shortcuts.push_back(*left);
    if (auto right = readEntry(table, moveRightEntry, Shortcut{moveRightEntry, KeyCode::rightArrow, EventFlag::control}))
        shortcuts.push_back(*right);
    return shortcuts;
}

DockState& dockState()
{
    auto& slot = dockStateSlot();
    if (!slot) {
        slot = std::make_shared<DockState>();
        slot->shortcuts = loadShortcuts();
        registerSharedReset([] { dockStateSlot().reset(); });
    }
    return *slot;
}

void animateTo(const QString& uuid, quint64 spaceID)
{
    Animation& animation = dockState().animations[uuid];
    animation.target = spaceID;
    ++animation.running;
    std::weak_ptr<DockState> weak = dockStateSlot();
    Scheduler::current().schedule(desktopSwitchAnimation, [weak, uuid, spaceID] {
        auto dock = weak.lock();
        if (!dock)
            return;
        World::shared().setCurrentSpace(uuid, spaceID);
        auto it = dock->animations.find(uuid);
        if (it != dock->animations.end() && --it->second.running == 0)
            dock->animations.erase(it);
    });
}

void switchToDesktop(int number)
{
    int count = 0;
    for (const DisplaySpec& display : World::shared().displays()) {
        for (const SpaceSpec& space : display.spaces) {
            if (space.type == 0 && ++count == number) {
                animateTo(display.uuid, space.id);
                return;
            }
        }
    }
}

void moveOneSpace(int delta)
{
    World& world = World::shared();
    const QList<DisplaySpec> displays = world.displays();
    if (displays.isEmpty())
        return;
    const QString uuid = world.activeMenuBarDisplay().value_or(displays.first().uuid);
    const auto display = world.display(uuid);
    if (!display)
        return;
    const DockState& dock = dockState();
    auto heading = dock.animations.find(uuid);
    const auto from = heading != dock.animations.end() ? std::optional<quint64>(heading->second.target)
                                                       : world.currentSpace(uuid);
    if (!from)
        return;
    const QList<SpaceSpec>& spaces = display->spaces;
    for (qsizetype i = 0; i < spaces.size(); ++i) {
        if (spaces[i].id != *from)
            continue;
        const qsizetype next = i + delta;
        if (next >= 0 && next < spaces.size())
            animateTo(uuid, spaces[next].id);
        return;
    }
}

} // namespace

void restartDock()
{
    DockState& dock = dockState();
    dock.shortcuts = loadShortcuts();
}

bool pressDesktopShortcut(quint16 keyCode, EventFlags flags)
{
    const EventFlags modifiers = flags & modifierFlags;
    const std::vector<Shortcut> shortcuts = dockState().shortcuts;
    for (const Shortcut& shortcut : shortcuts) {
        if (shortcut.keyCode != keyCode || shortcut.modifiers != modifiers)
            continue;
        if (shortcut.entry == moveLeftEntry)
            moveOneSpace(-1);
        else if (shortcut.entry == moveRightEntry)
            moveOneSpace(1);
        else
            switchToDesktop(shortcut.entry - firstDesktopEntry + 1);
        return true;
    }
    return false;
}

} // namespace platform::sim
