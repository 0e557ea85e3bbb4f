#include "engine/SpaceEngine.h"
#include "platform/Screens.h"
#include "platform/sim/World.h"
#include "store/Settings.h"
#include "store/SpaceStore.h"
#include "support/PlatformTest.h"
#include "surfaces/HUDContent.h"
#include "surfaces/HUDPanel.h"
#include "surfaces/SwitchHUD.h"
#include "ui/KitFonts.h"
#include "ui/Theme.h"

#include <QImage>
#include <QPainter>

#include <cmath>

namespace {

using platform::sim::World;

class SwitchHUDTest : public PlatformTest {
protected:
    SwitchHUDTest()
    {
        KitFonts::install();
        primaryUUID = World::shared().displays().first().uuid;
    }

    Desktop named(qint64 number, const QString& name)
    {
        std::optional<Desktop> desktop = SpaceEngine::shared().desktopWithNumber(number);
        EXPECT_TRUE(desktop);
        SpaceStore::shared().change(desktop->managedID(), [&](SpaceMeta& meta) { meta.name = name; });
        return *desktop;
    }

    Desktop unnamed(qint64 number) { return *SpaceEngine::shared().desktopWithNumber(number); }

    // A second display to the right of the first.
    QString addSecondDisplay()
    {
        platform::sim::DisplaySpec second;
        second.uuid = QStringLiteral("SECOND-DISPLAY");
        second.frame = QRectF(1512, 0, 1920, 1080);
        platform::sim::SpaceSpec space;
        space.id = 90;
        space.managedID = 90;
        second.spaces = {space};
        World::shared().addDisplay(second);
        return second.uuid;
    }

