#include "surfaces/QuickSwitcher.h"

#include "SwitcherWorld.h"
#include "platform/KeyCodes.h"
#include "platform/KeyWindow.h"
#include "platform/WindowFrame.h"
#include "platform/sim/Input.h"
#include "platform/sim/Keyboard.h"
#include "store/LogFile.h"
#include "surfaces/SwitcherList.h"
#include "surfaces/SwitcherRow.h"
#include "ui/KeyCap.h"
#include "ui/Theme.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>

#include <cmath>

namespace {

using platform::EventFlag::command;
using platform::EventFlag::control;
using platform::EventFlag::option;
using platform::EventFlag::shift;
namespace Key = platform::KeyCode;
namespace sim = platform::sim;

class QuickSwitcherTest : public SwitcherWorld {
protected:
    static bool press(quint16 keyCode, platform::EventFlags flags = 0, const QString& characters = {})
    {
        return sim::typeKey({platform::KeyEventType::keyDown, keyCode, flags, characters});
    }

    static QString digit(int index) { return QString::number((index + 1) % 10); }

    QList<quint64> requestedIDs() const
    {
        QList<quint64> ids;
        for (const auto& request : requests())
            ids.append(request.desktopID);
        return ids;
    }

    // The user arrives on another desktop of the display.
    void goTo(quint64 space)
    {
        world().setCurrentSpace(QString::fromLatin1(displayUUID), space);
        clock().runPending();
        engine().refresh(false);
    }

