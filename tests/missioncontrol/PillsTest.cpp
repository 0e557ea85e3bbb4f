#include "MissionControlTest.h"

#include "missioncontrol/OverlayPanel.h"
#include "missioncontrol/PillPainter.h"
#include "missioncontrol/PillsView.h"
#include "platform/Transaction.h"
#include "ui/Theme.h"
#include "support/Literals.h"

#include <QDir>
#include <QImage>
#include <QPainter>

#include <cmath>

class PillsTest : public MissionControlTest {
protected:
    PillsTest() { addDisplays({4}); }

    Desktop desktop(qint64 number) const { return *engine().desktopWithNumber(number); }

    // A label anchor of the collapsed bar at x, in view coordinates (y up).
    Pill labelPill(qint64 number, double x = 100) const
    {
        return Pill(QRectF(x, 900, 80, 22), QRectF(0, 880, 1512, 40), 80, desktop(number));
    }
    Pill thumbnailPill(qint64 number, double width = 170, double x = 100) const
    {
        return Pill(QRectF(x, 720, width, 110), QRectF(0, 700, 1512, 150), 80, desktop(number));
    }

    PillsView view{settings()};
};

// --- the pill value -------------------------------------------------------------

TEST_F(PillsTest, PillsCompareWhatTheyShow)
{
    const Pill first = labelPill(1);
    EXPECT_EQ(first, labelPill(1));
    EXPECT_NE(first, labelPill(1, 101));
    name(1, s("Mail"));
    EXPECT_NE(first, labelPill(1));
    const Pill named = labelPill(1);
    settings().setPresenting(true);
    EXPECT_NE(named, labelPill(1));
    EXPECT_TRUE(first.isLabelAnchor());
    EXPECT_FALSE(thumbnailPill(1).isLabelAnchor());
    const Pill moved = first.offsetBy(-10, 5);
    EXPECT_EQ(moved.anchor, QRectF(90, 905, 80, 22));
    EXPECT_EQ(moved.bar, QRectF(-10, 885, 1512, 40));
}

// --- measuring and placing ----------------------------------------------------------

TEST_F(PillsTest, LabelPillsCoverTheLabelAndSitOnItsCentre)
{
    view.setPills({labelPill(1)}, false);
    ASSERT_EQ(view.layers().size(), 1u);
    const auto& layer = view.layers().begin()->second;
    EXPECT_EQ(layer->position(), QPointF(140, 911));
    EXPECT_DOUBLE_EQ(layer->opacity(), 1);
    const auto& measured = view.measured().begin()->second;
    EXPECT_GE(measured.metrics.width, 90);
    EXPECT_EQ(measured.metrics.height, 21);
    EXPECT_EQ(layer->bounds().size(), QSizeF(std::ceil(measured.metrics.width + 24), 45));
    // A view without a window draws for a Retina screen.
    EXPECT_EQ(layer->contents().devicePixelRatio(), 2.0);
}

TEST_F(PillsTest, ThumbnailPillsSitBelowOrInsideThePreview)
{
    name(1, s("A"));
    view.setPills({thumbnailPill(1)}, false);
    // Halfway between the thumbnail's bottom (720) and the bar's (700).
    EXPECT_EQ(view.layers().begin()->second->position(), QPointF(185, 710));
    settings().setMcPlacement(PillPlacement::insidePreview);
    settings().setMcOffsetY(4);
    view.setPills({thumbnailPill(1)}, false);
    EXPECT_EQ(view.layers().begin()->second->position(), QPointF(185, 720 + 10.5 + 6 + 4));
    // Inside a preview a short name makes a narrow pill.
    EXPECT_LT(view.measured().begin()->second.metrics.width, 80);
}

TEST_F(PillsTest, TextLimitsOnThumbnailsAndLabels)
{
    name(1, QString(80, QLatin1Char('W')));
    view.setPills({thumbnailPill(1, 70)}, false);
    EXPECT_EQ(view.measured().begin()->second.metrics.textWidth, 60);
    view.setPills({thumbnailPill(1, 300)}, false);
    EXPECT_EQ(view.measured().begin()->second.metrics.textWidth, 284);
    view.setPills({labelPill(1)}, false);
    EXPECT_EQ(view.measured().begin()->second.metrics.textWidth, 260);
}

