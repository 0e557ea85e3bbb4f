#include "UiTest.h"

#include "ui/AppIconsRow.h"
#include "ui/BadgeBubble.h"
#include "ui/BadgeOverlay.h"
#include "ui/Card.h"
#include "ui/KitFonts.h"
#include "ui/RowDivider.h"
#include "ui/SectionHeader.h"
#include "ui/SettingRow.h"
#include "ui/SettingsCard.h"
#include "ui/SpaceGlyph.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>

#include <algorithm>

namespace {

class ViewKitTest : public UiTest {
protected:
    static QWidget* box(int width, int height)
    {
        auto* widget = new QWidget;
        widget->setFixedSize(width, height);
        return widget;
    }

    static QList<SpaceApp> apps(int count)
    {
        QList<SpaceApp> list;
        for (int i = 0; i < count; ++i) {
            SpaceApp app;
            app.pid = 500 + i;
            app.name = QStringLiteral("App ") + QString::number(i);
            app.icon = QImage(32, 32, QImage::Format_ARGB32);
            app.icon.fill(QColor::fromHsv((i * 40) % 360, 200, 220));
            list.append(app);
        }
        return list;
    }
};

int whitePixels(const QImage& image, int threshold = 200)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::min({c.red(), c.green(), c.blue()}) > threshold)
                ++count;
        }
    }
    return count;
}

TEST_F(ViewKitTest, CardPadsItsContentOnTheRaisedSurfaceWithSheenAndHairline)
{
    Card card(box(100, 40));
    const QImage image = render(card, Qt::black);
    ASSERT_EQ(image.size(), QSize(128, 68));
    EXPECT_EQ(card.content()->geometry(), QRect(14, 14, 100, 40));
    EXPECT_TRUE(sameColor(at(image, {64, 60}), Theme::raised(), 1));
    // The sheen: strongest at the top, gone by the middle.
    const QColor top = at(image, {64, 2});
    EXPECT_GT(top.lightnessF(), Theme::raised().lightnessF());
    EXPECT_TRUE(sameColor(at(image, {64, 35}), Theme::raised(), 1));
    // A 1-point hairline inside the edge, and rounded corners.
    EXPECT_TRUE(sameColor(at(image, {0, 50}), over(Theme::hairline(), Theme::raised()), 2));
    EXPECT_TRUE(sameColor(at(image, {0, 0}), Qt::black));

    Card tight(box(10, 10), 3);
    EXPECT_EQ(render(tight, Qt::black).size(), QSize(16, 16));
}

TEST_F(ViewKitTest, SettingsCardInsetsItsRows)
{
    auto* first = box(200, 20);
    auto* second = box(200, 30);
    SettingsCard card({first, second});
    render(card, Qt::black);
    EXPECT_EQ(card.size(), QSize(232, 58));
    EXPECT_EQ(first->mapTo(&card, QPoint(0, 0)), QPoint(16, 4));
    EXPECT_EQ(second->mapTo(&card, QPoint(0, 0)), QPoint(16, 24));
}

TEST_F(ViewKitTest, SettingRowPutsTitleAndCaptionLeftAndTheControlRight)
{
    auto* control = box(40, 18);
    SettingRow row(QStringLiteral("Show switch tag"), QStringLiteral("After every switch"), control);
    row.resize(400, row.sizeHint().height());
    render(row, Qt::black);
    EXPECT_EQ(row.titleLabel()->text(), "Show switch tag");
    EXPECT_EQ(row.captionLabel()->text(), "After every switch");
    EXPECT_EQ(QFontInfo(row.titleLabel()->font()).pixelSize(), 13);
    EXPECT_EQ(row.titleLabel()->palette().color(QPalette::WindowText), Theme::text());
    EXPECT_EQ(row.captionLabel()->palette().color(QPalette::WindowText), Theme::textSecondary());
    EXPECT_EQ(control->geometry().right(), 399);
    EXPECT_EQ(row.titleLabel()->x(), 0);
    EXPECT_EQ(row.titleLabel()->y(), 9);
    EXPECT_EQ(row.height() - 9, row.captionLabel()->geometry().bottom() + 1);
    EXPECT_EQ(row.captionLabel()->y() - row.titleLabel()->geometry().bottom() - 1, 2);
}

TEST_F(ViewKitTest, SettingRowWithoutCaptionCentresTheTitleAgainstTheControl)
{
    auto* control = box(60, 40);
    SettingRow row(QStringLiteral("Style"), std::nullopt, control);
    row.resize(300, row.sizeHint().height());
    render(row, Qt::black);
    EXPECT_EQ(row.captionLabel(), nullptr);
    EXPECT_EQ(row.height(), 58);
    EXPECT_NEAR(row.titleLabel()->geometry().center().y(), 29, 1);
}

