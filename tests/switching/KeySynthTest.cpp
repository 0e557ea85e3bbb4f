#include "SwitchingWorld.h"

#include "platform/KeyCodes.h"
#include "platform/sim/Keyboard.h"
#include "switching/KeySynth.h"

namespace KeyCode = platform::KeyCode;

using namespace switching_test;
using platform::KeyEventType;

namespace {

struct Posted {
    bool down;
    quint16 keyCode;
    platform::EventFlags flags;
    bool operator==(const Posted&) const = default;
};

std::vector<Posted> posted()
{
    std::vector<Posted> events;
    for (const auto& event : platform::sim::postedKeyEvents())
        events.push_back({event.event.type == KeyEventType::keyDown, event.event.keyCode, event.event.flags});
    return events;
}

class KeySynthTest : public SwitchingWorld {};

} // namespace

TEST_F(KeySynthTest, ControlTravelsAsItsOwnKeyAroundTheKey)
{
    KeySynth::press(KeyCode::digit3, 0x40000);
    EXPECT_EQ(posted(), (std::vector<Posted>{{true, KeyCode::control, 0x40000}, {true, KeyCode::digit3, 0x40000}, {false, KeyCode::digit3, 0x40000},
                                             {false, KeyCode::control, 0}}));
    for (const auto& event : platform::sim::postedKeyEvents())
        EXPECT_EQ(event.tap, platform::EventTapLocation::hid);
}

TEST_F(KeySynthTest, ArrowKeysCarryTheFunctionAndKeypadFlags)
{
    KeySynth::press(KeyCode::rightArrow, 0x40000);
    EXPECT_EQ(posted(), (std::vector<Posted>{{true, KeyCode::control, 0x40000}, {true, KeyCode::rightArrow, 0xA40000}, {false, KeyCode::rightArrow, 0xA40000},
                                             {false, KeyCode::control, 0}}));
    platform::sim::clearPostedKeyEvents();
    KeySynth::press(KeyCode::downArrow, 0);
    EXPECT_EQ(posted(), (std::vector<Posted>{{true, KeyCode::downArrow, 0xA00000}, {false, KeyCode::downArrow, 0xA00000}}));
}

TEST_F(KeySynthTest, OtherModifiersTravelOnlyAsFlags)
{
    KeySynth::press(KeyCode::digit3, 0x80000);
    EXPECT_EQ(posted(), (std::vector<Posted>{{true, KeyCode::digit3, 0x80000}, {false, KeyCode::digit3, 0x80000}}));
}

TEST_F(KeySynthTest, KeyCodeOutsideTheEventRangePostsNothing)
{
    // 65556 would otherwise become key 20, the 3 key.
    KeySynth::press(65556, 0x40000);
    KeySynth::press(-1, 0);
    EXPECT_TRUE(posted().empty());
    EXPECT_EQ(switchLog(), (QStringList{"could not press key code 65556: key codes run from 0 to 65535",
                                        "could not press key code -1: key codes run from 0 to 65535"}));
    KeySynth::press(65535, 0);
    EXPECT_EQ(posted().size(), 2u);
}

TEST_F(KeySynthTest, EventThatCannotBeMadeIsSkippedAndTheRestPosted)
{
    platform::sim::failKeyEventCreation(1);
    platform::sim::failEventSourceCreation(true);
    KeySynth::press(KeyCode::digit3, 0x40000);
    EXPECT_EQ(posted(), (std::vector<Posted>{{true, KeyCode::digit3, 0x40000}, {false, KeyCode::digit3, 0x40000}, {false, KeyCode::control, 0}}));
}