TEST_F(PillsTest, NumberSettingPutsTheNumberFirstAlsoInPresentationMode)
{
    name(3, s("Mail"));
    settings().setMcShowNumber(true);
    view.setPills({labelPill(3)}, false);
    EXPECT_EQ(view.measured().begin()->second.text, s("3  Mail"));
    settings().setPresenting(true);
    view.setPills({labelPill(3)}, false);
    EXPECT_EQ(view.measured().begin()->second.text, s("3  Desktop 3"));
}

TEST_F(PillsTest, IconThatCannotBeDrawnLeavesATextOnlyPill)
{
    SpaceStore::shared().change(1002, [](SpaceMeta& meta) { meta.icon = SpaceIcon::picture(s("missing.png")); });
    view.setPills({labelPill(2)}, false);
    const auto missing = view.measured().begin()->second;
    EXPECT_FALSE(missing.hasGlyph);
    SpaceStore::shared().change(1002, [](SpaceMeta& meta) { meta.icon = SpaceIcon::none(); });
    view.setPills({labelPill(2)}, false);
    EXPECT_EQ(view.measured().begin()->second.metrics.contentWidth, missing.metrics.contentWidth);
    SpaceStore::shared().change(1002, [](SpaceMeta& meta) { meta.icon = SpaceIcon::emoji(s("🚀")); });
    view.setPills({labelPill(2)}, false);
    EXPECT_TRUE(view.measured().begin()->second.hasGlyph);
    EXPECT_EQ(view.measured().begin()->second.metrics.contentWidth, missing.metrics.contentWidth + 18);
}

// --- layers and animation ---------------------------------------------------------------

TEST_F(PillsTest, NewPillsSlideDownWhileFadingIn)
{
    view.setPills({labelPill(1)}, true);
    const auto layer = view.layers().begin()->second;
    const double t = platform::now();
    EXPECT_EQ(layer->presentedPosition(t), QPointF(140, 911 + 40));
    EXPECT_DOUBLE_EQ(layer->presentedOpacity(t), 0);
    advance(0.14);
    EXPECT_GT(layer->presentedOpacity(platform::now()), 0.2);
    advance(0.2);
    EXPECT_EQ(layer->presentedPosition(platform::now()), QPointF(140, 911));
    EXPECT_FALSE(view.rootLayer().isAnimating(platform::now()));
}

TEST_F(PillsTest, ShortMovesAreNudgesAndLongOnesEase)
{
    view.setPills({labelPill(1)}, false);
    view.setPills({labelPill(1, 123.9)}, true);
    auto move = view.layers().begin()->second->animation(s("position"));
    ASSERT_TRUE(move);
    EXPECT_DOUBLE_EQ(move->duration, 0.06);
    EXPECT_EQ(move->timing, platform::TimingFunction::linear);
    advance(1);
    view.setPills({labelPill(1, 147.9)}, true);
    move = view.layers().begin()->second->animation(s("position"));
    EXPECT_DOUBLE_EQ(move->duration, 0.28);
    EXPECT_EQ(move->timing, platform::TimingFunction::easeInEaseOut);
}

TEST_F(PillsTest, OneLayerPerDesktopAndMissingDesktopsAreRemovedAtOnce)
{
    view.setPills({labelPill(1), labelPill(1, 300), labelPill(2, 500)}, false);
    EXPECT_EQ(view.layers().size(), 2u);
    EXPECT_EQ(view.layers().at(desktop(1).id())->position().x(), 340);
    view.setPills({}, true);
    EXPECT_TRUE(view.layers().empty());
    EXPECT_TRUE(view.rootLayer().sublayers().isEmpty());
}

TEST_F(PillsTest, FadeOutRisesThenRemovesAndCallsBack)
{
    int done = 0;
    view.fadeOut(true, [&] { ++done; });
    EXPECT_EQ(done, 1);
    view.setPills({labelPill(1), labelPill(2, 300)}, false);
    view.fadeOut(true, [&] { ++done; });
    EXPECT_TRUE(view.layers().empty());
    EXPECT_EQ(view.rootLayer().sublayers().size(), 2);
    // New pills during the fade get layers of their own.
    view.setPills({labelPill(1)}, false);
    EXPECT_EQ(view.rootLayer().sublayers().size(), 3);
    advance(0.1);
    EXPECT_EQ(done, 1);
    advance(0.2);
    EXPECT_EQ(done, 2);
    EXPECT_EQ(view.rootLayer().sublayers().size(), 1);
    view.fadeOut(false, [&] { ++done; });
    EXPECT_EQ(done, 3);
    EXPECT_TRUE(view.rootLayer().sublayers().isEmpty());
}

