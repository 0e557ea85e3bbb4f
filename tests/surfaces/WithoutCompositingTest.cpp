#include "SwitcherWorld.h"
#include "platform/WindowCompositing.h"
#include "platform/sim/Input.h"
#include "platform/sim/SessionHooks.h"
#include "store/Settings.h"
#include "surfaces/HUDContent.h"
#include "surfaces/HUDPanel.h"
#include "surfaces/HoverPanel.h"
#include "surfaces/HoverStripView.h"
#include "surfaces/NotchPanel.h"
#include "surfaces/QuickSwitcher.h"
#include "surfaces/SpaceHover.h"
#include "surfaces/StandInNotchPanel.h"
#include "surfaces/SwitchHUD.h"
#include "ui/Theme.h"

#include <QRegion>

namespace {

namespace sim = platform::sim;

// Panels on a session without a compositing manager: each window is clipped
// to its card and the card's colour is painted opaque under the content.
class WithoutCompositingTest : public SwitcherWorld {
protected:
    WithoutCompositingTest()
    {
        makeDesktops(3);
        sim::setWindowCompositing(false);
    }

    static QColor opaque(QColor color)
    {
        color.setAlpha(255);
        return color;
    }

    // The shown tag's panel, its spring settled.
    HUDPanel& shownTag(const Desktop& desktop)
    {
        hud.show(desktop, QString::fromLatin1(displayUUID));
        advance(1.0);
        return *hud.panel(QString::fromLatin1(displayUUID));
    }

    static QRectF cardOf(HUDPanel& panel) { return panel.content().cardShape(QSizeF(panel.size())).boundingRect(); }

