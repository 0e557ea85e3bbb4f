#include "support/PlatformTest.h"

#include "platform/Accessibility.h"
#include "platform/EventSource.h"
#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/Screens.h"
#include "platform/SystemLog.h"
#include "platform/WindowServer.h"
#include "platform/Workspace.h"
#include "platform/sim/World.h"

#include <QFile>

#include <atomic>
#include <thread>

using platform::sim::World;
namespace AX = platform::AX;
namespace WS = platform::WindowServer;

namespace {

QVariantMap firstDisplay()
{
    return WS::copyManagedDisplaySpaces(WS::mainConnectionID()).toList().value(0).toMap();
}

QList<qint64> windowNumbers(quint32 options)
{
    QList<qint64> numbers;
    for (const auto& entry : WS::windowListCopyWindowInfo(options, 0).toList())
        numbers.append(entry.toMap().value(QStringLiteral("kCGWindowNumber")).toLongLong());
    return numbers;
}

QList<AX::Element> children(const AX::Element& element)
{
    QVariant value;
    QList<AX::Element> result;
    if (AX::copyAttributeValue(element, QStringLiteral("AXChildren"), &value) != AX::Error::success)
        return result;
    for (const auto& child : value.toList())
        result.append(child.value<AX::Element>());
    return result;
}

const char* minimalWorld = R"({
  "displays": [
    {"uuid": "D-1", "displayID": 7, "current": 22, "frame": [0, 0, 1000, 800],
     "spaces": [{"id": 21}, {"id": 22, "managedID": 5, "type": 0}, {"id": 23, "type": 4}]}
  ],
  "apps": [{"pid": 600, "bundleID": "com.example.editor", "name": "Editor", "frontmost": true}],
  "windows": [{"number": 9, "pid": 600, "bounds": [0, 0, 500, 400], "spaces": [22]}],
  "dock": [{"title": "Editor", "badge": "2"}],
  "trusted": false
})";

} // namespace

class WorldTest : public PlatformTest {
protected:
    static World& world() { return World::shared(); }
};

// --- the default world and world files ----------------------------------------

TEST_F(WorldTest, DefaultWorldHasOneDisplayWithFourDesktops)
{
    const QVariantMap display = firstDisplay();
    EXPECT_EQ(display.value(QStringLiteral("Spaces")).toList().size(), 4);
    EXPECT_EQ(display.value(QStringLiteral("Current Space")).toMap().value(QStringLiteral("id64")).toULongLong(), 1u);
    EXPECT_EQ(WS::copyActiveMenuBarDisplayIdentifier(0).toString(), display.value(QStringLiteral("Display Identifier")).toString());
    EXPECT_GE(platform::Workspace::runningApplications().size(), 5);
    EXPECT_TRUE(AX::isProcessTrusted());
    EXPECT_EQ(platform::Workspace::currentProcessIdentifier(), 4242);
    EXPECT_EQ(platform::Screens::screens().size(), 1);
}

