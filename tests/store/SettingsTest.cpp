#include "platform/Application.h"
#include "platform/KeyCodes.h"
#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"
#include "platform/linux/LoginItems.h"
#include "store/Settings.h"
#include "support/PlatformTest.h"

#include <QFileInfo>

#include <limits>

namespace KeyCode = platform::KeyCode;

using platform::PreferenceDomain;

class SettingsTest : public PlatformTest {
protected:
    PreferenceDomain& defaults() { return PreferenceDomain::standard(); }
    Settings& settings() { return Settings::shared(); }
    // The app quits and starts again: the store and the settings read the
    // files again.
    void restart()
    {
        platform::Application::terminate();
        platform::resetSharedInstances();
    }
    static QVariantMap onDisk() { return PreferenceDomain(PreferenceDomain::standardName()).persistentDomain(); }
};

TEST_F(SettingsTest, FreshAccountReadsEveryDefaultAndWritesNothing)
{
    Settings& s = settings();
    EXPECT_EQ(s.menuBarStyle(), MenuBarStyle::iconAndName);
    EXPECT_EQ(s.menuBarMaxWidth(), 220.0);
    EXPECT_TRUE(s.showShortcutsInMenu());
    EXPECT_TRUE(s.mcLabelsEnabled());
    EXPECT_TRUE(s.mcShowUnnamed());
    EXPECT_FALSE(s.mcShowNumber());
    EXPECT_EQ(s.mcPlacement(), PillPlacement::belowPreview);
    EXPECT_EQ(s.mcScale(), 1.0);
    EXPECT_EQ(s.mcOffsetY(), 0.0);
    EXPECT_TRUE(s.hudEnabled());
    EXPECT_EQ(s.hudPosition(), HUDPosition::center);
    EXPECT_EQ(s.hudSize(), HUDSize::regular);
    EXPECT_EQ(s.hudDuration(), 1.2);
    EXPECT_TRUE(s.hudShowNumber());
    EXPECT_TRUE(s.hoverEnabled());
    EXPECT_EQ(s.hoverZone(), HoverZone::center);
    EXPECT_EQ(s.hoverDelay(), 0.45);
    EXPECT_FALSE(s.notchEnabled());
    EXPECT_EQ(s.notchSide(), NotchSide::left);
    EXPECT_EQ(s.notchContent(), NotchContent::iconAndName);
    EXPECT_FALSE(s.tileHiddenBesideNotch());
    EXPECT_TRUE(s.notchStandsIn());
    EXPECT_TRUE(s.trackTime());
    EXPECT_EQ(s.idleMinutes(), 3);
    EXPECT_EQ(s.switcherHotkey(), (Hotkey{KeyCode::space, 0x1800}));
    EXPECT_EQ(s.jumpBackHotkey(), (Hotkey{KeyCode::tab, 0x1800}));
    EXPECT_EQ(s.nextHotkey(), (Hotkey{KeyCode::rightArrow, 0x1800}));
    EXPECT_EQ(s.prevHotkey(), (Hotkey{KeyCode::leftArrow, 0x1800}));
    EXPECT_TRUE(s.directJumpEnabled());
    EXPECT_EQ(s.directJumpModifiers(), 0x1800u);
    EXPECT_TRUE(s.moveWindowEnabled());
    EXPECT_FALSE(s.moveFollow());
    EXPECT_FALSE(s.presenting());
    EXPECT_EQ(s.presentationHotkey(), (Hotkey{KeyCode::p, 0x1800}));
    EXPECT_TRUE(s.badgesEnabled());
    EXPECT_TRUE(s.nativeSwitching());
    EXPECT_FALSE(s.autoEnabledShortcuts());
    EXPECT_TRUE(s.updateCheckEnabled());
    EXPECT_EQ(s.updateLastChecked(), 0.0);
    EXPECT_EQ(s.updateSkipped(), "");
    EXPECT_EQ(s.updateAnnounced(), "");
    EXPECT_EQ(s.updateInstalling(), "");
    EXPECT_FALSE(s.onboardingDismissed());
    EXPECT_EQ(s.accessibilityRepairedFor(), "");

    EXPECT_TRUE(defaults().persistentDomain().isEmpty());
    const QStringList keys = s.keys();
    EXPECT_EQ(keys.size(), 44);
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), 44);
    EXPECT_EQ(keys.first(), "menuBarStyle");
    EXPECT_EQ(keys.last(), "accessibilityRepairedFor");
    EXPECT_EQ(keys.at(21), "notchStandsInForTile");
}

