#include "platform/HotKeys.h"
#include "platform/KeyEvents.h"
#include "platform/PreferenceDomain.h"
#include "platform/EventSource.h"
#include "platform/KeyCodes.h"
#include "platform/sim/DesktopShortcuts.h"
#include "platform/sim/HotKeys.h"
#include "platform/sim/Keyboard.h"
#include "platform/sim/World.h"
#include "support/PlatformTest.h"

#include <QVariantList>
#include <QVariantMap>

using namespace platform;

namespace {

const QString mainDisplay = QStringLiteral("MAIN-DISPLAY");
constexpr EventFlags controlFlag = EventFlag::control;

QVariantMap entry(QVariant enabled, qint64 keyCode, qint64 mask)
{
    const QVariantMap value{{"parameters", QVariantList{qint64(65535), keyCode, mask}}, {"type", "standard"}};
    QVariantMap result{{"value", value}};
    if (enabled.isValid())
        result.insert("enabled", enabled);
    return result;
}

void writeShortcuts(const QVariantMap& table)
{
    PreferenceDomain::named("com.apple.symbolichotkeys").setObject("AppleSymbolicHotKeys", table);
}

// One display whose spaces are 100, 101, ... (all desktops), showing 100.
void makeDisplay(int spaces)
{
    sim::World& world = sim::World::shared();
    world.clear();
    sim::DisplaySpec display;
    display.uuid = mainDisplay;
    for (int i = 0; i < spaces; ++i)
        display.spaces.append(sim::SpaceSpec{quint64(100 + i), 100 + i, 0, std::nullopt});
    display.currentSpaceID = 100;
    world.addDisplay(display);
}

void pressKey(quint16 keyCode, EventFlags flags)
{
    auto down = KeyEvents::createKeyboardEvent(nullptr, keyCode, true);
    auto up = KeyEvents::createKeyboardEvent(nullptr, keyCode, false);
    ASSERT_TRUE(down && up);
    KeyEvents::setFlags(*down, flags);
    KeyEvents::setFlags(*up, flags);
    KeyEvents::post(EventTapLocation::hid, *down);
    KeyEvents::post(EventTapLocation::hid, *up);
}

quint64 current()
{
    return sim::World::shared().currentSpace(mainDisplay).value_or(0);
}

class SimKeyboardTest : public PlatformTest {
protected:
    SimKeyboardTest() { makeDisplay(5); }

    // Installs a hot-key handler that records the ids it reads.
    void recordHotKeys()
    {
        HotKeys::installEventHandler(
            HotKeys::applicationEventTarget(),
            [this](EventRef event) {
                EventHotKeyID id;
                received.append(HotKeys::getEventParameter(event, kEventParamDirectObject, typeEventHotKeyID, &id)
                                        == Status::noErr
                                    ? qint64(id.id)
                                    : -1);
                return Status::noErr;
            },
            {{kEventClassKeyboard, kEventHotKeyPressed}}, nullptr);
    }

    QList<qint64> received;
};

} // namespace

TEST_F(SimKeyboardTest, RegisteredHotKeyFiresFromTheMainQueueWithItsId)
{
    recordHotKeys();
    EventHotKeyRef ref = 0;
    ASSERT_EQ(HotKeys::registerEventHotKey(20, CarbonModifiers::control | CarbonModifiers::option,
                                           {fourCharCode("QVLN"), 7}, HotKeys::applicationEventTarget(), 0, &ref),
              Status::noErr);
    // Caps Lock and the device bits do not take part in the match.
    pressKey(20, EventFlag::control | EventFlag::option | EventFlag::capsLock | EventFlag::numericPad);
    EXPECT_TRUE(received.isEmpty());
    clock().runPending();
    EXPECT_EQ(received, QList<qint64>{7});

    // Other modifiers, or the key alone, are another combination.
    pressKey(20, EventFlag::control);
    pressKey(20, EventFlag::control | EventFlag::option | EventFlag::shift);
    clock().runPending();
    EXPECT_EQ(received, QList<qint64>{7});

    EXPECT_EQ(HotKeys::unregisterEventHotKey(ref), Status::noErr);
    EXPECT_EQ(HotKeys::unregisterEventHotKey(ref), Status::eventHotKeyInvalidErr);
    pressKey(20, EventFlag::control | EventFlag::option);
    clock().runPending();
    EXPECT_EQ(received, QList<qint64>{7});
}