TEST_F(WorldTest, WorldFileNamedByTheEnvironmentReplacesTheDefault)
{
    const QString path = home() + QStringLiteral("/world.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(minimalWorld);
    file.close();
    platform::resetSharedInstances();
    qputenv("TESSAROOM_SIM_WORLD", path.toUtf8());
    World& loaded = World::shared();
    qunsetenv("TESSAROOM_SIM_WORLD");
    ASSERT_EQ(loaded.displays().size(), 1);
    EXPECT_EQ(loaded.currentSpace(QStringLiteral("D-1")), 22u);
    EXPECT_EQ(loaded.displays()[0].spaces[0].managedID, 21);
    EXPECT_EQ(loaded.displays()[0].spaces[2].type, 4);
    EXPECT_EQ(loaded.frontmostApp(), 600);
    EXPECT_FALSE(loaded.trusted());
    EXPECT_EQ(WS::displayUUIDString(7), QStringLiteral("D-1"));
    EXPECT_EQ(windowNumbers(0), QList<qint64>{9});
}

TEST_F(WorldTest, MalformedWorldFileIsLoggedAndTheDefaultIsUsed)
{
    const QString path = home() + QStringLiteral("/broken.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"displays\": [ {\"uuid\": 3} ]}");
    file.close();
    platform::resetSharedInstances();
    qputenv("TESSAROOM_SIM_WORLD", path.toUtf8());
    World& fallback = World::shared();
    qunsetenv("TESSAROOM_SIM_WORLD");
    EXPECT_EQ(fallback.displays().size(), 1);
    EXPECT_EQ(fallback.displays()[0].spaces.size(), 4);
    const QString line = platform::SystemLog::lines().value(platform::SystemLog::lines().size() - 1);
    EXPECT_TRUE(line.contains(path)) << qPrintable(line);
    EXPECT_TRUE(line.contains(QStringLiteral("display 1 uuid must be a text"))) << qPrintable(line);
}

TEST_F(WorldTest, WorldFileErrorsSayWhatIsWrongAndChangeNothing)
{
    const auto errorOf = [](const char* json) {
        QString error;
        EXPECT_FALSE(world().loadJson(json, &error));
        return error;
    };
    EXPECT_TRUE(errorOf("[1, 2]").contains(QStringLiteral("top level")));
    EXPECT_TRUE(errorOf("{\"displays\": [").startsWith(QStringLiteral("not JSON")));
    EXPECT_TRUE(errorOf(R"({"displays": [{"uuid": "A", "spaces": [{"id": 1.5}]}]})").contains(QStringLiteral("whole number")));
    EXPECT_TRUE(errorOf(R"({"displays": [{"uuid": "A", "spaces": [{"id": -1}]}]})").contains(QStringLiteral("out of range")));
    EXPECT_TRUE(errorOf(R"({"displays": [{"uuid": "A", "spaces": [{"id": 1}, {"id": 1}]}]})").contains(QStringLiteral("twice")));
    EXPECT_TRUE(errorOf(R"({"displays": [{"uuid": "A", "current": 9, "spaces": [{"id": 1}]}]})").contains(QStringLiteral("no space 9")));
    EXPECT_TRUE(errorOf(R"({"apps": [{"pid": 5, "policy": "sometimes"}]})").contains(QStringLiteral("policy")));
    EXPECT_TRUE(errorOf(R"({"windows": [{"number": 5}]})").contains(QStringLiteral("\"pid\"")));
    EXPECT_TRUE(errorOf(R"({"apps": [{"pid": 5, "frontmost": "yes"}]})").contains(QStringLiteral("app 1 frontmost must be true or false")));
    EXPECT_TRUE(errorOf(R"({"apps": [{"pid": 5, "refusesActivation": 1}]})").contains(QStringLiteral("refusesActivation must be true or false")));
    EXPECT_TRUE(errorOf(R"({"displays": [{"uuid": "A"}], "activeMenuBarDisplay": "B"})").contains(QStringLiteral("names no display: B")));
    EXPECT_EQ(world().displays().size(), 1);
    EXPECT_EQ(world().displays()[0].spaces.size(), 4);
}

TEST_F(WorldTest, ResetGivesAFreshDefaultWorld)
{
    world().clear();
    EXPECT_TRUE(world().displays().isEmpty());
    platform::resetSharedInstances();
    EXPECT_EQ(world().displays().size(), 1);
}

// --- spaces, screens and notifications ----------------------------------------

TEST_F(WorldTest, SpaceChangeIsImmediateAndAnnouncedFromTheMainQueue)
{
    int announced = 0;
    auto subscription = platform::NotificationCenter::workspaceCenter().observe(
        platform::notifications::activeSpaceDidChange, [&] { ++announced; });
    const QString uuid = world().displays()[0].uuid;
    EXPECT_EQ(WS::managedDisplaySetCurrentSpace(0, uuid, 4), WS::success);
    EXPECT_EQ(world().currentSpace(uuid), 4u);
    EXPECT_EQ(announced, 0);
    advance(0);
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(WS::managedDisplaySetCurrentSpace(0, uuid, 99), WS::illegalArgument);
    EXPECT_EQ(WS::managedDisplaySetCurrentSpace(0, 12, 1), WS::illegalArgument);
    advance(0);
    EXPECT_EQ(announced, 1);
    EXPECT_EQ(world().currentSpace(uuid), 4u);
}

TEST_F(WorldTest, ScreenChangesAreAnnouncedOnTheDefaultCentre)
{
    int announced = 0;
    auto subscription = platform::NotificationCenter::defaultCenter().observe(
        platform::notifications::screenParametersDidChange, [&] { ++announced; });
    platform::sim::DisplaySpec second;
    second.uuid = QStringLiteral("EXT");
    second.displayID = 2;
    second.frame = QRectF(1512, 0, 1920, 1080);
    second.spaces = {{40, 40, 0, {}}};
    world().addDisplay(second);
    advance(0);
    EXPECT_EQ(announced, 1);
    const auto screens = platform::Screens::screens();
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(screens[1].visibleFrame, QRectF(1512, 0, 1920, 1080 - 37));
    EXPECT_EQ(screens[1].deviceDescription.value(QStringLiteral("NSScreenNumber")).toUInt(), 2u);
    EXPECT_FALSE(screens[1].auxiliaryTopLeftArea);
    EXPECT_TRUE(screens[0].auxiliaryTopLeftArea);
    EXPECT_EQ(world().currentSpace(QStringLiteral("EXT")), 40u);
}

TEST_F(WorldTest, RemovingTheCurrentSpaceHandsOverToTheFirst)
{
    const QString uuid = world().displays()[0].uuid;
    world().setCurrentSpace(uuid, 4);
    world().removeSpace(4);
    EXPECT_EQ(world().currentSpace(uuid), 1u);
    EXPECT_EQ(world().displayOfSpace(4), std::nullopt);
}

// --- windows ---------------------------------------------------------------------

TEST_F(WorldTest, OnScreenListKeepsShownSpacesAndDropsDesktopElements)
{
    world().clear();
    platform::sim::DisplaySpec display;
    display.uuid = QStringLiteral("A");
    display.spaces = {{1, 1, 0, {}}, {2, 2, 0, {}}};
    world().addDisplay(display);
    world().addWindow({10, 50, 0, QRectF(0, 0, 300, 300), {2}});
    world().addWindow({11, 50, 0, QRectF(0, 0, 300, 300), {1}});
    world().addWindow({12, 0, -2147483623, QRectF(0, 0, 1000, 800), {}});
    world().addWindow({13, 51, 25, QRectF(0, 0, 30, 20), {}});
    EXPECT_EQ(windowNumbers(0), (QList<qint64>{13, 12, 11, 10}));
    EXPECT_EQ(windowNumbers(17), (QList<qint64>{13, 11}));
    world().setCurrentSpace(QStringLiteral("A"), 2);
    EXPECT_EQ(windowNumbers(17), (QList<qint64>{13, 10}));
    world().bringWindowToFront(10);
    EXPECT_EQ(windowNumbers(0).first(), 10);
    const QVariant onSpace1 = WS::copyWindowsWithOptionsAndTags(0, 0, QVariantList{1}, 2, 0, 0);
    EXPECT_EQ(onSpace1.toList().size(), 3); // window 11 and the two on every space
    EXPECT_FALSE(WS::copyWindowsWithOptionsAndTags(0, 0, QVariant(1), 2, 0, 0).isValid());
}

// --- applications -------------------------------------------------------------

TEST_F(WorldTest, ActivationCanBeRefused)
{
    EXPECT_TRUE(platform::Workspace::activate(303));
    EXPECT_EQ(platform::Workspace::frontmostApplication()->processIdentifier, 303);
    world().setAppRefusesActivation(304, true);
    EXPECT_FALSE(platform::Workspace::activate(304));
    EXPECT_FALSE(platform::Workspace::activate(9999));
    world().setAppTerminated(305, true);
    EXPECT_FALSE(platform::Workspace::activate(305));
    EXPECT_TRUE(platform::Workspace::runningApplication(305)->isTerminated);
    for (const auto& app : platform::Workspace::runningApplications())
        EXPECT_NE(app.processIdentifier, 305);
    EXPECT_EQ(world().activationRequests(), (QList<qint32>{303, 304, 9999, 305}));
    EXPECT_EQ(platform::Workspace::frontmostApplication()->processIdentifier, 303);
}

TEST_F(WorldTest, OpenedLinksAreRecordedNotOpened)
{
    EXPECT_TRUE(platform::Workspace::open(QUrl(QStringLiteral("x-apple.systempreferences:com.apple.preference.security"))));
    EXPECT_FALSE(platform::Workspace::open(QUrl()));
    EXPECT_EQ(world().openedURLs().size(), 1);
}

// --- accessibility -----------------------------------------------------------

TEST_F(WorldTest, DockTreeHoldsItsItemsUnderAList)
{
    const auto docks = platform::Workspace::runningApplications(QStringLiteral("com.apple.dock"));
    ASSERT_EQ(docks.size(), 1);
    const auto top = children(AX::createApplication(docks[0].processIdentifier));
    ASSERT_EQ(top.size(), 1);
    QVariant role;
    ASSERT_EQ(AX::copyAttributeValue(top[0], QStringLiteral("AXRole"), &role), AX::Error::success);
    EXPECT_EQ(role.toString(), QStringLiteral("AXList"));
    QStringList labels;
    for (const auto& item : children(top[0])) {
        QVariant label;
        if (AX::copyAttributeValue(item, QStringLiteral("AXStatusLabel"), &label) == AX::Error::success)
            labels.append(label.toString());
    }
    EXPECT_EQ(labels, (QStringList{QStringLiteral("3"), QStringLiteral("12")}));
}

TEST_F(WorldTest, DockMadeForItemsTakesAPidNoAppUses)
{
    ASSERT_TRUE(world().loadJson(R"({"apps": [{"pid": 95, "name": "Editor"}, {"pid": 96, "name": "Viewer"}],
                                     "dock": [{"title": "Editor", "badge": "1"}]})"));
    EXPECT_EQ(world().dockPID(), 97);
    EXPECT_EQ(platform::Workspace::runningApplication(95)->localizedName, QStringLiteral("Editor"));
    EXPECT_EQ(platform::Workspace::runningApplication(96)->localizedName, QStringLiteral("Viewer"));
    EXPECT_EQ(children(AX::createApplication(97)).size(), 1);
}

TEST_F(WorldTest, UntrustedProcessGetsNothingAndPromptsAreCounted)
{
    const AX::Element app = AX::createApplication(303);
    QVariant value;
    EXPECT_FALSE(AX::isProcessTrustedWithOptions(false) == false);
    EXPECT_EQ(world().trustPromptCount(), 0);
    world().setTrusted(false);
    EXPECT_EQ(AX::copyAttributeValue(app, QStringLiteral("AXChildren"), &value), AX::Error::apiDisabled);
    EXPECT_EQ(AX::setAttributeValue(app, QStringLiteral("AXFrontmost"), true), AX::Error::apiDisabled);
    EXPECT_FALSE(AX::isProcessTrustedWithOptions(false));
    EXPECT_EQ(world().trustPromptCount(), 0);
    EXPECT_FALSE(AX::isProcessTrustedWithOptions(true));
    EXPECT_EQ(world().trustPromptCount(), 1);
}

TEST_F(WorldTest, ElementsAnswerAttributesActionsAndErrors)
{
    const AX::Element app = AX::createApplication(303);
    EXPECT_EQ(AX::setAttributeValue(app, QStringLiteral("AXFrontmost"), true), AX::Error::success);
    EXPECT_EQ(world().frontmostApp(), 303);
    QVariant value;
    ASSERT_EQ(AX::copyAttributeValue(app, QStringLiteral("AXFrontmost"), &value), AX::Error::success);
    EXPECT_TRUE(value.toBool());

    const AX::Element button = world().addElement(303, {}, {{QStringLiteral("AXRole"), QStringLiteral("AXButton")}});
    int presses = 0;
    world().setActionHandler(button, QStringLiteral("AXPress"), [&] {
        ++presses;
        return AX::Error::success;
    });
    EXPECT_EQ(AX::performAction(button, QStringLiteral("AXPress")), AX::Error::success);
    EXPECT_EQ(AX::performAction(button, QStringLiteral("AXCancel")), AX::Error::actionUnsupported);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(AX::copyAttributeValue(button, QStringLiteral("AXTitle"), &value), AX::Error::attributeUnsupported);
    world().setElementError(button, AX::Error::cannotComplete);
    EXPECT_EQ(AX::copyAttributeValue(button, QStringLiteral("AXRole"), &value), AX::Error::cannotComplete);
    world().removeElement(button);
    EXPECT_EQ(AX::performAction(button, QStringLiteral("AXPress")), AX::Error::invalidUIElement);
    EXPECT_EQ(AX::copyAttributeValue(AX::Element(), QStringLiteral("AXRole"), &value), AX::Error::illegalArgument);
    world().removeApp(303);
    EXPECT_EQ(AX::copyAttributeValue(app, QStringLiteral("AXRole"), &value), AX::Error::invalidUIElement);
}

TEST_F(WorldTest, DockTreeCanBeReadFromOtherThreadsWhileItChanges)
{
    const qint32 dock = world().dockPID();
    std::atomic<bool> stop{false};
    std::atomic<int> reads{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            while (!stop) {
                for (const auto& list : children(AX::createApplication(dock))) {
                    for (const auto& item : children(list)) {
                        QVariant label;
                        AX::copyAttributeValue(item, QStringLiteral("AXStatusLabel"), &label);
                    }
                }
                platform::Workspace::runningApplications();
                ++reads;
            }
        });
    }
    for (int i = 0; i < 200; ++i)
        world().setDockItems({{QStringLiteral("Mail"), QString::number(i), std::nullopt, true}});
    while (reads < 50)
        std::this_thread::yield();
    stop = true;
    for (auto& reader : readers)
        reader.join();
    EXPECT_GE(reads.load(), 50);
}

// --- input clocks ----------------------------------------------------------------

TEST_F(WorldTest, InputClocksFollowTheManualClock)
{
    using namespace platform::EventSource;
    const auto since = [](quint32 type) { return secondsSinceLastEventType(StateID::combinedSessionState, type); };
    world(); // the world starts with fresh input now
    advance(10);
    EXPECT_DOUBLE_EQ(since(EventType::keyDown), 10);
    EXPECT_DOUBLE_EQ(since(EventType::magnify), 3610); // never seen: since the simulated boot
    world().noteInputEvent(EventType::scrollWheel);
    advance(2);
    EXPECT_DOUBLE_EQ(since(EventType::scrollWheel), 2);
    EXPECT_DOUBLE_EQ(since(EventType::anyInput), 2);
    world().setSecondsSinceLastEvent(EventType::leftMouseDown, 0.5);
    EXPECT_DOUBLE_EQ(since(EventType::anyInput), 0.5);
    EXPECT_DOUBLE_EQ(since(EventType::keyDown), 12);
}
