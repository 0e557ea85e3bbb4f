#include "RecordingCommands.h"
#include "SettingsTest.h"

#include "platform/sim/CharacterPalette.h"
#include "platform/sim/DialogScript.h"
#include "settings/AccessibilityBadge.h"
#include "settings/CopyDiagnosticsButton.h"
#include "settings/EditorPopover.h"
#include "settings/ErrorAlert.h"
#include "settings/HeroStrip.h"
#include "settings/HeroTile.h"
#include "settings/PageTab.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsView.h"
#include "settings/SpaceSettingsRow.h"
#include "store/Settings.h"
#include "switching/Accessibility.h"
#include "ui/EditSpaceView.h"
#include "ui/HintedScrollView.h"
#include "ui/HostedWindow.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

namespace {

class SettingsViewTest : public SettingsTest {
protected:
    static SpaceMeta named(const QString& name)
    {
        SpaceMeta meta;
        meta.name = name;
        return meta;
    }

    static QString label(const QWidget& root, const QString& name)
    {
        const QLabel* found = root.findChild<QLabel*>(name);
        return found ? found->text() : QStringLiteral("<missing %1>").arg(name);
    }

    static PageTab* tab(const SettingsView& view, SettingsPage page)
    {
        for (PageTab* each : view.tabs()) {
            if (each->page() == page)
                return each;
        }
        return nullptr;
    }

    static void hover(QWidget& widget, bool inside)
    {
        if (inside) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QGuiApplication::sendEvent(&widget, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QGuiApplication::sendEvent(&widget, &leave);
        }
    }

    SettingsModel model_;
};

} // namespace

// --- layout and pages ----------------------------------------------------------

TEST_F(SettingsViewTest, FixedWindowWithHeaderTabsAndTheSelectedPage)
{
    layOut({4});
    SettingsView view(model_, services());
    EXPECT_EQ(view.size(), QSize(880, 640));
    EXPECT_EQ(view.findChild<QWidget*>("headerBand")->height(), 178);
    ASSERT_EQ(view.tabs().size(), 8);
    QStringList labels;
    for (PageTab* each : view.tabs())
        labels << each->text();
    EXPECT_EQ(labels, QStringList({"Spaces", "Mission Control", "Switch Tag", "Hover", "Shortcuts", "Time", "General",
                                   "About"}));
    EXPECT_TRUE(tab(view, SettingsPage::spaces)->isSelected());
    EXPECT_FALSE(tab(view, SettingsPage::about)->isSelected());
    EXPECT_EQ(label(view, "appName"), "Tessaroom");
    EXPECT_EQ(label(view, "pageTitle"), "Your spaces");
    EXPECT_EQ(label(view, "pageSubtitle"), "Names, icons, colors and shortcuts for every desktop.");
    EXPECT_EQ(view.pageView()->objectName(), "spacesPage");
    keep(view, "settings_spaces");
}

TEST_F(SettingsViewTest, TabsSelectTheirPageAndTheSelectedTabChangesNothing)
{
    layOut({4});
    SettingsView view(model_, services());
    click(*tab(view, SettingsPage::timeTracking));
    EXPECT_EQ(model_.page(), SettingsPage::timeTracking);
    EXPECT_TRUE(tab(view, SettingsPage::timeTracking)->isSelected());
    EXPECT_FALSE(tab(view, SettingsPage::spaces)->isSelected());
    EXPECT_EQ(label(view, "pageTitle"), "Time tracking");
    EXPECT_EQ(view.pageView()->objectName(), "timeTrackingPage");

    QWidget* shown = view.pageView();
    click(*tab(view, SettingsPage::timeTracking));
    EXPECT_EQ(view.pageView(), shown);

    click(*tab(view, SettingsPage::general));
    EXPECT_EQ(view.pageView()->objectName(), "generalPage");
    EXPECT_EQ(label(view, "pageSubtitle"), "Menu bar, camera notch, login and data.");
}