TEST_F(PillsTest, NestedTransactionCompletionWaitsForTheLongestAnimation)
{
    auto root = platform::Layer::make();
    auto child = platform::Layer::make();
    root->addSublayer(child);
    int done = 0;
    platform::Transaction::begin();
    platform::Transaction::setAnimationDuration(0.1);
    platform::Transaction::setCompletionBlock([&] { ++done; });
    child->setOpacity(0);
    platform::Transaction::begin();
    platform::Transaction::setAnimationDuration(0.5);
    child->setPosition(QPointF(10, 10));
    platform::Transaction::begin();
    platform::Transaction::setDisableActions(true);
    child->setBounds(QRectF(0, 0, 5, 5));
    platform::Transaction::commit();
    platform::Transaction::commit();
    platform::Transaction::commit();
    EXPECT_FALSE(child->animation(s("bounds")));
    advance(0.2);
    EXPECT_EQ(done, 0);
    EXPECT_TRUE(root->isAnimating(platform::now()));
    advance(0.31);
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(root->isAnimating(platform::now()));
}

// --- the painter -------------------------------------------------------------------------

TEST_F(PillsTest, PainterDrawsOncePerLookAndAnewForAnotherDensity)
{
    view.setPills({labelPill(1)}, false);
    view.setPills({labelPill(1)}, false);
    EXPECT_EQ(view.painter().drawCount(), 1);
    view.setWindowBackingScale(1.0);
    view.setPills({labelPill(1)}, false);
    EXPECT_EQ(view.painter().drawCount(), 2);
    settings().setMcShowNumber(true);
    view.setPills({labelPill(1)}, false);
    EXPECT_EQ(view.painter().drawCount(), 3);
}

TEST_F(PillsTest, PainterKeyAndImageSize)
{
    PillMetrics metrics;
    metrics.width = 88.6;
    metrics.height = 21;
    metrics.scale = 1.25;
    EXPECT_EQ(PillPainter::key(desktop(1), metrics, 2, false), s("1|1|Desktop 1||-1|88|21|1.25|false|2.0"));
    PillPainter painter;
    const auto picture = painter.image(desktop(1), s("Desktop 1"), Theme::font(11.5), nullptr, metrics, 2, false);
    EXPECT_EQ(picture.size, QSizeF(113, 45));
    EXPECT_EQ(picture.image.size(), QSize(226, 90));
}

TEST_F(PillsTest, PainterCacheEmptiesWholeAtTwoHundred)
{
    PillPainter painter;
    PillMetrics metrics{.width = 80, .height = 21, .scale = 1, .contentWidth = 80, .textWidth = 60};
    for (int i = 0; i < 200; ++i) {
        metrics.width = 80 + i;
        painter.image(desktop(1), s("Desktop 1"), Theme::font(11.5), nullptr, metrics, 1, false);
    }
    EXPECT_EQ(painter.cacheSize(), 200);
    metrics.width = 500;
    painter.image(desktop(1), s("Desktop 1"), Theme::font(11.5), nullptr, metrics, 1, false);
    EXPECT_EQ(painter.cacheSize(), 1);
    EXPECT_TRUE(painter.isCached(PillPainter::key(desktop(1), metrics, 1, false)));
}

TEST_F(PillsTest, FailedRenderingStoresNothingAndShowsNoPicture)
{
    view.painter().failRendering(true);
    view.setPills({labelPill(1)}, false);
    EXPECT_EQ(view.painter().cacheSize(), 0);
    EXPECT_TRUE(view.layers().begin()->second->contents().isNull());
    PillPainter painter;
    PillMetrics huge{.width = 1e12, .height = 21, .scale = 1};
    EXPECT_TRUE(painter.image(desktop(1), s("x"), Theme::font(11.5), nullptr, huge, 2, false).image.isNull());
}

