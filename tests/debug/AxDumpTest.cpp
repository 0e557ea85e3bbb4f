#include "debug/AxDump.h"
#include "missioncontrol/MissionControlTest.h"
#include "platform/EventSource.h"
#include "platform/MouseEvents.h"
#include "platform/sim/Input.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using ::testing::ElementsAre;
namespace AX = platform::AX;
using platform::MouseEventType;
using platform::sim::PostedMouseEvent;

namespace {

constexpr qint32 notesPID = 600;

class AxDumpTest : public MissionControlTest {
protected:
    // Entries written and how the dump ended.
    QStringList entries;
    std::optional<int> status;
    int exits = 0;

    std::unique_ptr<AxDump> start(const QStringList& arguments)
    {
        const QStringList all = QStringList{QStringLiteral("/Applications/Tessaroom.app/Tessaroom"),
                                            QStringLiteral("--ax-dump"), QStringLiteral("/tmp/ax.log")}
            + arguments;
        return std::make_unique<AxDump>(
            AxDump::optionsFrom(all), all, [this](const QString& entry) { entries.append(entry); },
            [this](int code) {
                status = code;
                ++exits;
            });
    }

    // The dump's own lines (the one entry holding the tree), split.
    QStringList treeLines() const
    {
        for (const QString& entry : entries) {
            if (entry.contains(QLatin1Char('\n')) || entry.startsWith(QStringLiteral("AX"))
                || entry.startsWith(QStringLiteral("?")))
                return entry.split(QLatin1Char('\n'));
        }
        return {};
    }

    // Notes (pid 600): a window with a toolbar holding two buttons.
    struct NotesTree {
        AX::Element window;
        AX::Element toolbar;
        AX::Element save;
        AX::Element share;
    };
    NotesTree addNotes()
    {
        platform::sim::AppSpec app;
        app.pid = notesPID;
        app.bundleID = QStringLiteral("com.example.notes");
        app.name = QStringLiteral("Notes");
        world().addApp(app);
        NotesTree tree;
        tree.window = world().addElement(notesPID, {},
                                         {{"AXRole", "AXWindow"},
                                          {"AXSubrole", "AXStandardWindow"},
                                          {"AXTitle", "Shopping"},
                                          {"AXPosition", QPointF(100, 50)},
                                          {"AXSize", QSizeF(800, 600)}});
        tree.toolbar = world().addElement(notesPID, tree.window,
                                          {{"AXRole", "AXToolbar"},
                                           {"AXIdentifier", "toolbar"},
                                           {"AXPosition", QPointF(100, 78)},
                                           {"AXSize", QSizeF(800, 40.4)}});
        tree.save = world().addElement(notesPID, tree.toolbar,
                                       {{"AXRole", "AXButton"},
                                        {"AXDescription", "Save"},
                                        {"AXTitle", ""},
                                        {"AXPosition", QPointF(110.6, 84)},
                                        {"AXSize", QSizeF(28, 28)}});
        tree.share = world().addElement(notesPID, tree.toolbar,
                                        {{"AXRole", "AXButton"},
                                         {"AXIdentifier", "share"},
                                         {"AXTitle", "Save"},
                                         {"AXPosition", "not a point"},
                                         {"AXSize", QSizeF(28, 28)}});
        return tree;
    }