TEST_F(SettingsViewTest, SelectingATabMovesNoOtherTab)
{
    layOut({4});
    SettingsView view(model_, services());
    render(view);
    const auto places = [&view] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QList<QRect> rects;
        for (const PageTab* each : view.tabs())
            rects << each->geometry();
        return rects;
    };
    const QList<QRect> first = places();
    for (const SettingsPage page : {SettingsPage::missionControl, SettingsPage::shortcuts, SettingsPage::about,
                                    SettingsPage::spaces}) {
        click(*tab(view, page));
        EXPECT_EQ(places(), first) << SettingsPages::rawValue(page).toStdString();
    }
}

TEST_F(SettingsViewTest, EveryTabStopInTheWindowIsAControlShowingItsRing)
{
    layOut({4});
    auto* view = new SettingsView(model_, services());
    HostedWindow window(view, std::nullopt, std::nullopt, true);
    window.show();
    QApplication::processEvents();
    QList<QWidget*> stops;
    QImage before = render(*view);
    for (int i = 0; i < 40; ++i) {
        pressTab(*window.window());
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        if (!stops.isEmpty() && focused == stops.first())
            break;
        stops.append(focused);
        const char* kind = focused->metaObject()->className();
        // Buttons act on Space and Return, fields on Return.
        EXPECT_TRUE(qobject_cast<QAbstractButton*>(focused) || qobject_cast<QLineEdit*>(focused)) << kind;
        const QImage after = render(*view);
        EXPECT_GT(differingPixels(before, after), 20) << kind;
        before = after;
    }
    // The badge, eight tabs, and per desktop its tile, its name field and,
    // but on the current one, its jump button.
    EXPECT_EQ(stops.size(), 1 + 8 + 4 * 3 - 1);
}

TEST_F(SettingsViewTest, TheHeaderShowsTheAppsOneIcon)
{
    layOut({2});
    SettingsView view(model_, services());
    const QImage image = render(view, 2);
    const QWidget* icon = view.findChild<QWidget*>(QStringLiteral("appIcon"));
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(showsAppIcon(image, QRectF(QPointF(icon->mapTo(&view, QPoint(0, 0))), QSizeF(icon->size()))));
}

TEST_F(SettingsViewTest, AboutTabShowsTheAboutPageUnderItsHeading)
{
    layOut({2});
    model_.setPage(SettingsPage::about);
    SettingsView view(model_, services());
    EXPECT_EQ(label(view, "pageTitle"), "About Tessaroom");
    EXPECT_EQ(view.pageView()->objectName(), "aboutPage");
    keep(view, "settings_about");
}

TEST_F(SettingsViewTest, TheModelOutlivesTheViewSoTheLastPageComesBack)
{
    layOut({2});
    {
        SettingsView first(model_, services());
        click(*tab(first, SettingsPage::timeTracking));
    }
    SettingsView again(model_, services());
    EXPECT_EQ(again.pageView()->objectName(), "timeTrackingPage");
    model_.setPage(SettingsPage::general);
    EXPECT_EQ(again.pageView()->objectName(), "generalPage");
}

TEST_F(SettingsViewTest, OnlyThePageAreaScrolls)
{
    layOut({16});
    SettingsView view(model_, services());
    render(view);
    QScrollArea* scroll = view.pageArea()->scrollArea();
    ASSERT_NE(scroll, nullptr);
    ASSERT_GT(scroll->verticalScrollBar()->maximum(), 0);
    const QRect header = view.findChild<QWidget*>("headerBand")->geometry();
    const QRect tabs = view.findChild<QWidget*>("pageTabs")->geometry();
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    EXPECT_EQ(view.findChild<QWidget*>("headerBand")->geometry(), header);
    EXPECT_EQ(view.findChild<QWidget*>("pageTabs")->geometry(), tabs);
    // A new page starts at its top.
    click(*tab(view, SettingsPage::timeTracking));
    EXPECT_EQ(scroll->verticalScrollBar()->value(), 0);
}

// --- header ------------------------------------------------------------------

TEST_F(SettingsViewTest, CountsLineFollowsTheDesktopsAndTheirNames)
{
    layOut({16, 16, 16});
    store(1, named("Code"));
    store(20, named("Mail"));
    SettingsView view(model_, services());
    EXPECT_EQ(label(view, "countsLine"), QStringLiteral("48 desktops \u00b7 2 named"));

    engine().start();
    store(40, named("Music"));
    EXPECT_EQ(label(view, "countsLine"), QStringLiteral("48 desktops \u00b7 3 named"));

    Settings::shared().setPresenting(true);
    clock().runPending();
    EXPECT_EQ(label(view, "countsLine"), QStringLiteral("48 desktops \u00b7 0 named"));
}