    static void hover(SwitcherRow* row)
    {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(row, &enter);
    }
};

// --- showing, size and place ---

TEST_F(QuickSwitcherTest, OpensKeyWithAnEmptyFieldTheLastDesktopSelectedAndCentredHigh)
{
    makeDesktops(4, 2);
    goTo(4);
    goTo(2);
    ASSERT_EQ(engine().lastDesktopID(), 4u);

    QuickSwitcher switcher(engine());
    switcher.show();
    EXPECT_TRUE(switcher.isVisible());
    EXPECT_TRUE(platform::KeyWindow::isKey(&switcher));
    EXPECT_EQ(platform::KeyWindow::firstResponder(&switcher), switcher.field());
    EXPECT_TRUE(switcher.hasKeyMonitor());
    EXPECT_EQ(switcher.model().rows().size(), 4);
    EXPECT_EQ(switcher.model().selectedDesktop()->number, 4);
    EXPECT_EQ(switcher.model().currentID(), 2u);
    EXPECT_EQ(switcher.level(), WindowLevel::popUpMenu);
    EXPECT_EQ(switcher.collectionBehavior(), 266u);
    EXPECT_EQ(switcher.animationBehavior(), FloatingPanel::animationUtilityWindow);
    EXPECT_TRUE(switcher.canBecomeKeyWindow());

    // Four rows: 56 + 4 x 46 + 12 + 32. The visible frame is 1000 x 763.
    const QRectF frame = platform::WindowFrame::frame(&switcher);
    EXPECT_DOUBLE_EQ(frame.height(), 284);
    EXPECT_DOUBLE_EQ(frame.width(), 460);
    EXPECT_DOUBLE_EQ(frame.x(), 270);
    EXPECT_DOUBLE_EQ(frame.y(), 763 / 2.0 - 284 / 2.0 + 0.12 * 763);
}

TEST_F(QuickSwitcherTest, OnASmallScreenTheLiftNeverTakesTheCardPastTheTopOfTheVisibleFrame)
{
    // 640 x 360, as 1280 x 720 at scale 2: the visible frame is 323 high.
    makeDesktops(4, 1, QRectF(0, 0, 640, 360));
    QuickSwitcher switcher(engine());
    switcher.show();
    const QRectF frame = platform::WindowFrame::frame(&switcher);
    EXPECT_DOUBLE_EQ(frame.height(), 284);
    EXPECT_DOUBLE_EQ(frame.y() + frame.height(), 323);
}

TEST_F(QuickSwitcherTest, WithNoDesktopsItIsOneRowHighShowsNoMatchAndReturnCloses)
{
    makeDesktops(0);
    QuickSwitcher switcher(engine());
    switcher.show();
    EXPECT_DOUBLE_EQ(platform::WindowFrame::frame(&switcher).height(), 146);
    ASSERT_NE(switcher.list()->emptyLabel(), nullptr);
    EXPECT_EQ(switcher.list()->emptyLabel()->text(), QStringLiteral("No matching space"));
    EXPECT_FALSE(press(Key::returnKey));
    EXPECT_FALSE(switcher.isVisible());
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(sim::localMonitorCount(), 0);
}

TEST_F(QuickSwitcherTest, MoreThanNineRowsScrollInsideAPanelOfNineRows)
{
    makeDesktops(12);
    QuickSwitcher switcher(engine());
    switcher.show();
    EXPECT_DOUBLE_EQ(platform::WindowFrame::frame(&switcher).height(), 514);
    ASSERT_NE(switcher.list()->scrollArea(), nullptr);
    // Up from the first row wraps to the last one, which scrolls into view.
    switcher.model().setSelection(0);
    press(Key::upArrow);
    EXPECT_EQ(switcher.model().selection(), 11);
    EXPECT_GT(switcher.list()->scrollArea()->verticalScrollBar()->value(), 0);
}

TEST_F(QuickSwitcherTest, TogglingTwiceClosesAndAThirdShowsAnEmptyQueryAgain)
{
    makeDesktops(3);
    name(2, QStringLiteral("Mail"));
    QuickSwitcher switcher(engine());
    switcher.toggle();
    sim::typeText(QStringLiteral("mai"));
    EXPECT_EQ(switcher.model().rows().size(), 1);
    switcher.toggle();
    EXPECT_FALSE(switcher.isVisible());
    EXPECT_FALSE(switcher.hasKeyMonitor());
    EXPECT_EQ(switcher.field()->text(), QStringLiteral("mai")) << "kept until the next showing";
    switcher.toggle();
    EXPECT_TRUE(switcher.isVisible());
    EXPECT_TRUE(switcher.field()->text().isEmpty());
    EXPECT_EQ(switcher.model().rows().size(), 3);
    EXPECT_EQ(sim::localMonitorCount(), 1) << "one monitor, however often it was shown";
}

// --- typing ---

TEST_F(QuickSwitcherTest, TypingFiltersTheRowsAndThePanelFollowsTheirCount)
{
    makeDesktops(5);
    name(1, QStringLiteral("Mail"));
    name(3, QStringLiteral("Music"));
    QuickSwitcher switcher(engine());
    switcher.show();
    sim::typeText(QStringLiteral("M"));
    EXPECT_EQ(switcher.field()->text(), QStringLiteral("M"));
    EXPECT_EQ(switcher.model().query(), QStringLiteral("m"));
    EXPECT_EQ(switcher.model().rows().size(), 2);
    EXPECT_DOUBLE_EQ(platform::WindowFrame::frame(&switcher).height(), 56 + 2 * 46 + 12 + 32);
    sim::typeText(QStringLiteral("u"));
    EXPECT_EQ(switcher.model().rows().size(), 1);
    press(Key::deleteKey);
    EXPECT_EQ(switcher.field()->text(), QStringLiteral("M"));
    EXPECT_EQ(switcher.model().rows().size(), 2);
}

TEST_F(QuickSwitcherTest, WhileTypingTheCardGrowsAndShrinksBelowAFieldThatStaysPut)
{
    makeDesktops(5);
    name(1, QStringLiteral("Mail"));
    name(3, QStringLiteral("Music"));
    QuickSwitcher switcher(engine());
    switcher.show();
    const auto top = [&switcher] {
        const QRectF frame = platform::WindowFrame::frame(&switcher);
        return frame.y() + frame.height();
    };
    const double opened = top();
    sim::typeText(QStringLiteral("Mu"));
    EXPECT_EQ(switcher.model().rows().size(), 1);
    EXPECT_DOUBLE_EQ(platform::WindowFrame::frame(&switcher).height(), 56 + 46 + 12 + 32);
    EXPECT_DOUBLE_EQ(top(), opened);
    press(Key::deleteKey);
    press(Key::deleteKey);
    EXPECT_EQ(switcher.model().rows().size(), 5);
    EXPECT_DOUBLE_EQ(top(), opened);

    // Opened again, it is placed afresh.
    switcher.close();
    switcher.show();
    EXPECT_DOUBLE_EQ(top(), opened);
}

// --- keys ---

TEST_F(QuickSwitcherTest, ADigitOnAnEmptyFieldJumpsAndNeverReachesTheField)
{
    makeDesktops(4);
    QuickSwitcher switcher(engine());
    switcher.show();
    EXPECT_FALSE(press(Key::digit3, 0, QStringLiteral("3")));
    EXPECT_FALSE(switcher.isVisible());
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].desktopID, 3u);
    EXPECT_EQ(requests()[0].reason, QStringLiteral("switcher"));
    EXPECT_TRUE(switcher.field()->text().isEmpty());
}

