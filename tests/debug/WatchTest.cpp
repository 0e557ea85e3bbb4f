#include "debug/McWatch.h"
#include "debug/SpaceWatch.h"
#include "missioncontrol/MissionControlTest.h"
#include "platform/NotificationCenter.h"
#include "platform/WindowServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

// Captures the lines a mode writes and how it ended.
struct Capture {
    QStringList lines;
    std::optional<int> status;
    int exits = 0;
    ModeOutput::LineSink sink()
    {
        return [this](const QString& line) { lines.append(line); };
    }
    ModeOutput::Exit exit()
    {
        return [this](int code) {
            status = code;
            ++exits;
        };
    }
};

class WatchTest : public MissionControlTest {};

// --- number and geometry forms ---

TEST(InspectTextTest, NumbersAlwaysShowAFraction)
{
    EXPECT_EQ(ModeOutput::number(24), "24.0");
    EXPECT_EQ(ModeOutput::number(0.05), "0.05");
    EXPECT_EQ(ModeOutput::number(-3.5), "-3.5");
    EXPECT_EQ(ModeOutput::number(1e21), "1000000000000000000000.0");
    EXPECT_EQ(ModeOutput::rectText(QRectF(0, 0, 1512, 982.5)), "{{0, 0}, {1512, 982.5}}");
    EXPECT_EQ(ModeOutput::sizeText(QSizeF(22, 24)), "{22, 24}");
    EXPECT_EQ(ModeOutput::tuple(QRectF(1512, 0, 1512, 982)), "(1512.0, 0.0, 1512.0, 982.0)");
}

TEST(InspectTextTest, ArgumentHelpers)
{
    const QStringList args{"app", "--depth", "3", "--now"};
    EXPECT_EQ(ModeOutput::valueAfter("--depth", args), "3");
    EXPECT_FALSE(ModeOutput::valueAfter("--now", args).has_value());
    EXPECT_FALSE(ModeOutput::valueAfter("--app", args).has_value());
    EXPECT_TRUE(ModeOutput::hasFlag("--now", args));
    EXPECT_FALSE(ModeOutput::hasFlag("--mouse", args));
}

// --- Mission Control watch ---

TEST_F(WatchTest, MissionControlOpenedAtOneSecondIsLoggedOnceThenDone)
{
    addDisplays({2});
    world().setTrusted(true);
    Capture out;
    McWatch watch(access(), out.sink(), out.exit());
    ASSERT_EQ(out.lines.size(), 1);
    EXPECT_EQ(out.lines[0], "trusted=true screens=[(0.0, 0.0, 1512.0, 982.0)] — open Mission Control or swipe "
                            "between desktops now; sampling for 20 s");
    advance(0.999);
    // The first tick logs the closed state; nothing changes afterwards.
    ASSERT_EQ(out.lines.size(), 2);
    EXPECT_EQ(out.lines[1], "t=0.05 open=0\n");
    advance(0.001);
    mc().open();
    advance(0.05);
    ASSERT_EQ(out.lines.size(), 3);
    EXPECT_EQ(out.lines[2], "t=1.05 open=1\n"
                            "  Dock window layer=18 0,0 1512x982\n"
                            "  display=1 bar={{0, 0}, {1512, 40}}\n"
                            "    'Desktop 1' 673,9 71x22\n"
                            "    'Desktop 2' 768,9 71x22\n");
    EXPECT_FALSE(out.status.has_value());
    advance(18.9);
    EXPECT_FALSE(out.status.has_value());
    advance(0.2);
    EXPECT_EQ(out.lines.last(), "done");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.exits, 1);
    advance(5);
    EXPECT_EQ(out.exits, 1);
}


// --- desktop watch ---

TEST_F(WatchTest, SwipeDuringTheDesktopWatchLogsClocksAndTheSwitch)
{
    addDisplays({3, 2});
    for (quint32 type : {22u, 30u, 18u})
        world().setSecondsSinceLastEvent(type, 100);
    world().setSecondsSinceLastEvent(29, 100);
    world().setSecondsSinceLastEvent(5, 100);
    Capture out;
    SpaceWatch watch(out.sink(), out.exit());
    ASSERT_EQ(out.lines.size(), 1);
    EXPECT_EQ(out.lines[0], "current spaces [1, 4] — switch desktops now; sampling for 60 s");
    // Same ids and an idle state at the first ticks: nothing written.
    advance(2.0);
    EXPECT_EQ(out.lines.size(), 1);
    world().noteInputEvent(29);
    advance(1.0 / 60.0);
    ASSERT_EQ(out.lines.size(), 2);
    EXPECT_TRUE(out.lines[1].endsWith(" gesture clocks: swipe LIVE (gesture 0.017 scroll 102.02 magnify 102.02 "
                                      "rotate 102.02 pointer 102.02)"))
        << qPrintable(out.lines[1]);
    EXPECT_TRUE(out.lines[1].startsWith("+2.017s "));
    platform::WindowServer::managedDisplaySetCurrentSpace(platform::WindowServer::mainConnectionID(), "D1", 2);
    clock().runPending();
    advance(0.1);
    EXPECT_THAT(out.lines.mid(2), ElementsAre("+2.017s NSWorkspace activeSpaceDidChange, current [2, 4]",
                                              "+2.033s window server current [2, 4]",
                                              "+2.067s gesture clocks: swipe idle (gesture 0.067 scroll 102.07 "
                                              "magnify 102.07 rotate 102.07 pointer 102.07)"));
    advance(57.7);
    EXPECT_FALSE(out.status.has_value());
    advance(0.2);
    EXPECT_EQ(out.lines.last(), "done");
    EXPECT_EQ(out.status, 0);
}

TEST_F(WatchTest, WorkspaceNotificationLineReadsTheIdsAgain)
{
    addDisplays({2});
    Capture out;
    SpaceWatch watch(out.sink(), out.exit());
    advance(0.5);
    platform::NotificationCenter::workspaceCenter().post(platform::notifications::activeSpaceDidChange);
    ASSERT_EQ(out.lines.size(), 2);
    EXPECT_EQ(out.lines[1], "+0.500s NSWorkspace activeSpaceDidChange, current [1]");
}

// --- log file ---

TEST_F(WatchTest, LogIsClearedAndAMissingFolderFailsQuietly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("watch.log");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old\n");
    }
    auto sink = ModeOutput::logSink(path);
    sink("current spaces [1]");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "current spaces [1]\n");

    addDisplays({1});
    Capture out;
    const QString missing = dir.filePath("no/such/folder/x.log");
    SpaceWatch watch(ModeOutput::logSink(missing), out.exit());
    advance(60.1);
    EXPECT_EQ(out.status, 0);
    EXPECT_FALSE(QFile::exists(missing));
}

} // namespace