TEST_F(SettingsTest, EveryKindOfValueSurvivesARestart)
{
    settings().setMenuBarStyle(MenuBarStyle::numberAndName);
    settings().setHudDuration(2.75);
    settings().setIdleMinutes(12);
    settings().setDirectJumpModifiers(0x300);
    settings().setUpdateSkipped(QString::fromUtf8("2.0 β"));
    settings().setNextHotkey(Hotkey{KeyCode::d, 0x100});
    settings().setHoverEnabled(false);
    restart();
    EXPECT_EQ(settings().menuBarStyle(), MenuBarStyle::numberAndName);
    EXPECT_EQ(settings().hudDuration(), 2.75);
    EXPECT_EQ(settings().idleMinutes(), 12);
    EXPECT_EQ(settings().directJumpModifiers(), 0x300u);
    EXPECT_EQ(settings().updateSkipped(), QString::fromUtf8("2.0 β"));
    EXPECT_EQ(settings().nextHotkey(), (Hotkey{KeyCode::d, 0x100}));
    EXPECT_FALSE(settings().hoverEnabled());
    EXPECT_EQ(defaults().object("menuBarStyle").typeId(), QMetaType::LongLong);
    EXPECT_EQ(defaults().object("hoverEnabled").typeId(), QMetaType::Bool);
}

TEST_F(SettingsTest, AChangeIsStoredAtOnceAndTheFileFollowsWithinAMomentOrAtQuit)
{
    settings().setMcOffsetY(-3);
    EXPECT_EQ(defaults().object("mcOffsetY"), QVariant(-3.0));
    advance(PreferenceDomain::writeInterval);
    EXPECT_EQ(onDisk().value("mcOffsetY"), QVariant(-3.0));

    settings().setMcOffsetY(-4);
    EXPECT_EQ(onDisk().value("mcOffsetY"), QVariant(-3.0));
    clock().runPending();
    settings().setMcOffsetY(-5);
    clock().runPending();
    // One write per interval at most: -4 may be on disk by now, -5 not yet.
    EXPECT_NE(onDisk().value("mcOffsetY"), QVariant(-5.0));
    platform::Application::terminate();
    EXPECT_EQ(onDisk().value("mcOffsetY"), QVariant(-5.0));
}

TEST_F(SettingsTest, NotchStandsInIsStoredUnderItsOwnKey)
{
    settings().setNotchStandsIn(false);
    EXPECT_EQ(defaults().object("notchStandsInForTile"), QVariant(false));
    EXPECT_FALSE(defaults().object("notchStandsIn").isValid());
}

TEST_F(SettingsTest, StoredValuesConvertOnlyExactly)
{
    defaults().setString("hudEnabled", "false");      // text is never a Boolean
    defaults().setInteger("mcShowNumber", 1);         // 0 and 1 are Booleans
    defaults().setDouble("moveFollow", 1.0);
    defaults().setInteger("trackTime", 2);            // other numbers are not
    defaults().setInteger("menuBarStyle", 7);         // no such case
    defaults().setInteger("hudSize", -1);
    defaults().setString("idleMinutes", "5");         // text is never a number
    defaults().setDouble("hoverDelay", 1.0);
    defaults().setInteger("hudDuration", 2);          // an integer is a double
    defaults().setInteger("mcScale", (1LL << 53) + 1); // but only when exact
    defaults().setDouble("menuBarMaxWidth", 300.5);
    defaults().setInteger("updateSkipped", 15);       // numbers read as text
    defaults().setBool("accessibilityRepairedFor", true);

    EXPECT_TRUE(settings().hudEnabled());
    EXPECT_TRUE(settings().mcShowNumber());
    EXPECT_TRUE(settings().moveFollow());
    EXPECT_TRUE(settings().trackTime());
    EXPECT_EQ(settings().menuBarStyle(), MenuBarStyle::iconAndName);
    EXPECT_EQ(settings().hudSize(), HUDSize::regular);
    EXPECT_EQ(settings().idleMinutes(), 3);
    EXPECT_EQ(settings().hoverDelay(), 1.0);
    EXPECT_EQ(settings().hudDuration(), 2.0);
    EXPECT_EQ(settings().mcScale(), 1.0);
    EXPECT_EQ(settings().menuBarMaxWidth(), 300.5);
    EXPECT_EQ(settings().updateSkipped(), "15");
    EXPECT_EQ(settings().accessibilityRepairedFor(), "1");
}

