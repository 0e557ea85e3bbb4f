#include "UiTest.h"

#include "ui/FloatingPanel.h"
#include "platform/Screens.h"
#include "ui/Tween.h"

#include <algorithm>

namespace {

class PanelAlphaTest : public UiTest {};

// --- tween curves ---------------------------------------------------------------------

TEST_F(PanelAlphaTest, CurvesStartAtZeroAndRestAtOne)
{
    for (const TweenCurve& curve : {TweenCurve::linear(0.2), TweenCurve::easeIn(0.2), TweenCurve::easeOut(0.2),
                                    TweenCurve::easeInOut(0.2), TweenCurve::spring(0.3, 0.78)}) {
        EXPECT_DOUBLE_EQ(curve.progress(0), 0);
        EXPECT_DOUBLE_EQ(curve.progress(curve.duration), 1);
        EXPECT_NEAR(curve.progress(curve.duration * 0.999), 1, 0.01);
    }
    // Ease-in starts slowly, ease-out fast.
    EXPECT_LT(TweenCurve::easeIn(1).progress(0.25), 0.25);
    EXPECT_GT(TweenCurve::easeOut(1).progress(0.25), 0.25);
    EXPECT_NEAR(TweenCurve::linear(1).progress(0.25), 0.25, 1e-9);
}

TEST_F(PanelAlphaTest, ADampedSpringOvershootsALittleAndSettles)
{
    const TweenCurve spring = TweenCurve::spring(0.3, 0.78);
    double peak = 0;
    for (double t = 0; t < spring.duration; t += 0.005)
        peak = std::max(peak, spring.progress(t));
    EXPECT_GT(peak, 1.0);
    EXPECT_LT(peak, 1.05);
    EXPECT_LT(spring.duration, 1.0);
}

// --- tweens on the clock ----------------------------------------------------------------------

TEST_F(PanelAlphaTest, ATweenMovesOnlyWithTheClockAndCompletesOnce)
{
    int frames = 0;
    int completions = 0;
    Tween tween(0, [&] { ++frames; });
    tween.animateTo(1, TweenCurve::linear(0.2), [&] { ++completions; });
    EXPECT_DOUBLE_EQ(tween.value(), 0);
    advance(0.1);
    EXPECT_NEAR(tween.value(), 0.5, 0.01);
    EXPECT_TRUE(tween.isRunning());
    advance(0.2);
    EXPECT_DOUBLE_EQ(tween.value(), 1);
    EXPECT_FALSE(tween.isRunning());
    EXPECT_EQ(completions, 1);
    EXPECT_GT(frames, 5);
}

TEST_F(PanelAlphaTest, ATakenOverTweenNeverCompletes)
{
    int first = 0;
    int second = 0;
    Tween tween(0, {});
    tween.animateTo(1, TweenCurve::linear(0.2), [&] { ++first; });
    advance(0.1);
    tween.animateTo(0, TweenCurve::linear(0.2), [&] { ++second; });
    advance(0.5);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_DOUBLE_EQ(tween.value(), 0);
    tween.animateTo(1, TweenCurve::linear(0.2), [&] { ++first; });
    tween.jumpTo(0.3);
    advance(0.5);
    EXPECT_EQ(first, 0);
    EXPECT_DOUBLE_EQ(tween.value(), 0.3);
}

// --- panels -------------------------------------------------------------------------------------

TEST_F(PanelAlphaTest, APanelFadesOnTheSchedulerAndOrdersInAndOut)
{
    FloatingPanel panel({.size = QSizeF(100, 50), .level = WindowLevel::popUpMenu});
    EXPECT_DOUBLE_EQ(panel.alphaValue(), 1);
    panel.setAlphaValue(0);
    panel.orderFront();
    EXPECT_TRUE(panel.isOnScreen());
    EXPECT_EQ(panel.orderFrontCount(), 1);
    bool faded = false;
    panel.animateAlpha(1, TweenCurve::easeInOut(0.3), [&] { faded = true; });
    advance(0.15);
    EXPECT_GT(panel.alphaValue(), 0.2);
    EXPECT_LT(panel.alphaValue(), 0.8);
    advance(0.2);
    EXPECT_TRUE(faded);
    EXPECT_DOUBLE_EQ(panel.alphaValue(), 1);
    panel.orderOut();
    EXPECT_FALSE(panel.isOnScreen());
}

TEST_F(PanelAlphaTest, FramesAreInScreenCoordinates)
{
    FloatingPanel panel({.size = QSizeF(100, 50)});
    // y up from the primary screen's bottom edge.
    panel.setFrame(QRectF(10, 20, 100, 50));
    EXPECT_EQ(panel.frame(), QRectF(10, 20, 100, 50));
    const double primaryHeight = platform::Screens::primaryScreen()->frame.height();
    EXPECT_EQ(panel.geometry().top(), int(primaryHeight - 70));
}

} // namespace
