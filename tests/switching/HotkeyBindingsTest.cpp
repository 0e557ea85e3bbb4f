#include "SwitchingWorld.h"

#include "platform/KeyCodes.h"
#include "platform/KeyEvents.h"
#include "platform/SystemLog.h"
#include "platform/sim/HotKeys.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "switching/AppActions.h"
#include "switching/HotkeyBindings.h"
#include "switching/HotkeyCenter.h"

namespace KeyCode = platform::KeyCode;

using namespace switching_test;
using platform::sim::World;

namespace {

class FakeApp final : public AppActions {
public:
    void toggleQuickSwitcher() override { ++quickSwitcherToggles; }
    void togglePresentation() override { ++presentationToggles; }
    void toast(const QString& text, const QString& symbol, double duration) override
    {
        toasts.append(text + " | " + symbol + " | " + QString::number(duration));
    }

    int quickSwitcherToggles = 0;
    int presentationToggles = 0;
    QStringList toasts;
};

constexpr quint32 controlOption = 0x1800;

QStringList registered()
{
    QStringList combos;
    for (const auto& hotkey : platform::sim::registeredHotKeys())
        combos.append(Hotkey{hotkey.keyCode, hotkey.modifiers}.display());
    return combos;
}

QList<quint32> registeredIDs()
{
    QList<quint32> ids;
    for (const auto& hotkey : platform::sim::registeredHotKeys())
        ids.append(hotkey.id.id);
    return ids;
}

class HotkeyBindingsTest : public SwitchingWorld {
protected:
    HotkeyBindingsTest()
    {
        setUp({desktops(mainDisplay, 4, 11)}, {});
        Settings::shared().setNativeSwitching(false);
    }

    void press(const Hotkey& hotkey)
    {
        auto event = platform::KeyEvents::createKeyboardEvent(nullptr, quint16(hotkey.keyCode), true);
        platform::KeyEvents::setFlags(*event, hotkey.eventModifiers());
        platform::KeyEvents::post(platform::EventTapLocation::hid, *event);
        advance(2);
    }

    void giveShortcut(qint64 number, std::optional<Hotkey> hotkey)
    {
        SpaceStore::shared().change(desktop(number).managedID(), [&](SpaceMeta& meta) { meta.hotkey = hotkey; });
    }

    // Notes of the switches logged so far.
    static QStringList reasons()
    {
        QStringList notes;
        for (const QString& line : switchLog())
            notes.append(line.section(QStringLiteral(" ["), 0, 0));
        return notes;
    }

    FakeApp app;
    HotkeyBindings bindings{app};
};

} // namespace

TEST_F(HotkeyBindingsTest, DefaultsRegisterGlobalNumberAndMoveShortcutsInOrder)
{
    bindings.apply();
    const QStringList combos = registered();
    ASSERT_EQ(combos.size(), 25);
    EXPECT_EQ(combos.mid(0, 5), (QStringList{QString::fromUtf8("\u2303\u2325Space"), QString::fromUtf8("\u2303\u2325\u21E5"),
                                             QString::fromUtf8("\u2303\u2325\u2192"), QString::fromUtf8("\u2303\u2325\u2190"),
                                             QString::fromUtf8("\u2303\u2325P")}));
    EXPECT_EQ(combos[5], QString::fromUtf8("\u2303\u23251"));
    EXPECT_EQ(combos[6], QString::fromUtf8("\u2303\u2325\u21E71"));
    EXPECT_EQ(combos[23], QString::fromUtf8("\u2303\u23250"));
    EXPECT_EQ(combos[24], QString::fromUtf8("\u2303\u2325\u21E70"));
    EXPECT_EQ(platform::sim::registeredHotKeys()[23].keyCode, 29u);
}

TEST_F(HotkeyBindingsTest, ApplyingAgainWithNothingChangedRegistersNothing)
{
    bindings.apply();
    const QList<quint32> ids = registeredIDs();
    bindings.apply();
    EXPECT_EQ(registeredIDs(), ids);
    // A new name changes nothing that matters.
    SpaceStore::shared().change(desktop(2).managedID(), [](SpaceMeta& meta) { meta.name = "Mail"; });
    bindings.apply();
    EXPECT_EQ(registeredIDs(), ids);

    Settings::shared().setDirectJumpModifiers(0x1100);
    bindings.apply();
    EXPECT_NE(registeredIDs(), ids);
    EXPECT_TRUE(registered().contains(QString::fromUtf8("\u2303\u23183")));
}

TEST_F(HotkeyBindingsTest, EveryGlobalHotkeyRunsItsAction)
{
    bindings.apply();
    press(Hotkey{KeyCode::space, controlOption});
    EXPECT_EQ(app.quickSwitcherToggles, 1);
    press(Hotkey{KeyCode::p, controlOption});
    EXPECT_EQ(app.presentationToggles, 1);

    press(Hotkey{KeyCode::rightArrow, controlOption}); // next
    EXPECT_EQ(current(), 12u);
    press(Hotkey{KeyCode::leftArrow, controlOption}); // previous
    EXPECT_EQ(current(), 11u);
    press(Hotkey{KeyCode::leftArrow, controlOption}); // previous wraps to the last
    EXPECT_EQ(current(), 14u);
    press(Hotkey{KeyCode::tab, controlOption}); // jump back
    EXPECT_EQ(current(), 11u);
    EXPECT_EQ(reasons(), (QStringList{"step", "step", "step", "jump back"}));
}

