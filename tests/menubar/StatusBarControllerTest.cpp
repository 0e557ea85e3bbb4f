#include "MenuBarTest.h"

#include "menubar/StatusBarController.h"
#include "platform/NotificationCenter.h"
#include "store/SpaceStore.h"

#include <QPainter>

namespace {

class TileTest : public MenuBarTest {
protected:
    TileTest()
    {
        addDisplay(QStringLiteral("D1"), {11, 12, 13}, 11);
        name(11, QStringLiteral("Mail"));
    }

    platform::StatusBarButton& button() { return *tile->button(); }
    int tileChangedCount() const { return *tileChanges; }

    std::unique_ptr<StatusBarController> tile = std::make_unique<StatusBarController>(commands);
    std::shared_ptr<int> tileChanges = std::make_shared<int>(0);
    platform::NotificationCenter::Subscription tileChangedWatch = platform::NotificationCenter::defaultCenter().observe(
        MenuBarNotifications::tileChanged(), [count = tileChanges] { ++*count; });
};

} // namespace

// --- drawing by style ---

TEST_F(TileTest, ShowsTheTileImageAndTheNameWithADesktopTooltip)
{
    tile->render();
    savePicture(button().snapshot(4), QStringLiteral("tile.png"));
    EXPECT_EQ(button().title(), QStringLiteral(" Mail"));
    ASSERT_FALSE(button().image().isNull());
    EXPECT_EQ(button().image().devicePixelRatio(), 2);
    EXPECT_EQ(button().image().size(), QSize(34, 34));
    EXPECT_EQ(button().toolTip(), QStringLiteral("Mail · Desktop 1"));
    EXPECT_EQ(tile->item().length(), platform::StatusItem::variableLength);
    EXPECT_EQ(tile->item().autosaveName(), QStringLiteral("Tessaroom"));
    EXPECT_EQ(MenuBarNotifications::tileChanged(), QStringLiteral("app.menuBarTileChanged"));
}

TEST_F(TileTest, NameOnlyStyleSpellsOutTheBadgesWaitingElsewhere)
{
    settings().setMenuBarStyle(MenuBarStyle::nameOnly);
    SpaceApp mail{501, QStringLiteral("Mail"), {}, QStringLiteral("3")};
    engine().setSampleApps(SpaceEngine::AppsMap{{12, {mail}}});
    tile->render();
    EXPECT_EQ(button().title(), QStringLiteral("Mail · 3"));
    EXPECT_TRUE(button().image().isNull());
    EXPECT_EQ(button().toolTip(), QStringLiteral("Mail · Desktop 1 · 3 waiting on another desktop"));
}

TEST_F(TileTest, IconOnlyStyleHasNoTitleAndNoWidthCap)
{
    settings().setMenuBarStyle(MenuBarStyle::iconOnly);
    settings().setMenuBarMaxWidth(10);
    tile->render();
    EXPECT_EQ(button().title(), QString());
    EXPECT_FALSE(button().image().isNull());
    EXPECT_EQ(tile->item().length(), platform::StatusItem::variableLength);
}

TEST_F(TileTest, NumberAndNameStyleDrawsTheNumberTileEvenForAnIconDesktop)
{
    SpaceStore::shared().change(11, [](SpaceMeta& meta) { meta.icon = SpaceIcon::emoji(QStringLiteral("🚀")); });
    tile->render();
    const QImage withIcon = button().image();
    settings().setMenuBarStyle(MenuBarStyle::numberAndName);
    tile->render();
    EXPECT_EQ(button().title(), QStringLiteral(" Mail"));
    EXPECT_NE(button().image(), withIcon);
}

TEST_F(TileTest, ANameWiderThanTheCapFixesTheLengthAndCutsTheTitle)
{
    name(11, QStringLiteral("A rather long desktop name that does not fit in the menu bar at all"));
    tile->render();
    EXPECT_EQ(tile->item().length(), 220);
    EXPECT_TRUE(button().displayedTitle().endsWith(QChar(0x2026)));
    tile->setCompact(true);
    tile->render();
    EXPECT_EQ(tile->item().length(), platform::StatusItem::variableLength);
    EXPECT_EQ(button().title(), QString());
}

// --- redrawing ---

TEST_F(TileTest, ASecondRenderWithNothingChangedTouchesNothing)
{
    tile->render();
    button().setTitle(QStringLiteral("marker"));
    tile->render();
    EXPECT_EQ(button().title(), QStringLiteral("marker"));
}

TEST_F(TileTest, RedrawsOnTheEnginesNotifications)
{
    tile->render();
    world().setCurrentSpace(QStringLiteral("D1"), 12);
    refresh(); // posts the engine's notifications
    EXPECT_EQ(button().title(), QStringLiteral(" Desktop 2"));
    EXPECT_EQ(button().toolTip(), QStringLiteral("Desktop 2 · Desktop 2"));
}