    static QStringList notes(const QStringList& more = {})
    {
        return QStringList{QStringLiteral("--app"), QStringLiteral("com.example.notes"), QStringLiteral("--now")} + more;
    }
};

// --- options ---

TEST(AxDumpOptionsTest, DepthIsAWholeNumberOrSeven)
{
    EXPECT_EQ(AxDump::depthFrom(QStringLiteral("3")), 3);
    EXPECT_EQ(AxDump::depthFrom(QStringLiteral("+4")), 4);
    EXPECT_EQ(AxDump::depthFrom(QStringLiteral("-2")), -2);
    EXPECT_EQ(AxDump::depthFrom(QStringLiteral("1000000")), 1000000);
    EXPECT_EQ(AxDump::depthFrom(std::nullopt), 7);
    for (const char* text : {"", "deep", "2.5", " 3", "3 ", "0x10", "99999999999999999999", "-99999999999999999999"})
        EXPECT_EQ(AxDump::depthFrom(QString::fromLatin1(text)), 7) << text;
}

TEST(AxDumpOptionsTest, MouseNeedsExactlyTwoFiniteNumbers)
{
    EXPECT_EQ(AxDump::pointFrom(QStringLiteral("640,12")), QPointF(640, 12));
    EXPECT_EQ(AxDump::pointFrom(QStringLiteral(",640,,-12.5,")), QPointF(640, -12.5));
    // Pieces that do not read are dropped before counting.
    EXPECT_EQ(AxDump::pointFrom(QStringLiteral("x,640,12")), QPointF(640, 12));
    for (const char* text : {"", "640", "640,12,3", "a,b", "nan,12", "640,inf", "-inf,5", "1e400,5", "1e300,5",
                             "2000000,5", "640;12"})
        EXPECT_FALSE(AxDump::pointFrom(QString::fromLatin1(text)).has_value()) << text;
}

TEST(AxDumpOptionsTest, OptionsAndTheirDefaults)
{
    const AxDump::Options plain = AxDump::optionsFrom({"app", "--ax-dump", "/tmp/a.log"});
    EXPECT_EQ(plain.app, "com.apple.dock");
    EXPECT_EQ(plain.depth, 7);
    EXPECT_FALSE(plain.now);
    EXPECT_FALSE(plain.press.has_value());
    EXPECT_FALSE(plain.attrs);
    EXPECT_FALSE(plain.mouse.has_value());

    const AxDump::Options all = AxDump::optionsFrom({"app", "--ax-dump", "/tmp/a.log", "--depth", "2", "--app",
                                                     "com.example.notes", "--press", "--now", "--attrs", "--mouse",
                                                     "1,2", "--depth"});
    EXPECT_EQ(all.app, "com.example.notes");
    EXPECT_EQ(all.depth, 2);
    // "--press" takes the next argument whatever it is; the flag is still present.
    EXPECT_EQ(all.press, "--now");
    EXPECT_TRUE(all.now);
    EXPECT_TRUE(all.attrs);
    EXPECT_EQ(all.mouse, "1,2");
    // "--depth" as the last argument has no value.
    EXPECT_EQ(AxDump::optionsFrom({"--ax-dump", "x", "--depth"}).depth, 7);
}

// --- when the dump runs ---

TEST_F(AxDumpTest, WithNowTheDumpRunsAtTheFirstTick)
{
    addDisplays({2});
    addNotes();
    auto dump = start(notes());
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0], "trusted=true app=com.example.notes depth=7 screens=[(0.0, 0.0, 1512.0, 982.0)]");
    advance(0.09);
    EXPECT_EQ(entries.size(), 1);
    advance(0.02);
    ASSERT_GE(entries.size(), 3);
    EXPECT_EQ(entries[1], "missionControlOpen=0 after 0.1 s");
    EXPECT_EQ(entries[2], "pid=600 Notes");
    EXPECT_EQ(entries.last(), "done: 5 elements");
    EXPECT_EQ(status, 0);
    advance(1);
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_F(AxDumpTest, WithoutNowItWaitsTenSecondsForMissionControl)
{
    addDisplays({2});
    auto dump = start({});
    EXPECT_EQ(entries[0], "trusted=true app=com.apple.dock depth=7 screens=[(0.0, 0.0, 1512.0, 982.0)] — waiting up "
                          "to 10 s for Mission Control");
    advance(9.95);
    EXPECT_EQ(entries.size(), 1);
    advance(0.2);
    ASSERT_GE(entries.size(), 2);
    EXPECT_EQ(entries[1], "missionControlOpen=0 after 10.1 s");
    EXPECT_EQ(entries[2], QStringLiteral("pid=%1 Dock").arg(mc().hostPID()));
    // Mission Control is closed: the Dock shows no desktop bar.
    EXPECT_THAT(treeLines(), ElementsAre("AXApplication -"));
    EXPECT_EQ(entries.last(), "done: 1 elements");
    EXPECT_EQ(status, 0);
}