TEST_F(PillsTest, PictureShowsTheColourTheCentredTextAndAnEllipsis)
{
    SpaceStore::shared().change(1001, [](SpaceMeta& meta) {
        meta.name = QString(60, QLatin1Char('M'));
        meta.color = TileColor::palette(2);
    });
    PillMetrics metrics{.width = 120, .height = 21, .scale = 1, .contentWidth = 80, .padding = 9, .glyphSize = 13,
                        .gap = 5, .textWidth = 62};
    PillPainter painter;
    const QImage image =
        painter.image(desktop(1), desktop(1).displayName(), Theme::font(11.5, QFont::DemiBold), nullptr, metrics, 1, false)
            .image;
    // The fill near the pill's left end is the desktop's colour.
    QColor fill = desktop(1).swatchColor();
    const QColor left = image.pixelColor(14, 12 + 10);
    EXPECT_NEAR(left.red(), fill.red(), 12);
    EXPECT_NEAR(left.green(), fill.green(), 12);
    // Text is drawn from (120 - 80) / 2 + 9 = 29 points in; left of it only fill.
    int whiteLeft = 1000;
    int whiteRight = 0;
    for (int x = 12; x < 132; ++x) {
        for (int y = 14; y < 31; ++y) {
            if (image.pixelColor(x, y).lightness() > 230) {
                whiteLeft = std::min(whiteLeft, x);
                whiteRight = std::max(whiteRight, x);
            }
        }
    }
    EXPECT_GE(whiteLeft, 12 + 29);
    EXPECT_LE(whiteRight, 12 + 29 + 62 + 1);
    EXPECT_GT(whiteRight, 12 + 29 + 40);
}

// --- the panel ------------------------------------------------------------------------------

TEST_F(PillsTest, OverlayPanelIsAClickThroughPanelAboveTheScreenSaver)
{
    OverlayPanel panel(settings());
    EXPECT_EQ(panel.level(), WindowLevel::missionControlOverlay);
    EXPECT_TRUE(panel.ignoresMouseEvents());
    EXPECT_FALSE(panel.canBecomeKeyWindow());
    EXPECT_FALSE(panel.hasShadow());
    EXPECT_EQ(panel.collectionBehavior(), FloatingPanel::defaultBehavior);
    EXPECT_EQ(panel.frame().size(), QSizeF(100, 100));
    platform::Screen screen;
    screen.frame = QRectF(1512, 0, 1512, 982);
    screen.backingScaleFactor = 1;
    panel.setFrame(screen);
    EXPECT_EQ(panel.frame(), screen.frame);
    EXPECT_EQ(panel.pills().backingScale(), 1.0);
}

TEST_F(PillsTest, RendersPillsOverAFakeBar)
{
    name(1, s("Mail"));
    name(2, s("Design review"));
    SpaceStore::shared().change(1002, [](SpaceMeta& meta) {
        meta.color = TileColor::palette(4);
        meta.icon = SpaceIcon::emoji(s("🎨"));
    });
    SpaceStore::shared().change(1003, [](SpaceMeta& meta) { meta.name = s("A very long desktop name that will not fit"); });
    view.resize(700, 120);
    view.setPills({Pill(QRectF(20, 60, 90, 22), QRectF(0, 40, 700, 80), 90, desktop(1)),
                   Pill(QRectF(150, 60, 90, 22), QRectF(0, 40, 700, 80), 90, desktop(2)),
                   Pill(QRectF(300, 60, 90, 22), QRectF(0, 40, 700, 80), 90, desktop(3)),
                   Pill(QRectF(520, 60, 90, 22), QRectF(0, 40, 700, 80), 90, desktop(4))},
                  false);
    QImage image(1400, 240, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Theme::canvas());
    {
        QPainter painter(&image);
        painter.fillRect(QRectF(0, 0, 700, 80), Theme::surface());
        view.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    image.save(QDir::tempPath() + s("/tessaroom-pills.png"));
    // The first pill's colour shows at its centre row, left of its text.
    const QColor centre = image.pixelColor(2 * (65 - 40), 2 * (120 - 71));
    EXPECT_GT(centre.saturation() + centre.lightness(), 0);
    EXPECT_NE(image.pixelColor(2 * 65, 2 * 49), Theme::surface());
}
