#include "RenderTest.h"

#include "debug/DemoBarView.h"
#include "debug/MissionControlDemo.h"
#include "missioncontrol/PillsView.h"
#include "platform/MissionControlPicture.h"
#include "platform/SystemLog.h"
#include "ui/FloatingPanel.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

namespace {

class MissionControlDemoTest : public RenderTest {
protected:
    MissionControlDemoTest()
    {
        qunsetenv("TESSAROOM_DEMO_WALLPAPER");
        MissionControlDemo::forgetWallpaper();
    }
    ~MissionControlDemoTest() override
    {
        qunsetenv("TESSAROOM_DEMO_WALLPAPER");
        MissionControlDemo::forgetWallpaper();
    }

    static QStringList demoLogLines()
    {
        QStringList found;
        for (const QString& line : platform::SystemLog::lines()) {
            if (line.contains(QStringLiteral("Mission Control demo")))
                found << line;
        }
        return found;
    }

    void useWallpaper(const QString& path)
    {
        qputenv("TESSAROOM_DEMO_WALLPAPER", path.toLocal8Bit());
        MissionControlDemo::forgetWallpaper();
    }

    // The demo's pixel at a point given in y-up view coordinates.
    static QColor at(const QImage& image, double x, double yUp)
    {
        const double scale = image.devicePixelRatio();
        const double height = image.height() / scale;
        return image.pixelColor(int(std::floor(x * scale)), int(std::floor((height - yUp) * scale)));
    }

    QTemporaryDir files_;
};

// --- geometry ---

TEST_F(MissionControlDemoTest, SevenDesktopsOnTwoScreens)
{
    const auto laptop = MissionControlDemo::geometry(7, 1512, 1.55);
    ASSERT_TRUE(laptop);
    EXPECT_EQ(laptop->previewWidth, 166);
    EXPECT_EQ(laptop->previewHeight, 107);
    EXPECT_EQ(laptop->bar, QRectF(0, 36, 1466, 163));
    EXPECT_EQ(laptop->size, QSizeF(1466, 199));

    const auto wide = MissionControlDemo::geometry(7, 2560, 1.6);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->previewWidth, 316);
    EXPECT_EQ(wide->previewHeight, 198);
    EXPECT_EQ(wide->bar, QRectF(0, 36, 2516, 254));
    EXPECT_EQ(wide->size, QSizeF(2516, 290));
}

TEST_F(MissionControlDemoTest, TwoDesktopsStopAtTheLargestPreviewWithCaptionsAndPills)
{
    layOut(2);
    auto view = MissionControlDemo::makeView(settings(), engine().desktops(), 2560, 1.6);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->size, QSizeF(784, 292));
    const DemoBarView::Scene& scene = view->demo->scene();
    EXPECT_EQ(scene.bar, QRectF(0, 36, 784, 256));
    ASSERT_EQ(scene.previews.size(), 2);
    EXPECT_EQ(scene.previews[0], QRectF(56, 64, 320, 200));
    EXPECT_EQ(scene.previews[1], QRectF(408, 64, 320, 200));
    ASSERT_EQ(scene.labels.size(), 2);
    EXPECT_EQ(scene.labels[0].first, "Desktop 1");
    EXPECT_EQ(scene.labels[1].first, "Desktop 2");
    // Half-way between the preview's bottom and the bar's.
    EXPECT_EQ(scene.labels[1].second, QPointF(568, 50));
    EXPECT_EQ(view->demo->size(), QSize(784, 292));
    EXPECT_EQ(view->pills->size(), QSize(784, 292));
    EXPECT_EQ(view->pills->layers().size(), 2u);
}

TEST_F(MissionControlDemoTest, NoDesktopsGiveTheEmptyBarOfOne)
{
    auto view = MissionControlDemo::makeView(settings(), {}, 2560, 1.6);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->size, QSizeF(432, 292));
    EXPECT_TRUE(view->demo->scene().previews.isEmpty());
    EXPECT_TRUE(view->demo->scene().labels.isEmpty());
    EXPECT_TRUE(view->pills->layers().empty());
    const QImage image = MissionControlDemo::renderImage(settings(), {}, true, 2560, 1.6, 2);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(864, 584));
    EXPECT_TRUE(near(at(image, 200, 150), platform::MissionControlPicture::barColor()));
}