TEST_F(AxDumpTest, MissionControlOpenedAtOneSecondIsDumpedAndADesktopPressed)
{
    addDisplays({2});
    auto dump = start({"--press", "Desktop 2"});
    advance(1.0);
    EXPECT_EQ(entries.size(), 1);
    mc().open();
    advance(0.1);
    ASSERT_GE(entries.size(), 5);
    EXPECT_EQ(entries[1], "missionControlOpen=1 after 1.1 s");
    const QStringList tree = treeLines();
    ASSERT_EQ(tree.size(), 6);
    EXPECT_EQ(tree[0], "AXApplication - children=1");
    EXPECT_EQ(tree[1], "  AXGroup id='mc' - children=1");
    EXPECT_EQ(tree[2], "    AXGroup id='mc.spaces' - children=1");
    EXPECT_TRUE(tree[3].startsWith("      AXList id='mc.spaces.list' ")) << qPrintable(tree[3]);
    EXPECT_TRUE(tree[3].endsWith(" children=2")) << qPrintable(tree[3]);
    EXPECT_TRUE(tree[4].startsWith("        AXButton desc='Desktop 1' ")) << qPrintable(tree[4]);
    EXPECT_TRUE(tree[5].startsWith("        AXButton desc='Desktop 2' ")) << qPrintable(tree[5]);
    EXPECT_EQ(entries[entries.size() - 2], "press 'Desktop 2': ok");
    EXPECT_EQ(entries.last(), "done: 6 elements");
    EXPECT_EQ(status, 0);
    clock().runPending();
    EXPECT_EQ(world().currentSpace("D1"), 2u);
}

// --- the pointer step ---

TEST_F(AxDumpTest, PointerStepMovesWithoutEventsThenWaitsSevenTenths)
{
    addDisplays({2});
    addNotes();
    auto dump = start(notes({"--mouse", "640,12"}));
    advance(0.11);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1], "pointer moved to (640.0, 12.0)");
    // Display coordinates (y down) against the screen's y up.
    EXPECT_EQ(platform::MouseEvents::mouseLocation(), QPointF(640, 982 - 12));
    EXPECT_TRUE(platform::sim::postedMouseEvents().isEmpty());
    // The reference moved to 0.6 s after the step: the dump comes 1.3 s later.
    advance(1.25);
    EXPECT_EQ(entries.size(), 2);
    advance(0.1);
    ASSERT_GE(entries.size(), 3);
    EXPECT_EQ(entries[2], "missionControlOpen=0 after 0.7 s");
    EXPECT_EQ(status, 0);
}

TEST_F(AxDumpTest, ClickPostsMoveDownAndLaterUp)
{
    addDisplays({2});
    addNotes();
    auto dump = start(notes({"--mouse", "640,12", "--click", "--mouse-event"}));
    advance(0.1);
    EXPECT_EQ(entries[1], "pointer moved to (640.0, 12.0), clicked");
    EXPECT_THAT(platform::sim::postedMouseEvents(),
                ElementsAre(PostedMouseEvent{MouseEventType::mouseMoved, QPointF(640, 12)},
                            PostedMouseEvent{MouseEventType::leftMouseDown, QPointF(640, 12)}));
    advance(0.07);
    EXPECT_EQ(platform::sim::postedMouseEvents().size(), 2);
    advance(0.02);
    ASSERT_EQ(platform::sim::postedMouseEvents().size(), 3);
    EXPECT_EQ(platform::sim::postedMouseEvents()[2], (PostedMouseEvent{MouseEventType::leftMouseUp, QPointF(640, 12)}));
    // The posted events count as input for the idle clocks.
    namespace Source = platform::EventSource;
    EXPECT_NEAR(Source::secondsSinceLastEventType(Source::StateID::combinedSessionState, Source::EventType::leftMouseUp),
                0.01, 0.011);
    EXPECT_NEAR(Source::secondsSinceLastEventType(Source::StateID::combinedSessionState, Source::EventType::leftMouseDown),
                0.09, 0.011);
}

TEST_F(AxDumpTest, RightClickWinsOverClick)
{
    addDisplays({2});
    addNotes();
    auto dump = start(notes({"--click", "--right-click", "--mouse", "20.5,700"}));
    advance(0.2);
    EXPECT_EQ(entries[1], "pointer moved to (20.5, 700.0), right-clicked");
    EXPECT_THAT(platform::sim::postedMouseEvents(),
                ElementsAre(PostedMouseEvent{MouseEventType::rightMouseDown, QPointF(20.5, 700)},
                            PostedMouseEvent{MouseEventType::rightMouseUp, QPointF(20.5, 700)}));
    namespace Source = platform::EventSource;
    EXPECT_LT(Source::secondsSinceLastEventType(Source::StateID::combinedSessionState, Source::EventType::rightMouseDown),
              0.2);
}

