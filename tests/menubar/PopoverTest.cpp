#include "MenuBarTest.h"

#include "menubar/MenuPopoverController.h"
#include "menubar/MenuPopoverView.h"
#include "menubar/PopoverNotice.h"
#include "menubar/PopoverSpaceRow.h"
#include "menubar/SpaceStripView.h"
#include "platform/Dialogs.h"
#include "platform/sim/CharacterPalette.h"
#include "platform/sim/DialogScript.h"
#include "platform/sim/World.h"
#include "store/Palette.h"
#include "store/SpaceStore.h"
#include "switching/Accessibility.h"
#include "ui/HostedWindow.h"
#include "ui/AppIconsRow.h"
#include "ui/EditSpaceView.h"
#include "ui/Glyph.h"
#include "ui/HotkeyRecorder.h"
#include "ui/RecorderButton.h"
#include "ui/Theme.h"
#include "ui/ViewEnvironment.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>

#include <cmath>
#include <cstdlib>

namespace {

class PopoverTest : public MenuBarTest {
protected:
    PopoverTest()
    {
        addApp(501, QStringLiteral("Mail"));
        addApp(502, QStringLiteral("Notes"));
    }

    static void addApp(qint32 pid, const QString& appName)
    {
        platform::sim::AppSpec app;
        app.pid = pid;
        app.bundleID = QStringLiteral("com.example.") + appName.toLower();
        app.name = appName;
        world().addApp(app);
    }
    void oneDisplay(qsizetype count, quint64 current = 11)
    {
        QList<quint64> ids;
        for (qsizetype i = 0; i < count; ++i)
            ids << quint64(11 + i);
        addDisplay(QStringLiteral("D1"), ids, current);
    }
    MenuPopoverView& open(const PopoverPage& page = PopoverPage::list())
    {
        popover.show(QRectF(1400, 958, 40, 24), page);
        clock().runPending();
        return *popover.view();
    }
    template <typename T = QWidget>
    static T* child(QWidget& parent, const QString& objectName)
    {
        return parent.findChild<T*>(objectName);
    }
    static QString text(QWidget& parent, const QString& objectName)
    {
        auto* label = parent.findChild<QLabel*>(objectName);
        return label ? label->text() : QStringLiteral("<none>");
    }
    static bool shown(QWidget* widget) { return widget && !widget->isHidden(); }
    static void enter(QWidget& widget)
    {
        QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QCoreApplication::sendEvent(&widget, &event);
    }

    static QWidget* characterPalette()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowTitle() == QStringLiteral("Emoji & Symbols"))
                return window;
        }
        return nullptr;
    }
    static void pressEscape(QWidget& target)
    {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&target, &escape);
    }
    static void pressOn(QWidget& target)
    {
        const QPointF at(4, 4);
        QMouseEvent press(QEvent::MouseButtonPress, at, target.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(&target, &press);
    }

    MenuPopoverController popover{commands};
};

} // namespace

// --- showing, toggling and closing ---

TEST_F(PopoverTest, AnEditPageClosedOpensOnTheListNextTime)
{
    oneDisplay(3);
    const Desktop first = *engine().desktopWithID(11);
    open(PopoverPage::edit(first));
    EXPECT_TRUE(popover.isShown());
    EXPECT_NE(popover.view()->editor(), nullptr);
    popover.close();
    EXPECT_FALSE(popover.isShown());
    EXPECT_EQ(popover.model().page(), PopoverPage::list());
    popover.toggle(QRectF(1400, 958, 40, 24));
    EXPECT_TRUE(popover.isShown());
    EXPECT_EQ(popover.model().page(), PopoverPage::list());
}

TEST_F(PopoverTest, ShowingAgainReusesTheViewAndTogglingWhileShownOnlyCloses)
{
    oneDisplay(2);
    MenuPopoverView* first = &open();
    popover.toggle({});
    EXPECT_FALSE(popover.isShown());
    MenuPopoverView* second = &open();
    EXPECT_EQ(first, second);
    popover.toggle({});
    EXPECT_FALSE(popover.isShown());
}

TEST_F(PopoverTest, ClosingWithoutAnimationLeavesAnimationOn)
{
    oneDisplay(2);
    open();
    popover.closeWithoutAnimation();
    EXPECT_FALSE(popover.isShown());
    EXPECT_FALSE(popover.popover().lastCloseAnimated());
    EXPECT_TRUE(popover.popover().animates());
    open();
    popover.close();
    EXPECT_TRUE(popover.popover().lastCloseAnimated());
}