TEST_F(QuickSwitcherTest, WithTextInTheFieldADigitTypesItself)
{
    makeDesktops(4);
    QuickSwitcher switcher(engine());
    switcher.show();
    sim::typeText(QStringLiteral("d"));
    EXPECT_TRUE(press(Key::digit3, 0, QStringLiteral("3")));
    EXPECT_EQ(switcher.field()->text(), QStringLiteral("d3"));
    EXPECT_TRUE(switcher.isVisible());
    EXPECT_TRUE(requests().empty());
}

TEST_F(QuickSwitcherTest, ControlOptionAndCommandDigitsPassButShiftDigitJumps)
{
    makeDesktops(4);
    QuickSwitcher switcher(engine());
    switcher.show();
    for (const auto flags : {control, option, command}) {
        const platform::KeyEvent event{platform::KeyEventType::keyDown, Key::digit3, flags, QStringLiteral("3")};
        EXPECT_EQ(switcher.handleKeyDown(event), event);
    }
    EXPECT_TRUE(switcher.isVisible());
    EXPECT_FALSE(press(Key::digit3, shift, QStringLiteral("#")));
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].desktopID, 3u);
}

TEST_F(QuickSwitcherTest, ZeroIsDesktopTenAndAMissingDesktopKeepsThePanelOpen)
{
    makeDesktops(4);
    QuickSwitcher switcher(engine());
    switcher.show();
    EXPECT_FALSE(press(Key::digit0, 0, QStringLiteral("0")));
    EXPECT_TRUE(switcher.isVisible());
    EXPECT_TRUE(requests().empty());
    EXPECT_TRUE(switcher.field()->text().isEmpty()) << "the key is swallowed all the same";

    world().clear();
    makeDesktops(10);
    EXPECT_FALSE(press(Key::digit0, 0, QStringLiteral("0")));
    EXPECT_FALSE(switcher.isVisible());
    EXPECT_EQ(requestedIDs(), (QList<quint64>{10}));
}

TEST_F(QuickSwitcherTest, ArrowsWrapAndReturnOrKeypadEnterSwitchToTheSelection)
{
    makeDesktops(3);
    QuickSwitcher switcher(engine());
    switcher.show();
    ASSERT_EQ(switcher.model().selection(), 1);
    EXPECT_FALSE(press(Key::downArrow));
    EXPECT_FALSE(press(Key::downArrow));
    EXPECT_EQ(switcher.model().selection(), 0);
    EXPECT_FALSE(press(Key::upArrow));
    EXPECT_EQ(switcher.model().selection(), 2);
    EXPECT_FALSE(press(Key::returnKey));
    EXPECT_FALSE(switcher.isVisible());
    switcher.show();
    press(Key::keypadEnter);
    EXPECT_EQ(requestedIDs(), (QList<quint64>{3, 2}));
}

TEST_F(QuickSwitcherTest, TabGoesToTheLastDesktopOrDoesNothingWithoutOne)
{
    makeDesktops(3);
    QuickSwitcher switcher(engine());
    switcher.show();
    EXPECT_FALSE(press(Key::tab));
    EXPECT_TRUE(switcher.isVisible());
    EXPECT_TRUE(requests().empty());

    goTo(3);
    goTo(1);
    ASSERT_EQ(engine().lastDesktopID(), 3u);
    switcher.show();
    EXPECT_FALSE(press(Key::tab));
    EXPECT_FALSE(switcher.isVisible());
    EXPECT_EQ(requestedIDs(), (QList<quint64>{3}));
}

