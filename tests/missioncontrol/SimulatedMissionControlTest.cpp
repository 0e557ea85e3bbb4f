#include "MissionControlTest.h"

#include "platform/EventTap.h"
#include "platform/MissionControlPicture.h"
#include "platform/Workspace.h"
#include "support/Literals.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

#include <cmath>

namespace AX = platform::AX;

class SimulatedMissionControlTest : public MissionControlTest {
protected:
    SimulatedMissionControlTest() { addDisplays({2, 1}); }
};

// Mission Control as a desktop session shows it, in its own windows.
class ShownMissionControlTest : public SimulatedMissionControlTest {
protected:
    ShownMissionControlTest() { mc().setShowsWindows(true); }

    // The window over the display that holds a point (accessibility
    // coordinates, which are Qt's global ones).
    static QWidget* windowAt(QPointF point)
    {
        for (QWidget* window : mc().windows()) {
            if (QRectF(window->geometry()).contains(point))
                return window;
        }
        return nullptr;
    }
    static void mouse(QEvent::Type type, QPointF point)
    {
        QWidget* window = windowAt(point);
        ASSERT_NE(window, nullptr);
        const QPointF local = point - QPointF(window->geometry().topLeft());
        const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent event(type, local, point, Qt::LeftButton, held, {});
        QApplication::sendEvent(window, &event);
    }
    static void click(QPointF point)
    {
        mouse(QEvent::MouseButtonPress, point);
        mouse(QEvent::MouseButtonRelease, point);
    }
    static void pressEscape(QWidget* window)
    {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(window, &escape);
    }
    // The colour a window shows at a point of its own.
    static QColor colourAt(QWidget* window, QPointF local)
    {
        return window->grab().toImage().pixelColor(local.toPoint());
    }
    static bool near(const QColor& a, const QColor& b)
    {
        return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3
            && std::abs(a.blue() - b.blue()) <= 3;
    }
};

// --- opening, closing and the window list ---------------------------------------------

TEST_F(SimulatedMissionControlTest, OpeningItsApplicationTogglesMissionControl)
{
    const QUrl app = QUrl::fromLocalFile(platform::sim::MissionControl::applicationPath);
    EXPECT_TRUE(platform::Workspace::open(app));
    EXPECT_TRUE(mc().isOpen());
    EXPECT_TRUE(platform::Workspace::open(app));
    EXPECT_TRUE(mc().isClosing());
    advance(0.25);
    EXPECT_FALSE(mc().isOpen());
    EXPECT_TRUE(mc().rootElement().isNull());
}

TEST_F(SimulatedMissionControlTest, ScreenSizedWindowsAreOneMoreThanTheScreens)
{
    mc().setBehavior({.windows = platform::sim::MissionControl::WindowStyle::screenSized});
    const auto before = world().windows().size();
    mc().open();
    EXPECT_EQ(world().windows().size() - before, 3);
    mc().close();
    advance(0.25);
    EXPECT_EQ(world().windows().size(), before);
}

TEST_F(SimulatedMissionControlTest, ClosingMovesEveryBarAboveTheScreens)
{
    mc().open();
    mc().close();
    for (const auto& button : mc().buttons()) {
        QVariant position;
        ASSERT_EQ(AX::copyAttributeValue(button, s("AXPosition"), &position), AX::Error::success);
        EXPECT_LT(position.toPointF().y(), -1);
    }
}

TEST_F(SimulatedMissionControlTest, PerDisplayLabelsStartAtOneOnEveryDisplay)
{
    mc().setBehavior({.numbering = platform::sim::MissionControl::Numbering::perDisplay});
    mc().open();
    QStringList labels;
    for (const auto& button : mc().buttons()) {
        QVariant label;
        AX::copyAttributeValue(button, s("AXDescription"), &label);
        labels.append(label.toString());
    }
    EXPECT_EQ(labels, (QStringList{s("Desktop 1"), s("Desktop 2"), s("Desktop 1")}));
}

TEST_F(SimulatedMissionControlTest, PressingAButtonSwitchesItsDisplayAndCloses)
{
    mc().open();
    ASSERT_EQ(AX::performAction(mc().buttons()[2], s("AXPress")), AX::Error::success);
    EXPECT_EQ(world().currentSpace(s("D2")), 3u);
    EXPECT_EQ(world().currentSpace(s("D1")), 1u);
    EXPECT_TRUE(mc().isClosing());
}