    Settings& settings = Settings::shared();
    SwitchHUD hud{SpaceEngine::shared(), Settings::shared()};
    QString primaryUUID;
};

QImage renderPanel(HUDPanel& panel, double scale)
{
    QImage image(QSize(int(std::ceil(panel.width() * scale)), int(std::ceil(panel.height() * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::black);
    panel.content().resize(panel.size());
    panel.content().render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// --- presenting and hiding ---------------------------------------------------

TEST_F(SwitchHUDTest, ATagSpringsInOnTheNextTurnAndIsOrderedOutAfterItsFade)
{
    hud.show(named(2, QStringLiteral("Mail")), primaryUUID);
    HUDPanel* panel = hud.panel(primaryUUID);
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isOnScreen());
    // Ordered front, but the spring has not run yet.
    EXPECT_FALSE(panel->state().visible());
    EXPECT_FALSE(hud.isShowing());

    clock().runPending();
    EXPECT_TRUE(panel->state().visible());
    EXPECT_TRUE(hud.isShowing());
    advance(1.0);
    EXPECT_NEAR(panel->state().shownAmount(), 1.0, 0.01);

    advance(0.21); // 1.21 s: past the default 1.2 s duration
    EXPECT_FALSE(panel->state().visible());
    EXPECT_TRUE(panel->isOnScreen());
    advance(0.2); // 1.41 s: the fade is over, the panel not yet ordered out
    EXPECT_DOUBLE_EQ(panel->state().shownAmount(), 0.0);
    EXPECT_TRUE(panel->isOnScreen());
    advance(0.05); // 1.46 s > 1.2 + 0.24
    EXPECT_FALSE(panel->isOnScreen());
    EXPECT_FALSE(hud.isShowing());
}

TEST_F(SwitchHUDTest, ASecondSwitchRestartsTheDurationAndTheFirstHideDoesNothing)
{
    hud.show(named(1, QStringLiteral("Code")), primaryUUID);
    clock().runPending();
    advance(0.5);
    hud.show(named(2, QStringLiteral("Mail")), primaryUUID);
    HUDPanel* panel = hud.panel(primaryUUID);
    // Still shown: the content changes in place.
    EXPECT_TRUE(panel->state().visible());
    EXPECT_EQ(panel->state().desktop()->displayName(), QStringLiteral("Mail"));
    clock().runPending();

    advance(0.75); // 1.25 s: the first showing's hide is due and must not act
    EXPECT_TRUE(panel->state().visible());
    EXPECT_TRUE(panel->isOnScreen());
    advance(0.5); // 1.75 s = 0.5 + 1.2 + 0.05
    EXPECT_FALSE(panel->state().visible());
    advance(0.2); // 1.95 s, past 1.7 + 0.24
    EXPECT_FALSE(panel->isOnScreen());
}

TEST_F(SwitchHUDTest, ToastsAndTagsUseTheirOwnPanelsAndShowTogether)
{
    const QString second = addSecondDisplay();
    hud.show(unnamed(1), second);
    hud.toast(QStringLiteral("Moved Mail to Desktop 2"), QStringLiteral("link"), 2.0);
    clock().runPending();
    HUDPanel* tag = hud.panel(second);
    HUDPanel* toast = hud.panel(SwitchHUD::toastKey);
    ASSERT_TRUE(tag && toast);
    EXPECT_TRUE(tag->state().visible());
    EXPECT_TRUE(toast->state().visible());
    EXPECT_FALSE(toast->state().desktop());
    EXPECT_EQ(toast->state().toast()->symbol, QStringLiteral("link"));
    // The tag sits on its display, the toast on the main screen.
    EXPECT_GE(tag->frame().left(), 1512);
    EXPECT_LT(toast->frame().right(), 1512);

    // The toast's own duration, not the tag's.
    advance(2.05);
    EXPECT_FALSE(toast->state().visible());
    EXPECT_FALSE(tag->state().visible());
}

TEST_F(SwitchHUDTest, HideAllTakesEveryCardAwayAndCancelsTheTimedSteps)
{
    hud.show(unnamed(1), primaryUUID);
    hud.toast(QStringLiteral("Hello"), QStringLiteral("link"));
    clock().runPending();
    hud.hideAll();
    EXPECT_FALSE(hud.isShowing());
    EXPECT_FALSE(hud.panel(primaryUUID)->isOnScreen());
    EXPECT_FALSE(hud.panel(SwitchHUD::toastKey)->isOnScreen());
    advance(5);
    EXPECT_FALSE(hud.panel(primaryUUID)->isOnScreen());
    EXPECT_FALSE(hud.isShowing());
}

TEST_F(SwitchHUDTest, HideAllBeforeTheSpringKeepsTheCardHidden)
{
    hud.show(unnamed(1), primaryUUID);
    hud.hideAll();
    clock().runPending();
    EXPECT_FALSE(hud.panel(primaryUUID)->state().visible());
    EXPECT_FALSE(hud.isShowing());
}

// --- what counts as a switch tag --------------------------------------------

TEST_F(SwitchHUDTest, AToastAloneIsNoSwitchTagShowing)
{
    hud.toast(QStringLiteral("Turned on macOS shortcuts"), QStringLiteral("keyboard"), 5.0);
    clock().runPending();
    ASSERT_TRUE(hud.panel(SwitchHUD::toastKey)->state().visible());
    EXPECT_FALSE(hud.isShowing());

    // A tag beside the toast shows; once it hid, the toast still up does not count.
    hud.show(unnamed(1), primaryUUID);
    clock().runPending();
    EXPECT_TRUE(hud.isShowing());
    advance(1.5);
    EXPECT_TRUE(hud.panel(SwitchHUD::toastKey)->state().visible());
    EXPECT_FALSE(hud.isShowing());
}

TEST_F(SwitchHUDTest, ThePreviewIsASwitchTag)
{
    hud.preview();
    clock().runPending();
    EXPECT_TRUE(hud.isShowing());
}

// --- screens and placement ---------------------------------------------------

TEST_F(SwitchHUDTest, AnUnknownDisplayShowsOnTheMainScreenButKeepsItsKey)
{
    hud.show(unnamed(1), QStringLiteral("NO-SUCH-DISPLAY"));
    HUDPanel* panel = hud.panel(QStringLiteral("NO-SUCH-DISPLAY"));
    ASSERT_TRUE(panel);
    const platform::Screen main = *platform::Screens::mainScreen();
    EXPECT_TRUE(main.frame.contains(panel->frame()));
}

TEST_F(SwitchHUDTest, WithoutScreensNothingIsShown)
{
    World::shared().clear();
    hud.show(unnamed(1), primaryUUID);
    hud.toast(QStringLiteral("x"), QStringLiteral("link"));
    EXPECT_FALSE(hud.panel(primaryUUID));
    EXPECT_FALSE(hud.panel(SwitchHUD::toastKey));
}

TEST_F(SwitchHUDTest, PositionsFollowTheVisibleFrame)
{
    const platform::Screen screen = *platform::Screens::mainScreen();
    const QRectF visible = screen.visibleFrame;

    hud.show(unnamed(1), primaryUUID);
    QRectF frame = hud.panel(primaryUUID)->frame();
    EXPECT_NEAR(frame.center().x(), visible.center().x(), 1);
    EXPECT_NEAR(frame.center().y(), visible.center().y(), 1);

    settings.setHudPosition(HUDPosition::top);
    hud.show(unnamed(1), primaryUUID);
    frame = hud.panel(primaryUUID)->frame();
    // y grows upwards: the panel's top edge is 24 points below the visible top.
    EXPECT_NEAR(visible.y() + visible.height() - (frame.y() + frame.height()), HUDPanel::topInset, 1);

    settings.setHudPosition(HUDPosition::bottom);
    hud.show(unnamed(1), primaryUUID);
    frame = hud.panel(primaryUUID)->frame();
    EXPECT_NEAR(frame.y() - visible.y(), HUDPanel::bottomInset, 1);
}

TEST_F(SwitchHUDTest, AWideCardIsCutToTheScreenWidthButNeverInHeight)
{
    World::shared().setDisplayFrame(primaryUUID, QRectF(0, 0, 400, 300), QRectF(0, 0, 400, 280));
    hud.show(named(1, QString(200, QLatin1Char('W'))), primaryUUID);
    HUDPanel* panel = hud.panel(primaryUUID);
    const QSizeF fitting = HUDContent(panel->state(), true).fittingSize();
    EXPECT_NEAR(panel->frame().width(), 400, 1);
    EXPECT_NEAR(panel->frame().height(), fitting.height() + HUDPanel::padding, 1);
    // The name is cut on one line to fit.
    const HUDContent::Lines lines = panel->content().lines(400);
    EXPECT_TRUE(lines.name.endsWith(QStringLiteral("\u2026")));
}

TEST_F(SwitchHUDTest, PreviewShowsTheActiveDesktopUnderItsOwnKey)
{
    const Desktop active = *SpaceEngine::shared().activeDesktop();
    hud.preview();
    HUDPanel* panel = hud.panel(SwitchHUD::previewKey);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->state().desktop()->id(), active.id());
    EXPECT_FALSE(hud.panel(primaryUUID));
}

TEST_F(SwitchHUDTest, ThePanelIsAClickThroughPanelAboveEverything)
{
    hud.show(unnamed(1), primaryUUID);
    HUDPanel* panel = hud.panel(primaryUUID);
    EXPECT_EQ(panel->level(), WindowLevel::screenSaver);
    EXPECT_TRUE(panel->ignoresMouseEvents());
    EXPECT_FALSE(panel->canBecomeKeyWindow());
    EXPECT_FALSE(panel->hasShadow());
    EXPECT_TRUE(panel->joinsAllSpaces());
}

// --- the card ----------------------------------------------------------------------

TEST_F(SwitchHUDTest, TheNumberLineAppearsOnlyForANamedDesktopWhenAsked)
{
    HUDState state;
    HUDContent content(state, true);
    state.setDesktop(unnamed(3));
    EXPECT_EQ(content.lines(800).name, QStringLiteral("Desktop 3"));
    EXPECT_FALSE(content.lines(800).number);

    state.setDesktop(named(3, QStringLiteral("Music")));
    EXPECT_EQ(content.lines(800).name, QStringLiteral("Music"));
    EXPECT_EQ(content.lines(800).number, QStringLiteral("Desktop 3"));

    state.setShowNumber(false);
    EXPECT_FALSE(content.lines(800).number);
}

TEST_F(SwitchHUDTest, PresentationModeShowsOnlyTheNumber)
{
    HUDState state;
    HUDContent content(state, true);
    const Desktop desktop = named(2, QStringLiteral("Secret"));
    settings.setPresenting(true);
    state.setDesktop(desktop);
    EXPECT_EQ(content.lines(800).name, QStringLiteral("Desktop 2"));
    EXPECT_FALSE(content.lines(800).number);
}

// The toast's lines as its panel draws them, joined again.
QString shownText(HUDPanel& panel)
{
    return panel.content().lines(panel.width()).toast.join(QLatin1Char(' '));
}

TEST_F(SwitchHUDTest, ALongToastGrowsWiderToShowItsWholeTextOnTwoLines)
{
    const QString text = QStringLiteral("Turned on macOS shortcuts \u23031\u2013\u23034 so switching is instant (the Dock "
                                        "restarted to load them). Change any time in System Settings \u2192 Keyboard.");
    hud.toast(text, QStringLiteral("keyboard"), 5.0);
    clock().runPending();
    HUDPanel* panel = hud.panel(SwitchHUD::toastKey);
    ASSERT_TRUE(panel);
    const HUDContent::Lines lines = panel->content().lines(panel->width());
    EXPECT_EQ(lines.toast.size(), 2);
    EXPECT_EQ(shownText(*panel), text);
    EXPECT_FALSE(shownText(*panel).contains(QStringLiteral("\u2026")));
    // Wider than the usual 380 points of text, within the screen.
    const double usual = 380 + 2 * 18 + 18 + 12 + 2 * HUDContent::outerPadding + HUDPanel::padding;
    EXPECT_GT(panel->frame().width(), usual);
    EXPECT_LE(panel->frame().width(), platform::Screens::mainScreen()->frame.width());

    // A short one keeps its natural width, on one line.
    hud.toast(QStringLiteral("Short"), QStringLiteral("link"));
    EXPECT_EQ(panel->content().lines(panel->width()).toast, QStringList{QStringLiteral("Short")});
    EXPECT_LT(panel->frame().width(), usual - 300);
}

TEST_F(SwitchHUDTest, AToastTooLongForTheScreenTakesMoreLinesAndIsNeverCut)
{
    World::shared().setDisplayFrame(primaryUUID, QRectF(0, 0, 700, 500), QRectF(0, 0, 700, 480));
    QStringList words;
    for (int i = 0; i < 60; ++i)
        words << QStringLiteral("word") + QString::number(i);
    const QString text = words.join(QLatin1Char(' '));
    hud.toast(text, QStringLiteral("link"));
    HUDPanel* panel = hud.panel(SwitchHUD::toastKey);
    ASSERT_TRUE(panel);
    EXPECT_NEAR(panel->frame().width(), 700, 1);
    EXPECT_GT(panel->content().lines(panel->width()).toast.size(), 2);
    EXPECT_EQ(shownText(*panel), text);
    // Every line is drawn inside the card.
    const QRectF card = panel->content().cardRect();
    EXPECT_GE(card.left(), 0);
    EXPECT_LE(card.right(), panel->width());
}

TEST_F(SwitchHUDTest, TheLargeSizeScalesTheCardButNotTheOuterPadding)
{
    HUDState state;
    HUDContent content(state, true);
    state.setToast(HUDState::Toast{QStringLiteral("Hi"), QStringLiteral("link")});
    const double regular = content.fittingSize().height() - 2 * HUDContent::outerPadding;
    state.setSize(HUDSize::large);
    const double large = content.fittingSize().height() - 2 * HUDContent::outerPadding;
    EXPECT_NEAR(large / regular, 1.3, 0.02);
}

TEST_F(SwitchHUDTest, AnEmptyStateDrawsNothing)
{
    hud.show(unnamed(1), primaryUUID);
    HUDPanel* panel = hud.panel(primaryUUID);
    clock().runPending();
    advance(1);
    panel->state().setDesktop(std::nullopt);
    const QImage image = renderPanel(*panel, 1);
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::black));
}

TEST_F(SwitchHUDTest, TheShownCardIsDrawnOnItsFillAndRenders)
{
    hud.show(named(2, QStringLiteral("Mail")), primaryUUID);
    HUDPanel* panel = hud.panel(primaryUUID);
    clock().runPending();
    advance(1);
    const QImage tag = renderPanel(*panel, 2);
    tag.save(QStringLiteral("/tmp/tessaroom-switch-tag.png"));
    const QRectF card = panel->content().cardRect();
    // Just inside the card's right edge, away from text: the fill over black.
    const QPointF inside(card.right() - 6, card.center().y());
    const QColor fill = Theme::tagFill();
    const QColor seen = tag.pixelColor(int(inside.x() * 2), int(inside.y() * 2));
    EXPECT_NEAR(seen.redF(), fill.redF() * fill.alphaF(), 0.03);
    EXPECT_NEAR(seen.blueF(), fill.blueF() * fill.alphaF(), 0.03);

    hud.toast(QStringLiteral("Tessaroom doesn't know the link tessaroom://nowhere"), QStringLiteral("link"));
    clock().runPending();
    advance(1);
    renderPanel(*hud.panel(SwitchHUD::toastKey), 2).save(QStringLiteral("/tmp/tessaroom-toast.png"));
}

TEST_F(SwitchHUDTest, AHiddenCardIsTransparent)
{
    hud.show(named(2, QStringLiteral("Mail")), primaryUUID);
    HUDPanel* panel = hud.panel(primaryUUID);
    const QImage image = renderPanel(*panel, 1);
    const QPointF centre = panel->content().cardRect().center();
    EXPECT_EQ(image.pixelColor(centre.toPoint()), QColor(Qt::black));
}

} // namespace