TEST_F(SettingsTest, IntegersMustBeWholeAndInRange)
{
    defaults().setDouble("idleMinutes", 1.5);
    EXPECT_EQ(settings().idleMinutes(), 3);
    restart();
    defaults().setDouble("idleMinutes", 9.0);
    EXPECT_EQ(settings().idleMinutes(), 9);
    restart();
    defaults().setDouble("idleMinutes", 9.3e18); // beyond 64 bits
    EXPECT_EQ(settings().idleMinutes(), 3);
    restart();
    defaults().setBool("idleMinutes", true);
    EXPECT_EQ(settings().idleMinutes(), 1);
}

TEST_F(SettingsTest, UnsignedModifiersAreClamped)
{
    defaults().setInteger("directJumpModifiers", -5);
    EXPECT_EQ(settings().directJumpModifiers(), 0u);
    restart();
    defaults().setInteger("directJumpModifiers", 4294967296LL + 7);
    EXPECT_EQ(settings().directJumpModifiers(), std::numeric_limits<quint32>::max());
    restart();
    defaults().setString("directJumpModifiers", "256");
    EXPECT_EQ(settings().directJumpModifiers(), 0x1800u);
}

TEST_F(SettingsTest, OptionalHotkeyHasThreeOutcomes)
{
    EXPECT_EQ(settings().switcherHotkey(), (Hotkey{KeyCode::space, 0x1800})); // absent: the default
    defaults().setData("jumpBackHotkey", QByteArray());
    defaults().setData("nextHotkey", "not json");
    defaults().setData("prevHotkey", R"({"keyCode": 5})");
    defaults().setInteger("presentationHotkey", 35);
    EXPECT_EQ(settings().jumpBackHotkey(), std::nullopt);
    EXPECT_EQ(settings().nextHotkey(), std::nullopt);
    EXPECT_EQ(settings().prevHotkey(), std::nullopt);
    EXPECT_EQ(settings().presentationHotkey(), (Hotkey{KeyCode::p, 0x1800}));

    defaults().setData("switcherHotkey", R"({"keyCode": 3, "modifiers": 256, "extra": true})");
    restart();
    EXPECT_EQ(settings().switcherHotkey(), (Hotkey{KeyCode::f, 256}));
}

TEST_F(SettingsTest, RemovedShortcutStaysRemovedAfterARestart)
{
    settings().setSwitcherHotkey(std::nullopt);
    EXPECT_EQ(defaults().data("switcherHotkey"), QByteArray());
    restart();
    EXPECT_EQ(settings().switcherHotkey(), std::nullopt);
}

TEST_F(SettingsTest, ReadsTheStoreOnceThenServesFromMemory)
{
    defaults().setInteger("hudPosition", 2);
    EXPECT_EQ(settings().hudPosition(), HUDPosition::bottom); // written before the first read: seen
    EXPECT_EQ(settings().hoverZone(), HoverZone::center);
    defaults().setInteger("hoverZone", 1);
    defaults().setInteger("hudPosition", 1);
    EXPECT_EQ(settings().hoverZone(), HoverZone::center); // the cached default stands
    EXPECT_EQ(settings().hudPosition(), HUDPosition::bottom);
    restart();
    EXPECT_EQ(settings().hoverZone(), HoverZone::wholeEdge);
}

TEST_F(SettingsTest, SignalComesBeforeTheChangeAndOnEveryWrite)
{
    std::vector<bool> seen;
    QObject::connect(&settings(), &Settings::objectWillChange, [&] { seen.push_back(settings().presenting()); });
    settings().setPresenting(true);
    EXPECT_EQ(seen, std::vector<bool>{false});
    EXPECT_TRUE(settings().presenting());

    defaults().remove("presenting");
    settings().setPresenting(true); // the same value: signalled and written again
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
    EXPECT_EQ(defaults().object("presenting"), QVariant(true));
}