    // The panel over white in its own coordinates (a masked widget renders
    // its mask's bounding box at the target offset).
    static QImage renderWhole(QWidget& panel)
    {
        QImage image(panel.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        const QPoint origin = panel.mask().isEmpty() ? QPoint() : panel.mask().boundingRect().topLeft();
        panel.render(&image, origin, QRegion(), QWidget::DrawChildren);
        return image;
    }

    SwitchHUD hud{SpaceEngine::shared(), Settings::shared()};
};

// --- switch tag and toasts ---

TEST_F(WithoutCompositingTest, TheSwitchTagIsClippedToItsRoundedCard)
{
    HUDPanel& panel = shownTag(desktopNumber(2));
    ASSERT_TRUE(panel.isClippedToCard());
    const QRectF card = cardOf(panel);
    const QRegion mask = panel.mask();
    EXPECT_TRUE(mask.contains(card.center().toPoint()));
    EXPECT_TRUE(mask.contains(QPoint(int(card.center().x()), int(card.top()) + 1)));
    // The panel's padding and the rounded corner's cut show what lies below.
    EXPECT_FALSE(mask.contains(QPoint(2, 2)));
    EXPECT_FALSE(mask.contains(QPoint(int(card.left()) - 3, int(card.center().y()))));
    EXPECT_FALSE(mask.contains(QPoint(int(card.center().x()), int(card.bottom()) + 3)));
    EXPECT_FALSE(mask.contains(QPoint(int(card.left()) + 1, int(card.top()) + 1)));
}

TEST_F(WithoutCompositingTest, TheTagsCardIsPaintedOpaqueUnderItsTranslucentFill)
{
    HUDPanel& panel = shownTag(desktopNumber(2));
    const QRectF card = cardOf(panel);
    const QImage image = renderWhole(panel);
    // The fill is 94 % opaque: over white it would be lighter than the card.
    EXPECT_TRUE(sameColor(at(image, QPointF(card.center().x(), card.top() + 5)), opaque(Theme::tagFill())));
    EXPECT_TRUE(sameColor(at(image, QPointF(3, 3)), Qt::white));
}

TEST_F(WithoutCompositingTest, AToastIsClippedToItsCardToo)
{
    hud.toast(QStringLiteral("There is no Desktop 99"), QStringLiteral("link"), 3);
    advance(1.0);
    HUDPanel* panel = hud.panel(QStringLiteral("toast"));
    ASSERT_TRUE(panel);
    ASSERT_TRUE(panel->isClippedToCard());
    const QRectF card = cardOf(*panel);
    EXPECT_TRUE(panel->mask().contains(card.center().toPoint()));
    EXPECT_FALSE(panel->mask().contains(QPoint(int(card.left()) - 3, int(card.center().y()))));
    // The mask follows the card when the same panel shows a longer text.
    hud.toast(QStringLiteral("A much longer message that needs a second line to be shown"), QStringLiteral("link"), 3);
    advance(1.0);
    const QRectF longer = cardOf(*panel);
    EXPECT_GT(longer.width(), card.width());
    EXPECT_TRUE(panel->mask().contains(QPoint(int(longer.left()) + 20, int(longer.center().y()))));
}

TEST_F(WithoutCompositingTest, TheTagFollowsACompositingManagerComingAndGoing)
{
    HUDPanel& panel = shownTag(desktopNumber(2));
    ASSERT_TRUE(panel.isClippedToCard());
    sim::setWindowCompositing(true);
    EXPECT_FALSE(panel.isClippedToCard());
    EXPECT_TRUE(panel.mask().isEmpty());
    // With compositing the card's own translucency shows: nothing opaque under it.
    const QRectF card = cardOf(panel);
    const QImage image = renderWhole(panel);
    EXPECT_FALSE(sameColor(at(image, QPointF(card.center().x(), card.top() + 5)), opaque(Theme::tagFill())));
    sim::setWindowCompositing(false);
    EXPECT_TRUE(panel.isClippedToCard());
    EXPECT_TRUE(panel.mask().contains(card.center().toPoint()));
}

TEST_F(WithoutCompositingTest, WithCompositingNoPanelIsClipped)
{
    sim::setWindowCompositing(true);
    HUDPanel& panel = shownTag(desktopNumber(1));
    EXPECT_TRUE(platform::WindowCompositing::isActive());
    EXPECT_FALSE(panel.isClippedToCard());
    EXPECT_TRUE(panel.mask().isEmpty());
}

// --- hover strip, notch, Quick Switcher ---

TEST_F(WithoutCompositingTest, TheHoverStripIsClippedToTheStripAndPaintedInItsCanvasColour)
{
    SpaceHover hover(engine(), Settings::shared(), [] { return false; });
    hover.show(std::nullopt, 4);
    advance(1.0);
    HoverPanel* panel = hover.panel();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(panel->isClippedToCard());
    const QRectF strip(panel->strip()->mapTo(panel, QPoint(0, 0)), QSizeF(panel->strip()->size()));
    const QRegion mask = panel->mask();
    EXPECT_TRUE(mask.contains(strip.center().toPoint()));
    EXPECT_FALSE(mask.contains(strip.topLeft().toPoint() + QPoint(1, 1)));
    EXPECT_TRUE(mask.contains(QPoint(int(strip.left() + HoverStripView::cornerRadius), int(strip.top()) + 1)));
    const QImage image = renderWhole(*panel);
    // The strip's canvas is 97 % opaque; between the tiles it shows opaque.
    EXPECT_TRUE(sameColor(at(image, QPointF(strip.left() + 5, strip.center().y())), opaque(Theme::canvas()), 2));
}

TEST_F(WithoutCompositingTest, TheNotchLabelKeepsOnlyItsOuterBottomCornerRounded)
{
    NotchPanel panel(false);
    panel.show(QRectF(662, 700, 188, 38), desktopNumber(1), NotchSide::left, NotchContent::iconAndName);
    ASSERT_TRUE(panel.isClippedToCard());
    const QRegion mask = panel.mask();
    const int w = panel.width();
    const int h = panel.height();
    EXPECT_TRUE(mask.contains(QPoint(0, 0)));         // top corner: square
    EXPECT_TRUE(mask.contains(QPoint(w - 1, h - 1))); // under the notch: square
    EXPECT_FALSE(mask.contains(QPoint(0, h - 1)));    // outer bottom corner: rounded
}

TEST_F(WithoutCompositingTest, TheDrawnNotchIsClippedToItsRoundedBottom)
{
    StandInNotchPanel panel(QRectF(402, 763, 196, 37));
    ASSERT_TRUE(panel.isClippedToCard());
    const QRegion mask = panel.mask();
    EXPECT_TRUE(mask.contains(QPoint(0, 0)));
    EXPECT_TRUE(mask.contains(QPoint(98, 36)));
    EXPECT_FALSE(mask.contains(QPoint(0, 36)));
    EXPECT_FALSE(mask.contains(QPoint(195, 36)));
}

TEST_F(WithoutCompositingTest, TheQuickSwitcherIsClippedToItsCardAtEveryHeight)
{
    QuickSwitcher switcher(engine());
    switcher.show();
    ASSERT_TRUE(switcher.isClippedToCard());
    const int bottom = switcher.height() - 1;
    EXPECT_FALSE(switcher.mask().contains(QPoint(0, bottom)));
    EXPECT_TRUE(switcher.mask().contains(QPoint(int(QuickSwitcher::cornerRadius), bottom)));
    // Fewer rows, a shorter panel: the rounded corners move with its bottom.
    sim::typeText(QStringLiteral("Desktop 3"));
    ASSERT_LT(switcher.height() - 1, bottom);
    const int shorter = switcher.height() - 1;
    EXPECT_FALSE(switcher.mask().contains(QPoint(0, shorter)));
    EXPECT_FALSE(switcher.mask().contains(QPoint(int(QuickSwitcher::cornerRadius), bottom)));
}

} // namespace