TEST_F(AxDumpTest, BadMouseValuesMoveNothingButStillDelayTheDump)
{
    addDisplays({1});
    addNotes();
    platform::sim::warpPointer(QPointF(5, 5));
    for (const char* value : {"640", "nan,12", "1e300,5", "x,y", ""}) {
        SCOPED_TRACE(value);
        entries.clear();
        status.reset();
        auto dump = start(notes({"--mouse", QString::fromLatin1(value), "--click"}));
        advance(0.11);
        ASSERT_EQ(entries.size(), 2);
        EXPECT_EQ(entries[1], QStringLiteral("pointer not moved: '%1' is not two numbers x,y").arg(value));
        EXPECT_EQ(platform::MouseEvents::mouseLocation(), QPointF(5, 5));
        EXPECT_TRUE(platform::sim::postedMouseEvents().isEmpty());
        advance(1.2);
        EXPECT_FALSE(status.has_value());
        advance(0.2);
        EXPECT_EQ(status, 0);
    }
}

TEST_F(AxDumpTest, MissionControlAlreadyOpenLateDumpsAtTheNextTickAfterThePointerStep)
{
    addDisplays({2});
    auto dump = start({"--mouse", "640,12"});
    advance(2.05);
    mc().open();
    advance(0.1);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[1], "pointer moved to (640.0, 12.0)");
    advance(0.1);
    ASSERT_GE(entries.size(), 3);
    EXPECT_TRUE(entries[2].startsWith("missionControlOpen=1 after ")) << qPrintable(entries[2]);
    EXPECT_EQ(status, 0);
}

// --- the tree ---

TEST_F(AxDumpTest, LinesShowRoleTextsFrameAndChildren)
{
    addDisplays({1});
    addNotes();
    auto dump = start(notes({"--depth", "-3"}));
    advance(0.1);
    EXPECT_THAT(treeLines(), ElementsAre("AXApplication - children=1"));
    dump.reset();
    entries.clear();
    dump = start(notes());
    advance(0.1);
    EXPECT_THAT(treeLines(),
                ElementsAre("AXApplication - children=1",
                            "  AXWindow sub='AXStandardWindow' title='Shopping' 100,50 800x600 children=1",
                            "    AXToolbar id='toolbar' 100,78 800x40 children=2",
                            "      AXButton desc='Save' title='' 111,84 28x28",
                            // A position that is no point gives no frame.
                            "      AXButton id='share' title='Save' -"));
}

TEST_F(AxDumpTest, DepthCountsLevelsFromTheRoot)
{
    addDisplays({1});
    addNotes();
    auto dump = start(notes({"--depth", "1"}));
    advance(0.1);
    // The children count shows below the limit too.
    EXPECT_THAT(treeLines(), ElementsAre("AXApplication - children=1",
                                         "  AXWindow sub='AXStandardWindow' title='Shopping' 100,50 800x600 children=1"));
    EXPECT_EQ(entries.last(), "done: 2 elements");
}

TEST_F(AxDumpTest, UntrustedReadsFailButTheRootIsStillWritten)
{
    addDisplays({1});
    addNotes();
    world().setTrusted(false);
    auto dump = start(notes());
    EXPECT_TRUE(entries[0].startsWith("trusted=false app=com.example.notes depth=7 "));
    advance(0.1);
    EXPECT_THAT(treeLines(), ElementsAre("? -"));
    EXPECT_EQ(entries.last(), "done: 1 elements");
    EXPECT_EQ(status, 0);
}