// --- sizes that leave no room ---

TEST_F(MissionControlDemoTest, DegenerateSizesGiveNoPictureAndALogLine)
{
    layOut(3);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const struct {
        double width;
        double aspect;
        double scale;
    } cases[] = {{0, 1.6, 2}, {nan, 1.6, 2}, {-2560, 1.6, 2}, {infinity, 1.6, 2}, {2560, 0, 2}, {2560, nan, 2},
                 {2560, infinity, 2}, {2560, -1.6, 2}, {2560, 1000, 2}, {2560, 1.6, 0}, {2560, 1.6, nan},
                 {2560, 1.6, -1}, {2560, 1.6, 1000}};
    for (const auto& each : cases) {
        const qsizetype before = demoLogLines().size();
        EXPECT_TRUE(MissionControlDemo::renderImage(settings(), engine().desktops(), true, each.width, each.aspect,
                                                    each.scale)
                        .isNull())
            << each.width << " " << each.aspect << " " << each.scale;
        EXPECT_EQ(demoLogLines().size(), before + 1) << each.width << " " << each.aspect << " " << each.scale;
    }
}

TEST_F(MissionControlDemoTest, TooManyDesktopsForANarrowScreenGiveNoPicture)
{
    layOut(50);
    EXPECT_FALSE(MissionControlDemo::geometry(50, 1512, 1.55));
    EXPECT_TRUE(MissionControlDemo::renderImage(settings(), engine().desktops(), true, 1512, 1.55, 2).isNull());
    ASSERT_FALSE(demoLogLines().isEmpty());
    EXPECT_TRUE(demoLogLines().last().contains("50 desktops at width 1512")) << demoLogLines().last().toStdString();
    platform::Screen narrow;
    narrow.frame = QRectF(0, 0, 1512, 982);
    EXPECT_EQ(MissionControlDemo::makePanel(settings(), engine().desktops(), narrow), nullptr);
    platform::Screen flat;
    flat.frame = QRectF(0, 0, 1512, 0);
    EXPECT_EQ(MissionControlDemo::makePanel(settings(), engine().desktops().first(2), flat), nullptr);
}

// --- drawing ---

TEST_F(MissionControlDemoTest, DrawsBackdropBarGradientPreviewsAndPillsOnTop)
{
    layOut(2, 1, {"Code", "Mail"});
    const QImage plain = MissionControlDemo::renderImage(settings(), engine().desktops(), false, 2560, 1.6, 2);
    const QImage labelled = MissionControlDemo::renderImage(settings(), engine().desktops(), true, 2560, 1.6, 2);
    ASSERT_FALSE(plain.isNull());
    EXPECT_EQ(plain.size(), QSize(1568, 584));
    EXPECT_EQ(plain.devicePixelRatio(), 2);
    EXPECT_TRUE(near(at(plain, 10, 10), platform::MissionControlPicture::backdropColor()));
    EXPECT_TRUE(near(at(plain, 30, 150), platform::MissionControlPicture::barColor()));
    // The gradient runs from its first colour at the top edge to its last at the bottom.
    const QGradientStops stops = platform::MissionControlPicture::previewGradient();
    EXPECT_TRUE(near(at(plain, 216, 263), stops.first().second, 10));
    EXPECT_TRUE(near(at(plain, 216, 65), stops.last().second, 10));
    // The rounded corner leaves the bar showing.
    EXPECT_TRUE(near(at(plain, 56.2, 263.8), platform::MissionControlPicture::barColor()));
    // The caption sits between the preview and the bar's bottom; the pill covers it.
    const QRect caption(int(2 * (216 - 30)), int(2 * (292 - 56)), 120, 16);
    EXPECT_GT(brightest(plain, caption), 600);
    EXPECT_NE(labelled.copy(caption), plain.copy(caption));
    // Away from the pills both pictures agree.
    EXPECT_EQ(labelled.copy(0, 0, 1568, 100), plain.copy(0, 0, 1568, 100));
}

