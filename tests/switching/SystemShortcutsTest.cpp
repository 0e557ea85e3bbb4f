#include "SwitchingWorld.h"

#include "platform/KeyCodes.h"
#include "platform/sim/Tools.h"
#include "switching/SystemShortcuts.h"

namespace KeyCode = platform::KeyCode;

using namespace switching_test;
using SystemShortcuts::Combo;
using SystemShortcuts::Direction;

namespace {

class SystemShortcutsTest : public SwitchingWorld {};

constexpr platform::EventFlags controlFlag = 0x40000;

} // namespace

TEST_F(SystemShortcutsTest, ReadsDesktopEntriesWithTheirModifiers)
{
    writeShortcutTable({{"120", shortcutEntry(true, 20, control)}});
    EXPECT_EQ(SystemShortcuts::combo(3), (Combo{20, controlFlag, QString::fromUtf8("\u23033")}));

    writeShortcutTable({{"120", shortcutEntry(true, 20, 1310720)}});
    EXPECT_EQ(SystemShortcuts::combo(3)->display, QString::fromUtf8("\u2303\u23183"));

    // Every modifier, in display order, and no other bits.
    writeShortcutTable({{"120", shortcutEntry(true, 20, 0x100000 | 0x20000 | 0x80000 | 0x40000 | 0x800000)}});
    EXPECT_EQ(SystemShortcuts::combo(3)->display, QString::fromUtf8("\u2303\u2325\u21E7\u23183"));
    EXPECT_EQ(SystemShortcuts::combo(3)->flags, 0x1E0000u);
}

TEST_F(SystemShortcutsTest, EntriesThatAreOffOrOutOfRangeGiveNothing)
{
    writeShortcutTable({{"118", shortcutEntry(false, 18, control)},
                        {"119", shortcutEntry(QVariant(), 19, control)},
                        {"120", shortcutEntry(qint64(1), 20, control)},
                        {"121", shortcutEntry(qint64(2), 21, control)},
                        {"122", shortcutEntry("1", 23, control)},
                        {"123", QVariantMap()},
                        {"124", "not a dictionary"}});
    EXPECT_FALSE(SystemShortcuts::combo(1));
    EXPECT_FALSE(SystemShortcuts::combo(2));
    EXPECT_TRUE(SystemShortcuts::combo(3)) << "the integer 1 counts as on";
    EXPECT_FALSE(SystemShortcuts::combo(4));
    EXPECT_FALSE(SystemShortcuts::combo(5));
    EXPECT_FALSE(SystemShortcuts::combo(6));
    EXPECT_FALSE(SystemShortcuts::combo(7));
    EXPECT_FALSE(SystemShortcuts::combo(0));
    EXPECT_FALSE(SystemShortcuts::combo(11));
    EXPECT_EQ(SystemShortcuts::enabledDesktopCount(), 1);
}

TEST_F(SystemShortcutsTest, MoveShortcutsFallBackToControlArrows)
{
    const Combo left{123, controlFlag, QString::fromUtf8("\u2303\u2190")};
    const Combo right{124, controlFlag, QString::fromUtf8("\u2303\u2192")};
    EXPECT_EQ(SystemShortcuts::combo(Direction::left), left);
    EXPECT_EQ(SystemShortcuts::combo(Direction::right), right);

    QVariantMap twoParameters = shortcutEntry(true, 124, control);
    twoParameters["value"] = QVariantMap{{"parameters", QVariantList{qint64(65535), qint64(124)}}};
    writeShortcutTable({{"81", twoParameters}, {"79", shortcutEntry(false, 123, control)}});
    EXPECT_EQ(SystemShortcuts::combo(Direction::right), right);
    EXPECT_FALSE(SystemShortcuts::combo(Direction::left));

    // The user's own combination wins when it is well formed.
    writeShortcutTable({{"79", shortcutEntry(true, 0, 0x100000)}});
    EXPECT_EQ(SystemShortcuts::combo(Direction::left), (Combo{0, 0x100000, QString::fromUtf8("\u2318A")}));
}

TEST_F(SystemShortcutsTest, KeyCodesThatCannotBePressedCountAsMalformed)
{
    writeShortcutTable({{"81", shortcutEntry(true, 70000, control)},
                        {"79", shortcutEntry(true, -1, control)},
                        {"118", shortcutEntry(true, 65536, control)}});
    EXPECT_EQ(SystemShortcuts::combo(Direction::right)->keyCode, KeyCode::rightArrow);
    EXPECT_EQ(SystemShortcuts::combo(Direction::left)->keyCode, KeyCode::leftArrow);
    EXPECT_FALSE(SystemShortcuts::combo(1));

    QVariantMap fractional = shortcutEntry(true, 0, control);
    fractional["value"] = QVariantMap{{"parameters", QVariantList{qint64(65535), 20.5, double(control)}}};
    QVariantMap whole = fractional;
    whole["value"] = QVariantMap{{"parameters", QVariantList{qint64(65535), 20.0, double(control)}}};
    writeShortcutTable({{"118", fractional}, {"119", whole}});
    EXPECT_FALSE(SystemShortcuts::combo(1));
    EXPECT_EQ(SystemShortcuts::combo(2)->keyCode, KeyCode::digit3);
}

