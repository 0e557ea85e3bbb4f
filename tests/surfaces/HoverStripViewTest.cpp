#include "surfaces/HoverStripView.h"

#include "SwitcherWorld.h"
#include "platform/Screens.h"
#include "platform/WindowFrame.h"
#include "surfaces/HoverPanel.h"
#include "surfaces/HoverStripAppIcon.h"
#include "surfaces/HoverStripItem.h"
#include "store/SpaceStore.h"
#include "ui/Theme.h"

#include <QCoreApplication>
#include <QEnterEvent>

namespace {

class HoverStripViewTest : public SwitcherWorld {
protected:
    static SpaceApp app(qint32 pid, bool withIcon = true, std::optional<QString> badge = std::nullopt)
    {
        SpaceApp made;
        made.pid = pid;
        made.name = QStringLiteral("App ") + QString::number(pid);
        if (withIcon) {
            made.icon = QImage(16, 16, QImage::Format_ARGB32_Premultiplied);
            made.icon.fill(Qt::green);
        }
        made.badge = badge;
        return made;
    }

    // Animations move in frames of 1/60 s.
    static constexpr double frameTime = 1.0 / 60;

    static void enter(QWidget* widget)
    {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(widget, &event);
    }

    static void leave(QWidget* widget)
    {
        QEvent event(QEvent::Leave);
        QCoreApplication::sendEvent(widget, &event);
    }
};

// --- app icons ---

TEST_F(HoverStripViewTest, ADesktopShowsTheIconsOfItsFirstFiveAppsAtTheTilesCorner)
{
    const Desktop shown = desktop(1);
    QList<SpaceApp> apps;
    for (int pid = 1; pid <= 7; ++pid)
        apps.append(app(pid));
    HoverStripItem tile(shown, apps, {}, {});
    ASSERT_EQ(tile.appIcons().size(), 5);
    EXPECT_EQ(tile.appIcons()[0]->app().pid, 1);
    EXPECT_EQ(tile.appIcons()[4]->app().pid, 5);
    // The last icon's backing ends 3 points inside the tile's bottom right.
    const QRectF backing = HoverStripAppIcon::backingRect().translated(tile.appIcons()[4]->pos());
    EXPECT_NEAR(backing.right(), tile.tileRect().right() - 3, 1);
    EXPECT_NEAR(backing.bottom(), tile.tileRect().bottom() - 3, 1);
    // Each icon overlaps the one before by 5 points.
    EXPECT_EQ(tile.appIcons()[1]->x() - tile.appIcons()[0]->x(), 10);
}

TEST_F(HoverStripViewTest, AppsWithoutAnIconTakeNoPlace)
{
    HoverStripItem mixed(desktop(1), {app(1, false), app(2), app(3, false)}, {}, {});
    ASSERT_EQ(mixed.appIcons().size(), 1);
    EXPECT_EQ(mixed.appIcons()[0]->app().pid, 2);
    HoverStripItem bare(desktop(2), {app(4, false), app(5, false)}, {}, {});
    EXPECT_TRUE(bare.appIcons().isEmpty());
    // Icon-less apps still count toward the five.
    HoverStripItem late(desktop(3), {app(1, false), app(2, false), app(3, false), app(4, false), app(5, false), app(6)},
                        {}, {});
    EXPECT_TRUE(late.appIcons().isEmpty());
}

// --- borders and glow ---

TEST_F(HoverStripViewTest, ABadgedAppMarksAnotherDesktopRedButNotTheCurrentOne)
{
    Desktop other = desktop(2);
    HoverStripItem badged(other, {app(1, true, QStringLiteral("3"))}, {}, {});
    ASSERT_TRUE(badged.borderColor());
    EXPECT_TRUE(sameColor(badged.borderColor()->toRgb(), QColor::fromRgbF(Theme::red().redF(), Theme::red().greenF(),
                                                                          Theme::red().blueF(), 0.95f)));
    EXPECT_TRUE(badged.hasGlow());

    Desktop current = desktop(1);
    current.isCurrent = true;
    HoverStripItem mine(current, {app(1, true, QStringLiteral("3"))}, {}, {});
    EXPECT_TRUE(sameColor(*mine.borderColor(), Theme::stripCurrentBorder()));
    EXPECT_FALSE(mine.hasGlow());

    HoverStripItem plain(other, {app(1)}, {}, {});
    EXPECT_FALSE(plain.borderColor());
    EXPECT_FALSE(plain.hasGlow());
}

TEST_F(HoverStripViewTest, RendersTheBadgedTileWithARedBorder)
{
    HoverStripItem badged(desktop(2, SpaceIcon::none(), TileColor::palette(3)), {app(1, true, QStringLiteral("1"))},
                          {}, {});
    const QImage image = render(badged, Theme::canvas(), 2);
    const QRectF tile = badged.tileRect();
    const QColor edge = at(image, QPointF(tile.center().x(), tile.top() + 0.6));
    EXPECT_GT(edge.red(), 200);
    EXPECT_LT(edge.green(), 120);
}

// --- hovering ---

TEST_F(HoverStripViewTest, HoveringGrowsTheTileAndAnIconOverItsNeighbours)
{
    HoverStripItem tile(desktop(2), {app(1), app(2)}, {}, {});
    enter(&tile);
    EXPECT_TRUE(sameColor(*tile.borderColor(), Theme::stripHoverBorder()));
    advance(0.12 + frameTime);
    EXPECT_NEAR(tile.tileScale(), 1.05, 1e-6);
    leave(&tile);
    advance(0.12 + frameTime);
    EXPECT_NEAR(tile.tileScale(), 1.0, 1e-6);
    EXPECT_FALSE(tile.borderColor());

    HoverStripAppIcon* first = tile.appIcons()[0];
    enter(first);
    advance(0.12 + frameTime);
    EXPECT_NEAR(first->scale(), 1.5, 1e-6);
    // Raised: now the last child, drawn above the second icon.
    EXPECT_EQ(tile.children().last(), first);
}

TEST_F(HoverStripViewTest, TooltipsNameTheDesktopAndTheApp)
{
    HoverStripItem tile(desktop(4, SpaceIcon::none(), TileColor::automatic(), QStringLiteral("Design")), {app(7)}, {},
                        {});
    EXPECT_EQ(tile.toolTip(), QStringLiteral("Design · Desktop 4"));
    EXPECT_EQ(tile.appIcons()[0]->toolTip(), QStringLiteral("Open App 7 here"));
}

// --- the strip and its panel ---

TEST_F(HoverStripViewTest, TheStripHasATileForEveryDesktopOfEveryDisplay)
{
    makeDesktops(2, 1);
    platform::sim::DisplaySpec second;
    second.uuid = QStringLiteral("DISPLAY-B");
    second.displayID = 2;
    second.frame = QRectF(1000, 0, 800, 600);
    second.spaces = {{7, 1007, 0, {}}, {8, 1008, 0, {}}};
    second.currentSpaceID = 8;
    world().addDisplay(second);
    engine().refresh(false);
    HoverStripView strip(engine(), {}, {});
    ASSERT_EQ(strip.items().size(), 4);
    int current = 0;
    for (HoverStripItem* item : strip.items())
        current += item->desktop().isCurrent ? 1 : 0;
    EXPECT_EQ(current, 2) << "the current desktop of each display";
    // 4 items of 70, 3 gaps of 6, 10 padding either side.
    EXPECT_EQ(strip.sizeHint().width(), 4 * 70 + 3 * 6 + 20);
}

TEST_F(HoverStripViewTest, ThePanelSitsCentredSixPointsBelowTheMenuBar)
{
    makeDesktops(3);
    HoverPanel panel(engine(), {}, {});
    EXPECT_EQ(panel.level(), WindowLevel::popUpMenu);
    EXPECT_FALSE(panel.ignoresMouseEvents());
    EXPECT_TRUE(panel.hasShadow());
    panel.layout(*platform::Screens::mainScreen());
    const QRectF frame = platform::WindowFrame::frame(&panel);
    EXPECT_DOUBLE_EQ(frame.center().x(), 500);
    EXPECT_DOUBLE_EQ(frame.y() + frame.height(), 800 - 37 - 6);
    EXPECT_DOUBLE_EQ(frame.width(), panel.strip()->sizeHint().width());
}

TEST_F(HoverStripViewTest, OnANarrowScreenManyDesktopsGiveAPanelFortyPointsNarrower)
{
    makeDesktops(16, 1, QRectF(0, 0, 800, 600));
    HoverPanel panel(engine(), {}, {});
    panel.layout(*platform::Screens::mainScreen());
    const QRectF frame = platform::WindowFrame::frame(&panel);
    EXPECT_DOUBLE_EQ(frame.width(), 760);
    EXPECT_DOUBLE_EQ(frame.x(), 20);
    // The strip keeps its size, centred and cut at both ends.
    EXPECT_GT(panel.strip()->width(), 760);
    EXPECT_LT(panel.strip()->x(), 0);
}

} // namespace

