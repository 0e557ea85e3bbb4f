#include "store/IconCatalog.h"
#include "store/Palette.h"

#include "support/PlatformTest.h"

#include <limits>

class PaletteTest : public PlatformTest {};

TEST_F(PaletteTest, AnyIndexMapsIntoTheTenColours)
{
    const auto nameAt = [](qint64 index) { return Palette::names().at(Palette::position(index)); };
    EXPECT_EQ(nameAt(0), QStringLiteral("Blue"));
    EXPECT_EQ(nameAt(9), QStringLiteral("Slate"));
    EXPECT_EQ(nameAt(10), QStringLiteral("Blue"));
    EXPECT_EQ(nameAt(13), QStringLiteral("Orange"));
    EXPECT_EQ(nameAt(-1), QStringLiteral("Slate"));
    EXPECT_EQ(nameAt(-10), QStringLiteral("Blue"));
    EXPECT_EQ(nameAt(std::numeric_limits<qint64>::min()), QStringLiteral("Pink"));
    EXPECT_EQ(nameAt(std::numeric_limits<qint64>::max()), QStringLiteral("Yellow"));
    // Automatic colours: desktop n takes index n - 1.
    EXPECT_EQ(Palette::color(12 - 1), Palette::colors().at(1));
    EXPECT_EQ(Palette::color(13), Palette::colors().at(3));
}

TEST_F(PaletteTest, ColoursAreOpaqueSrgbValues)
{
    ASSERT_EQ(Palette::colors().size(), 10);
    ASSERT_EQ(Palette::names().size(), 10);
    EXPECT_EQ(Palette::names().last(), QStringLiteral("Slate"));
    const QColor blue = Palette::colors().first();
    EXPECT_EQ(blue.spec(), QColor::Rgb);
    EXPECT_NEAR(blue.redF(), 0.24, 1e-4);
    EXPECT_NEAR(blue.greenF(), 0.51, 1e-4);
    EXPECT_NEAR(blue.blueF(), 0.97, 1e-4);
    EXPECT_EQ(blue.alphaF(), 1.0f);
    EXPECT_NEAR(Palette::colors().at(7).blueF(), 0.03, 1e-4);
    EXPECT_NEAR(Palette::neutral().redF(), 0.13, 1e-4);
    EXPECT_EQ(Palette::neutral().red(), Palette::neutral().blue());
}

TEST_F(PaletteTest, IconCatalogOffersFiftyDistinctSymbols)
{
    const QStringList& symbols = IconCatalog::symbols();
    ASSERT_EQ(symbols.size(), 50);
    EXPECT_EQ(symbols.first(), QStringLiteral("house.fill"));
    EXPECT_EQ(symbols.last(), QStringLiteral("flag.fill"));
    EXPECT_EQ(QSet<QString>(symbols.begin(), symbols.end()).size(), 50);
}
