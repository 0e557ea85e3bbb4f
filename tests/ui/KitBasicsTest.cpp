#include "UiTest.h"

#include "ui/KitShapes.h"
#include "ui/Theme.h"
#include "ui/TintPalette.h"
#include "ui/Transition.h"
#include "ui/ViewEnvironment.h"

#include <QCoreApplication>
#include <QPainter>
#include <QWidget>

namespace {

class KitBasicsTest : public UiTest {};

// Counts the environment-change events a widget receives.
class EnvironmentWatcher : public QWidget {
public:
    using QWidget::QWidget;
    int changes = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == ViewEnvironment::changeEvent())
            ++changes;
        return QWidget::event(event);
    }
};

TintPalette redPalette()
{
    return {Qt::red, {Qt::red, Qt::darkRed}, QColor(255, 0, 0, 40), Qt::white};
}

TEST_F(KitBasicsTest, SurfacesGrowLighterAndSecondaryTextIsTranslucentText)
{
    const QList<QColor> surfaces = {Theme::canvas(), Theme::surface(), Theme::raised(), Theme::elevated()};
    for (qsizetype i = 1; i < surfaces.size(); ++i)
        EXPECT_GT(surfaces[i].lightnessF(), surfaces[i - 1].lightnessF());
    EXPECT_EQ(Theme::windowBackground(), Theme::canvas());

    // Over another background the secondary text picks that background up.
    const QColor overRaised = over(Theme::textSecondary(), Theme::raised());
    const QColor overRed = over(Theme::textSecondary(), Qt::red);
    EXPECT_NE(overRaised, overRed);
    EXPECT_EQ(Theme::textSecondary().rgb(), Theme::text().rgb());
    EXPECT_NEAR(Theme::textSecondary().alphaF(), 0.6, 0.01);
    EXPECT_NEAR(Theme::textTertiary().alphaF(), 0.38, 0.01);
}

TEST_F(KitBasicsTest, BluePaletteRunsFromBlueToLilacAcrossTheShape)
{
    const TintPalette& blue = TintPalette::blue();
    EXPECT_EQ(blue.color, Theme::blue());
    const QLinearGradient gradient = blue.gradient.over(QRectF(10, 20, 100, 40));
    EXPECT_EQ(gradient.start(), QPointF(10, 20));
    EXPECT_EQ(gradient.finalStop(), QPointF(110, 60));
    EXPECT_EQ(gradient.stops().first().second, Theme::blue());
    EXPECT_EQ(gradient.stops().last().second, Theme::lilac());
}

TEST_F(KitBasicsTest, EnvironmentComesFromTheNearestAncestorOrTheDefault)
{
    QWidget root;
    auto* middle = new QWidget(&root);
    auto* leaf = new QWidget(middle);
    EXPECT_EQ(ViewEnvironment::tintPalette(leaf), TintPalette::blue());
    EXPECT_FALSE(ViewEnvironment::rendersFlat(leaf));

    ViewEnvironment::setTintPalette(&root, redPalette());
    ViewEnvironment::setRendersFlat(&root, true);
    EXPECT_EQ(ViewEnvironment::tintPalette(leaf), redPalette());
    EXPECT_TRUE(ViewEnvironment::rendersFlat(leaf));

    ViewEnvironment::setTintPalette(middle, TintPalette::blue());
    ViewEnvironment::setRendersFlat(middle, false);
    EXPECT_EQ(ViewEnvironment::tintPalette(leaf), TintPalette::blue());
    EXPECT_FALSE(ViewEnvironment::rendersFlat(leaf));
    EXPECT_EQ(ViewEnvironment::tintPalette(&root), redPalette());
}

TEST_F(KitBasicsTest, ChangingTheEnvironmentTellsTheWholeSubtree)
{
    QWidget root;
    auto* child = new EnvironmentWatcher(&root);
    auto* grandchild = new EnvironmentWatcher(child);
    QWidget unrelated;
    ViewEnvironment::setRendersFlat(&root, true);
    EXPECT_EQ(child->changes, 1);
    EXPECT_EQ(grandchild->changes, 1);
    ViewEnvironment::setTintPalette(child, redPalette());
    EXPECT_EQ(child->changes, 2);
    EXPECT_EQ(grandchild->changes, 2);
}