// --- host, observers and taps --------------------------------------------------------------

TEST_F(SimulatedMissionControlTest, RestartGivesTheHostANewPidAndDropsItsTree)
{
    const qint32 first = mc().hostPID();
    mc().open();
    const auto oldButton = mc().buttons()[0];
    mc().restartHost();
    EXPECT_NE(mc().hostPID(), first);
    QVariant value;
    EXPECT_NE(AX::copyAttributeValue(oldButton, s("AXRole"), &value), AX::Error::success);
    EXPECT_TRUE(mc().isOpen());
    EXPECT_EQ(platform::Workspace::runningApplications(s("com.apple.dock")).size(), 1);
}

TEST_F(SimulatedMissionControlTest, ObserversNeedTrustAndTheirRunLoopSource)
{
    AX::Observer observer;
    setTrusted(false);
    EXPECT_EQ(AX::observerCreate(mc().hostPID(), {}, &observer), AX::Error::apiDisabled);
    setTrusted(true);
    mc().refuseObserverCreation(true);
    EXPECT_EQ(AX::observerCreate(mc().hostPID(), {}, &observer), AX::Error::failure);
    mc().refuseObserverCreation(false);
    QStringList seen;
    ASSERT_EQ(AX::observerCreate(
                  mc().hostPID(),
                  [&](const AX::Observer&, const AX::Element&, const QString& name, void*) { seen.append(name); },
                  &observer),
              AX::Error::success);
    const auto app = AX::createApplication(mc().hostPID());
    ASSERT_EQ(AX::observerAddNotification(observer, app, s("AXCreated"), nullptr), AX::Error::success);
    mc().open();
    clock().runPending();
    EXPECT_TRUE(seen.isEmpty());
    AX::observerSetRunLoopSourceAdded(observer, true);
    mc().postNotification(s("AXCreated"));
    mc().postNotification(s("AXUIElementDestroyed"));
    clock().runPending();
    EXPECT_EQ(seen, QStringList{s("AXCreated")});
}

TEST_F(SimulatedMissionControlTest, BatchReadsReportMissingAttributesOneByOne)
{
    mc().open();
    QVariantList values;
    ASSERT_EQ(AX::copyMultipleAttributeValues(mc().buttons()[0], {s("AXRole"), s("AXTitle"), s("AXSize")}, 0, &values),
              AX::Error::success);
    ASSERT_EQ(values.size(), 3);
    EXPECT_EQ(values[0].toString(), s("AXButton"));
    EXPECT_EQ(values[1].value<AX::ValueError>().error, AX::Error::attributeUnsupported);
    EXPECT_EQ(values[2].typeId(), QMetaType::QSizeF);
    setTrusted(false);
    EXPECT_EQ(AX::copyMultipleAttributeValues(mc().buttons()[0], {s("AXRole")}, 0, &values), AX::Error::apiDisabled);
}

TEST_F(SimulatedMissionControlTest, TapsSeeOnlyTheirEventsWhileEnabled)
{
    using platform::EventTap::EventType;
    QList<EventType> seen;
    const auto port = platform::EventTap::createListenOnly(
        platform::EventTap::maskBit(EventType::leftMouseUp),
        [&](const platform::EventTap::Event& event) { seen.append(event.type); });
    ASSERT_NE(port, 0u);
    mc().click(QPointF(10, 10));
    EXPECT_EQ(seen, QList<EventType>{EventType::leftMouseUp});
    mc().disableTapsByTimeout();
    EXPECT_EQ(seen.last(), EventType::tapDisabledByTimeout);
    mc().click(QPointF(10, 10));
    EXPECT_EQ(seen.size(), 2);
    mc().refuseEventTaps(true);
    EXPECT_EQ(platform::EventTap::createListenOnly(1, {}), 0u);
}

// --- on a desktop session --------------------------------------------------------------

