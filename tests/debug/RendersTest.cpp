#include "RenderTest.h"

#include "debug/Renders.h"
#include "debug/SwitcherRender.h"
#include "platform/AtomicFile.h"
#include "settings/SettingsServices.h"
#include "surfaces/SwitcherList.h"
#include "surfaces/SwitcherModel.h"
#include "switching/Accessibility.h"
#include "ui/AppCommands.h"
#include "ui/Theme.h"
#include "update/Updates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageReader>
#include <QLabel>
#include <QTemporaryDir>

#include <cmath>

namespace {

class RendersTest : public RenderTest {
protected:
    RenderSources sources()
    {
        const SettingsServices shared = SettingsServices::shared();
        return RenderSources{shared.engine, shared.settings, shared.store, shared.access, shared.updates, commands_};
    }

    int run(const QString& dir)
    {
        lines_.clear();
        return Renders::renderAll(dir, sources(), [this](const QString& line) { lines_ << line; });
    }

    // The size of the PNG at dir/name@2x.png; invalid when missing or unreadable.
    static QSize fileSize(const QString& dir, const QString& name)
    {
        QImageReader reader(dir + "/" + name + "@2x.png");
        const QImage image = reader.read();
        return image.isNull() ? QSize() : image.size();
    }
    static QImage file(const QString& dir, const QString& name) { return QImage(dir + "/" + name + "@2x.png"); }

    InertCommands commands_;
    QStringList lines_;
    QTemporaryDir out_;
};

// --- the whole run ---

TEST_F(RendersTest, WritesEveryPictureInOrderWithItsSize)
{
    layOut(4, 2, {"Mail", "Code", "Research"});
    // TESSAROOM_RENDER_DIR keeps the pictures for a person to look at.
    const QString kept = qEnvironmentVariable("TESSAROOM_RENDER_DIR");
    const QString dir = kept.isEmpty() ? out_.filePath("renders/nested") : kept;
    ASSERT_EQ(run(dir), 0);

    const QStringList names = Renders::names();
    ASSERT_EQ(names,
              QStringList({"menubar", "menubar_clear", "popover", "popover_edit", "switcher", "switcher_typed", "hover",
                           "hud", "mission_control_3", "mission_control", "mission_control_plain", "settings_spaces",
                           "settings_missionControl", "settings_about"}));
    ASSERT_EQ(lines_.size(), 15) << lines_.join("\n").toStdString();
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QSize size = fileSize(dir, names[i]);
        ASSERT_TRUE(size.isValid()) << names[i].toStdString();
        EXPECT_EQ(lines_[i], "wrote " + dir + "/" + names[i] + "@2x.png (" + QString::number(size.width()) + "x"
                                 + QString::number(size.height()) + ")");
    }
    EXPECT_EQ(lines_.last(), "render complete");

    EXPECT_EQ(fileSize(dir, "menubar"), QSize(1200, 96));
    // The active desktop is "Code": its width in 13-point medium text plus 44, whole, at four times.
    const double clear = std::ceil(QFontMetricsF(Theme::font(13, QFont::Medium)).horizontalAdvance("Code") + 44);
    EXPECT_EQ(fileSize(dir, "menubar_clear"), QSize(int(clear) * 4, 96));
    EXPECT_EQ(fileSize(dir, "popover").width(), 700);
    // Four desktops: mission_control_3 shows three, the others four.
    EXPECT_EQ(fileSize(dir, "mission_control_3"), QSize(2 * (352 * 3 + 80), 2 * 292));
    EXPECT_EQ(fileSize(dir, "mission_control"), QSize(2 * (352 * 4 + 80), 2 * 292));
    EXPECT_EQ(fileSize(dir, "mission_control_plain"), QSize(2 * (352 * 4 + 80), 2 * 292));
    for (const QString page : {"settings_spaces", "settings_missionControl", "settings_about"})
        EXPECT_EQ(fileSize(dir, page), QSize(1760, 1280)) << page.toStdString();
    // The switcher keeps room for four rows: 56 + 1 + 46 x 4 + 44 points.
    EXPECT_EQ(fileSize(dir, "switcher"), QSize(920, 2 * (57 + 46 * 4 + 44)));
    // "res" matches only Research.
    EXPECT_EQ(fileSize(dir, "switcher_typed"), QSize(920, 2 * (57 + 46 + 44)));
}

TEST_F(RendersTest, TheSwitchTagIsCutToItsCardWithMargins)
{
    layOut(2, 1, {"Code"});
    ASSERT_EQ(run(out_.path()), 0);
    const QImage hud = file(out_.path(), "hud");
    ASSERT_FALSE(hud.isNull());
    EXPECT_LT(hud.width(), 1600);
    EXPECT_LT(hud.height(), 480);
    // Nothing visible in the outer 23-pixel frame the crop keeps; something right inside it.
    const auto visibleIn = [&](const QRect& area) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (qAlpha(hud.pixel(x, y)) > Renders::cropAlpha)
                    return true;
            }
        }
        return false;
    };
    EXPECT_FALSE(visibleIn(QRect(0, 0, hud.width(), 23)));
    EXPECT_FALSE(visibleIn(QRect(0, 0, 23, hud.height())));
    EXPECT_FALSE(visibleIn(QRect(hud.width() - 23, 0, 23, hud.height())));
    EXPECT_FALSE(visibleIn(QRect(0, hud.height() - 23, hud.width(), 23)));
    EXPECT_TRUE(visibleIn(QRect(0, 0, hud.width(), 25)));
    EXPECT_TRUE(visibleIn(QRect(0, 0, 25, hud.height())));
}