TEST_F(PopoverTest, AClickOutsideClosesItAndResetsThePage)
{
    oneDisplay(2);
    open(PopoverPage::edit(*engine().desktopWithID(12)));
    platform::sim::clickOutsidePopovers();
    EXPECT_FALSE(popover.isShown());
    EXPECT_EQ(popover.model().page(), PopoverPage::list());
    EXPECT_EQ(popover.popover().behavior(), platform::Popover::Behavior::transient);
}

TEST_F(PopoverTest, ShowingRecordsTheFrontAppActivatesAndHangsBelowTheAnchor)
{
    oneDisplay(2);
    world().setFrontmostApp(502);
    open();
    ASSERT_TRUE(popover.model().frontApp);
    EXPECT_EQ(popover.model().frontApp->processIdentifier, 502);
    EXPECT_TRUE(world().activationRequests().contains(world().ownPID()));
    const QRectF frame = popover.popover().frame();
    EXPECT_LE(frame.top(), 958);
    EXPECT_EQ(frame.width(), MenuPopoverView::popoverWidth);

    popover.close();
    addApp(world().ownPID(), QStringLiteral("Tessaroom"));
    world().setFrontmostApp(world().ownPID());
    open();
    EXPECT_EQ(popover.model().frontApp->processIdentifier, world().ownPID());
}

// --- dismissing ---

TEST_F(PopoverTest, EscapeClosesItOnEveryPage)
{
    oneDisplay(2);
    pressEscape(open());
    EXPECT_FALSE(popover.isShown());

    MenuPopoverView& view = open(PopoverPage::edit(*engine().desktopWithID(12)));
    ASSERT_NE(view.editor(), nullptr);
    auto* field = child<QLineEdit>(*view.editor(), QStringLiteral("nameField"));
    field->setText(QStringLiteral("Mail"));
    pressEscape(*field);
    EXPECT_FALSE(popover.isShown());
    EXPECT_EQ(popover.model().page(), PopoverPage::list());
    EXPECT_EQ(SpaceStore::shared().meta(12).name, "Mail") << "what was typed is stored";
}

TEST_F(PopoverTest, EscapeWhileAShortcutIsRecordedOnlyEndsTheRecording)
{
    oneDisplay(2);
    MenuPopoverView& view = open(PopoverPage::edit(*engine().desktopWithID(11)));
    auto* recorder = view.editor()->findChild<HotkeyRecorder*>();
    recorder->recorderButton()->click();
    pressEscape(*recorder->recorderButton());
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(popover.isShown());
}

TEST_F(PopoverTest, APressInAnotherWindowClosesItButNotOneInTheCharacterPalette)
{
    oneDisplay(2);
    open(PopoverPage::edit(*engine().desktopWithID(11)));
    platform::Application::orderFrontCharacterPalette();
    QWidget* palette = characterPalette();
    ASSERT_NE(palette, nullptr);
    pressOn(*palette);
    EXPECT_TRUE(popover.isShown()) << "the palette types into the popover's field";

    QWidget other;
    auto* button = new QPushButton(QStringLiteral("Elsewhere"), &other);
    other.show();
    pressOn(*button);
    EXPECT_FALSE(popover.isShown());
    EXPECT_EQ(popover.model().page(), PopoverPage::list());
}