TEST_F(SettingsTest, InPlaceChangeReadsChangesAndWrites)
{
    int changes = 0;
    QObject::connect(&settings(), &Settings::objectWillChange, [&] { ++changes; });
    settings().changeTrackTime([](bool& on) { on = !on; });
    EXPECT_FALSE(settings().trackTime());
    settings().changeIdleMinutes([](qint64& minutes) { minutes += 2; });
    EXPECT_EQ(settings().idleMinutes(), 5);
    EXPECT_EQ(changes, 2);
    restart();
    EXPECT_FALSE(settings().trackTime());
    EXPECT_EQ(settings().idleMinutes(), 5);
}

TEST_F(SettingsTest, NotchContentDefaultFollowsTheEarlierKey)
{
    defaults().setBool("notchShowIcon", false);
    EXPECT_EQ(settings().notchContent(), NotchContent::nameOnly);
    restart();
    defaults().setBool("notchShowIcon", true);
    EXPECT_EQ(settings().notchContent(), NotchContent::iconAndName);
    restart();
    defaults().setString("notchShowIcon", "no");
    EXPECT_EQ(settings().notchContent(), NotchContent::iconAndName);
    restart();
    defaults().setBool("notchShowIcon", false);
    defaults().setInteger("notchContent", 2);
    EXPECT_EQ(settings().notchContent(), NotchContent::iconOnly);
    settings().setNotchContent(NotchContent::iconAndName);
    EXPECT_EQ(defaults().object("notchShowIcon"), QVariant(false));
}

TEST_F(SettingsTest, EnumerationsHaveTitlesAndRawValues)
{
    EXPECT_EQ(SettingEnum<MenuBarStyle>::allCases.size(), 4u);
    EXPECT_EQ(title(MenuBarStyle::numberAndName), "Number and name");
    EXPECT_EQ(title(PillPlacement::insidePreview), "Inside the preview");
    EXPECT_EQ(title(HUDPosition::bottom), "Bottom");
    EXPECT_EQ(title(HoverZone::wholeEdge), "Whole top edge");
    EXPECT_EQ(title(NotchSide::right), "Right of the notch");
    EXPECT_EQ(title(NotchContent::nameOnly), "Name");
    EXPECT_EQ(title(HUDSize::compact), "Compact");
    EXPECT_EQ(scale(*fromRawValue<HUDSize>(1)), 1.0);
    EXPECT_EQ(scale(HUDSize::compact), 0.82);
    EXPECT_EQ(scale(HUDSize::large), 1.3);
    EXPECT_TRUE(showsIcon(NotchContent::iconAndName) && showsName(NotchContent::iconAndName));
    EXPECT_FALSE(showsIcon(NotchContent::nameOnly));
    EXPECT_FALSE(showsName(NotchContent::iconOnly));
    EXPECT_EQ(fromRawValue<NotchSide>(2), std::nullopt);
    EXPECT_EQ(fromRawValue<NotchSide>(-1), std::nullopt);
    EXPECT_EQ(id(HUDPosition::top), 1);
}

TEST_F(SettingsTest, LaunchAtLoginGoesThroughTheLoginItems)
{
    int changes = 0;
    QObject::connect(&settings(), &Settings::objectWillChange, [&] {
        ++changes;
        EXPECT_TRUE(settings().launchAtLogin()); // signalled after the change
    });
    EXPECT_FALSE(settings().launchAtLogin());
    EXPECT_EQ(settings().setLaunchAtLogin(true), std::nullopt);
    EXPECT_TRUE(QFileInfo::exists(platform::host::loginItemEntryPath()));
    EXPECT_TRUE(settings().launchAtLogin());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(defaults().persistentDomain().isEmpty());

    platform::host::forceLoginItemStatus(platform::LoginItems::Status::requiresApproval);
    EXPECT_FALSE(settings().launchAtLogin());
    platform::host::forceLoginItemStatus(std::nullopt);

    platform::host::failLoginItemChanges(QString("Operation not permitted"));
    EXPECT_EQ(settings().setLaunchAtLogin(false), QString("Operation not permitted"));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(settings().launchAtLogin());
}

TEST_F(SettingsTest, TurningLaunchAtLoginOffRemovesTheEntry)
{
    ASSERT_EQ(settings().setLaunchAtLogin(true), std::nullopt);
    EXPECT_EQ(settings().setLaunchAtLogin(false), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(platform::host::loginItemEntryPath()));
    EXPECT_FALSE(settings().launchAtLogin());
    EXPECT_TRUE(settings().setLaunchAtLogin(false).has_value()); // not registered
}