TEST_F(ShownMissionControlTest, OpenMissionControlCoversEveryDisplayWithItsBarAndItsPreviews)
{
    EXPECT_TRUE(mc().windows().isEmpty());
    mc().open();
    const QList<QWidget*> windows = mc().windows();
    ASSERT_EQ(windows.size(), 2);
    EXPECT_EQ(windows[0]->geometry(), QRect(0, 0, 1512, 982));
    EXPECT_EQ(windows[1]->geometry(), QRect(1512, 0, 1512, 982));
    using namespace platform::MissionControlPicture;
    // Collapsed: the bar across the top with a caption per desktop.
    EXPECT_TRUE(near(colourAt(windows[0], {20, 20}), barColor()));
    EXPECT_TRUE(near(colourAt(windows[0], {20, 500}), backdropColor()));
    EXPECT_EQ(mc().pictures()[0].scene.captions.size(), 2);
    EXPECT_TRUE(mc().pictures()[0].scene.previews.isEmpty());

    advance(0.4);
    ASSERT_TRUE(mc().isExpanded());
    const auto picture = mc().pictures()[1];
    ASSERT_EQ(picture.scene.previews.size(), 1);
    // The preview is where the desktop's button is.
    const QPointF centre = *mc().buttonCentre(3);
    EXPECT_EQ(picture.scene.previews[0].center(), centre);
    // The gradient ten points below the preview's top edge.
    const QRectF preview = picture.scene.previews[0];
    const QPointF sample(preview.center().x(), preview.top() + 10.5);
    const QGradientStops stops = previewGradient();
    const double along = (10.5 / preview.height()) / stops[1].first;
    const QColor expected = QColor::fromRgbF(
        float(stops[0].second.redF() + along * (stops[1].second.redF() - stops[0].second.redF())),
        float(stops[0].second.greenF() + along * (stops[1].second.greenF() - stops[0].second.greenF())),
        float(stops[0].second.blueF() + along * (stops[1].second.blueF() - stops[0].second.blueF())));
    EXPECT_TRUE(near(colourAt(windows[1], sample - picture.screen.topLeft()), expected));

    mc().close();
    EXPECT_TRUE(mc().windows().isEmpty()) << "the windows go as Mission Control starts to close";
}

TEST_F(ShownMissionControlTest, TheWindowsCoverTheDisplaysWhereverTheWindowSystemPutsThePrimary)
{
    // Real screens can place the primary below another screen.
    platform::sim::World::shared().setWindowSystemOrigin(QPoint(0, 300));
    mc().open();
    const QList<QWidget*> windows = mc().windows();
    ASSERT_EQ(windows.size(), 2);
    EXPECT_EQ(windows[0]->geometry(), QRect(0, 300, 1512, 982));
    EXPECT_EQ(windows[1]->geometry(), QRect(1512, 300, 1512, 982));
}

TEST_F(ShownMissionControlTest, EscapeOrAClickOnTheBackdropClosesButTheEmptyBarDoesNot)
{
    mc().open();
    pressEscape(mc().windows()[0]);
    EXPECT_TRUE(mc().isClosing());
    advance(0.25);

    mc().open();
    click({20, 20});
    EXPECT_TRUE(mc().isOpen());
    EXPECT_FALSE(mc().isClosing()) << "the bar's empty part";
    click({1600, 700});
    EXPECT_TRUE(mc().isClosing()) << "the backdrop of the second display";
    EXPECT_EQ(mc().pressCount(), 0);
}

TEST_F(ShownMissionControlTest, AClickOnADesktopsPreviewPressesItsButtonAndTheTapsSeeIt)
{
    using platform::EventTap::EventType;
    QList<EventType> seen;
    const auto port = platform::EventTap::createListenOnly(
        platform::EventTap::maskBit(EventType::leftMouseDown) | platform::EventTap::maskBit(EventType::leftMouseUp),
        [&](const platform::EventTap::Event& event) { seen.append(event.type); });
    ASSERT_NE(port, 0u);
    mc().open();
    advance(0.4);
    const QPointF second = *mc().buttonCentre(2);
    mouse(QEvent::MouseButtonPress, second);
    mouse(QEvent::MouseButtonRelease, second + QPointF(40, 0));
    EXPECT_EQ(mc().pressCount(), 0) << "a drag is no click";
    click(second);
    EXPECT_EQ(mc().pressCount(), 1);
    EXPECT_EQ(world().currentSpace(s("D1")), 2u);
    EXPECT_TRUE(mc().isClosing());
    EXPECT_EQ(seen, (QList<EventType>{EventType::leftMouseDown, EventType::leftMouseUp, EventType::leftMouseDown,
                                      EventType::leftMouseUp}));
}

TEST_F(ShownMissionControlTest, OffscreenNothingShowsUntilAskedFor)
{
    mc().setShowsWindows(false);
    mc().open();
    EXPECT_TRUE(mc().windows().isEmpty());
    mc().setShowsWindows(true);
    EXPECT_EQ(mc().windows().size(), 2);
}