TEST_F(PopoverTest, TheEmojiPaletteOpensBesideThePopoverAndGoesWithAPickOrWithThePopover)
{
    oneDisplay(2);
    MenuPopoverView& view = open(PopoverPage::edit(*engine().desktopWithID(11)));
    QWidget* window = popover.popover().window();
    const auto openPalette = [&] {
        // The offscreen platform gives the focus to every window it shows,
        // the palette too, and keeps it there: take it back as a click would.
        QApplication::setActiveWindow(window);
        child<QAbstractButton>(*view.editor(), QStringLiteral("emojiButton"))->click();
        advance(0.05);
        return characterPalette();
    };

    QWidget* palette = openPalette();
    ASSERT_NE(palette, nullptr);
    const QRect popoverBox = window->frameGeometry();
    const QRect box = palette->frameGeometry();
    EXPECT_TRUE(box.left() == popoverBox.right() + 9 || box.right() + 9 == popoverBox.left())
        << "8 points beside the popover";
    EXPECT_TRUE(box.top() <= popoverBox.bottom() && box.bottom() >= popoverBox.top());

    // A click in the palette picks.
    const QPointF at(20, 20);
    auto* area = qobject_cast<QScrollArea*>(palette);
    ASSERT_NE(area, nullptr);
    auto* grid = dynamic_cast<platform::sim::CharacterPalette*>(area->widget());
    ASSERT_NE(grid, nullptr);
    const QString first = grid->characters().first();
    QMouseEvent press(QEvent::MouseButtonPress, at, grid->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(grid, &press);
    EXPECT_EQ(view.editor()->icon(), SpaceIcon::emoji(first));
    EXPECT_FALSE(platform::sim::isCharacterPaletteOpen()) << "a pick closes it";
    EXPECT_TRUE(popover.isShown());
    EXPECT_TRUE(window->isVisible()) << "and nothing else";

    ASSERT_NE(openPalette(), nullptr);
    popover.close();
    EXPECT_FALSE(platform::sim::isCharacterPaletteOpen()) << "it goes with the popover";
}

TEST_F(PopoverTest, TheAppLosingTheFocusToTheDesktopClosesIt)
{
    oneDisplay(2);
    open();
    // What a click on the desktop or in another app does on a desktop session.
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(popover.isShown());
}

// --- the list page ---

TEST_F(PopoverTest, NoDesktopsShowsTheHeaderAloneAndAnEmptyList)
{
    MenuPopoverView& view = open();
    EXPECT_EQ(text(view, QStringLiteral("headerName")), QStringLiteral("No desktops found"));
    EXPECT_EQ(view.strip()->tileCount(), 0);
    EXPECT_TRUE(view.rows().isEmpty());
    EXPECT_EQ(view.listHeight(), 12);
}

TEST_F(PopoverTest, ListHeightFollowsTheLinesUpToEight)
{
    EXPECT_EQ(MenuPopoverView::listHeightFor(MenuPopoverView::lineCount(3, 1)), 144);
    EXPECT_EQ(MenuPopoverView::listHeightFor(MenuPopoverView::lineCount(5, 2)), 320);
    EXPECT_EQ(MenuPopoverView::listHeightFor(MenuPopoverView::lineCount(20, 1)), 364);

    oneDisplay(3);
    MenuPopoverView& view = open();
    EXPECT_EQ(view.listHeight(), 144);
    EXPECT_EQ(view.findChildren<QWidget*>(QStringLiteral("displayHeader")).size(), 0);
}

TEST_F(PopoverTest, TwoDisplaysGetHeadersAndEveryDesktop)
{
    addDisplay(QStringLiteral("D1"), {11, 12, 13}, 11);
    addDisplay(QStringLiteral("D2"), {21, 22}, 21, {}, 1512);
    MenuPopoverView& view = open();
    EXPECT_EQ(view.listHeight(), 320);
    EXPECT_EQ(view.findChildren<QWidget*>(QStringLiteral("displayHeader")).size(), 2);
    EXPECT_EQ(view.rows().size(), 5);
    EXPECT_EQ(view.rows()[3]->desktop().id(), 21u);
}

TEST_F(PopoverTest, TwentyDesktopsScrollAndAreAllPresent)
{
    oneDisplay(20);
    MenuPopoverView& view = open();
    EXPECT_EQ(view.listHeight(), 364);
    EXPECT_EQ(view.rows().size(), 20);
    savePicture(render(view), QStringLiteral("popover-20.png"));
}

TEST_F(PopoverTest, AFlatRenderListsAtMostEightPerDisplayWithoutScrolling)
{
    oneDisplay(12);
    MenuPopoverView& view = open();
    ViewEnvironment::setRendersFlat(&view, true);
    view.reload();
    EXPECT_EQ(view.rows().size(), 8);
    EXPECT_FALSE(view.listHeight());
    EXPECT_EQ(view.findChild<QScrollArea*>(), nullptr);
}

TEST_F(PopoverTest, TheHeaderShowsTrackedTimeFromOneMinute)
{
    oneDisplay(2);
    name(11, QStringLiteral("Mail"));
    SpaceStore::shared().change(11, [](SpaceMeta& meta) { meta.seconds = 59; });
    MenuPopoverView& view = open();
    view.reload(); // rebuilt while shown
    EXPECT_TRUE(child(view, QStringLiteral("headerName"))->isVisible());
    EXPECT_TRUE(child(view, QStringLiteral("quitButton"))->isVisible());
    EXPECT_EQ(text(view, QStringLiteral("headerName")), QStringLiteral("Mail"));
    EXPECT_EQ(text(view, QStringLiteral("headerSubtitle")), QStringLiteral("Desktop 1 of 2"));
    EXPECT_EQ(child(view, QStringLiteral("headerTime")), nullptr);
    SpaceStore::shared().change(11, [](SpaceMeta& meta) { meta.seconds = 60; });
    view.reload();
    EXPECT_EQ(text(view, QStringLiteral("headerTime")), QStringLiteral("1m"));
    EXPECT_EQ(text(view, QStringLiteral("headerShortcut")), Hotkey::digit(1, Hotkey::defaultModifiers)->display());
}

TEST_F(PopoverTest, TheFooterHasNoJumpBackUntilThereIsAPreviousDesktop)
{
    oneDisplay(2);
    settings().setSwitcherHotkey(std::nullopt);
    MenuPopoverView& view = open();
    EXPECT_EQ(child(view, QStringLiteral("jumpBackButton")), nullptr);
    EXPECT_EQ(child(view, QStringLiteral("switcherButton"))->toolTip(), QStringLiteral("Quick Switcher · "));
    world().setCurrentSpace(QStringLiteral("D1"), 12);
    refresh();
    view.reloadIfNeeded();
    auto* jump = child<QAbstractButton>(view, QStringLiteral("jumpBackButton"));
    ASSERT_NE(jump, nullptr);
    EXPECT_LE(jump->maximumWidth(), 170);
    jump->click();
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("switchTo:11")});
}