TEST_F(TileTest, WithoutADesktopShowsSpacesAndDrawsTheSameDesktopAgainWhenItReturns)
{
    tile->render();
    // A full-screen space is current: no ordinary desktop is active.
    world().addSpace(QStringLiteral("D1"), {14, 14, 4, {}});
    world().setCurrentSpace(QStringLiteral("D1"), 14);
    refresh();
    ASSERT_FALSE(engine().activeDesktop());
    tile->render();
    EXPECT_EQ(button().title(), QStringLiteral("Spaces"));
    EXPECT_TRUE(button().image().isNull());
    EXPECT_FALSE(tile->rendered());

    world().setCurrentSpace(QStringLiteral("D1"), 11);
    refresh();
    tile->render();
    EXPECT_EQ(button().title(), QStringLiteral(" Mail"));
    EXPECT_FALSE(button().image().isNull());
}

TEST_F(TileTest, ADesktopRemovedBeforeTheCurrentOneRenumbersTheTile)
{
    world().setCurrentSpace(QStringLiteral("D1"), 12);
    name(12, QStringLiteral("Work"));
    refresh();
    tile->render();
    EXPECT_EQ(button().toolTip(), QStringLiteral("Work · Desktop 2"));
    const QImage before = button().image();

    world().removeSpace(11);
    refresh();
    tile->render();
    EXPECT_EQ(button().toolTip(), QStringLiteral("Work · Desktop 1"));
    EXPECT_NE(button().image(), before);
}

TEST_F(TileTest, AStyleChangeEndsCompactAndShowsTheFullTile)
{
    tile->setCompact(true);
    tile->render();
    EXPECT_EQ(button().title(), QString());
    settings().setMenuBarStyle(MenuBarStyle::nameOnly);
    tile->render();
    EXPECT_FALSE(tile->compact());
    EXPECT_EQ(button().title(), QStringLiteral("Mail"));
}

// --- stepping aside for the notch label ---

TEST_F(TileTest, StepsAsideOnceForAShowingNotchLabelAndComesBack)
{
    bool labelShowing = true;
    tile->setNotchLabelVisible([&] { return labelShowing; });
    settings().setNotchEnabled(true);
    settings().setTileHiddenBesideNotch(true);
    tile->render();
    tile->render();
    EXPECT_FALSE(tile->item().isVisible());
    EXPECT_EQ(tile->presence(), TilePresence::steppedAside);
    EXPECT_EQ(tileChangedCount(), 1);
    EXPECT_EQ(switchLog().count(QStringLiteral("menu bar tile steps aside for the notch label")), 1);

    settings().setTileHiddenBesideNotch(false);
    tile->render();
    EXPECT_TRUE(tile->item().isVisible());
    EXPECT_EQ(tileChangedCount(), 2);
    EXPECT_TRUE(switchLog().contains(QStringLiteral("menu bar tile is back")));
    EXPECT_EQ(tile->presence(), TilePresence::inBar);
}

TEST_F(TileTest, WithoutTheHookTheTileNeverStepsAside)
{
    settings().setNotchEnabled(true);
    settings().setTileHiddenBesideNotch(true);
    tile->render();
    EXPECT_TRUE(tile->item().isVisible());
    EXPECT_EQ(tileChangedCount(), 0);
}

// --- placing the image ---

TEST_F(TileTest, PaddingAddsOneEmptyPointBelowTheTileFromVersion27On)
{
    EXPECT_EQ(StatusBarController::bottomMargin(26), 0);
    EXPECT_EQ(StatusBarController::bottomMargin(27), 1);
    QImage tileImage(34, 34, QImage::Format_ARGB32_Premultiplied);
    tileImage.setDevicePixelRatio(2);
    tileImage.fill(Qt::red);
    EXPECT_EQ(StatusBarController::padded(tileImage, 0), tileImage);
    const QImage padded = StatusBarController::padded(tileImage, 1);
    EXPECT_EQ(padded.size(), QSize(34, 36));
    EXPECT_EQ(padded.devicePixelRatio(), 2);
    EXPECT_EQ(padded.pixelColor(5, 0), QColor(Qt::red));
    EXPECT_EQ(padded.pixelColor(5, 33), QColor(Qt::red));
    EXPECT_EQ(padded.pixelColor(5, 35).alpha(), 0);
}

// --- awkward names ---

TEST_F(TileTest, HugeMultilineRightToLeftAndEmojiNamesStayWithinTheCap)
{
    const QStringList names = {QString(10000, u'W'), QStringLiteral("first line\nsecond line\nthird"),
                               QStringLiteral("שולחן עבודה ראשי עם שם ארוך מאוד באמת"),
                               QStringLiteral("👩‍👩‍👧‍👦🏳️‍🌈🇩🇪 family flags and more words here")};
    for (const QString& text : names) {
        name(11, text);
        tile->render();
        EXPECT_LE(tile->item().width(), 220) << text.left(20).toStdString();
        EXPECT_FALSE(button().displayedTitle().contains(u'\n'));
        const QImage drawn = button().snapshot(2);
        EXPECT_EQ(drawn.height(), 48);
        EXPECT_LE(drawn.width(), 440);
    }
    savePicture(button().snapshot(2), QStringLiteral("tile-emoji.png"));
}
