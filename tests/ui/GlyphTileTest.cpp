#include "UiTest.h"

#include "store/Palette.h"
#include "store/Settings.h"
#include "ui/Glyph.h"

#include <QImage>

#include <algorithm>

namespace {

class GlyphTileTest : public UiTest {
protected:
    // A solid picture stored in the icons folder under name.
    static void storePicture(const QString& name, QColor color)
    {
        QImage picture(64, 64, QImage::Format_ARGB32);
        picture.fill(color);
        ASSERT_TRUE(picture.save(Glyph::iconsFolder() + QLatin1Char('/') + name));
    }

    static QImage tile(qint64 number, const SpaceIcon& icon, const TileColor& color, double side = 100,
                       std::optional<double> radius = std::nullopt)
    {
        return Glyph::tileImage(number, icon, color, radius, side)->render(1);
    }
};

bool isWhite(const QColor& color)
{
    return color.alpha() > 200 && std::min({color.red(), color.green(), color.blue()}) > 200;
}

// The bounds of the white marks (numbers, symbols) in the image.
QRect whiteBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isWhite(image.pixelColor(x, y)))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

TEST_F(GlyphTileTest, CacheKeyJoinsTheInputsWithShortestDecimals)
{
    EXPECT_EQ(Glyph::tileKey(3, SpaceIcon::symbol("star.fill"), TileColor::automatic(), std::nullopt, 18),
              "3|sf:star.fill|-1|18.0|-1.0");
    EXPECT_EQ(Glyph::tileKey(12, SpaceIcon::picture("space-6-1.png"), TileColor::palette(4), 5.04, 18.5),
              "12|img:space-6-1.png|4|18.5|5.04");
    EXPECT_EQ(Glyph::tileKey(1, SpaceIcon::none(), TileColor::transparent(), 0.1, 1e21), "1||-2|1e+21|0.1");
}

TEST_F(GlyphTileTest, NumberOnAutomaticColourWithHighlightOnTheUpperHalf)
{
    const QImage image = tile(7, SpaceIcon::none(), TileColor::automatic());
    ASSERT_EQ(image.size(), QSize(100, 100));
    const QColor red = Palette::color(6);
    EXPECT_TRUE(sameColor(image.pixelColor(10, 80), red));
    // Strongest just above the middle, fading out toward the top edge.
    EXPECT_TRUE(sameColor(image.pixelColor(10, 49), over(QColor::fromRgbF(1, 1, 1, 0.16f * 0.99f), red), 3));
    EXPECT_TRUE(sameColor(image.pixelColor(50, 1), over(QColor::fromRgbF(1, 1, 1, 0.16f * 0.03f), red), 3));
    // Rounded corners (radius 28) leave the corner clear.
    EXPECT_EQ(image.pixelColor(2, 2).alpha(), 0);

    // The digit 7 in bold white at 62 points, about centred.
    const QRect seven = whiteBounds(image);
    EXPECT_NEAR(seven.height(), 0.729 * 62, 3);
    EXPECT_NEAR(seven.center().x(), 50, 4);
    EXPECT_NEAR(seven.center().y(), 50, 5);
}

TEST_F(GlyphTileTest, TwoDigitNumbersAreSmaller)
{
    const QRect nine = whiteBounds(tile(9, SpaceIcon::none(), TileColor::automatic()));
    const QRect twelve = whiteBounds(tile(12, SpaceIcon::none(), TileColor::automatic()));
    EXPECT_NEAR(double(nine.height()) / twelve.height(), 0.62 / 0.52, 0.06);
}

TEST_F(GlyphTileTest, NumberIsRaisedOnlyWhenThereIsNoIcon)
{
    const QRect plain = whiteBounds(tile(7, SpaceIcon::none(), TileColor::automatic()));
    const QRect failedPicture = whiteBounds(tile(7, SpaceIcon::picture("missing.png"), TileColor::automatic()));
    EXPECT_EQ(failedPicture.top() - plain.top(), 2);
    EXPECT_EQ(failedPicture.height(), plain.height());
}