TEST_F(SettingsViewTest, WithNoDesktopsTheCountsAreZeroAndTheStripIsEmpty)
{
    SettingsView view(model_, services());
    EXPECT_EQ(label(view, "countsLine"), QStringLiteral("0 desktops \u00b7 0 named"));
    EXPECT_TRUE(view.heroStrip()->tiles().isEmpty());
    EXPECT_EQ(view.tabs().size(), 8);
}

TEST_F(SettingsViewTest, HeaderTilesShowNameOrNumberAndTheirTooltip)
{
    layOut({3}, 2);
    store(1, named("Code"));
    SettingsView view(model_, services());
    const QList<HeroTile*>& tiles = view.heroStrip()->tiles();
    ASSERT_EQ(tiles.size(), 3);
    EXPECT_EQ(tiles[0]->caption(), "Code");
    EXPECT_EQ(tiles[0]->toolTip(), QStringLiteral("Code \u00b7 click to edit"));
    EXPECT_EQ(tiles[1]->caption(), "2");
    EXPECT_EQ(tiles[1]->toolTip(), QStringLiteral("Desktop 2 \u00b7 click to edit"));
    EXPECT_EQ(tiles[0]->width(), 58);

    Settings::shared().setPresenting(true);
    clock().runPending();
    EXPECT_EQ(tiles[0]->caption(), "1");
    EXPECT_EQ(tiles[0]->toolTip(), QStringLiteral("Desktop 1 \u00b7 click to edit"));
}

TEST_F(SettingsViewTest, TheCurrentTileHasAWhiteBorderAndHoverGrowsATile)
{
    layOut({3}, 2);
    SettingsView view(model_, services());
    const QList<HeroTile*>& tiles = view.heroStrip()->tiles();
    ASSERT_EQ(tiles.size(), 3);
    const QImage current = render(*tiles[1], 2);
    const QImage other = render(*tiles[0], 2);
    // The border's middle, 0.75 points inside the tile's top edge.
    const QPointF onBorder(tiles[1]->tileRect().center().x(), tiles[1]->tileRect().top() + 0.75);
    EXPECT_GT(qGray(current.pixel((onBorder * 2).toPoint())), 200);
    EXPECT_LT(qGray(other.pixel((onBorder * 2).toPoint())), 200);

    hover(*tiles[0], true);
    EXPECT_TRUE(tiles[0]->isHovering());
    advance(0.2);
    EXPECT_DOUBLE_EQ(tiles[0]->scale(), 1.07);
    hover(*tiles[0], false);
    advance(0.2);
    EXPECT_DOUBLE_EQ(tiles[0]->scale(), 1.0);
}

TEST_F(SettingsViewTest, ClickingATileOpensItsEditorBelowAndDoneClosesIt)
{
    layOut({3});
    SettingsView view(model_, services());
    view.show();
    HeroTile* tile = view.heroStrip()->tiles()[2];
    leftClick(*tile, tile->tileRect().center());
    ASSERT_TRUE(tile->isEditing());
    EditSpaceView* editor = tile->popover()->editor();
    EXPECT_EQ(editor->desktop().id(), desktop(3).id());
    EXPECT_GT(tile->popover()->popoverWindow()->y(), tile->mapToGlobal(QPoint(0, 0)).y());
    editor->done();
    clock().runPending();
    EXPECT_FALSE(tile->isEditing());
    // The caption is no button.
    leftClick(*tile, QPointF(29, tile->height() - 3));
    EXPECT_FALSE(tile->isEditing());
}

