#include "MissionControlTest.h"

#include "platform/EventTap.h"
#include "platform/Workspace.h"

#include <QUrl>

namespace AX = platform::AX;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

class SimulatedMissionControlTest : public MissionControlTest {
protected:
    SimulatedMissionControlTest() { addDisplays({2, 1}); }
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