TEST_F(QuickSwitcherTest, EscapeClosesAndRemovesTheKeyMonitor)
{
    makeDesktops(2);
    QuickSwitcher switcher(engine());
    switcher.show();
    EXPECT_EQ(sim::localMonitorCount(), 1);
    EXPECT_FALSE(press(Key::escape));
    EXPECT_FALSE(switcher.isVisible());
    EXPECT_EQ(sim::localMonitorCount(), 0);
    EXPECT_FALSE(platform::KeyWindow::isKey(&switcher));
    // Closed, the panel lets keys through untouched.
    const platform::KeyEvent digit{platform::KeyEventType::keyDown, Key::digit1, 0, QStringLiteral("1")};
    EXPECT_EQ(switcher.handleKeyDown(digit), digit);
}

// --- activation and apps ---

TEST_F(QuickSwitcherTest, ARowMatchedByAnAppSwitchesAndBringsThatAppForward)
{
    makeDesktops(3);
    name(1, QStringLiteral("Work"));
    addApp(501, QStringLiteral("Safari"), {2});
    addApp(502, QStringLiteral("Mail"), {1});
    QuickSwitcher switcher(engine());
    switcher.show();
    sim::typeText(QStringLiteral("saf"));
    ASSERT_EQ(switcher.model().rows().size(), 1);
    const QList<SwitcherRow*> rows = switcher.list()->rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0]->chipText(), QStringLiteral("Opens Safari"));
    press(Key::returnKey);
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].reason, QStringLiteral("switcher app"));
    EXPECT_EQ(requests()[0].desktopID, 2u);
    EXPECT_TRUE(world().activationRequests().contains(501));

    switcher.show();
    sim::typeText(QStringLiteral("work"));
    press(Key::returnKey);
    EXPECT_EQ(requests()[1].reason, QStringLiteral("switcher"));
}

TEST_F(QuickSwitcherTest, AClickOnARowSwitchesThere)
{
    makeDesktops(3);
    QuickSwitcher switcher(engine());
    switcher.show();
    switcher.list()->layout()->activate();
    SwitcherRow* row = switcher.list()->rows()[2];
    const QRectF frame = platform::WindowFrame::frame(&switcher);
    const QPointF local = row->mapTo(&switcher, row->rect().center());
    EXPECT_TRUE(sim::click(&switcher, QPointF(frame.x() + local.x(), frame.y() + frame.height() - local.y())));
    EXPECT_FALSE(switcher.isVisible());
    EXPECT_EQ(requestedIDs(), (QList<quint64>{3}));
}

TEST_F(QuickSwitcherTest, ThePointerMovesTheSelectionOnlyAfterTheFirstMoment)
{
    makeDesktops(4);
    QuickSwitcher switcher(engine());
    switcher.show();
    const int opening = switcher.model().selection();
    hover(switcher.list()->rows()[3]);
    EXPECT_EQ(switcher.model().selection(), opening);
    advance(0.3);
    EXPECT_FALSE(switcher.hoverAllowed()) << "more than 0.3 s must pass";
    hover(switcher.list()->rows()[3]);
    EXPECT_EQ(switcher.model().selection(), opening);
    advance(0.01);
    hover(switcher.list()->rows()[3]);
    EXPECT_EQ(switcher.model().selection(), 3);
}

// --- key status and desktop changes ---

TEST_F(QuickSwitcherTest, AClickIntoAnotherAppClosesThePanel)
{
    makeDesktops(2);
    QuickSwitcher switcher(engine());
    switcher.show();
    sim::resignKeyWindow();
    EXPECT_FALSE(switcher.isVisible());
    EXPECT_FALSE(switcher.hasKeyMonitor());
}