// A settings window on a 1280 x 720 screen (its visible frame, in window
// coordinates, is 0,37 1280x683) whose header tiles lie by the screen's
// bottom-left corner.
TEST_F(SettingsViewTest, TheEditorOpensWithinTheScreenFlippedAndShiftedAndScrollsWhereItMust)
{
    world().clear();
    platform::sim::DisplaySpec small = displaySpec(0, 3, 1);
    small.frame = QRectF(0, 0, 1280, 720);
    world().addDisplay(small);
    engine().refresh(false);
    const QRect area(0, 37, 1280, 683);
    SettingsView view(model_, services());
    view.show();
    HeroTile* tile = view.heroStrip()->tiles()[0];
    const QPoint tileAt = tile->mapTo(&view, QPoint(0, 0));
    view.move(-tileAt.x() - 20, area.bottom() - tileAt.y() - tile->height());
    leftClick(*tile, tile->tileRect().center());
    ASSERT_TRUE(tile->isEditing());
    const QRect below = tile->popover()->popoverWindow()->frameGeometry();
    EXPECT_TRUE(area.contains(below)) << "the editor at " << below.x() << "," << below.y() << " " << below.width()
                                      << "x" << below.height();
    EXPECT_LT(below.bottom(), tile->mapToGlobal(QPoint(0, 0)).y()) << "above the tile: below has no room";
    tile->popover()->editor()->done();
    EXPECT_FALSE(tile->isEditing());

    // A screen lower than the editor: it keeps within it and scrolls to Done.
    world().clear();
    small.frame = QRectF(0, 0, 1280, 400);
    world().addDisplay(small);
    engine().refresh(false);
    HeroTile* again = view.heroStrip()->tiles()[0];
    view.move(0, 37);
    leftClick(*again, again->tileRect().center());
    ASSERT_TRUE(again->isEditing());
    const QWidget* window = again->popover()->popoverWindow();
    EXPECT_TRUE(QRect(0, 37, 1280, 363).contains(window->frameGeometry()));
    auto* scroll = window->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_GE(scroll->verticalScrollBar()->maximum(), again->popover()->height() - scroll->viewport()->height());
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    again->popover()->editor()->done();
}