TEST_F(PopoverTest, FooterButtonsCloseThePopoverFirst)
{
    oneDisplay(2);
    bool quitCalled = false;
    popover.setTerminate([&] { quitCalled = true; });
    MenuPopoverView& view = open();
    child<QAbstractButton>(view, QStringLiteral("settingsButton"))->click();
    child<QAbstractButton>(view, QStringLiteral("missionControlButton"))->click();
    child<QAbstractButton>(view, QStringLiteral("switcherButton"))->click();
    child<QAbstractButton>(view, QStringLiteral("quitButton"))->click();
    EXPECT_EQ(commands.calls,
              (QStringList{QStringLiteral("closePopover"), QStringLiteral("openSettings:none"),
                           QStringLiteral("closePopover"), QStringLiteral("openMissionControl"),
                           QStringLiteral("closePopover"), QStringLiteral("toggleQuickSwitcher")}));
    EXPECT_TRUE(quitCalled);
}

TEST_F(PopoverTest, TheEditPageOfADeletedDesktopKeepsItsLastValue)
{
    oneDisplay(3);
    const Desktop third = *engine().desktopWithID(13);
    MenuPopoverView& view = open(PopoverPage::edit(third));
    world().removeSpace(13);
    refresh();
    view.reloadIfNeeded();
    ASSERT_NE(view.editor(), nullptr);
    EXPECT_EQ(view.editor()->desktop().id(), 13u);
    popover.close();
    open(PopoverPage::edit(third));
    ASSERT_NE(view.editor(), nullptr);
    EXPECT_EQ(view.editor()->desktop().number, 3);
}

TEST_F(PopoverTest, TheHeaderEditButtonTurnsToTheEditorAndDoneReturns)
{
    oneDisplay(2);
    MenuPopoverView& view = open();
    child<QAbstractButton>(view, QStringLiteral("headerEditButton"))->click();
    ASSERT_NE(view.editor(), nullptr);
    EXPECT_TRUE(view.listPage()->isHidden());
    view.editor()->done();
    EXPECT_EQ(popover.model().page(), PopoverPage::list());
    EXPECT_FALSE(view.listPage()->isHidden());
}

TEST_F(PopoverTest, LaterOpeningsRebuildOnlyRowsThatChanged)
{
    oneDisplay(4);
    MenuPopoverView& view = open();
    const QList<PopoverSpaceRow*> before = view.rows();
    const int builds = before[1]->buildCount();
    popover.close();
    name(12, QStringLiteral("Work"));
    open();
    EXPECT_EQ(view.rows(), before);
    EXPECT_EQ(before[1]->buildCount(), builds + 1);
    EXPECT_EQ(before[2]->buildCount(), builds);
}