TEST_F(GlyphTileTest, UnknownSymbolShowsTheNumberNotRaised)
{
    const QImage unknown = tile(4, SpaceIcon::symbol("no.such.symbol"), TileColor::palette(2));
    const QImage failedPicture = tile(4, SpaceIcon::picture("missing.png"), TileColor::palette(2));
    EXPECT_EQ(unknown, failedPicture);
    EXPECT_TRUE(whiteBounds(unknown).isValid());
}

TEST_F(GlyphTileTest, SymbolIsDrawnInWhiteInsideTwoThirdsOfTheTile)
{
    const QImage image = tile(2, SpaceIcon::symbol("house.fill"), TileColor::palette(0));
    const QRect house = whiteBounds(image);
    ASSERT_TRUE(house.isValid());
    EXPECT_LE(house.width(), 66);
    EXPECT_GE(house.width(), 35);
    EXPECT_NEAR(house.center().x(), 50, 3);
    EXPECT_NE(image, tile(2, SpaceIcon::symbol("star.fill"), TileColor::palette(0)));
}

TEST_F(GlyphTileTest, EmojiKeepsItsOwnColours)
{
    const QImage image = tile(1, SpaceIcon::emoji(QStringLiteral("🍅")), TileColor::palette(4));
    int reddish = 0;
    for (int y = 20; y < 80; ++y) {
        for (int x = 20; x < 80; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 90 && c.blue() < 90)
                ++reddish;
        }
    }
    EXPECT_GT(reddish, 200);
}

TEST_F(GlyphTileTest, TransparentTileWithoutIconShowsOutlineAndNumber)
{
    const QImage image = tile(5, SpaceIcon::none(), TileColor::transparent());
    EXPECT_EQ(image.pixelColor(10, 80).alpha(), 0);
    const QColor edge = image.pixelColor(50, 99);
    EXPECT_GT(edge.alpha(), 10);
    EXPECT_LT(edge.alpha(), 80);
    EXPECT_TRUE(whiteBounds(image).isValid());
}

TEST_F(GlyphTileTest, TransparentTileWithSymbolHasNoOutline)
{
    const QImage image = tile(5, SpaceIcon::symbol("star.fill"), TileColor::transparent());
    EXPECT_EQ(image.pixelColor(50, 99).alpha(), 0);
    EXPECT_TRUE(whiteBounds(image).isValid());
}

TEST_F(GlyphTileTest, PictureCoversATransparentTileAndSitsInsetOnAColouredOne)
{
    storePicture(QStringLiteral("green.png"), Qt::green);
    const SpaceIcon picture = SpaceIcon::picture(QStringLiteral("green.png"));

    const QImage bare = tile(3, picture, TileColor::transparent());
    EXPECT_TRUE(sameColor(bare.pixelColor(50, 1), Qt::green));
    EXPECT_TRUE(sameColor(bare.pixelColor(1, 50), Qt::green));
    // Clipped to radius 28 x 0.8.
    EXPECT_EQ(bare.pixelColor(1, 1).alpha(), 0);

    const QImage inset = tile(3, picture, TileColor::palette(1));
    EXPECT_TRUE(sameColor(inset.pixelColor(6, 70), Palette::color(1)));
    EXPECT_TRUE(sameColor(inset.pixelColor(20, 70), Qt::green));
    EXPECT_TRUE(sameColor(inset.pixelColor(50, 85), Qt::green));
    EXPECT_TRUE(sameColor(inset.pixelColor(50, 90), Palette::color(1)));
    EXPECT_FALSE(whiteBounds(inset).isValid());
}

// --- pictures keep their aspect ratio ---

// A picture in three bands, green, red and blue, across its long side.
QImage bands(int width, int height)
{
    QImage picture(width, height, QImage::Format_ARGB32);
    const bool across = width >= height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int band = across ? x * 3 / width : y * 3 / height;
            picture.setPixelColor(x, y, band == 0 ? Qt::green : band == 1 ? Qt::red : Qt::blue);
        }
    }
    return picture;
}

