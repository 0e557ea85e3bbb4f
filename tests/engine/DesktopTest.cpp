#include "EngineTest.h"

#include "engine/Desktop.h"
#include "engine/ScreenLookup.h"
#include "engine/SpaceApp.h"
#include "store/Palette.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "platform/KeyCodes.h"

namespace KeyCode = platform::KeyCode;

class DesktopTest : public EngineTest {
protected:
    static Desktop desktop(qint64 number, qint64 managedID = 7)
    {
        return Desktop{SkyLight::Space{70, managedID, 0, QStringLiteral("A")}, number, false};
    }
    static void store(qint64 managedID, const std::function<void(SpaceMeta&)>& edit)
    {
        SpaceStore::shared().change(managedID, edit);
    }
};

TEST_F(DesktopTest, UnnamedOrPresentedDesktopsShowTheirNumber)
{
    EXPECT_EQ(desktop(4).displayName(), QStringLiteral("Desktop 4"));
    EXPECT_FALSE(desktop(4).hasName());
    store(7, [](SpaceMeta& meta) {
        meta.name = QStringLiteral("Mail");
        meta.icon = SpaceIcon::symbol(QStringLiteral("envelope"));
        meta.color = TileColor::palette(2);
        meta.hotkey = Hotkey{KeyCode::digit1, 0x100};
    });
    EXPECT_EQ(desktop(4).displayName(), QStringLiteral("Mail"));
    Settings::shared().setPresenting(true);
    EXPECT_EQ(desktop(4).displayName(), QStringLiteral("Desktop 4"));
    EXPECT_TRUE(desktop(4).icon().isNone());
    EXPECT_EQ(desktop(4).color(), TileColor::automatic());
    EXPECT_EQ(desktop(4).tileColor(), Palette::color(3));
    // Shortcut and customization survive presentation mode.
    EXPECT_EQ(desktop(4).hotkey(), (Hotkey{KeyCode::digit1, 0x100}));
    EXPECT_TRUE(desktop(4).isCustomized());
}

TEST_F(DesktopTest, BlankNameCountsAsAName)
{
    store(7, [](SpaceMeta& meta) { meta.name = QStringLiteral("  "); });
    EXPECT_TRUE(desktop(2).hasName());
    EXPECT_EQ(desktop(2).displayName(), QStringLiteral("  "));
}

TEST_F(DesktopTest, TileColoursFollowTheNumberUnlessAPaletteColourIsStored)
{
    EXPECT_EQ(desktop(5).tileColor(), Palette::color(4));
    EXPECT_EQ(desktop(5).swatchColor(), Palette::color(4));
    store(7, [](SpaceMeta& meta) { meta.color = TileColor::transparent(); });
    EXPECT_TRUE(desktop(5).isTransparent());
    EXPECT_EQ(desktop(5).tileColor(), Palette::color(4));
    EXPECT_EQ(desktop(5).swatchColor(), Palette::neutral());
    store(7, [](SpaceMeta& meta) { meta.color = TileColor::palette(12); });
    EXPECT_EQ(desktop(5).tileColor(), Palette::color(12));
}

TEST_F(DesktopTest, EffectiveShortcut)
{
    Settings& settings = Settings::shared();
    settings.setDirectJumpEnabled(true);
    EXPECT_EQ(desktop(11).effectiveHotkey(settings), std::nullopt);
    EXPECT_EQ(desktop(10).effectiveHotkey(settings), Hotkey::digit(10, settings.directJumpModifiers()));
    settings.setDirectJumpEnabled(false);
    EXPECT_EQ(desktop(3).effectiveHotkey(settings), std::nullopt);
    store(7, [](SpaceMeta& meta) { meta.hotkey = Hotkey{KeyCode::g, 0x800}; });
    EXPECT_EQ(desktop(3).effectiveHotkey(settings), (Hotkey{KeyCode::g, 0x800}));
}

TEST_F(DesktopTest, TrackedTimeAloneIsNotCustomization)
{
    SpaceStore::shared().addTime(7, 120);
    EXPECT_DOUBLE_EQ(desktop(1).meta().seconds, 120);
    EXPECT_FALSE(desktop(1).isCustomized());
}

TEST_F(DesktopTest, SpaceAppsCompareByPidAndBadge)
{
    const SpaceApp a{5, QStringLiteral("Mail"), QImage(), QStringLiteral("2")};
    EXPECT_NE(a, (SpaceApp{5, QStringLiteral("Mail"), QImage(), QStringLiteral("3")}));
    EXPECT_EQ(a, (SpaceApp{5, QStringLiteral("Other"), QImage(4, 4, QImage::Format_ARGB32), QStringLiteral("2")}));
    EXPECT_NE(a, (SpaceApp{6, QStringLiteral("Mail"), QImage(), QStringLiteral("2")}));
}

TEST_F(DesktopTest, ScreenLookups)
{
    EXPECT_EQ(ScreenLookup::primary(), std::nullopt);
    EXPECT_EQ(ScreenLookup::screenContaining(QPointF(10, 10)), std::nullopt);
    auto main = display(QStringLiteral("A"), {10}, 10, 1);
    main.frame = QRectF(0, 0, 1512, 982);
    auto side = display(QStringLiteral("B"), {20}, 20, 2);
    side.frame = QRectF(1512, 0, 1920, 1080);
    world().addDisplay(main);
    world().addDisplay(side);
    EXPECT_EQ(ScreenLookup::primary()->frame, main.frame);
    EXPECT_EQ(ScreenLookup::screenContaining(QPointF(100, 985))->frame, main.frame);
    EXPECT_EQ(ScreenLookup::screenContaining(QPointF(100, 987)), std::nullopt);
    EXPECT_EQ(ScreenLookup::screenContaining(QPointF(100, 987), 6)->frame, main.frame);
    EXPECT_EQ(ScreenLookup::screenContaining(QPointF(1600, 1083))->frame, side.frame);
    // The margin does not reach sideways.
    EXPECT_EQ(ScreenLookup::screenContaining(QPointF(-2, 10)), std::nullopt);
}
