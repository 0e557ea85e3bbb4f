#include "SwitcherWorld.h"
#include "platform/WindowFrame.h"
#include "platform/linux/RealScreens.h"
#include "store/Settings.h"
#include "surfaces/HUDPanel.h"
#include "surfaces/HoverPanel.h"
#include "surfaces/QuickSwitcher.h"
#include "surfaces/SpaceHover.h"
#include "surfaces/SwitchHUD.h"

namespace {

namespace host = platform::host;
namespace sim = platform::sim;

// The default world on a desktop session's 1920 x 1200 screen (a 30-pixel
// panel at its bottom): the surfaces centre on the real screen, not on the
// simulated 1512-point one.
class RealScreenPlacementTest : public UiTest {
protected:
    RealScreenPlacementTest()
    {
        host::applyWindowSystemScreens(sim::World::shared(),
                                      {{QStringLiteral("DP-1"), {0, 0, 1920, 1200}, {0, 0, 1920, 1170}, 1}});
        SpaceEngine::shared().refresh(false);
    }

    static double centreX(const QWidget& window) { return window.x() + window.width() / 2.0; }
    static double centreY(const QWidget& window) { return window.y() + window.height() / 2.0; }
};

// --- centred on the real screen ---

TEST_F(RealScreenPlacementTest, TheTagAndToastsCentreOnTheRealScreen)
{
    SwitchHUD hud(SpaceEngine::shared(), Settings::shared());
    const Desktop desktop = *SpaceEngine::shared().desktopWithNumber(2);
    hud.show(desktop, sim::World::shared().displays().first().uuid);
    hud.toast(QStringLiteral("There is no Desktop 99"), QStringLiteral("link"), 3);
    for (const QString& key : {sim::World::shared().displays().first().uuid, QStringLiteral("toast")}) {
        HUDPanel* panel = hud.panel(key);
        ASSERT_TRUE(panel);
        EXPECT_NEAR(centreX(*panel), 960, 1) << key.toStdString();
        // Centred on the visible frame: the part above the panel.
        EXPECT_NEAR(centreY(*panel), 585, 1) << key.toStdString();
    }
}

TEST_F(RealScreenPlacementTest, TheHoverStripAndTheQuickSwitcherCentreOnTheRealScreen)
{
    SpaceHover hover(SpaceEngine::shared(), Settings::shared(), [] { return false; });
    hover.show(std::nullopt, 4);
    ASSERT_TRUE(hover.panel());
    EXPECT_NEAR(centreX(*hover.panel()), 960, 1);
    EXPECT_EQ(hover.panel()->geometry().top(), 6) << "just below the screen's top (no menu bar)";
    QuickSwitcher switcher(SpaceEngine::shared());
    switcher.show();
    EXPECT_NEAR(centreX(switcher), 960, 1);
}

} // namespace