TEST_F(RendersTest, TwoDesktopsShowTheSameTwoInEveryDemoPicture)
{
    layOut(2, 1, {"Code", "Mail"});
    ASSERT_EQ(run(out_.path()), 0);
    const QImage three = file(out_.path(), "mission_control_3");
    const QImage seven = file(out_.path(), "mission_control");
    const QImage plain = file(out_.path(), "mission_control_plain");
    EXPECT_EQ(three.size(), QSize(1568, 584));
    EXPECT_EQ(three, seven);
    EXPECT_EQ(plain.size(), QSize(1568, 584));
    // The plain picture has the captions where the others have pills.
    EXPECT_NE(plain, three);
}

// --- failures ---

TEST_F(RendersTest, NoActiveDesktopWritesNothingAndFails)
{
    layOut(0);
    const QString dir = out_.filePath("empty");
    EXPECT_EQ(run(dir), 1);
    EXPECT_EQ(lines_, QStringList({"render: no desktop"}));
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files).isEmpty());
}

TEST_F(RendersTest, AFolderThatIsAFileReportsEveryWriteAndStillCompletes)
{
    layOut(2);
    const QString dir = out_.filePath("taken");
    QFile blocker(dir);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(run(dir), 0);
    ASSERT_EQ(lines_.size(), 15);
    for (qsizetype i = 0; i < 14; ++i) {
        const QString prefix = "could not write " + dir + "/" + Renders::names()[i] + "@2x.png: ";
        EXPECT_TRUE(lines_[i].startsWith(prefix)) << lines_[i].toStdString();
        EXPECT_GT(lines_[i].size(), prefix.size()) << "the error is named";
    }
    EXPECT_EQ(lines_.last(), "render complete");
    EXPECT_TRUE(QFileInfo(dir).isFile());
}

TEST_F(RendersTest, OneUnwritablePictureDoesNotStopTheOthers)
{
    layOut(2);
    // A folder where the popover's file would go; root cannot write over it either.
    ASSERT_TRUE(QDir(out_.path()).mkpath("popover@2x.png"));
    EXPECT_EQ(run(out_.path()), 0);
    ASSERT_EQ(lines_.size(), 15);
    EXPECT_TRUE(lines_[2].startsWith("could not write " + out_.path() + "/popover@2x.png: ")) << lines_[2].toStdString();
    EXPECT_TRUE(lines_[3].startsWith("wrote " + out_.path() + "/popover_edit@2x.png"));
    EXPECT_EQ(lines_.last(), "render complete");
}