TEST_F(PopoverTest, TheHeaderTilesGlowSpreadsBelowItUncut)
{
    oneDisplay(3);
    MenuPopoverView& view = open();
    const QImage image = MenuBarTest::render(view);
    const QWidget* tile = child(view, QStringLiteral("headerTile"));
    ASSERT_NE(tile, nullptr);
    const QRectF placed(QPointF(tile->mapTo(&view, QPoint(0, 0))), QSizeF(tile->size()));
    const QColor canvas = Theme::canvas();
    const QColor glow = Palette::color(0);
    // Below the tile, where the header row ends, and beside its lower corner.
    for (const QPointF point : {QPointF(placed.center().x(), placed.bottom() + 3),
                                QPointF(placed.center().x(), placed.bottom() + 8),
                                QPointF(placed.left() - 3, placed.bottom() - 2)}) {
        const QColor seen = image.pixelColor(int(point.x() * 2), int(point.y() * 2));
        EXPECT_FALSE(sameColor(seen, canvas, 4)) << point.x() << "," << point.y();
        // Tinted towards the tile's colour.
        EXPECT_GT(std::abs(seen.blue() - canvas.blue()) + std::abs(seen.red() - canvas.red()), 8);
        EXPECT_LT(std::abs(seen.blue() - glow.blue()), std::abs(canvas.blue() - glow.blue()));
    }
}

// --- notices ---

TEST_F(PopoverTest, PresentationNoticeTurnsOffWithoutClosing)
{
    oneDisplay(2);
    settings().setPresenting(true);
    MenuPopoverView& view = open();
    ASSERT_EQ(view.notices().size(), 1);
    EXPECT_EQ(view.notices()[0]->title(), QStringLiteral("Presentation mode is on"));
    EXPECT_FALSE(view.notices()[0]->isButton());
    child<QAbstractButton>(view, QStringLiteral("turnOffButton"))->click();
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("togglePresentation")});
    settings().setPresenting(false);
    clock().runPending();
    EXPECT_TRUE(view.notices().isEmpty());
    EXPECT_TRUE(popover.isShown());
}

TEST_F(PopoverTest, UpdateAndAccessibilityNoticesShowInOrderAndAct)
{
    oneDisplay(2);
    world().setTrusted(false);
    Accessibility::shared().refresh(false);
    popover.model().setUpdateOffer(UpdateOffer{QStringLiteral("2.1"), QStringLiteral("3 March 2026")});
    settings().setPresenting(true);
    MenuPopoverView& view = open();
    ASSERT_EQ(view.notices().size(), 3);
    for (PopoverNotice* notice : view.notices())
        EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(view.notices()[1]->title(), QStringLiteral("Tessaroom 2.1 is out"));
    EXPECT_EQ(view.notices()[1]->body(),
              QStringLiteral("Released 3 March 2026. What's new and the download are in Settings."));
    EXPECT_EQ(view.notices()[2]->title(), QStringLiteral("Accessibility is off"));
    EXPECT_TRUE(view.notices()[2]->body().startsWith(QStringLiteral("Needed for names in Mission Control")));
    savePicture(render(view), QStringLiteral("popover-notices.png"));
    view.notices()[1]->trigger();
    EXPECT_EQ(commands.calls, (QStringList{QStringLiteral("closePopover"),
                                           QStringLiteral("openSettings:") + QString::number(int(SettingsPage::about))}));

    world().setTrusted(true);
    Accessibility::shared().refresh(false);
    clock().runPending();
    EXPECT_EQ(view.notices().size(), 2);
}

// --- the strip ---

TEST_F(PopoverTest, TwelveTilesShareTheStripEqually)
{
    oneDisplay(12, 13);
    MenuPopoverView& view = open();
    SpaceStripView& strip = *view.strip();
    EXPECT_EQ(strip.width(), 326);
    EXPECT_NEAR(strip.tileRect(0).width(), (326 - 11 * 5) / 12.0, 1e-9);
    EXPECT_NEAR(strip.tileRect(11).right(), 326, 1e-9);
    EXPECT_EQ(strip.tileRect(2).height(), 26);
    EXPECT_EQ(strip.tileRect(0).height(), 22);
    EXPECT_EQ(strip.tile(4)->toolTip(), QStringLiteral("Desktop 5"));
    static_cast<QAbstractButton*>(strip.tile(4))->click();
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("switchTo:15")});
}