// The emoji palette's pick, as the window system delivers the click: a
// press on the palette's window while the editor is open.
TEST_F(SettingsViewTest, AnEmojiPickedForTheSettingsEditorSetsTheIconAndKeepsTheEditorOpen)
{
    layOut({3});
    SettingsView view(model_, services());
    view.show();
    HeroTile* tile = view.heroStrip()->tiles()[1];
    leftClick(*tile, tile->tileRect().center());
    ASSERT_TRUE(tile->isEditing());
    EditSpaceView* editor = tile->popover()->editor();
    QApplication::setActiveWindow(tile->popover()->popoverWindow());
    editor->findChild<QAbstractButton*>("emojiButton")->click();
    advance(0.05);
    QWidget* palette = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowTitle() == QStringLiteral("Emoji & Symbols"))
            palette = window;
    }
    ASSERT_NE(palette, nullptr);
    auto* grid = dynamic_cast<platform::sim::CharacterPalette*>(qobject_cast<QScrollArea*>(palette)->widget());
    ASSERT_NE(grid, nullptr);
    const QPoint cell(16 + 32 * 2, 16);
    const QPointF inWindow = grid->mapTo(palette, cell);
    QMouseEvent press(QEvent::MouseButtonPress, inWindow, grid->mapToGlobal(QPointF(cell)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&press);
    QApplication::sendEvent(palette->windowHandle(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, inWindow, grid->mapToGlobal(QPointF(cell)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QSpontaneKeyEvent::setSpontaneous(&release);
    QApplication::sendEvent(palette->windowHandle(), &release);
    clock().runPending();
    ASSERT_TRUE(tile->isEditing()) << "the pick closed the editor";
    EXPECT_EQ(editor->icon(), SpaceIcon::emoji(grid->characters()[2]));
    EXPECT_EQ(store().meta(desktop(2).managedID()).icon, SpaceIcon::emoji(grid->characters()[2]));
    tile->popover()->editor()->done();
}

// Closed by its close box or Ctrl+W, or hidden: the editor of a header tile
// or a Spaces row goes with the window, keeping what was typed as Done
// does, and so does the emoji palette it opened.
TEST_F(SettingsViewTest, ClosingOrHidingTheWindowClosesItsEditorsAndTheirPaletteKeepingWhatWasTyped)
{
    layOut({3});
    SettingsView view(model_, services());
    for (const bool close : {true, false}) {
        view.show();
        HeroTile* tile = view.heroStrip()->tiles()[1];
        SpaceSettingsRow* row = view.findChildren<SpaceSettingsRow*>()[2];
        tile->openEditor();
        row->openEditor();
        ASSERT_TRUE(tile->isEditing() && row->isEditing());
        const QPointer<QWidget> editorWindow = tile->popover()->popoverWindow();
        tile->popover()->editor()->findChild<QLineEdit*>("nameField")->setText(QStringLiteral(" Half typed "));
        QApplication::setActiveWindow(editorWindow);
        tile->popover()->editor()->findChild<QAbstractButton*>("emojiButton")->click();
        advance(0.05);
        ASSERT_TRUE(platform::sim::isCharacterPaletteOpen());
        if (!close || !view.close())
            view.hide();
        clock().runPending();
        EXPECT_FALSE(tile->isEditing()) << close;
        EXPECT_FALSE(row->isEditing()) << close;
        EXPECT_TRUE(!editorWindow || !editorWindow->isVisible()) << close;
        EXPECT_FALSE(platform::sim::isCharacterPaletteOpen()) << close;
        EXPECT_EQ(store().meta(desktop(2).managedID()).name, QStringLiteral("Half typed"));
    }
}

TEST_F(SettingsViewTest, TilesKeepTheirEditorWhileTheListRefreshes)
{
    layOut({3});
    SettingsView view(model_, services());
    view.show();
    HeroTile* tile = view.heroStrip()->tiles()[0];
    tile->openEditor();
    world().addSpace("display-1", {104, 1104, 0, {}});
    engine().refresh(false);
    ASSERT_EQ(view.heroStrip()->tiles().size(), 4);
    EXPECT_EQ(view.heroStrip()->tiles()[0], tile);
    EXPECT_TRUE(tile->isEditing());
    world().removeSpace(101);
    engine().refresh(false);
    EXPECT_EQ(view.heroStrip()->tiles().size(), 3);
}

TEST_F(SettingsViewTest, AccessibilityBadgeOpensSettingsOnlyWhileNotTrusted)
{
    layOut({1});
    world().setTrusted(false);
    Accessibility::shared().refresh(false);
    SettingsView view(model_, services());
    AccessibilityBadge* badge = view.accessibilityBadge();
    EXPECT_EQ(badge->text(), "Allow Accessibility for Mission Control names");
    click(*badge);
    ASSERT_EQ(world().openedURLs().size(), 1);
    EXPECT_TRUE(world().openedURLs()[0].toString().contains("Privacy_Accessibility"));

    world().setTrusted(true);
    Accessibility::shared().refresh(false);
    EXPECT_EQ(badge->text(), "Mission Control names on");
    click(*badge);
    EXPECT_EQ(world().openedURLs().size(), 1);
}

// --- shared pieces -------------------------------------------------------------

TEST_F(SettingsViewTest, CopyDiagnosticsPutsTheTextOnTheClipboardAndSaysCopiedForAMoment)
{
    RecordingCommands commands;
    commands.diagnostics = "engine: 4 desktops\n--- mission-control.log (tail) ---\n(no log yet)";
    QWidget root;
    AppEnvironment::setCommands(&root, commands);
    auto* button = new CopyDiagnosticsButton(QStringLiteral("Copy Diagnostics"), &root);
    QGuiApplication::clipboard()->setText("old");
    EXPECT_EQ(button->text(), "Copy Diagnostics");

    click(*button);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), commands.diagnostics);
    EXPECT_EQ(button->text(), "Copied");
    advance(1.0);
    click(*button);
    advance(0.6);
    // The first click's reset ends the state, the second's changes nothing.
    EXPECT_EQ(button->text(), "Copy Diagnostics");
    advance(1.0);
    EXPECT_EQ(button->text(), "Copy Diagnostics");
    EXPECT_EQ(clock().pendingCount(), 0);

    CopyDiagnosticsButton plain(QStringLiteral("Copy"));
    EXPECT_EQ(plain.text(), "Copy");
    EXPECT_FALSE(plain.isProminent());
}

TEST_F(SettingsViewTest, ErrorAlertShowsTheTitleAndTheErrorsDescription)
{
    ErrorAlert::show("Could not save the CSV", "The folder is gone.");
    const auto alerts = platform::sim::shownAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Could not save the CSV");
    EXPECT_EQ(alerts[0].informativeText, "The folder is gone.");
}