TEST_F(ViewKitTest, DividerIsOneHairlineHigh)
{
    RowDivider divider;
    divider.resize(50, divider.sizeHint().height());
    const QImage image = render(divider, Theme::raised());
    EXPECT_EQ(image.height(), 1);
    EXPECT_TRUE(sameColor(at(image, {25, 0}), over(Theme::hairline(), Theme::raised()), 1));
}

TEST_F(ViewKitTest, SectionHeaderIsSpacedOutUpperCaseInTheTertiaryColour)
{
    SectionHeader header(QStringLiteral("Straße names"));
    EXPECT_EQ(header.text(), "STRASSE NAMES");
    EXPECT_NEAR(header.font().letterSpacing(), 0.8, 0.01);
    EXPECT_EQ(header.font().letterSpacingType(), QFont::AbsoluteSpacing);
    EXPECT_EQ(header.palette().color(QPalette::WindowText), Theme::textTertiary());
    EXPECT_EQ(header.contentsMargins().left(), 2);
    const QImage image = render(header, Theme::canvas());
    EXPECT_GT(whitePixels(image, 80), 20);
    EXPECT_EQ(whitePixels(image, 200), 0);
}

TEST_F(ViewKitTest, AppRowShowsTheLimitAndCountsTheRest)
{
    AppIconsRow nine(apps(9), 18, true);
    EXPECT_EQ(nine.shownApps().size(), 7);
    EXPECT_EQ(nine.overflowText(), "+2");

    AppIconsRow quiet(apps(9), 18, false);
    EXPECT_EQ(quiet.shownApps().size(), 7);
    EXPECT_TRUE(quiet.overflowText().isEmpty());

    AppIconsRow seven(apps(7), 18, true);
    EXPECT_TRUE(seven.overflowText().isEmpty());

    QList<SpaceApp> someWithoutIcons = apps(10);
    someWithoutIcons[1].icon = QImage();
    someWithoutIcons[8].icon = QImage();
    AppIconsRow partial(someWithoutIcons, 18, true);
    EXPECT_EQ(partial.shownApps().size(), 6);
    EXPECT_EQ(partial.shownApps()[1].pid, 502);
    EXPECT_EQ(partial.overflowText(), "+3");
}

TEST_F(ViewKitTest, AppRowLaysIconsThreePointsApartWithTheirBadges)
{
    QList<SpaceApp> list = apps(3);
    list[1].badge = QStringLiteral("3");
    AppIconsRow row(list, 18, true);
    const QImage image = render(row, Qt::black, 2);
    const QRectF first = row.itemRect(0);
    const QRectF second = row.itemRect(1);
    EXPECT_EQ(first.size(), QSizeF(18, 18));
    EXPECT_DOUBLE_EQ(second.left() - first.right(), 3);
    EXPECT_TRUE(sameColor(at(image, first.center()), list[0].icon.pixelColor(0, 0), 2));
    // The badge sits over the top right corner, 4 points outside it.
    const QPointF badgeLeftMiddle(second.right() + 4 - 10 + 1.5, second.top() - 4 + 5);
    EXPECT_TRUE(sameColor(at(image, badgeLeftMiddle), Theme::red(), 10));
    EXPECT_TRUE(sameColor(at(image, {first.right() + 2, first.top() - 2}), Qt::black));
    EXPECT_TRUE(row.sizeHint().width() >= int(row.itemRect(2).right()) + row.overhang());
}

TEST_F(ViewKitTest, AppRowOverflowTextFollowsTheIcons)
{
    AppIconsRow row(apps(10), 16, true);
    const QImage image = render(row, Theme::canvas(), 2);
    const QRectF last = row.itemRect(6);
    const double textLeft = last.right() + 3;
    const double width = QFontMetricsF(KitFonts::system(9.5, QFont::DemiBold)).horizontalAdvance("+3");
    int lit = 0;
    for (double x = textLeft; x < textLeft + width; x += 0.5) {
        for (double y = last.top(); y < last.bottom(); y += 0.5) {
            if (!sameColor(at(image, {x, y}), Theme::canvas(), 0))
                ++lit;
        }
    }
    EXPECT_GT(lit, 10);
    EXPECT_EQ(row.sizeHint().width(), int(std::ceil(7 * 16 + 6 * 3 + 3 + width)) + 2 * row.overhang());
}