TEST_F(PopoverTest, EachTileIsPaintedAtItsExactShareOfTheWidth)
{
    oneDisplay(12, 13);
    SpaceStripView strip(engine().desktops(), engine().activeDesktop(), {});
    strip.resize(326, 26);
    constexpr double scale = 4;
    const QImage image = renderBare(strip, scale);
    const double share = (326 - 11 * 5) / 12.0;
    const int row = int(13 * scale);
    for (qsizetype i = 0; i < 12; ++i) {
        if (i == 2)
            continue; // the current tile, outlined
        SCOPED_TRACE(i);
        const QRectF tile = strip.tileRect(i);
        // Along the middle row, where the tile's sides are straight: each side
        // lies inside its outermost pixel by that pixel's coverage.
        const auto coverage = [&](int x) { return image.pixelColor(x, row).alphaF() / 0.55; };
        int first = std::max(0, int(std::floor((tile.left() - 2) * scale)));
        while (coverage(first) < 0.01)
            ++first;
        int last = std::min(image.width() - 1, int(std::ceil((tile.right() + 2) * scale)));
        while (coverage(last) < 0.01)
            --last;
        const double left = first + 1 - coverage(first);
        const double right = last + coverage(last);
        EXPECT_NEAR((right - left) / scale, share, 0.1);
        // It starts where its share starts.
        EXPECT_NEAR(left / scale, i * (share + 5), 0.1);
    }
}

TEST_F(PopoverTest, APictureGivenWhileTheStripIsOpenShowsWholeAndSquare)
{
    oneDisplay(4);
    QImage picture(200, 200, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(Glyph::iconsFolder() + QStringLiteral("/square.png")));
    SpaceStripView strip(engine().desktops(), engine().activeDesktop(), {});
    strip.resize(326, 26);
    // The strip is up, its tiles laid out, before the picture arrives.
    renderBare(strip, 1);
    SpaceStore::shared().change(12, [](SpaceMeta& meta) { meta.icon = SpaceIcon::picture(QStringLiteral("square.png")); });
    refresh();
    strip.setDesktops(engine().desktops(), engine().activeDesktop());

    constexpr double scale = 4;
    const QImage image = renderBare(strip, scale);
    const QRectF tile = strip.tileRect(1);
    QRect red;
    for (int y = int(tile.top() * scale); y < int(tile.bottom() * scale); ++y) {
        for (int x = int(tile.left() * scale); x < int(tile.right() * scale); ++x) {
            const QColor color = image.pixelColor(x, y);
            if (color.red() > 200 && color.green() < 60 && color.alpha() > 200)
                red |= QRect(x, y, 1, 1);
        }
    }
    EXPECT_NEAR(red.width() / scale, SpaceStripView::glyphSize, 1);
    EXPECT_NEAR(red.height() / scale, SpaceStripView::glyphSize, 1);
    EXPECT_NEAR(red.center().x() / scale, tile.center().x(), 1);
}

TEST_F(PopoverTest, StripHoverLightsOtherTilesOnly)
{
    oneDisplay(3);
    SpaceStripView strip(engine().desktops(), engine().activeDesktop(), {});
    strip.resize(326, 26);
    enter(*strip.tile(0));
    enter(*strip.tile(1));
    advance(0.2);
    EXPECT_EQ(strip.tileOpacity(0), 1.0);
    EXPECT_EQ(strip.tileScale(0), 1.0);
    EXPECT_NEAR(strip.tileOpacity(1), 0.85, 1e-6);
    EXPECT_NEAR(strip.tileScale(1), 1.06, 1e-6);
    EXPECT_NEAR(strip.tileOpacity(2), 0.55, 1e-6);

    SpaceStripView none(engine().desktops(), std::nullopt, {});
    none.resize(326, 26);
    for (qsizetype i = 0; i < 3; ++i)
        EXPECT_EQ(none.tileRect(i).height(), 22);
    SpaceStripView empty({}, std::nullopt, {});
    EXPECT_EQ(empty.tileCount(), 0);
}