TEST_F(MissionControlDemoTest, WallpaperCoversEveryPreviewCentredWithoutLetterbox)
{
    layOut(1);
    // A tall picture: red on top, blue below; it fills the width and is cut top and bottom.
    QImage picture(40, 200, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (int y = 100; y < 200; ++y) {
        for (int x = 0; x < 40; ++x)
            picture.setPixelColor(x, y, Qt::blue);
    }
    const QString path = files_.filePath("tall.png");
    ASSERT_TRUE(picture.save(path));
    useWallpaper(path);
    const QImage image = MissionControlDemo::renderImage(settings(), engine().desktops(), false, 2560, 1.6, 2);
    ASSERT_FALSE(image.isNull());
    // Preview (56, 64, 320, 200): its upper half red, its lower half blue, up to the side edges.
    EXPECT_TRUE(near(at(image, 57, 200), QColor(Qt::red)));
    EXPECT_TRUE(near(at(image, 375, 200), QColor(Qt::red)));
    EXPECT_TRUE(near(at(image, 216, 100), QColor(Qt::blue)));
    EXPECT_TRUE(near(at(image, 56.2, 263.8), platform::MissionControlPicture::barColor()));
    EXPECT_TRUE(demoLogLines().isEmpty());
}

TEST_F(MissionControlDemoTest, UnreadableWallpapersFallBackToTheGradientWithALogLine)
{
    layOut(1);
    const QImage reference = MissionControlDemo::renderImage(settings(), engine().desktops(), false, 2560, 1.6, 2);

    QFile text(files_.filePath("notes.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture at all");
    text.close();
    // A PNG header announcing 20000 x 20000 pixels, with nothing after it.
    QFile huge(files_.filePath("huge.png"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write(QByteArray::fromHex("89504e470d0a1a0a0000000d49484452""00004e2000004e20080600000000000000"));
    huge.close();

    for (const QString& path : {files_.filePath("missing.png"), text.fileName(), huge.fileName()}) {
        useWallpaper(path);
        const qsizetype before = demoLogLines().size();
        const QImage image = MissionControlDemo::renderImage(settings(), engine().desktops(), false, 2560, 1.6, 2);
        EXPECT_EQ(image, reference) << path.toStdString();
        ASSERT_EQ(demoLogLines().size(), before + 1) << path.toStdString();
        EXPECT_TRUE(demoLogLines().last().contains(path));
        // Read once: drawing again adds no line.
        MissionControlDemo::renderImage(settings(), engine().desktops(), false, 2560, 1.6, 2);
        EXPECT_EQ(demoLogLines().size(), before + 1);
    }
}

// --- panel ---

TEST_F(MissionControlDemoTest, PanelSitsAtTheTopCentreOfItsScreenUnshown)
{
    layOut(7);
    platform::Screen screen;
    screen.frame = QRectF(0, 0, 1512, 982);
    screen.visibleFrame = screen.frame;
    const std::unique_ptr<FloatingPanel> panel = MissionControlDemo::makePanel(settings(), engine().desktops(), screen);
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isOnScreen());
    EXPECT_EQ(panel->level(), 1000);
    EXPECT_TRUE(panel->ignoresMouseEvents());
    EXPECT_FALSE(panel->hasShadow());
    EXPECT_EQ(panel->collectionBehavior(), FloatingPanel::defaultBehavior);
    EXPECT_EQ(panel->animationBehavior(), FloatingPanel::animationNone);
    // Aspect ratio 1512 / 982: previews 166 x 108, the panel 1466 x 200, centred, 24 points below the top.
    EXPECT_EQ(panel->frame(), QRectF(23, 758, 1466, 200));
    auto* demo = qobject_cast<DemoBarView*>(panel->contentView());
    ASSERT_NE(demo, nullptr);
    auto* pills = demo->findChild<PillsView*>();
    ASSERT_NE(pills, nullptr);
    EXPECT_EQ(pills->geometry(), demo->rect());
    EXPECT_EQ(pills->layers().size(), 7u);
}

} // namespace