TEST_F(ViewKitTest, AppButtonsOpenTheirAppAndGrowUnderThePointer)
{
    QList<qint32> openedPids;
    AppIconsRow row(apps(4), 18, false, [&](const SpaceApp& app) { openedPids.append(app.pid); });
    row.resize(row.sizeHint());
    EXPECT_EQ(row.helpText(2), "Open App 2 here");

    const QPointF third = row.itemRect(2).center();
    mouse(row, QEvent::MouseButtonPress, third);
    mouse(row, QEvent::MouseButtonRelease, third);
    EXPECT_EQ(openedPids, QList<qint32>{502});

    const QRectF first = row.itemRect(0);
    const QPointF justOutside(first.center().x(), first.top() - 1.5);
    EXPECT_TRUE(sameColor(at(render(row, Qt::black, 2), justOutside), Qt::black));
    mouse(row, QEvent::MouseMove, first.center(), Qt::NoButton);
    advance(0.12);
    EXPECT_TRUE(sameColor(at(render(row, Qt::black, 2), justOutside), apps(1)[0].icon.pixelColor(0, 0), 3));

    mouse(row, QEvent::MouseMove, QPointF(1, 1), Qt::NoButton);
    advance(0.12);
    EXPECT_TRUE(sameColor(at(render(row, Qt::black, 2), justOutside), Qt::black));
}

TEST_F(ViewKitTest, PlainAppIconsAreNamedPicturesThatDoNotGrow)
{
    AppIconsRow row(apps(2), 18, false);
    row.resize(row.sizeHint());
    EXPECT_EQ(row.helpText(1), "App 1");
    const QRectF first = row.itemRect(0);
    mouse(row, QEvent::MouseMove, first.center(), Qt::NoButton);
    advance(0.12);
    EXPECT_TRUE(sameColor(at(render(row, Qt::black, 2), {first.center().x(), first.top() - 1.5}), Qt::black));
}

TEST_F(ViewKitTest, BadgeIsACircleForOneCharacterAndACapsuleForMore)
{
    EXPECT_EQ(BadgeBubble::sizeFor(QStringLiteral("3")), QSizeF(10, 10));
    const QSizeF two = BadgeBubble::sizeFor(QStringLiteral("12"));
    EXPECT_GT(two.width(), 10);
    EXPECT_EQ(two.height(), 10);
    EXPECT_GT(BadgeBubble::sizeFor(QStringLiteral("128")).width(), two.width());
    // One flag is one character.
    EXPECT_EQ(BadgeBubble::sizeFor(QStringLiteral("🇩🇪")).height(), 10);

    BadgeBubble bubble(QStringLiteral("7"));
    const QImage image = render(bubble, Qt::black, 4);
    EXPECT_EQ(image.size(), QSize(40, 40));
    EXPECT_TRUE(sameColor(at(image, {1.5, 5}), Theme::red(), 12));
    EXPECT_TRUE(sameColor(at(image, {0.3, 0.3}), Qt::black));
    EXPECT_GT(whitePixels(image), 10);
}

TEST_F(ViewKitTest, BadgeOverlaySitsOverTheTopTrailingCornerAndFollows)
{
    QWidget parent;
    parent.resize(200, 200);
    auto* target = new QWidget(&parent);
    target->setGeometry(20, 30, 24, 24);
    parent.show();
    EXPECT_EQ(BadgeOverlay::attach(target, std::nullopt), nullptr);

    BadgeOverlay* overlay = BadgeOverlay::attach(target, QStringLiteral("5"));
    ASSERT_TRUE(overlay);
    BadgeBubble* bubble = overlay->bubble();
    EXPECT_EQ(bubble->geometry(), QRect(38, 26, 10, 10));
    EXPECT_TRUE(bubble->testAttribute(Qt::WA_TransparentForMouseEvents));

    target->move(100, 100);
    EXPECT_EQ(bubble->geometry(), QRect(118, 96, 10, 10));
}

TEST_F(ViewKitTest, SpaceGlyphShowsTheIconOrElseTheNumber)
{
    SpaceGlyph symbol(desktop(2, SpaceIcon::symbol(QStringLiteral("star.fill"))), 20, 0.5);
    EXPECT_EQ(symbol.sizeHint(), QSize(20, 20));
    EXPECT_GT(whitePixels(render(symbol, Qt::black, 2)), 40);

    SpaceGlyph missing(desktop(3, SpaceIcon::picture(QStringLiteral("gone.png"))), 20, 1);
    const QFontMetricsF metrics(Theme::displayFont(19, QFont::Bold));
    EXPECT_EQ(missing.sizeHint().width(), int(std::ceil(metrics.horizontalAdvance("3"))));
    EXPECT_GT(whitePixels(render(missing, Qt::black, 2)), 40);

    // The opacity dims the number only.
    SpaceGlyph dim(desktop(4), 20, 0.5);
    const QImage dimmed = render(dim, Qt::black, 2);
    EXPECT_EQ(whitePixels(dimmed, 140), 0);
    EXPECT_GT(whitePixels(dimmed, 110), 20);
}

} // namespace