TEST_F(PopoverTest, ATransparentDesktopDrawsOnTheDarkSwatch)
{
    oneDisplay(2);
    SpaceStore::shared().change(12, [](SpaceMeta& meta) { meta.color = TileColor::transparent(); });
    SpaceStripView strip(engine().desktops(), engine().activeDesktop(), {});
    strip.resize(100, 26);
    const QImage image = render(strip);
    const QColor expected = MenuBarTest::render(strip).pixelColor(0, 0); // canvas
    const QColor swatch = engine().desktopWithID(12)->swatchColor();
    const QColor drawn = image.pixelColor(int(strip.tileRect(1).left() * 2 + 6), 10);
    EXPECT_NE(drawn, expected);
    const double a = 0.55;
    EXPECT_NEAR(drawn.red(), swatch.red() * a + expected.red() * (1 - a), 4);
}

// --- rows ---

TEST_F(PopoverTest, TheCurrentRowShowsItsDotAndAClickCloses)
{
    oneDisplay(2);
    MenuPopoverView& view = open();
    PopoverSpaceRow& row = *view.rows()[0];
    EXPECT_TRUE(shown(child(row, QStringLiteral("currentDot"))));
    EXPECT_TRUE(shown(child(row, QStringLiteral("keyCap"))));
    EXPECT_FALSE(shown(child(row, QStringLiteral("editButton"))));
    EXPECT_EQ(child(row, QStringLiteral("nameLabel"))->font().weight(), QFont::DemiBold);
    row.click();
    view.rows()[1]->click();
    EXPECT_EQ(commands.calls, (QStringList{QStringLiteral("closePopover"), QStringLiteral("switchTo:12")}));
}

TEST_F(PopoverTest, ReturnPressesAFocusedTileAndTheMainMenuKeysWorkHere)
{
    oneDisplay(2);
    MenuPopoverView& view = open();
    QList<QAbstractButton*> tiles;
    for (QAbstractButton* button : view.findChildren<QAbstractButton*>(QStringLiteral("stripTile")))
        tiles.append(button);
    ASSERT_EQ(tiles.size(), 2);
    tiles[1]->setFocus(Qt::TabFocusReason);
    QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(tiles[1], &ret);
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("switchTo:12")});

    // The main menu's Settings and Quit keys, whatever holds the focus.
    QAction settings;
    settings.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    int opened = 0;
    QObject::connect(&settings, &QAction::triggered, [&opened] { ++opened; });
    HostedWindow::setMenuActions({&settings});
    QKeyEvent comma(QEvent::KeyPress, Qt::Key_Comma, Qt::ControlModifier);
    QApplication::sendEvent(tiles[0], &comma);
    EXPECT_EQ(opened, 1);
    HostedWindow::setMenuActions({});
}

TEST_F(PopoverTest, HoveringOffersSendOnlyForAnotherAppOnAnotherDesktop)
{
    oneDisplay(2);
    world().setFrontmostApp(501);
    MenuPopoverView& view = open();
    PopoverSpaceRow& current = *view.rows()[0];
    PopoverSpaceRow& other = *view.rows()[1];
    enter(current);
    EXPECT_EQ(child(current, QStringLiteral("sendButton")), nullptr);
    EXPECT_TRUE(shown(child(current, QStringLiteral("editButton"))));
    EXPECT_FALSE(shown(child(current, QStringLiteral("currentDot"))));
    enter(other);
    QWidget* send = child(other, QStringLiteral("sendButton"));
    ASSERT_TRUE(shown(send));
    EXPECT_EQ(send->toolTip(), QStringLiteral("Send the Mail window here"));

    settings().setMoveWindowEnabled(false);
    view.reload();
    EXPECT_EQ(child(other, QStringLiteral("sendButton")), nullptr);
}

TEST_F(PopoverTest, AFrontAppWithoutANameIsCalledFront)
{
    oneDisplay(2);
    platform::sim::AppSpec nameless;
    nameless.pid = 503;
    nameless.bundleID = QStringLiteral("com.example.nameless");
    world().addApp(nameless);
    world().setFrontmostApp(503);
    MenuPopoverView& view = open();
    EXPECT_EQ(child(*view.rows()[1], QStringLiteral("sendButton"))->toolTip(),
              QStringLiteral("Send the front window here"));
}

TEST_F(PopoverTest, SendingMovesTheFrontWindowAndCloses)
{
    oneDisplay(2);
    platform::sim::WindowSpec window;
    window.number = 900;
    window.ownerPID = 501;
    window.spaces = {11};
    world().addWindow(window);
    world().setFrontmostApp(501);
    MenuPopoverView& view = open();
    enter(*view.rows()[1]);
    child<QAbstractButton>(*view.rows()[1], QStringLiteral("sendButton"))->click();
    EXPECT_EQ(world().window(900)->spaces, QList<quint64>{12});
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("closePopover")});
}

