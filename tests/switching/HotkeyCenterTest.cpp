#include "SwitchingWorld.h"

#include "platform/KeyCodes.h"
#include "platform/KeyEvents.h"
#include "platform/SystemLog.h"
#include "platform/sim/HotKeys.h"
#include "switching/HotkeyCenter.h"

namespace KeyCode = platform::KeyCode;

using namespace switching_test;

namespace {

const Hotkey controlOptionSpace{49, 0x1800};
const Hotkey controlOptionA{0, 0x1800};

// Presses the combination on the simulated keyboard and lets the event
// manager deliver it.
void press(const Hotkey& hotkey, platform::ManualScheduler& clock)
{
    for (bool down : {true, false}) {
        auto event = platform::KeyEvents::createKeyboardEvent(nullptr, quint16(hotkey.keyCode), down);
        platform::KeyEvents::setFlags(*event, hotkey.eventModifiers());
        platform::KeyEvents::post(platform::EventTapLocation::hid, *event);
    }
    clock.runPending();
}

QList<quint32> registeredOwnIDs()
{
    QList<quint32> ids;
    for (const auto& hotkey : platform::sim::registeredHotKeys()) {
        EXPECT_EQ(hotkey.id.signature, platform::fourCharCode("QVLN"));
        ids.append(hotkey.id.id);
    }
    return ids;
}

class HotkeyCenterTest : public SwitchingWorld {
protected:
    HotkeyCenter& center() { return HotkeyCenter::shared(); }
    QStringList fired;
};

} // namespace

TEST_F(HotkeyCenterTest, RegisteredHotkeyRunsItsActionWhenPressed)
{
    center().registerHotkey(controlOptionSpace, [this] { fired << "space"; });
    center().registerHotkey(controlOptionA, [this] { fired << "a"; });
    EXPECT_EQ(registeredOwnIDs(), (QList<quint32>{1, 2}));
    press(controlOptionSpace, clock());
    press(controlOptionA, clock());
    press(Hotkey{KeyCode::space, 0x1000}, clock());
    EXPECT_EQ(fired, (QStringList{"space", "a"}));
}

TEST_F(HotkeyCenterTest, SuspendedRegistryStoresAndResumeRegistersUnderTheSameIds)
{
    center().registerHotkey(controlOptionSpace, [this] { fired << "space"; });
    center().suspend();
    EXPECT_TRUE(registeredOwnIDs().isEmpty());
    center().registerHotkey(controlOptionA, [this] { fired << "a"; });
    EXPECT_TRUE(registeredOwnIDs().isEmpty());
    EXPECT_EQ(center().entryCount(), 2u);
    press(controlOptionSpace, clock());
    EXPECT_TRUE(fired.isEmpty());

    center().suspend();
    center().resume();
    center().resume();
    EXPECT_EQ(registeredOwnIDs(), (QList<quint32>{1, 2}));
    EXPECT_FALSE(center().isSuspended());
    press(controlOptionA, clock());
    EXPECT_EQ(fired, QStringList{"a"});
    EXPECT_TRUE(platform::SystemLog::lines().isEmpty());
}

TEST_F(HotkeyCenterTest, IdsKeepGrowingAfterUnregisterAll)
{
    center().registerHotkey(controlOptionSpace, [] {});
    center().registerHotkey(controlOptionA, [] {});
    center().unregisterAll();
    EXPECT_TRUE(registeredOwnIDs().isEmpty());
    EXPECT_EQ(center().entryCount(), 0u);
    center().registerHotkey(controlOptionSpace, [] {});
    EXPECT_EQ(registeredOwnIDs(), QList<quint32>{3});
}

TEST_F(HotkeyCenterTest, SecondRegistrationOfACombinationIsLoggedAndNeverFires)
{
    center().registerHotkey(controlOptionSpace, [this] { fired << "first"; });
    center().registerHotkey(controlOptionSpace, [this] { fired << "second"; });
    EXPECT_EQ(registeredOwnIDs(), QList<quint32>{1});
    EXPECT_EQ(platform::SystemLog::lines(),
              QStringList{QString::fromUtf8("Tessaroom: could not register hotkey \u2303\u2325Space (status -9878)")});
    press(controlOptionSpace, clock());
    EXPECT_EQ(fired, QStringList{"first"});
}

TEST_F(HotkeyCenterTest, PressArrivingAfterItsEntryWasRemovedRunsNothing)
{
    center().registerHotkey(controlOptionSpace, [this] { fired << "old"; });
    auto event = platform::KeyEvents::createKeyboardEvent(nullptr, 49, true);
    platform::KeyEvents::setFlags(*event, controlOptionSpace.eventModifiers());
    platform::KeyEvents::post(platform::EventTapLocation::hid, *event);
    center().unregisterAll();
    center().registerHotkey(controlOptionSpace, [this] { fired << "new"; });
    clock().runPending();
    EXPECT_TRUE(fired.isEmpty());
}

TEST_F(HotkeyCenterTest, EventsForUnknownIdsOrWithoutIdAreIgnored)
{
    center().registerHotkey(controlOptionSpace, [this] { fired << "space"; });
    platform::sim::deliverHotKeyEvent(std::nullopt);
    platform::sim::deliverHotKeyEvent(platform::EventHotKeyID{HotkeyCenter::signature, 77});
    // The signature is not compared, only the id.
    platform::sim::deliverHotKeyEvent(platform::EventHotKeyID{0, 1});
    clock().runPending();
    EXPECT_EQ(fired, QStringList{"space"});
}

TEST_F(HotkeyCenterTest, ActionMayReplaceEveryEntryWhileItRuns)
{
    center().registerHotkey(controlOptionSpace, [this] {
        fired << "space";
        center().unregisterAll();
        center().registerHotkey(controlOptionA, [this] { fired << "a"; });
    });
    press(controlOptionSpace, clock());
    press(controlOptionA, clock());
    EXPECT_EQ(fired, (QStringList{"space", "a"}));
}