TEST_F(KitBasicsTest, TransitionEasesOutOnTheSchedulerClock)
{
    int frames = 0;
    Transition transition(0, [&] { ++frames; });
    transition.animateTo(1, 0.2);
    EXPECT_EQ(transition.value(), 0);
    EXPECT_TRUE(transition.isRunning());

    advance(0.1);
    // Ease-out: more than half-way at half the time, not yet there.
    EXPECT_GT(transition.value(), 0.5);
    EXPECT_LT(transition.value(), 1);
    EXPECT_GT(frames, 3);

    advance(0.15);
    EXPECT_EQ(transition.value(), 1);
    EXPECT_FALSE(transition.isRunning());
    const int settled = frames;
    advance(1);
    EXPECT_EQ(frames, settled);
}

TEST_F(KitBasicsTest, TransitionRetargetsFromWhereItIsAndJumpsOnRequest)
{
    Transition transition(0, {});
    transition.animateTo(1, 0.2);
    advance(0.1);
    const double midway = transition.value();
    transition.animateTo(0, 0.2);
    EXPECT_DOUBLE_EQ(transition.value(), midway);
    advance(0.2);
    EXPECT_EQ(transition.value(), 0);

    transition.animateTo(1, 0.2);
    transition.jumpTo(0.5);
    EXPECT_EQ(transition.value(), 0.5);
    EXPECT_FALSE(transition.isRunning());
}

TEST_F(KitBasicsTest, DestroyedTransitionLeavesNoFrameBehind)
{
    int frames = 0;
    {
        Transition transition(0, [&] { ++frames; });
        transition.animateTo(1, 0.5);
    }
    advance(1);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(KitBasicsTest, ContinuousCornersStayInsideTheRectangleAndCutTheCorner)
{
    const QRectF rect(0, 0, 100, 60);
    const QPainterPath shape = KitShapes::roundedRect(rect, 14);
    EXPECT_TRUE(rect.contains(shape.boundingRect()));
    EXPECT_TRUE(shape.contains(QPointF(50, 30)));
    EXPECT_TRUE(shape.contains(QPointF(50, 0.5)));
    EXPECT_FALSE(shape.contains(QPointF(1, 1)));
    // A continuous corner leaves the edge earlier than a circular one
    // (which is 0.31 deep at x = 11.08) and eases into the curve.
    EXPECT_FALSE(shape.contains(QPointF(11.08, 0.45)));
    EXPECT_TRUE(shape.contains(QPointF(11.08, 0.8)));
    EXPECT_FALSE(shape.contains(QPointF(15, 0.05)));
    EXPECT_TRUE(shape.contains(QPointF(19, 0.05)));
    // Its middle meets the circular arc's middle.
    const double arc = 14 * (1 - 0.7071);
    EXPECT_TRUE(shape.contains(QPointF(arc + 0.4, arc + 0.4)));
    EXPECT_FALSE(shape.contains(QPointF(arc - 0.4, arc - 0.4)));
}

TEST_F(KitBasicsTest, CapsuleOfASquareIsRound)
{
    const QPainterPath circle = KitShapes::capsule(QRectF(0, 0, 10, 10));
    EXPECT_TRUE(circle.contains(QPointF(5, 0.3)));
    EXPECT_FALSE(circle.contains(QPointF(1, 1)));
    EXPECT_TRUE(circle.contains(QPointF(1.8, 1.8)));
}

TEST_F(KitBasicsTest, BorderIsDrawnInsideTheEdge)
{
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    KitShapes::strokeBorder(painter, QRectF(10, 10, 20, 20), 0, Qt::white, 2);
    painter.end();
    EXPECT_TRUE(sameColor(image.pixelColor(20, 10), Qt::white));
    EXPECT_TRUE(sameColor(image.pixelColor(20, 11), Qt::white));
    EXPECT_TRUE(sameColor(image.pixelColor(20, 9), Qt::black));
    EXPECT_TRUE(sameColor(image.pixelColor(20, 12), Qt::black));
}

} // namespace