TEST_F(RendersTest, APictureThatMeetsAFullDiskIsReportedAndLeavesNoFile)
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::red);
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::flush});
    Renders::writeRendered(image, "hover", out_.path(), [this](const QString& line) { lines_ << line; });
    platform::AtomicFile::clearInjectedFailure();
    EXPECT_EQ(lines_, QStringList({"could not write " + out_.path()
                                   + "/hover@2x.png: could not write: No space left on device"}));
    EXPECT_TRUE(QDir(out_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(RendersTest, NothingToWriteIsReportedByName)
{
    Renders::writeRendered(QImage(), "hover", out_.path(), [this](const QString& line) { lines_ << line; });
    EXPECT_EQ(lines_, QStringList({"render: nothing for hover"}));
    EXPECT_TRUE(QDir(out_.path()).entryList(QDir::Files).isEmpty());
}

// --- menu-bar tile ---

TEST_F(RendersTest, TilePictureOnItsBarAndOnItsOwn)
{
    layOut(2, 1, {"Code"});
    const Desktop desktop = *engine().activeDesktop();
    const QImage bar = Renders::menuBarImage(engine(), desktop, true);
    EXPECT_EQ(bar.size(), QSize(1200, 96));
    EXPECT_EQ(bar.devicePixelRatio(), 4);
    EXPECT_TRUE(near(pixel(bar, 1100, 48), Theme::renderMenuBar(), 2));
    // Rounded corners stay clear.
    EXPECT_EQ(qAlpha(bar.pixel(0, 0)), 0);
    // The tile's colour left of its number, 13 points in.
    EXPECT_TRUE(near(pixel(bar, 52, 48), desktop.tileColor(), 40))
        << pixel(bar, 52, 48).name().toStdString() << " " << desktop.tileColor().name().toStdString();
    // White title text from x 34.
    EXPECT_GT(brightest(bar, QRect(136, 20, 120, 56)), 700);
    // Nothing between the tile (ending at 27 points) and the title.
    EXPECT_LT(brightest(bar, QRect(112, 0, 22, 96)), 200);

    const QImage clear = Renders::menuBarImage(engine(), desktop, false);
    EXPECT_EQ(clear.height(), 96);
    EXPECT_EQ(clear.width() % 4, 0);
    EXPECT_EQ(qAlpha(clear.pixel(clear.width() - 2, 2)), 0);
    EXPECT_GT(brightest(clear, QRect(136, 20, clear.width() - 136, 56)), 700);
}

// --- crop ---

TEST_F(RendersTest, CropKeepsTheVisibleBoxAndUpToTwentyFourPixelsAround)
{
    QImage image(1600, 480, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    const auto paint = [&](const QRect& area, int alpha) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x)
                image.setPixel(x, y, qRgba(alpha, alpha, alpha, alpha));
        }
    };
    // Faint pixels (alpha 8) do not count.
    paint(QRect(0, 0, 1600, 2), 8);
    EXPECT_EQ(Renders::cropToVisible(image).size(), QSize(1600, 480));
    paint(QRect(100, 50, 100, 30), 9);
    const QImage cropped = Renders::cropToVisible(image);
    // x 76 up to 223 (exclusive), y 26 up to 103.
    EXPECT_EQ(cropped.size(), QSize(147, 77));
    EXPECT_EQ(cropped.devicePixelRatio(), 2);
    EXPECT_EQ(qAlpha(cropped.pixel(24, 24)), 9);
    EXPECT_EQ(qAlpha(cropped.pixel(23, 24)), 0);
    // Near the edge the box is clamped.
    paint(QRect(1590, 470, 10, 10), 255);
    EXPECT_EQ(Renders::cropToVisible(image).size(), QSize(1600 - 76, 480 - 26));
}

// --- Quick Switcher card ---

TEST_F(RendersTest, SwitcherListKeepsOneToNineRows)
{
    EXPECT_EQ(SwitcherRender::listHeight(0), 46 + 44);
    EXPECT_EQ(SwitcherRender::listHeight(1), 46 + 44);
    EXPECT_EQ(SwitcherRender::listHeight(9), 46 * 9 + 44);
    EXPECT_EQ(SwitcherRender::listHeight(12), 46 * 9 + 44);

    SwitcherModel empty;
    SwitcherRender none(empty, QString());
    EXPECT_EQ(none.list()->height(), 90);
    EXPECT_EQ(none.height(), 56 + 1 + 90);
    EXPECT_EQ(none.width(), 460);

    layOut(12, 1, {"Mail"});
    SwitcherModel model;
    model.load(engine().desktops(), {}, 101, std::nullopt);
    SwitcherRender many(model, QString());
    EXPECT_EQ(many.list()->height(), 46 * 9 + 44);
    // The card follows the model: a query with one match shrinks it.
    model.setQuery("mail");
    EXPECT_EQ(model.rows().size(), 1);
    EXPECT_EQ(many.list()->height(), 90);
}

TEST_F(RendersTest, TheSwitcherCardsFooterKeepsInsideItsRoundedCorners)
{
    layOut(3, 1, {"Mail"});
    SwitcherModel model;
    model.load(engine().desktops(), {}, 101, std::nullopt);
    SwitcherRender card(model, QString());
    const QImage image = Renders::renderImage(card, commands_);
    ASSERT_EQ(image.height(), card.height() * 2);
    const int bottom = image.height() - 1;
    EXPECT_EQ(qAlpha(image.pixel(0, bottom)), 0);
    EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, bottom)), 0);
    EXPECT_EQ(qAlpha(image.pixel(3, bottom - 3)), 0);
    EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, bottom - 8)), 255);
}

TEST_F(RendersTest, PlaceholderIsDimAndTheQueryWhite)
{
    layOut(3, 1, {"Mail", "Research", "Code"});
    SwitcherModel model;
    model.load(engine().desktops(), {}, 101, std::nullopt);
    SwitcherRender blank(model, QString());
    EXPECT_EQ(blank.queryText()->text(), "Jump to a space…");
    const QImage placeholder = Renders::renderImage(blank, commands_);
    model.setQuery("res");
    SwitcherRender typed(model, "res");
    EXPECT_EQ(typed.queryText()->text(), "res");
    const QImage query = Renders::renderImage(typed, commands_);
    ASSERT_FALSE(placeholder.isNull());
    ASSERT_FALSE(query.isNull());
    EXPECT_EQ(placeholder.width(), 920);
    // The text lies right of the 18 + 22 + 10 point lead, in the 56-point row.
    const QRect text(2 * 50, 2 * 14, 2 * 30, 2 * 28);
    EXPECT_GE(brightest(query, text), 740);
    const int dim = brightest(placeholder, text);
    EXPECT_GT(dim, 150);
    EXPECT_LT(dim, 400);
}

} // namespace
