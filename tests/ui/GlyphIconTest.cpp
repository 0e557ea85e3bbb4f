#include "UiTest.h"

#include "store/IconCatalog.h"
#include "ui/Glyph.h"
#include "ui/KitFonts.h"
#include "ui/SymbolNames.h"

#include <QDir>
#include <QFile>
#include <QFontMetricsF>

namespace {

class GlyphIconTest : public UiTest {
protected:
    static void storePicture(const QString& path, QColor color)
    {
        QImage picture(40, 40, QImage::Format_ARGB32);
        picture.fill(color);
        ASSERT_TRUE(picture.save(path, "PNG"));
    }
};

// The span from the first to the last reddish pixel of a row.
int redSpan(const QImage& image, int row)
{
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, row);
        if (c.alpha() > 128 && c.red() > 150 && c.green() < 120) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

TEST_F(GlyphIconTest, EverySymbolTheSystemUsesHasAGlyph)
{
    QStringList missing;
    for (const QString& name : SymbolNames::all()) {
        if (!Glyph::symbolImage(name, 16, Qt::white))
            missing.append(name);
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QLatin1Char(' ')).toStdString();

    for (const QString& name : IconCatalog::symbols())
        EXPECT_TRUE(SymbolNames::ligature(name).has_value()) << name.toStdString();
    for (const char* name : {"xmark.circle.fill", "photo", "face.smiling", "chevron.left", "arrow.right.doc.on.clipboard",
                             "magnifyingglass", "keyboard", "checkmark.circle.fill", "gearshape.fill"})
        EXPECT_TRUE(SymbolNames::ligature(QLatin1String(name)).has_value()) << name;
}

TEST_F(GlyphIconTest, UnknownSymbolHasNoImage)
{
    EXPECT_EQ(Glyph::symbolImage(QStringLiteral("no.such.symbol"), 16, Qt::white), nullptr);
    EXPECT_EQ(Glyph::iconImage(SpaceIcon::symbol(QStringLiteral("home")), 16, Qt::white), nullptr);
}

TEST_F(GlyphIconTest, SymbolIsDrawnInTheGivenColourAtItsPointSize)
{
    const GlyphImagePtr symbol = Glyph::symbolImage(QStringLiteral("star.fill"), 20, Qt::red);
    ASSERT_TRUE(symbol);
    EXPECT_EQ(symbol->size(), QSizeF(20, 20));
    const QImage image = symbol->render(2);
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() == 0)
                continue;
            EXPECT_TRUE(sameColor(QColor(c.red(), c.green(), c.blue()), Qt::red, 2));
            ++red;
        }
    }
    EXPECT_GT(red, 200);
}

TEST_F(GlyphIconTest, IconImageOfNothingOrAMissingPictureIsNone)
{
    EXPECT_EQ(Glyph::iconImage(SpaceIcon::none(), 16, Qt::white), nullptr);
    EXPECT_EQ(Glyph::iconImage(SpaceIcon::picture(QStringLiteral("missing.png")), 16, Qt::white), nullptr);
}

TEST_F(GlyphIconTest, EmojiIconIsASquareAsLargeAsItsText)
{
    const QString text = QStringLiteral("🎧");
    const GlyphImagePtr icon = Glyph::iconImage(SpaceIcon::emoji(text), 20, Qt::white);
    ASSERT_TRUE(icon);
    const QFontMetricsF metrics(KitFonts::emoji(20 * 0.95));
    const double side = std::max(metrics.horizontalAdvance(text), metrics.height());
    EXPECT_DOUBLE_EQ(icon->size().width(), side);
    EXPECT_DOUBLE_EQ(icon->size().height(), side);
}

TEST_F(GlyphIconTest, PictureIconIsRoundedAtAQuarterOfItsSide)
{
    storePicture(Glyph::iconsFolder() + QStringLiteral("/blue.png"), Qt::blue);
    const GlyphImagePtr icon = Glyph::iconImage(SpaceIcon::picture(QStringLiteral("blue.png")), 40, Qt::white);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->size(), QSizeF(40, 40));
    const QImage image = icon->render(1);
    EXPECT_TRUE(sameColor(image.pixelColor(20, 20), Qt::blue));
    EXPECT_TRUE(sameColor(image.pixelColor(20, 0), Qt::blue));
    EXPECT_EQ(image.pixelColor(1, 1).alpha(), 0);
}

TEST_F(GlyphIconTest, PicturesAreCachedByNameAndFailuresRetried)
{
    const QString path = Glyph::iconsFolder() + QStringLiteral("/late.png");
    const SpaceIcon icon = SpaceIcon::picture(QStringLiteral("late.png"));
    EXPECT_TRUE(Glyph::picture(icon).isNull());

    storePicture(path, Qt::yellow);
    const QImage loaded = Glyph::picture(icon);
    ASSERT_FALSE(loaded.isNull());

    QFile::remove(path);
    EXPECT_EQ(Glyph::picture(icon), loaded);
    EXPECT_TRUE(Glyph::picture(SpaceIcon::symbol(QStringLiteral("late.png"))).isNull());
}

TEST_F(GlyphIconTest, PictureNamesCannotReachOutsideTheIconsFolder)
{
    const QString outside = QDir(Glyph::iconsFolder()).absoluteFilePath(QStringLiteral("../outside.png"));
    storePicture(outside, Qt::red);
    EXPECT_TRUE(Glyph::picture(SpaceIcon::picture(QStringLiteral("../outside.png"))).isNull());
    EXPECT_TRUE(Glyph::picture(SpaceIcon::picture(outside)).isNull());
    EXPECT_TRUE(Glyph::picture(SpaceIcon::picture(QStringLiteral(".."))).isNull());
}

TEST_F(GlyphIconTest, BadgeIsAtLeastTenPointsWideInTheTopRightCorner)
{
    const GlyphImagePtr tile = Glyph::tileImage(3, SpaceIcon::none(), TileColor::palette(4), std::nullopt, 18);
    const GlyphImagePtr single = Glyph::badged(tile, QStringLiteral("3"));
    EXPECT_EQ(single->size(), QSizeF(21, 21));

    const QImage one = single->render(4);
    // Across the badge's middle: 10 points plus the outline's outer half.
    EXPECT_NEAR(redSpan(one, 20), 42, 2);
    EXPECT_GT(one.pixelColor(one.width() - 22, 20).red(), 200);
    // The tile keeps the bottom left corner; the top left corner stays clear.
    EXPECT_EQ(one.pixelColor(2, 2).alpha(), 0);
    EXPECT_GT(one.pixelColor(8, one.height() - 30).alpha(), 250);

    const QImage three = Glyph::badged(tile, QStringLiteral("128"))->render(4);
    EXPECT_GT(redSpan(three, 20), 48);
}

} // namespace