TEST_F(SimKeyboardTest, TakenCombinationIsRefusedUntilReleased)
{
    EventHotKeyRef first = 0;
    EventHotKeyRef second = 0;
    const auto target = HotKeys::applicationEventTarget();
    ASSERT_EQ(HotKeys::registerEventHotKey(49, 0x1800, {1, 1}, target, 0, &first), Status::noErr);
    EXPECT_EQ(HotKeys::registerEventHotKey(49, 0x1800, {1, 2}, target, 0, &second), Status::eventHotKeyExistsErr);
    EXPECT_EQ(second, 0u);
    EXPECT_EQ(HotKeys::registerEventHotKey(49, 0x1000, {1, 3}, target, 0, &second), Status::noErr);
    HotKeys::unregisterEventHotKey(first);
    EXPECT_EQ(HotKeys::registerEventHotKey(49, 0x1800, {1, 4}, target, 0, &first), Status::noErr);
    ASSERT_EQ(sim::registeredHotKeys().size(), 2u);
    EXPECT_EQ(sim::registeredHotKeys().back().id.id, 4u);
}

TEST_F(SimKeyboardTest, EventWithoutHotKeyParameterLeavesTheIdUntouched)
{
    recordHotKeys();
    sim::deliverHotKeyEvent(std::nullopt);
    sim::deliverHotKeyEvent(EventHotKeyID{fourCharCode("QVLN"), 9});
    clock().runPending();
    EXPECT_EQ(received, (QList<qint64>{-1, 9}));
}

TEST_F(SimKeyboardTest, EventsPostedWithoutAccessibilityAreDropped)
{
    recordHotKeys();
    EventHotKeyRef ref = 0;
    HotKeys::registerEventHotKey(20, CarbonModifiers::control, {1, 1}, HotKeys::applicationEventTarget(), 0, &ref);
    sim::World::shared().setTrusted(false);
    sim::World::shared().setSecondsSinceLastEvent(EventSource::EventType::keyDown, 50);
    pressKey(20, controlFlag);
    advance(1);
    EXPECT_TRUE(received.isEmpty());
    ASSERT_EQ(sim::postedKeyEvents().size(), 2u);
    EXPECT_FALSE(sim::postedKeyEvents().front().delivered);
    EXPECT_DOUBLE_EQ(sim::World::shared().secondsSinceLastEvent(EventSource::EventType::keyDown), 51);

    sim::World::shared().setTrusted(true);
    pressKey(20, controlFlag);
    EXPECT_DOUBLE_EQ(sim::World::shared().secondsSinceLastEvent(EventSource::EventType::keyDown), 0);
    clock().runPending();
    EXPECT_EQ(received.size(), 1);
}

TEST_F(SimKeyboardTest, EnabledDesktopShortcutSwitchesAfterTheAnimation)
{
    writeShortcuts({{"120", entry(true, 20, 262144)}, {"121", entry(false, 21, 262144)}});
    sim::restartDock();
    pressKey(20, controlFlag);
    EXPECT_EQ(current(), 100u);
    advance(sim::desktopSwitchAnimation - 0.01);
    EXPECT_EQ(current(), 100u);
    advance(0.01);
    EXPECT_EQ(current(), 102u);

    pressKey(21, controlFlag); // turned off
    pressKey(20, EventFlag::control | EventFlag::command); // other modifiers
    advance(1);
    EXPECT_EQ(current(), 102u);
}

TEST_F(SimKeyboardTest, DockSeesNewShortcutsOnlyAfterItRestarts)
{
    writeShortcuts({{"119", entry(false, 19, 262144)}});
    sim::restartDock();
    writeShortcuts({{"119", entry(true, 19, 262144)}});
    pressKey(19, controlFlag);
    advance(1);
    EXPECT_EQ(current(), 100u);

    sim::restartDock();
    pressKey(19, controlFlag);
    advance(1);
    EXPECT_EQ(current(), 101u);
}

TEST_F(SimKeyboardTest, IntegerOneCountsAsEnabledAndExtraMaskBitsAreIgnored)
{
    // Desktop 4 with Control + Option, stored with the function-key bit.
    writeShortcuts({{"121", entry(qint64(1), 21, 0x40000 | 0x80000 | 0x800000)}});
    sim::restartDock();
    pressKey(21, EventFlag::control | EventFlag::option);
    advance(1);
    EXPECT_EQ(current(), 103u);
}