TEST_F(SystemShortcutsTest, EnablingKeepsTheUsersEntriesAndWritesControlDigits)
{
    QVariantMap table{{"118", shortcutEntry(true, 83, 0x100000)},
                      {"119", shortcutEntry(qint64(1), 84, 0x100000)},
                      {"120", shortcutEntry(false, 99, control)},
                      {"64", shortcutEntry(true, 49, 0x100000)}};
    writeShortcutTable(table);
    EXPECT_TRUE(SystemShortcuts::enableDesktopShortcuts(4));
    const QVariantMap written = shortcutTable();
    EXPECT_EQ(written["118"], table["118"]);
    EXPECT_EQ(written["119"], table["119"]);
    EXPECT_EQ(written["64"], table["64"]);
    const QVariantMap expected3{{"enabled", true},
                                {"value", QVariantMap{{"parameters", QVariantList{qint64(65535), qint64(20), control}},
                                                      {"type", "standard"}}}};
    EXPECT_EQ(written["120"], expected3);
    EXPECT_EQ(SystemShortcuts::combo(4)->keyCode, KeyCode::digit4);
    EXPECT_FALSE(written.contains("122"));

    const auto runs = platform::sim::toolRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].path, platform::sim::tools::activateSettings);
    EXPECT_EQ(runs[0].arguments, QStringList{"-u"});
    EXPECT_TRUE(runs[0].waited);
    EXPECT_EQ(runs[1].path, platform::sim::tools::killall);
    EXPECT_EQ(runs[1].arguments, QStringList{"Dock"});
    EXPECT_FALSE(runs[1].waited);
}

TEST_F(SystemShortcutsTest, EnablingClampsTheCount)
{
    SystemShortcuts::enableDesktopShortcuts(0);
    EXPECT_EQ(SystemShortcuts::enabledDesktopCount(), 1);
    SystemShortcuts::enableDesktopShortcuts(15);
    EXPECT_EQ(SystemShortcuts::enabledDesktopCount(), 10);
    EXPECT_EQ(SystemShortcuts::combo(10)->display, QString::fromUtf8("\u23030"));
    EXPECT_EQ(shortcutTable().size(), 10);
}

TEST_F(SystemShortcutsTest, ToolThatCannotStartIsLoggedAndTheRestCarriesOn)
{
    platform::sim::failToolLaunch(platform::sim::tools::activateSettings, "no such tool");
    EXPECT_TRUE(SystemShortcuts::enableDesktopShortcuts(2));
    EXPECT_EQ(switchLog(), QStringList{"could not run " + platform::sim::tools::activateSettings + ": no such tool"});
    ASSERT_EQ(platform::sim::toolRuns().size(), 1u);
    EXPECT_EQ(platform::sim::toolRuns()[0].path, platform::sim::tools::killall);
}

TEST_F(SystemShortcutsTest, TurnedOffShortcutsAreFoundTurnedOnAndWorkOnceTheDockRestarts)
{
    QVariantMap off;
    for (int i = 0; i < 4; ++i)
        off.insert(QString::number(118 + i), shortcutEntry(false, 18 + i, control));
    setUp({desktops(mainDisplay, 4, 11)}, off);
    installMissionControl();
    EXPECT_EQ(SystemShortcuts::enabledDesktopCount(), 0);

    // Written, but the Dock does not restart: the shortcut press goes nowhere.
    platform::sim::failToolLaunch(platform::sim::tools::killall, "not permitted");
    ASSERT_TRUE(SystemShortcuts::enableDesktopShortcuts(4));
    EXPECT_EQ(SystemShortcuts::enabledDesktopCount(), 4);
    request(3, "hotkey");
    advance(1);
    EXPECT_EQ(current(), 11u);
    advance(10);

    // Once the Dock restarts it follows the shortcut.
    platform::sim::installTool(platform::sim::tools::killall, [](const QStringList&) {
        platform::sim::restartDock();
        return platform::sim::ToolOutcome{};
    });
    SystemShortcuts::enableDesktopShortcuts(4);
    const qsizetype before = switchLog().size();
    request(2, "hotkey");
    advance(3);
    EXPECT_EQ(current(), 12u);
    EXPECT_TRUE(switchLog()[before].startsWith(QString::fromUtf8("hotkey [\u23032]: ")));
    EXPECT_EQ(switchLog().size(), before + 1);
}