TEST_F(PopoverTest, SecondLinesFollowNameAndApps)
{
    oneDisplay(3);
    name(12, QStringLiteral("Work"));
    name(13, QStringLiteral("Chat"));
    QList<SpaceApp> eight;
    for (int i = 0; i < 8; ++i)
        eight << SpaceApp{600 + i, QStringLiteral("App %1").arg(i), QImage(16, 16, QImage::Format_ARGB32), {}};
    engine().setSampleApps(SpaceEngine::AppsMap{{13, eight}});
    MenuPopoverView& view = open();
    PopoverSpaceRow& unnamed = *view.rows()[0];
    EXPECT_EQ(child(unnamed, QStringLiteral("numberLabel")), nullptr);
    EXPECT_EQ(child(unnamed, QStringLiteral("appIcons")), nullptr);
    PopoverSpaceRow& named = *view.rows()[1];
    EXPECT_EQ(text(named, QStringLiteral("numberLabel")), QStringLiteral("Desktop 2"));
    auto* icons = child<AppIconsRow>(*view.rows()[2], QStringLiteral("appIcons"));
    ASSERT_NE(icons, nullptr);
    EXPECT_EQ(icons->overflowText(), QStringLiteral("+1"));
    EXPECT_EQ(icons->shownApps().size(), 7);

    settings().setPresenting(true);
    clock().runPending();
    EXPECT_EQ(text(*view.rows()[1], QStringLiteral("nameLabel")), QStringLiteral("Desktop 2"));
    EXPECT_EQ(child(*view.rows()[1], QStringLiteral("numberLabel")), nullptr);
    EXPECT_NE(child(*view.rows()[2], QStringLiteral("appIcons")), nullptr);
}

TEST_F(PopoverTest, TheRowEditButtonOpensTheEditor)
{
    oneDisplay(2);
    MenuPopoverView& view = open();
    enter(*view.rows()[1]);
    child<QAbstractButton>(*view.rows()[1], QStringLiteral("editButton"))->click();
    ASSERT_EQ(popover.model().page().kind, PopoverPage::Kind::edit);
    EXPECT_EQ(popover.model().page().desktop->id(), 12u);
    ASSERT_NE(view.editor(), nullptr);
}

// --- awkward input ---

TEST_F(PopoverTest, HugeAndStrangeNamesKeepThePopoverWidth)
{
    addDisplay(QStringLiteral("D1"), {11, 12, 13, 14}, 11);
    name(11, QString(10000, u'W'));
    name(12, QStringLiteral("first line\nsecond line"));
    name(13, QStringLiteral("שולחן עבודה ראשי"));
    name(14, QStringLiteral("👩‍👩‍👧‍👦🏳️‍🌈 party"));
    MenuPopoverView& view = open();
    EXPECT_EQ(view.listPage()->width(), MenuPopoverView::popoverWidth);
    for (PopoverSpaceRow* row : view.rows())
        EXPECT_LE(row->width(), MenuPopoverView::popoverWidth);
    EXPECT_FALSE(text(*view.rows()[1], QStringLiteral("nameLabel")).contains(u'\n'));
    savePicture(render(view), QStringLiteral("popover-names.png"));
}

TEST_F(PopoverTest, FortyDesktopsOnADisplayAllBecomeRows)
{
    oneDisplay(40);
    MenuPopoverView& view = open();
    EXPECT_EQ(view.rows().size(), 40);
    EXPECT_EQ(view.strip()->tileCount(), 40);
    EXPECT_EQ(view.listHeight(), 364);
}

TEST_F(PopoverTest, AnAppIconSwitchesThereAndBringsTheAppForward)
{
    oneDisplay(2);
    engine().setSampleApps(SpaceEngine::AppsMap{
        {12, {SpaceApp{501, QStringLiteral("Mail"), QImage(16, 16, QImage::Format_ARGB32), {}}}}});
    MenuPopoverView& view = open();
    auto* icons = child<AppIconsRow>(*view.rows()[1], QStringLiteral("appIcons"));
    ASSERT_NE(icons, nullptr);
    const QPointF point = icons->itemRect(0).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, point, icons->mapToGlobal(point), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(icons, &event);
    }
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("switchTo:12:app:501")});
}
