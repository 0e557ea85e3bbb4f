#include "MenuBarTest.h"

#include "menubar/StatusBarController.h"
#include "platform/Graphemes.h"
#include "platform/NotificationCenter.h"
#include "store/Palette.h"
#include "store/SpaceStore.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <utility>
#include <vector>

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
    // Each name with its one line as shown.
    const QString family = QStringLiteral("👩‍👩‍👧‍👦");
    const QString flags = QStringLiteral("🇩🇪").repeated(30);
    const std::vector<std::pair<QString, QString>> names = {
        {QString(10000, u'W'), QString(10000, u'W')},
        {QStringLiteral("first line\nsecond line\r\nthird"), QStringLiteral("first line second line third")},
        {QStringLiteral("a\ttab\u009Cand\u2028more"), QStringLiteral("a tab and more")},
        {QStringLiteral("שולחן עבודה ראשי עם שם ארוך מאוד באמת"), QStringLiteral("שולחן עבודה ראשי עם שם ארוך מאוד באמת")},
        {QStringLiteral("👩‍👩‍👧‍👦🏳️‍🌈🇩🇪 family flags and more words here"),
         QStringLiteral("👩‍👩‍👧‍👦🏳️‍🌈🇩🇪 family flags and more words here")},
        {family + flags, family + flags}};
    for (const auto& [text, line] : names) {
        name(11, text);
        tile->render();
        EXPECT_LE(tile->item().width(), 220) << text.left(20).toStdString();
        EXPECT_FALSE(button().displayedTitle().contains(u'\n'));
        const QImage drawn = button().snapshot(2);
        EXPECT_EQ(drawn.height(), 48);
        EXPECT_LE(drawn.width(), 440);
        // The tooltip cuts the name as the other surfaces do.
        const QString tip = button().toolTip();
        ASSERT_TRUE(tip.endsWith(QStringLiteral(" · Desktop 1"))) << tip.left(20).toStdString();
        const QString shown = tip.chopped(12);
        EXPECT_LE(QFontMetricsF(QToolTip::font()).horizontalAdvance(shown), StatusBarController::toolTipNameWidth + 1);
        EXPECT_TRUE(shown == line
                    || (shown.endsWith(QStringLiteral("…")) && line.startsWith(shown.chopped(1))
                        && platform::Graphemes::isBoundary(line, shown.size() - 1)))
            << shown.toStdString();
        EXPECT_TRUE(text.size() < 10000 || shown.endsWith(QStringLiteral("…")));
    }
    savePicture(button().snapshot(2), QStringLiteral("tile-emoji.png"));
}

// --- the tray's icon form ---

namespace {

bool isRed(const QColor& color)
{
    return color.alpha() > 200 && color.red() > 200 && color.green() < 110 && color.blue() < 110;
}

bool isWhite(const QColor& color)
{
    return color.alpha() > 200 && std::min({color.red(), color.green(), color.blue()}) > 220;
}

// Pixels of the kind inside a rectangle given in points.
int count(const QImage& image, const QRectF& points, bool (*kind)(const QColor&))
{
    const double scale = image.devicePixelRatio();
    const QRect pixels(QPoint(int(points.left() * scale), int(points.top() * scale)),
                       QPoint(int(points.right() * scale) - 1, int(points.bottom() * scale) - 1));
    int found = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            found += kind(image.pixelColor(x, y)) ? 1 : 0;
    }
    return found;
}

} // namespace

TEST_F(TileTest, EveryStyleShowsTheTrayTheTileOnItsColourAndKeepsTheNameInTheTooltip)
{
    constexpr double side = StatusBarController::iconFormSize;
    for (const MenuBarStyle style :
         {MenuBarStyle::iconAndName, MenuBarStyle::nameOnly, MenuBarStyle::iconOnly, MenuBarStyle::numberAndName}) {
        SCOPED_TRACE(int(style));
        settings().setMenuBarStyle(style);
        tile->render();
        const QImage tray = platform::sim::trayImage(tile->item());
        ASSERT_EQ(tray.size(), QSize(int(side * 2), int(side * 2)));
        EXPECT_EQ(tray.devicePixelRatio(), 2);
        // Below the number the tile's own colour, whatever the tray's.
        const QColor below = tray.pixelColor(int(side), int(side * 2 - 6));
        EXPECT_TRUE(sameColor(below, Palette::color(0), 6)) << below.name().toStdString();
        // The number, in white, in the middle.
        EXPECT_GT(count(tray, QRectF(side * 0.3, side * 0.25, side * 0.4, side * 0.5), isWhite), 20);
        EXPECT_EQ(button().toolTip(), QStringLiteral("Mail · Desktop 1"));
    }
}

TEST_F(TileTest, TheTraysBadgeSitsInTheTopRightCornerClearOfTheNumber)
{
    constexpr double side = StatusBarController::iconFormSize;
    SpaceApp mail{501, QStringLiteral("Mail"), {}, QStringLiteral("15")};
    engine().setSampleApps(SpaceEngine::AppsMap{{12, {mail}}});
    for (const MenuBarStyle style : {MenuBarStyle::iconAndName, MenuBarStyle::nameOnly}) {
        SCOPED_TRACE(int(style));
        settings().setMenuBarStyle(style);
        tile->render();
        const QImage tray = platform::sim::trayImage(tile->item());
        ASSERT_EQ(tray.size(), QSize(int(side * 2), int(side * 2)));
        // The badge: red in the top right corner and nowhere below it.
        EXPECT_GT(count(tray, QRectF(side / 2, 0, side / 2, side * 0.4), isRed), 30);
        EXPECT_EQ(count(tray, QRectF(0, side * 0.4, side, side * 0.6), isRed), 0);
        EXPECT_EQ(count(tray, QRectF(0, 0, side * 0.3, side), isRed), 0);
        // The number is all there below it.
        EXPECT_GT(count(tray, QRectF(0, side * 0.4, side * 0.8, side * 0.6), isWhite), 20);
        EXPECT_EQ(button().toolTip(), QStringLiteral("Mail · Desktop 1 · 15 waiting on another desktop"));
    }
}

TEST_F(TileTest, ATransparentDesktopShowsTheTrayItsMarkOnTheSwatchGrey)
{
    SpaceStore::shared().change(11, [](SpaceMeta& meta) { meta.color = TileColor::transparent(); });
    settings().setMenuBarStyle(MenuBarStyle::nameOnly);
    tile->render();
    constexpr double side = StatusBarController::iconFormSize;
    const QImage tray = platform::sim::trayImage(tile->item());
    EXPECT_TRUE(sameColor(tray.pixelColor(int(side), int(side * 2 - 6)), Palette::neutral(), 6));
}