TEST_F(AxDumpTest, AttrsListEveryAttributeButChildrenAndParent)
{
    addDisplays({1});
    const NotesTree tree = addNotes();
    world().setElementAttribute(tree.window, "AXFrame", QRectF(100, 50, 800, 600));
    world().setElementAttribute(tree.window, "AXHelp", QStringLiteral("first line\nsecond line"));
    world().setElementAttribute(tree.window, "AXValue", QVariant());
    world().setElementAttribute(tree.window, "AXMain", true);
    world().setElementAttribute(tree.window, "AXDocument", QString(300, QLatin1Char('x')));
    auto dump = start(notes({"--attrs", "--depth", "1"}));
    advance(0.1);
    EXPECT_THAT(treeLines(),
                ElementsAre("AXApplication - children=1",
                            "    AXFrontmost = false",
                            "    AXRole = AXApplication",
                            "  AXWindow sub='AXStandardWindow' title='Shopping' 100,50 800x600 children=1",
                            "      AXDocument = " + QString(200, QLatin1Char('x')),
                            "      AXFrame = (100.0, 50.0, 800.0, 600.0)",
                            "      AXHelp = first line second line",
                            "      AXMain = true",
                            "      AXPosition = (100.0, 50.0)",
                            "      AXRole = AXWindow",
                            "      AXSize = (800.0, 600.0)",
                            "      AXSubrole = AXStandardWindow",
                            "      AXTitle = Shopping",
                            "      AXValue = nil"));
    // Attribute lines count.
    EXPECT_EQ(entries.last(), "done: 14 elements");
}

TEST(AxDumpValueTextTest, LongTextIsCutAtWholeCharacters)
{
    // 199 letters then a flag (two code points, four code units).
    const QString flag = QStringLiteral("\U0001F1E9\U0001F1EA");
    const QString text = QString(199, QLatin1Char('a')) + flag + QStringLiteral("tail");
    EXPECT_EQ(AxDump::valueText(QVariant(text)), QString(199, QLatin1Char('a')) + flag);
    EXPECT_EQ(AxDump::valueText(QVariant(QStringLiteral("a\r\nb\rc"))), "a b c");
    EXPECT_EQ(AxDump::valueText(std::nullopt), "nil");
    EXPECT_EQ(AxDump::valueText(QVariant(QSizeF(22, 24.5))), "(22.0, 24.5)");
}

// --- pressing ---

TEST_F(AxDumpTest, PressTakesTheFirstElementMetWithTheText)
{
    addDisplays({1});
    const NotesTree tree = addNotes();
    QStringList pressed;
    world().setActionHandler(tree.save, "AXPress", [&] {
        pressed.append("save");
        return AX::Error::success;
    });
    world().setActionHandler(tree.share, "AXPress", [&] {
        pressed.append("share");
        return AX::Error::success;
    });
    // "Save" is the first button's description and the second one's title.
    auto dump = start(notes({"--press", "Save"}));
    advance(0.1);
    EXPECT_EQ(entries[entries.size() - 2], "press 'Save': ok");
    EXPECT_THAT(pressed, ElementsAre("save"));
}

TEST_F(AxDumpTest, AFailedPressReportsItsCodeAndStillExitsZero)
{
    addDisplays({1});
    addNotes();
    // The toolbar has no press action.
    auto dump = start(notes({"--press", "toolbar"}));
    advance(0.1);
    EXPECT_EQ(entries[entries.size() - 2], "press 'toolbar': error -25206");
    EXPECT_EQ(status, 0);
}

TEST_F(AxDumpTest, PressingAnUnknownTextSaysSo)
{
    addDisplays({1});
    addNotes();
    // An empty title is never indexed.
    auto dump = start(notes({"--press", ""}));
    advance(0.1);
    EXPECT_EQ(entries[entries.size() - 2], "press '': no such identifier or title");
    EXPECT_EQ(status, 0);
}

// --- failures and bad trees ---

TEST_F(AxDumpTest, AnAppThatIsNotRunningEndsWithStatusOne)
{
    addDisplays({1});
    auto dump = start({"--app", "com.example.missing", "--now"});
    advance(0.1);
    EXPECT_EQ(entries.last(), "no process with bundle id com.example.missing");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(exits, 1);
    advance(1);
    EXPECT_EQ(exits, 1);
}

TEST_F(AxDumpTest, ATreeThatLoopsBackIsNotWalkedAgain)
{
    addDisplays({1});
    const NotesTree tree = addNotes();
    world().addElementLink(tree.save, tree.window);
    world().addElementLink(tree.toolbar, tree.toolbar);
    auto dump = start(notes({"--depth", "1000000"}));
    advance(0.1);
    EXPECT_THAT(treeLines(),
                ElementsAre("AXApplication - children=1",
                            "  AXWindow sub='AXStandardWindow' title='Shopping' 100,50 800x600 children=1",
                            "    AXToolbar id='toolbar' 100,78 800x40 children=3",
                            "      AXButton desc='Save' title='' 111,84 28x28 children=1",
                            "        AXWindow sub='AXStandardWindow' title='Shopping' 100,50 800x600 children=1 (loops "
                            "back to an ancestor; not walked again)",
                            "      AXButton id='share' title='Save' -",
                            "      AXToolbar id='toolbar' 100,78 800x40 children=3 (loops back to an ancestor; not "
                            "walked again)"));
    EXPECT_EQ(status, 0);
}