namespace {

TEST_F(HoverStripViewTest, RendersTheStripOnItsCard)
{
    makeDesktops(4, 2);
    name(1, QStringLiteral("Mail"));
    name(3, QStringLiteral("A rather long desktop name"));
    SpaceStore::shared().change(1004, [](SpaceMeta& meta) {
        meta.icon = SpaceIcon::emoji(QStringLiteral("🎧"));
        meta.color = TileColor::palette(5);
    });
    addApp(501, QStringLiteral("Safari"), {1, 3});
    addApp(502, QStringLiteral("Mail"), {1});
    engine().appsByDesktop(true);
    HoverPanel panel(engine(), {}, {});
    panel.layout(*platform::Screens::mainScreen());
    const QImage image = render(panel, Theme::canvas(), 2);
    keepRender(image, QStringLiteral("hover-strip"));
    // The card's colour in its padding, left of the first tile.
    EXPECT_TRUE(sameColor(at(image, {5, 30}), Theme::canvas(), 6));
    // The current desktop (2) has a white border.
    HoverStripItem* current = panel.strip()->items()[1];
    const QPointF border = current->mapTo(&panel, current->tileRect().topLeft() + QPointF(20, 0.6));
    EXPECT_GT(at(image, border).lightness(), 200);
}

} // namespace

namespace {

TEST_F(HoverStripViewTest, TheStripFollowsTheEnginesDesktops)
{
    makeDesktops(3);
    HoverStripView strip(engine(), {}, {});
    ASSERT_EQ(strip.items().size(), 3);
    world().addSpace(QString::fromLatin1(displayUUID), {9, 1009, 0, {}});
    engine().refresh(false);
    EXPECT_EQ(strip.items().size(), 4);
    EXPECT_EQ(strip.items().last()->desktop().number, 4);
}

} // namespace
