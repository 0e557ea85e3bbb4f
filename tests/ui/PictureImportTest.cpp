#include "UiTest.h"

#include "ui/Glyph.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace {

class PictureImportTest : public UiTest {
protected:
    QString source(const QString& name) const { return home() + QLatin1Char('/') + name; }

    // Three vertical bands (or horizontal ones) of red, green and blue; the
    // middle band covers [from, to).
    QString bands(const QString& name, QSize size, Qt::Orientation orientation, int from, int to) const
    {
        QImage image(size, QImage::Format_ARGB32);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const int at = orientation == Qt::Horizontal ? x : y;
                image.setPixelColor(x, y, at < from ? Qt::red : at < to ? Qt::green : Qt::blue);
            }
        }
        const QString path = source(name);
        EXPECT_TRUE(image.save(path));
        return path;
    }

    QString solid(const QString& name, QColor color, const char* format = "PNG") const
    {
        QImage image(30, 20, QImage::Format_RGB32);
        image.fill(color);
        const QString path = source(name);
        EXPECT_TRUE(image.save(path, format));
        return path;
    }

    static QString imported(const std::variant<QString, PictureImportError>& result)
    {
        if (const auto* error = std::get_if<PictureImportError>(&result)) {
            ADD_FAILURE() << error->description().toStdString();
            return {};
        }
        return std::get<QString>(result);
    }

    static QString failure(const std::variant<QString, PictureImportError>& result)
    {
        const auto* error = std::get_if<PictureImportError>(&result);
        return error ? error->description() : QString();
    }

    static QImage stored(const QString& name) { return QImage(Glyph::iconsFolder() + QLatin1Char('/') + name); }
    static QStringList iconFiles() { return QDir(Glyph::iconsFolder()).entryList(QDir::Files); }
};

TEST_F(PictureImportTest, WidePictureShowsItsMiddleSquare)
{
    const QString name = imported(Glyph::importPicture(bands("wide.png", {512, 256}, Qt::Horizontal, 128, 384), 6));
    EXPECT_EQ(name, "space-6-1777624200.png");
    const QImage square = stored(name);
    ASSERT_EQ(square.size(), QSize(256, 256));
    EXPECT_TRUE(sameColor(square.pixelColor(1, 128), Qt::green));
    EXPECT_TRUE(sameColor(square.pixelColor(254, 128), Qt::green));
    EXPECT_TRUE(sameColor(square.pixelColor(128, 1), Qt::green));
}

TEST_F(PictureImportTest, TallPictureIsScaledToTheWidthAndCutTopAndBottom)
{
    // 100 x 400 scales by 2.56; the square shows rows 150 to 250.
    const QString name = imported(Glyph::importPicture(bands("tall.png", {100, 400}, Qt::Vertical, 140, 260), 6));
    const QImage square = stored(name);
    EXPECT_TRUE(sameColor(square.pixelColor(128, 1), Qt::green));
    EXPECT_TRUE(sameColor(square.pixelColor(128, 254), Qt::green));
    EXPECT_TRUE(sameColor(square.pixelColor(1, 128), Qt::green));
}

TEST_F(PictureImportTest, SmallPictureIsScaledUpToCoverTheSquare)
{
    const QString name = imported(Glyph::importPicture(solid("small.png", Qt::magenta), 2));
    const QImage square = stored(name);
    EXPECT_EQ(square.size(), QSize(256, 256));
    EXPECT_TRUE(sameColor(square.pixelColor(0, 0), Qt::magenta));
    EXPECT_TRUE(sameColor(square.pixelColor(255, 255), Qt::magenta));
}

TEST_F(PictureImportTest, StoresAnRgbaPngOf256PixelsAnd256Points)
{
    const QString name = imported(Glyph::importPicture(solid("photo.jpg", Qt::darkCyan, "JPEG"), 9));
    QFile file(Glyph::iconsFolder() + QLatin1Char('/') + name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray png = file.readAll();
    ASSERT_GT(png.size(), 33);
    EXPECT_EQ(png.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(png.mid(12, 4), "IHDR");
    EXPECT_EQ(quint8(png[24]), 8);  // bits per sample
    EXPECT_EQ(quint8(png[25]), 6);  // RGB with alpha
    const QImage image = QImage::fromData(png);
    EXPECT_EQ(image.size(), QSize(256, 256));
    EXPECT_EQ(image.dotsPerMeterX(), 2835);
}

TEST_F(PictureImportTest, AnythingThatIsNotAPictureChangesNothing)
{
    QFile text(source("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just some words\n");
    text.close();
    QFile empty(source("empty.png"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();

    const QStringList before = iconFiles();
    for (const QString& path : {source("notes.txt"), source("empty.png"), source("absent.png")}) {
        const auto result = Glyph::importPicture(path, 6);
        EXPECT_EQ(failure(result), "That file is not a picture macOS can open.");
    }
    EXPECT_EQ(iconFiles(), before);
}

TEST_F(PictureImportTest, UnwritableFolderReportsTheSystemsReason)
{
    const QString folder = Glyph::iconsFolder();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    // A file where the folder should be: even root cannot write into it.
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const QString message = failure(Glyph::importPicture(solid("ok.png", Qt::red), 6));
    EXPECT_TRUE(message.startsWith("The picture could not be saved: ")) << message.toStdString();
    EXPECT_GT(message.size(), QStringLiteral("The picture could not be saved: ").size());
}

TEST_F(PictureImportTest, ImportsInOneSecondNeverShareAFile)
{
    const QString first = imported(Glyph::importPicture(solid("red.png", Qt::red), 6));
    const QString second = imported(Glyph::importPicture(solid("blue.png", Qt::blue), 6));
    const QString third = imported(Glyph::importPicture(solid("green.png", Qt::green), 6));
    EXPECT_EQ(first, "space-6-1777624200.png");
    EXPECT_EQ(second, "space-6-1777624200-2.png");
    EXPECT_EQ(third, "space-6-1777624200-3.png");
    EXPECT_TRUE(sameColor(stored(first).pixelColor(5, 5), Qt::red));
    EXPECT_TRUE(sameColor(stored(second).pixelColor(5, 5), Qt::blue));
    EXPECT_TRUE(sameColor(stored(third).pixelColor(5, 5), Qt::green));
}

TEST_F(PictureImportTest, LaterImportsDifferOnlyInTheTimeAndKeepTheEarlierFile)
{
    const QString first = imported(Glyph::importPicture(solid("a.png", Qt::red), 6));
    advance(2.7);
    const QString second = imported(Glyph::importPicture(solid("b.png", Qt::blue), 6));
    EXPECT_EQ(first, "space-6-1777624200.png");
    EXPECT_EQ(second, "space-6-1777624202.png");
    EXPECT_EQ(iconFiles(), QStringList({first, second}));
}

TEST_F(PictureImportTest, ImportedPictureShowsOnTheTile)
{
    const QString name = imported(Glyph::importPicture(solid("tile.png", Qt::yellow), 3));
    const QImage tile = Glyph::tileImage(3, SpaceIcon::picture(name), TileColor::transparent(), std::nullopt, 40)
                            ->render(1);
    EXPECT_TRUE(sameColor(tile.pixelColor(20, 20), Qt::yellow));
}

} // namespace