TEST_F(SimKeyboardTest, ArrowPressesInQuickSuccessionWalkSeveralSpaces)
{
    sim::restartDock(); // no entries: Control + arrows are on by default
    for (int i = 0; i < 3; ++i) {
        pressKey(124, controlFlag | 0xA00000);
        advance(0.06);
    }
    advance(1);
    EXPECT_EQ(current(), 103u);

    pressKey(124, controlFlag);
    pressKey(124, controlFlag); // past the last space: nothing
    advance(1);
    EXPECT_EQ(current(), 104u);

    sim::World::shared().setCurrentSpace(mainDisplay, 100);
    pressKey(123, controlFlag); // before the first: nothing
    advance(1);
    EXPECT_EQ(current(), 100u);
}

TEST_F(SimKeyboardTest, DisabledMoveEntryTurnsArrowsOff)
{
    writeShortcuts({{"81", entry(false, 124, 262144)}});
    sim::restartDock();
    pressKey(124, controlFlag);
    advance(1);
    EXPECT_EQ(current(), 100u);
}

TEST_F(SimKeyboardTest, DesktopShortcutNumbersDesktopsOverEveryDisplayAndSkipsOtherSpaces)
{
    sim::World& world = sim::World::shared();
    world.clear();
    sim::DisplaySpec first;
    first.uuid = "A";
    first.spaces = {{1, 1, 0, std::nullopt}, {2, 2, 4, std::nullopt}, {3, 3, 0, std::nullopt}};
    sim::DisplaySpec second;
    second.uuid = "B";
    second.spaces = {{7, 7, 0, std::nullopt}, {8, 8, 0, std::nullopt}};
    world.addDisplay(first);
    world.addDisplay(second);
    writeShortcuts({{"120", entry(true, 20, 262144)}, {"121", entry(true, 21, 262144)}});
    sim::restartDock();
    pressKey(20, controlFlag);
    pressKey(21, controlFlag);
    advance(1);
    EXPECT_EQ(world.currentSpace("A"), 1u);
    EXPECT_EQ(world.currentSpace("B"), 8u);
}

TEST_F(SimKeyboardTest, HotKeyWinsOverTheDesktopShortcut)
{
    writeShortcuts({{"119", entry(true, 19, 262144)}});
    sim::restartDock();
    recordHotKeys();
    EventHotKeyRef ref = 0;
    HotKeys::registerEventHotKey(19, CarbonModifiers::control, {1, 5}, HotKeys::applicationEventTarget(), 0, &ref);
    pressKey(19, controlFlag);
    advance(1);
    EXPECT_EQ(received, QList<qint64>{5});
    EXPECT_EQ(current(), 100u);
}

TEST_F(SimKeyboardTest, LocalMonitorsSeeTheirEventTypesInOrderAndMaySwallow)
{
    QStringList seen;
    const auto keyDownMask = KeyEvents::maskFor(KeyEventType::keyDown);
    const auto first = KeyEvents::addLocalMonitor(keyDownMask, [&](const KeyEvent& event) -> std::optional<KeyEvent> {
        seen << QStringLiteral("first %1").arg(event.keyCode);
        KeyEvent changed = event;
        changed.keyCode = KeyCode::f3;
        return changed;
    });
    KeyEvents::addLocalMonitor(keyDownMask | KeyEvents::maskFor(KeyEventType::flagsChanged),
                               [&](const KeyEvent& event) -> std::optional<KeyEvent> {
                                   seen << QStringLiteral("second %1").arg(event.keyCode);
                                   if (event.type == KeyEventType::flagsChanged)
                                       return std::nullopt;
                                   return event;
                               });
    EXPECT_EQ(sim::localMonitorCount(), 2);

    const auto passed = sim::deliverLocalEvent({KeyEventType::keyDown, KeyCode::q, 0, "q"});
    ASSERT_TRUE(passed);
    EXPECT_EQ(passed->keyCode, KeyCode::f3);
    EXPECT_FALSE(sim::deliverLocalEvent({KeyEventType::flagsChanged, 56, EventFlag::shift, {}}));
    EXPECT_TRUE(sim::deliverLocalEvent({KeyEventType::keyUp, KeyCode::q, 0, "q"}));
    EXPECT_EQ(seen, (QStringList{"first 12", "second 99", "second 56"}));

    KeyEvents::removeMonitor(first);
    EXPECT_EQ(sim::deliverLocalEvent({KeyEventType::keyDown, KeyCode::q, 0, "q"})->keyCode, KeyCode::q);
}
