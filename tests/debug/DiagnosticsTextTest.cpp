#include "debug/DebugTools.h"

#include "engine/SpaceEngine.h"
#include "platform/sim/World.h"
#include "store/Settings.h"
#include "support/PlatformTest.h"
#include "support/ScriptedLoader.h"
#include "update/Updates.h"

#include <QTextStream>

namespace {

class DiagnosticsTextTest : public PlatformTest {
protected:
    QString text(std::optional<QString> tile = std::nullopt, bool missionControlOpen = false)
    {
        QString ignored;
        QTextStream out(&ignored);
        const DebugTools::Environment environment{
            .engine = SpaceEngine::shared(),
            .settings = Settings::shared(),
            .updates = updates,
            .out = out,
            .exit = [](int) {},
            .accessibilityTrusted = [] { return false; },
            .tileLine = [tile] { return tile; },
            .missionControlOpen = [missionControlOpen] { return missionControlOpen; },
        };
        return DebugTools::diagnosticsText(environment);
    }

    // One laptop screen with a notch: a desktop and a full-screen space.
    static void laptopWorld()
    {
        platform::sim::World& world = platform::sim::World::shared();
        world.clear();
        platform::sim::DisplaySpec display;
        display.uuid = QStringLiteral("UUID-A");
        display.displayID = 1;
        display.name = QStringLiteral("Built-in Display");
        display.frame = QRectF(0, 0, 1512, 982);
        display.notchLeft = QRectF(0, 950, 660, 32);
        display.notchRight = QRectF(852, 950, 660, 32);
        display.spaces = {{7, 70, 0, {}}, {9, 90, 4, {}}};
        display.currentSpaceID = 7;
        world.addDisplay(display);
    }

    ScriptedLoader loader;
    Updates updates{Settings::shared(), loader};
};

} // namespace

// --- layout ---

TEST_F(DiagnosticsTextTest, NineLineKindsInTheirOrder)
{
    laptopWorld();
    SpaceEngine::shared().refresh(false);
    const QStringList lines = text(QStringLiteral("frame={{1, 2}, {3, 4}}")).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 12) << text().toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Tessaroom diagnostics"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("accessibility: false  system desktop shortcuts: ")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("  move a space: ")));
    EXPECT_EQ(lines[2], QStringLiteral("screens: [\"(0.0, 0.0, 1512.0, 982.0)\"]"));
    EXPECT_EQ(lines[3], QStringLiteral("notch: [\"Built-in Display {{660, 950}, {192, 32}}\"]"));
    EXPECT_EQ(lines[4], QStringLiteral("menu bar tile: frame={{1, 2}, {3, 4}}"));
    EXPECT_EQ(lines[5], QStringLiteral("display 0 UUID-A current=7"));
    EXPECT_EQ(lines[6], QStringLiteral("  space id=7 msid=70 type=0 → Desktop 1 'Desktop 1' icon= color=-1"));
    // Not a desktop: the line ends with the blank after the type.
    EXPECT_EQ(lines[7], QStringLiteral("  space id=9 msid=90 type=4 "));
    EXPECT_EQ(lines[8], QStringLiteral("focused: Desktop 1  last: -"));
    EXPECT_EQ(lines[9], QStringLiteral("mission control open: false"));
    EXPECT_TRUE(lines[10].startsWith(QStringLiteral("settings: hud=")));
    EXPECT_TRUE(lines[11].isEmpty()); // every line, the last included, ends with a line break
}

TEST_F(DiagnosticsTextTest, WithoutTileOrNotchTheLinesStayExact)
{
    laptopWorld();
    platform::sim::DisplaySpec plain = platform::sim::World::shared().displays().first();
    plain.notchLeft.reset();
    plain.notchRight.reset();
    platform::sim::World::shared().addDisplay(plain);
    SpaceEngine::shared().refresh(false);
    const QString report = text(std::nullopt, true);
    EXPECT_TRUE(report.contains(QStringLiteral("\nnotch: []\ndisplay 0 ")));
    EXPECT_FALSE(report.contains(QStringLiteral("menu bar tile")));
    EXPECT_TRUE(report.contains(QStringLiteral("\nmission control open: true\n")));
}

TEST_F(DiagnosticsTextTest, SettingsLineNamesEveryCase)
{
    Settings& settings = Settings::shared();
    settings.setMenuBarStyle(MenuBarStyle::numberAndName);
    settings.setMcPlacement(PillPlacement::insidePreview);
    settings.setHoverZone(HoverZone::wholeEdge);
    settings.setNotchSide(NotchSide::right);
    settings.setNotchContent(NotchContent::iconOnly);
    const QStringList lines = text().split(QLatin1Char('\n'));
    const QString last = lines[lines.size() - 2];
    EXPECT_TRUE(last.startsWith(QStringLiteral("settings: hud=")));
    EXPECT_TRUE(last.endsWith(QStringLiteral(" mcPlacement=insidePreview style=numberAndName hoverZone=wholeEdge notch=")
                              + QString(settings.notchEnabled() ? QStringLiteral("true") : QStringLiteral("false"))
                              + QStringLiteral(" notchSide=right notchContent=iconOnly")))
        << last.toStdString();
}

TEST_F(DiagnosticsTextTest, FramesAlwaysShowAFraction)
{
    EXPECT_EQ(DebugTools::frameText(0, -982, 1512.5, 982), QStringLiteral("(0.0, -982.0, 1512.5, 982.0)"));
    // Large values are written out in full, as in the inspection modes.
    EXPECT_EQ(DebugTools::frameText(0, 0, 1e7, 1), QStringLiteral("(0.0, 0.0, 10000000.0, 1.0)"));
    EXPECT_EQ(DebugTools::quotedList({}), QStringLiteral("[]"));
    EXPECT_EQ(DebugTools::quotedList({QStringLiteral("a"), QStringLiteral("b")}), QStringLiteral("[\"a\", \"b\"]"));
}