TEST_F(HotkeyBindingsTest, NumberShortcutsSwitchAndMissingDesktopsDoNothing)
{
    bindings.apply();
    press(*Hotkey::digit(3, controlOption));
    EXPECT_EQ(current(), 13u);
    press(*Hotkey::digit(4, controlOption));
    EXPECT_EQ(current(), 14u);
    press(*Hotkey::digit(7, controlOption)); // there are four desktops
    press(*Hotkey::digit(10, controlOption));
    EXPECT_EQ(current(), 14u);
    EXPECT_EQ(reasons(), (QStringList{"hotkey", "hotkey"}));
}

TEST_F(HotkeyBindingsTest, DesktopsOwnShortcutTakesItsNumberShortcutsPlace)
{
    const Hotkey controlOption3 = *Hotkey::digit(3, controlOption);
    giveShortcut(1, controlOption3);
    bindings.apply();
    const QStringList combos = registered();
    EXPECT_EQ(combos.count(controlOption3.display()), 1);
    EXPECT_EQ(combos.size(), 25) << "nine number shortcuts, ten move shortcuts, one own";
    EXPECT_TRUE(platform::SystemLog::lines().isEmpty());

    World::shared().setCurrentSpace(mainDisplay, 14);
    engine().refresh(false);
    press(controlOption3);
    EXPECT_EQ(current(), 11u);
    EXPECT_EQ(reasons(), QStringList{"space hotkey"});

    // Dropping the shortcut hands the combination back to the number shortcut.
    giveShortcut(1, std::nullopt);
    bindings.apply();
    press(controlOption3);
    EXPECT_EQ(current(), 13u);
    EXPECT_EQ(reasons(), (QStringList{"space hotkey", "hotkey"}));
}

TEST_F(HotkeyBindingsTest, DesktopShortcutFollowsItsDesktopAndIgnoresOneThatIsGone)
{
    giveShortcut(4, Hotkey{KeyCode::a, 0x1100}); // ⌃⌘A
    bindings.apply();
    World::shared().removeSpace(12); // desktop 4 is now number 3
    engine().refresh(false);
    press(Hotkey{KeyCode::a, 0x1100});
    EXPECT_EQ(current(), 14u);
    World::shared().setCurrentSpace(mainDisplay, 11);
    World::shared().removeSpace(14);
    engine().refresh(false);
    press(Hotkey{KeyCode::a, 0x1100});
    EXPECT_EQ(current(), 11u);
    EXPECT_EQ(reasons(), QStringList{"space hotkey"});
}

TEST_F(HotkeyBindingsTest, OnlyMoveShortcutsWhenNumberShortcutsAreOff)
{
    Settings::shared().setDirectJumpEnabled(false);
    Settings::shared().setSwitcherHotkey(std::nullopt);
    Settings::shared().setJumpBackHotkey(std::nullopt);
    Settings::shared().setNextHotkey(std::nullopt);
    Settings::shared().setPrevHotkey(std::nullopt);
    Settings::shared().setPresentationHotkey(std::nullopt);
    bindings.apply();
    QStringList expected;
    for (int n = 1; n <= 10; ++n)
        expected.append(Hotkey::digit(n, controlOption | 0x200)->display());
    EXPECT_EQ(registered(), expected);
}

TEST_F(HotkeyBindingsTest, MoveShortcutSendsTheFrontWindowAndToastsWhenNotFollowing)
{
    World& world = World::shared();
    world.addApp({501, "com.example.mail", QString("Mail"), {}, platform::ActivationPolicy::regular, std::nullopt,
                  false, false});
    world.addWindow({101, 501, 0, QRectF(100, 100, 800, 600), {11}});
    world.setFrontmostApp(501);
    bindings.apply();
    press(*Hotkey::digit(2, controlOption | 0x200));
    EXPECT_EQ(world.window(101)->spaces, QList<quint64>{12});
    EXPECT_EQ(app.toasts, QStringList{"Moved Mail to Desktop 2 | arrow.right.doc.on.clipboard | 1.4"});
    EXPECT_EQ(current(), 11u);

    // Following the window (on screen again): a switch, no toast.
    world.setCurrentSpace(mainDisplay, 12);
    engine().refresh(false);
    Settings::shared().setMoveFollow(true);
    press(*Hotkey::digit(3, controlOption | 0x200));
    EXPECT_EQ(world.window(101)->spaces, QList<quint64>{13});
    EXPECT_EQ(current(), 13u);
    EXPECT_EQ(app.toasts.size(), 1);
    ASSERT_EQ(reasons().size(), 2);
    EXPECT_EQ(reasons()[0], "move window");
    EXPECT_EQ(switchLog()[1], "brought Mail to the front: accessibility=ok activate=accepted");
}

TEST_F(HotkeyBindingsTest, MoveToastNamesAWindowWhenTheAppHasNoName)
{
    World& world = World::shared();
    world.addApp({502, "com.example.tool", std::nullopt, {}, platform::ActivationPolicy::regular, std::nullopt, false,
                  false});
    world.addWindow({102, 502, 0, QRectF(0, 0, 400, 300), {11}});
    world.setFrontmostApp(502);
    bindings.apply();
    press(*Hotkey::digit(4, controlOption | 0x200));
    EXPECT_EQ(app.toasts, QStringList{"Moved window to Desktop 4 | arrow.right.doc.on.clipboard | 1.4"});

    // Nothing in front: nothing moves, nothing is said.
    world.setFrontmostApp(std::nullopt);
    press(*Hotkey::digit(1, controlOption | 0x200));
    EXPECT_EQ(app.toasts.size(), 1);
    // A move shortcut for a desktop that does not exist does nothing.
    world.setFrontmostApp(502);
    press(*Hotkey::digit(9, controlOption | 0x200));
    EXPECT_EQ(world.window(102)->spaces, QList<quint64>{14});
}