TEST_F(AxDumpTest, RemovingALoopedTreeEndsAndLeavesLinksUnreadable)
{
    addDisplays({1});
    const NotesTree tree = addNotes();
    const AX::Element other = world().addElement(notesPID, {}, {{"AXRole", "AXGroup"}});
    world().addElementLink(tree.save, tree.window);
    world().addElementLink(other, tree.toolbar);
    world().removeElement(tree.window);
    QVariant role;
    EXPECT_EQ(AX::copyAttributeValue(tree.toolbar, "AXRole", &role), AX::Error::invalidUIElement);
    auto dump = start(notes());
    advance(0.1);
    // The link to the removed toolbar reads as nothing.
    EXPECT_THAT(treeLines(), ElementsAre("AXApplication - children=1", "  AXGroup - children=1", "    ? -"));
}

TEST_F(AxDumpTest, AHundredThousandElementsStopAtTheLimit)
{
    addDisplays({1});
    addNotes();
    const AX::Element list = world().addElement(notesPID, {}, {{"AXRole", "AXList"}});
    for (int i = 0; i < 100000; ++i)
        world().addElement(notesPID, list, {{"AXRole", "AXRow"}});
    auto dump = start(notes());
    advance(0.1);
    ASSERT_EQ(treeLines().size(), AxDump::elementLimit);
    EXPECT_EQ(treeLines()[5], "  AXList - children=100000");
    EXPECT_EQ(entries[entries.size() - 2], "stopped after 50000 elements; the rest of the tree is left out");
    EXPECT_EQ(entries.last(), "done: 50000 elements");
    EXPECT_EQ(status, 0);
}

TEST_F(AxDumpTest, ADeepChainNeitherOverflowsNorPassesTheTextLimit)
{
    addDisplays({1});
    addApp(notesPID, "Notes");
    AX::Element parent;
    for (int i = 0; i < 100000; ++i)
        parent = world().addElement(notesPID, parent, {{"AXRole", "AXGroup"}});
    auto dump = start(notes({"--depth", "200000"}));
    advance(0.1);
    const QStringList tree = treeLines();
    ASSERT_GT(tree.size(), 1000);
    ASSERT_LT(tree.size(), 100000);
    qsizetype characters = 0;
    for (const QString& line : tree)
        characters += line.size();
    EXPECT_GE(characters, AxDump::textLimit);
    EXPECT_LT(characters, AxDump::textLimit + tree.last().size());
    // Each line one level deeper than the one before.
    EXPECT_EQ(tree.last(), QString(2 * (tree.size() - 1), QLatin1Char(' ')) + "AXGroup - children=1");
    EXPECT_EQ(entries[entries.size() - 2],
              QStringLiteral("stopped after %1 elements; the rest of the tree is left out").arg(tree.size()));
    EXPECT_EQ(status, 0);
}

// --- the log ---

TEST_F(AxDumpTest, TheLogIsClearedAndAMissingFolderFailsQuietly)
{
    addDisplays({1});
    addNotes();
    QTemporaryDir dir;
    const QString path = dir.filePath("ax.log");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old dump\n");
    }
    std::optional<int> ended;
    runAccessibilityDump(path, AxDump::optionsFrom(notes({"--depth", "0"})), notes(), [&](int code) { ended = code; });
    advance(0.1);
    EXPECT_EQ(ended, 0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
              "trusted=true app=com.example.notes depth=0 screens=[(0.0, 0.0, 1512.0, 982.0)]\n"
              "missionControlOpen=0 after 0.1 s\n"
              "pid=600 Notes\n"
              "AXApplication - children=1\n"
              "done: 1 elements\n");

    ended.reset();
    const QString missing = dir.filePath("no/such/folder/ax.log");
    runAccessibilityDump(missing, AxDump::optionsFrom(notes()), notes(), [&](int code) { ended = code; });
    advance(0.1);
    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(QFile::exists(missing));
}

} // namespace