TEST_F(QuickSwitcherTest, ADesktopChangeClosesThePanelOnlyWhileItIsNotKey)
{
    makeDesktops(3);
    QuickSwitcher switcher(engine());
    switcher.show();
    goTo(2);
    EXPECT_TRUE(switcher.isVisible());

    // Shown but no longer key (another of the app's windows took the keys).
    QWidget other;
    other.setObjectName(QStringLiteral("otherWindow"));
    switcher.show();
    platform::KeyWindow::makeKeyAndOrderFront(&other);
    EXPECT_FALSE(switcher.isVisible()) << "losing key status closes it at once";
    switcher.FloatingPanel::show();
    goTo(3);
    EXPECT_FALSE(switcher.isVisible());
}

// --- bad input ---

TEST_F(QuickSwitcherTest, PastedJunkAndHugeTextKeepTheSelectionValid)
{
    makeDesktops(3);
    name(1, QStringLiteral("👨‍👩‍👧 Family"));
    QuickSwitcher switcher(engine());
    switcher.show();
    const QStringList pastes{
        QString(100000, QChar(u'x')),
        QStringLiteral("a\x01\x02\x1b\tb"),
        QString(QChar(0xDC00)) + QStringLiteral("x") + QChar(0xD800),
        QStringLiteral("👨‍👩‍👧"),
    };
    for (const QString& text : pastes) {
        switcher.field()->clear();
        EXPECT_TRUE(sim::paste(text));
        EXPECT_FALSE(switcher.field()->text().isEmpty());
        const auto& rows = switcher.model().rows();
        EXPECT_TRUE(rows.isEmpty() || switcher.model().selection() < rows.size());
        EXPECT_EQ(switcher.list()->rows().size(), rows.size());
    }
    EXPECT_EQ(switcher.model().rows().size(), 1) << "the family emoji finds its desktop";
    switcher.field()->clear();
    sim::paste(QString(100000, QChar(u'x')));
    ASSERT_TRUE(switcher.model().rows().isEmpty());
    EXPECT_FALSE(press(Key::returnKey));
    EXPECT_TRUE(requests().empty());
}

TEST_F(QuickSwitcherTest, DesktopsRemovedWhileOpenAreNotSwitchedTo)
{
    makeDesktops(3);
    QuickSwitcher switcher(engine());
    switcher.show();
    ASSERT_EQ(switcher.model().selectedDesktop()->number, 2);
    // Every desktop goes away while the panel is open and key.
    for (const quint64 space : {1, 2, 3})
        world().removeSpace(space);
    clock().runPending();
    engine().refresh(false);
    ASSERT_TRUE(engine().desktops().isEmpty());
    EXPECT_TRUE(switcher.isVisible());
    EXPECT_FALSE(press(Key::tab));
    EXPECT_FALSE(press(Key::digit1, 0, QStringLiteral("1")));
    EXPECT_TRUE(switcher.isVisible());
    EXPECT_FALSE(press(Key::returnKey));
    EXPECT_FALSE(switcher.isVisible());
    EXPECT_TRUE(requests().empty());
    EXPECT_TRUE(LogFile::switches().tail(400).contains(QStringLiteral("Quick Switcher: desktop 2 is gone")));

    // Opened again, it lists what is there now.
    switcher.show();
    EXPECT_TRUE(switcher.model().rows().isEmpty());
    EXPECT_DOUBLE_EQ(platform::WindowFrame::frame(&switcher).height(), 146);
}

} // namespace

