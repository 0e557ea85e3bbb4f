#include "debug/StatusProbe.h"
#include "missioncontrol/MissionControlTest.h"
#include "platform/sim/StatusBar.h"
#include "ui/AppCommands.h"

#include <gtest/gtest.h>

namespace {

class ProbeTest : public MissionControlTest {
protected:
    QStringList lines;
    std::optional<int> status;
    InertCommands commands;

    std::unique_ptr<StatusProbe> start()
    {
        return std::make_unique<StatusProbe>(
            commands, [this](const QString& line) { lines.append(line); }, [this](int code) { status = code; });
    }
};

// --- tile probe ---

TEST_F(ProbeTest, ATileWithoutRoomShowsTheFitCheckOnlyInTheLastLook)
{
    addDisplays({2});
    name(1, "Mail");
    platform::sim::setAppMenusWidth(1512 - 30);
    auto probe = start();
    advance(0.59);
    EXPECT_TRUE(lines.isEmpty());
    advance(0.02);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("tile after 0.6 s: frame={{")) << qPrintable(lines[0]);
    EXPECT_TRUE(lines[0].contains(" compact=false ")) << qPrintable(lines[0]);
    advance(1.8);
    EXPECT_FALSE(status.has_value());
    advance(0.1);
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[1].left(lines[1].indexOf(" frame=")), "screen '" + platform::Screens::screens()[0].localizedName + "'");
    EXPECT_TRUE(lines[1].endsWith(" frame={{0, 0}, {1512, 982}} notch=-")) << qPrintable(lines[1]);
    EXPECT_TRUE(lines[2].startsWith("tile: frame="));
    EXPECT_TRUE(lines[2].contains(" compact=true ")) << qPrintable(lines[2]);
    EXPECT_EQ(lines[3], "window visible=true screen= occlusion=8194 alpha=1.0 buttonFrame={{0, 0}, {25, 24}} "
                        "buttonHidden=false superviewHidden=false");
    EXPECT_TRUE(lines[4].startsWith("layout: barThickness=24.0 windowFrame={{1487, 958}, {25, 24}} imageSize="));
    EXPECT_TRUE(lines[4].endsWith(" intrinsic={25, 24} flipped=false"));
    EXPECT_EQ(lines.last(), "done");
    EXPECT_EQ(status, 0);
}

TEST_F(ProbeTest, ATileOffEveryScreenAndTheAppsOwnWindowsAreDescribed)
{
    addDisplays({1});
    name(1, "Mail");
    platform::sim::WindowSpec panel;
    panel.number = 880;
    panel.ownerPID = world().ownPID();
    panel.layer = 101;
    panel.bounds = QRectF(10, 20, 300, 40);
    panel.alpha = 0.5;
    world().addWindow(panel);
    // No room at all: not even the compact tile fits.
    platform::sim::setAppMenusWidth(1512);
    auto probe = start();
    advance(2.5);
    ASSERT_EQ(status, 0);
    const auto at = [&](const QString& start) {
        for (const QString& line : lines) {
            if (line.startsWith(start))
                return line;
        }
        return QString();
    };
    const QString window = at("window ");
    EXPECT_TRUE(window.contains(" screen=- occlusion=8192 alpha=1.0 buttonFrame={{0, 0}, {")) << qPrintable(window);
    EXPECT_TRUE(window.endsWith(" buttonHidden=false superviewHidden=false")) << qPrintable(window);
    const QString layout = at("layout: ");
    EXPECT_TRUE(layout.startsWith("layout: barThickness=24.0 windowFrame={{-100000, -100000}, {")) << qPrintable(layout);
    // The compact tile: its image centred, no title.
    EXPECT_TRUE(layout.contains(" imageSize={17, 17} imageRect={{4, 3.5}, {17, 17}} titleRect={{0, 0}, {0, 0}} "))
        << qPrintable(layout);
    EXPECT_EQ(at("  own window "), "  own window id=880 layer=101 bounds=[\"Height\": 40, \"Width\": 300, \"X\": 10, "
                                   "\"Y\": 20] onscreen=true alpha=0.5");
    EXPECT_EQ(lines.last(), "done");
}

} // namespace