TEST_F(GlyphTileTest, AWideOrTallPictureCoversTheTileWithItsMiddleUnstretched)
{
    ASSERT_TRUE(bands(300, 100).save(Glyph::iconsFolder() + QStringLiteral("/wide.png")));
    ASSERT_TRUE(bands(100, 300).save(Glyph::iconsFolder() + QStringLiteral("/tall.png")));

    // Scaled to the tile's height, only the middle third (red) is left.
    const QImage wide = tile(3, SpaceIcon::picture(QStringLiteral("wide.png")), TileColor::transparent());
    for (const QPoint point : {QPoint(12, 50), QPoint(50, 50), QPoint(88, 50)})
        EXPECT_TRUE(sameColor(wide.pixelColor(point), Qt::red, 8)) << point.x();
    const QImage tall = tile(3, SpaceIcon::picture(QStringLiteral("tall.png")), TileColor::palette(1));
    for (const QPoint point : {QPoint(50, 20), QPoint(50, 80)})
        EXPECT_TRUE(sameColor(tall.pixelColor(point), Qt::red, 8)) << point.y();

    const QImage icon =
        Glyph::iconImage(SpaceIcon::picture(QStringLiteral("wide.png")), 100, Qt::white)->render(1);
    EXPECT_TRUE(sameColor(icon.pixelColor(15, 50), Qt::red, 8));
    EXPECT_TRUE(sameColor(icon.pixelColor(85, 50), Qt::red, 8));
}

TEST_F(GlyphTileTest, NumberOnlyGivesATransparentDesktopItsAutomaticColour)
{
    const Desktop third = desktop(3, SpaceIcon::emoji(QStringLiteral("🚀")), TileColor::transparent());
    const GlyphImagePtr image = Glyph::image(third, std::nullopt, true, 18);
    EXPECT_EQ(image, Glyph::tileImage(3, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 18));
    EXPECT_TRUE(sameColor(image->render(1).pixelColor(4, 14), Palette::color(2)));

    // Without the flag the icon and the transparency stay.
    EXPECT_EQ(Glyph::image(third, std::nullopt, false, 18),
              Glyph::tileImage(3, SpaceIcon::emoji(QStringLiteral("🚀")), TileColor::transparent(), std::nullopt, 18));
}

TEST_F(GlyphTileTest, PresentationModeShowsTheNumberOnTheAutomaticColour)
{
    const Desktop fourth = desktop(4, SpaceIcon::symbol("star.fill"), TileColor::palette(8), QStringLiteral("Mail"));
    Settings::shared().setPresenting(true);
    EXPECT_EQ(Glyph::image(fourth, 4, false, 22),
              Glyph::tileImage(4, SpaceIcon::none(), TileColor::automatic(), 4, 22));
}

TEST_F(GlyphTileTest, SameInputsGiveTheIdenticalImageUntilTheCacheFills)
{
    const GlyphImagePtr first = Glyph::tileImage(1, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 18);
    EXPECT_EQ(Glyph::tileImage(1, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 18), first);

    for (int number = 2; number <= 300; ++number)
        Glyph::tileImage(number, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 18);
    EXPECT_EQ(Glyph::tileImage(1, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 18), first);

    // The 301st key empties the cache first and is then its only entry.
    const GlyphImagePtr newcomer = Glyph::tileImage(301, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 18);
    EXPECT_EQ(Glyph::tileImage(301, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 18), newcomer);
    EXPECT_NE(Glyph::tileImage(1, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 18), first);
}

TEST_F(GlyphTileTest, ExplicitDefaultRadiusDrawsTheSameTileUnderAnotherKey)
{
    const GlyphImagePtr implicit = Glyph::tileImage(6, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 50);
    const GlyphImagePtr explicitRadius = Glyph::tileImage(6, SpaceIcon::none(), TileColor::automatic(), 14, 50);
    EXPECT_NE(implicit, explicitRadius);
    EXPECT_EQ(implicit->render(2), explicitRadius->render(2));
}

TEST_F(GlyphTileTest, ImagesStaySharpAtEveryScale)
{
    const GlyphImagePtr image = Glyph::tileImage(8, SpaceIcon::none(), TileColor::automatic(), std::nullopt, 18);
    EXPECT_EQ(image->size(), QSizeF(18, 18));
    const QImage retina = image->render(2);
    EXPECT_EQ(retina.size(), QSize(36, 36));
    EXPECT_EQ(retina.devicePixelRatio(), 2);
    EXPECT_TRUE(sameColor(retina.pixelColor(4, 30), Palette::color(7)));
    EXPECT_FALSE(image->icon().pixmap(QSize(32, 32)).isNull());
}

} // namespace