namespace {

// --- what the user sees ---

TEST_F(QuickSwitcherTest, RendersTheCardWithItsRowsTagsChipAndFooter)
{
    makeDesktops(5, 2);
    name(1, QStringLiteral("Mail"));
    name(3, QStringLiteral("Design"));
    addApp(501, QStringLiteral("Safari"), {1, 4});
    addApp(502, QStringLiteral("Sketch"), {3});
    addApp(503, QStringLiteral("Terminal"), {1});
    goTo(3);
    goTo(2);
    QuickSwitcher switcher(engine());
    switcher.show();
    const QList<SwitcherRow*> rows = switcher.list()->rows();
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(rows[1]->tagText(), QStringLiteral("Current"));
    EXPECT_EQ(rows[2]->tagText(), QStringLiteral("Last"));
    EXPECT_TRUE(rows[0]->tagText().isEmpty());
    ASSERT_NE(rows[0]->keyCap(), nullptr);
    EXPECT_EQ(rows[0]->keyCap()->text(), QStringLiteral("1"));
    // A named desktop with apps shows them, not its number; a named one
    // without apps shows its number; an unnamed one nothing more.
    EXPECT_NE(rows[0]->appIcons(), nullptr);
    EXPECT_TRUE(rows[0]->numberLine().isEmpty());
    EXPECT_EQ(rows[1]->numberLine(), QString());
    EXPECT_TRUE(rows[2]->isSelected());
    QImage image = render(switcher, Theme::canvas(), 2);
    keepRender(image, QStringLiteral("switcher-open"));
    // The card's own colour, away from any row.
    EXPECT_TRUE(sameColor(at(image, {440, 10}), over(Theme::switcherCard(), Theme::canvas()), 6));

    sim::typeText(QStringLiteral("sa"));
    const QList<SwitcherRow*> found = switcher.list()->rows();
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0]->chipText(), QStringLiteral("Opens Safari"));
    EXPECT_EQ(found[0]->keyCap(), nullptr) << "no digit keys once something is typed";
    EXPECT_TRUE(found[0]->isVisible());
    image = render(switcher, Theme::canvas(), 2);
    keepRender(image, QStringLiteral("switcher-typed"));
    // The selected first row's fill, between its tile and its title.
    const QPointF inRow = found[0]->mapTo(&switcher, QPointF(42, 40));
    EXPECT_TRUE(sameColor(at(image, inRow), over(Theme::fill(), over(Theme::switcherCard(), Theme::canvas())), 6));

    sim::typeText(QStringLiteral("zzz"));
    ASSERT_NE(switcher.list()->emptyLabel(), nullptr);
    EXPECT_TRUE(switcher.list()->emptyLabel()->isVisible());
    keepRender(render(switcher, Theme::canvas(), 2), QStringLiteral("switcher-empty"));
}

TEST_F(QuickSwitcherTest, TheFooterBandKeepsInsideTheCardsRoundedCorners)
{
    makeDesktops(3);
    QuickSwitcher switcher(engine());
    switcher.show();
    switcher.list()->layout()->activate();
    const QImage image = renderBare(switcher, 4);
    const double w = switcher.width();
    const double h = switcher.height();
    // Outside the rounded corners nothing is drawn; the band shades the card
    // between them.
    for (const QPointF corner : {QPointF(0.5, h - 0.5), QPointF(w - 0.5, h - 0.5), QPointF(1.5, h - 1.5)})
        EXPECT_EQ(at(image, corner).alpha(), 0) << corner.x() << "," << corner.y();
    EXPECT_TRUE(sameColor(at(image, {w / 2, h - 4}), over(Theme::switcherFooter(), Theme::switcherCard()), 4));
    // The card's border runs unbroken along the bottom, over the band.
    EXPECT_TRUE(sameColor(at(image, {w / 2, h - 0.5}), over(Theme::switcherBorder(), Theme::switcherCard()), 6));
}

TEST_F(QuickSwitcherTest, TheCardIsOpaqueSoWhatLiesBehindNeverShowsThrough)
{
    makeDesktops(3);
    QuickSwitcher switcher(engine());
    switcher.show();
    const QImage image = render(switcher, Qt::white, 2);
    EXPECT_TRUE(sameColor(at(image, {switcher.width() - 10.0, 10}), Theme::switcherCard(), 1));
    EXPECT_EQ(Theme::switcherCard().alpha(), 255);
}

TEST_F(QuickSwitcherTest, TheFooterNamesItsKeys)
{
    const auto& hints = SwitcherList::footerHints();
    ASSERT_EQ(hints.size(), 5);
    EXPECT_EQ(hints[2].first, QStringLiteral("1–9"));
    EXPECT_EQ(hints[3].second, QStringLiteral("last space"));
    EXPECT_EQ(hints[4].first, QStringLiteral("esc"));
}

} // namespace
