// The early dispatcher starts the inspection modes: the watches, the
// accessibility dump and the tile probe.
#include "debug/DebugTools.h"
#include "missioncontrol/MissionControlTest.h"
#include "support/ScriptedLoader.h"
#include "ui/AppCommands.h"
#include "update/Updates.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <gtest/gtest.h>

#include <vector>

namespace {

class InspectionDispatchTest : public MissionControlTest {
protected:
    InspectionDispatchTest()
    {
        addDisplays({2});
        platform::sim::AppSpec notes;
        notes.pid = 600;
        notes.bundleID = QStringLiteral("com.example.notes");
        notes.name = QStringLiteral("Notes");
        world().addApp(notes);
        world().addElement(600, {}, {{"AXRole", "AXWindow"}, {"AXTitle", "Shopping"}});
    }

    bool early(const QStringList& arguments)
    {
        DebugTools::Environment environment{
            .engine = SpaceEngine::shared(),
            .settings = Settings::shared(),
            .updates = updates,
            .out = out,
            .exit = [this](int status) { exits.push_back(status); },
            .accessibilityTrusted = [] { return true; },
            .tileLine = {},
            .missionControlOpen = [] { return false; },
            .switchLink = [](const QString& argument) { return QUrl(QStringLiteral("tessaroom://switch/") + argument); },
            .handOverLink = [this](const QUrl&) {
                ++deliveries;
                return DebugTools::LinkHandOver{.noCopy = false, .pid = 777, .problem = std::nullopt};
            },
            .bundlePath = {},
            .accessibility = &access(),
            .commands = &commands,
        };
        return DebugTools::runEarlyCommand(QStringList{QStringLiteral("/Applications/Tessaroom.app/Tessaroom")} + arguments,
                                           environment);
    }

    QString path(const QString& name) const { return QDir(home()).filePath(name); }

    static QStringList logLines(const QString& file)
    {
        QFile log(file);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    ScriptedLoader loader;
    Updates updates{Settings::shared(), loader};
    InertCommands commands;
    QString printed;
    QTextStream out{&printed};
    std::vector<int> exits;
    int deliveries = 0;
};

// --- each mode starts ---

TEST_F(InspectionDispatchTest, MissionControlWatchRunsTwentySecondsIntoItsLog)
{
    ASSERT_TRUE(early({"--mc-watch", path("mc.log")}));
    ASSERT_FALSE(logLines(path("mc.log")).isEmpty());
    EXPECT_TRUE(logLines(path("mc.log"))[0].endsWith(" — open Mission Control or swipe between desktops now; "
                                                     "sampling for 20 s"));
    advance(19.9);
    EXPECT_TRUE(exits.empty());
    advance(0.2);
    EXPECT_EQ(logLines(path("mc.log")).last(), "done");
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_TRUE(printed.isEmpty());
}

TEST_F(InspectionDispatchTest, DesktopWatchRunsSixtySecondsIntoItsLog)
{
    ASSERT_TRUE(early({"--space-watch", path("spaces.log")}));
    EXPECT_EQ(logLines(path("spaces.log")).value(0), "current spaces [1] — switch desktops now; sampling for 60 s");
    advance(60.1);
    EXPECT_EQ(logLines(path("spaces.log")).last(), "done");
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(InspectionDispatchTest, AccessibilityDumpReadsItsOptions)
{
    ASSERT_TRUE(early({"--ax-dump", path("ax.log"), "--app", "com.example.notes", "--now", "--depth", "x"}));
    advance(0.1);
    EXPECT_EQ(logLines(path("ax.log")),
              QStringList({"trusted=true app=com.example.notes depth=7 screens=[(0.0, 0.0, 1512.0, 982.0)]",
                           "missionControlOpen=0 after 0.1 s", "pid=600 Notes", "AXApplication - children=1",
                           "  AXWindow title='Shopping' -", "done: 2 elements"}));
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(InspectionDispatchTest, AccessibilityDumpOfAMissingAppExitsOne)
{
    ASSERT_TRUE(early({"--ax-dump", path("ax.log"), "--app", "com.example.gone", "--now"}));
    advance(0.1);
    EXPECT_EQ(logLines(path("ax.log")).last(), "no process with bundle id com.example.gone");
    EXPECT_EQ(exits, std::vector<int>{1});
}

TEST_F(InspectionDispatchTest, TileProbeEndsAfterTwoAndAHalfSeconds)
{
    ASSERT_TRUE(early({"--status-probe", path("probe.log")}));
    advance(0.61);
    EXPECT_TRUE(logLines(path("probe.log")).value(0).startsWith("tile after 0.6 s: "));
    advance(1.8);
    EXPECT_TRUE(exits.empty());
    advance(0.1);
    EXPECT_EQ(logLines(path("probe.log")).last(), "done");
    EXPECT_EQ(exits, std::vector<int>{0});
}

// --- order and argument rules ---

TEST_F(InspectionDispatchTest, AWatchWithoutAPathIsSkippedForTheNextMode)
{
    // "--mc-watch" last has no value; the earlier "--space-watch" is honoured.
    ASSERT_TRUE(early({"--space-watch", path("spaces.log"), "--mc-watch"}));
    EXPECT_TRUE(logLines(path("spaces.log")).value(0).startsWith("current spaces "));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("--mc-watch")));
}

TEST_F(InspectionDispatchTest, ModesGoInTheirFixedOrder)
{
    // The probe comes after the dump, the watches before it, "--switch" last.
    ASSERT_TRUE(early({"--status-probe", path("probe.log"), "--switch", "3", "--ax-dump", path("ax.log"), "--now"}));
    EXPECT_TRUE(QFile::exists(path("ax.log")));
    EXPECT_FALSE(QFile::exists(path("probe.log")));
    EXPECT_EQ(deliveries, 0);
    advance(0.1);
    EXPECT_EQ(exits, std::vector<int>{0});

    exits.clear();
    ASSERT_TRUE(early({"--ax-dump", path("ax2.log"), "--mc-watch", path("mc.log")}));
    EXPECT_TRUE(QFile::exists(path("mc.log")));
    EXPECT_FALSE(QFile::exists(path("ax2.log")));
}

TEST_F(InspectionDispatchTest, DiagnoseWinsOverTheInspectionModes)
{
    ASSERT_TRUE(early({"--mc-watch", path("mc.log"), "--diagnose"}));
    EXPECT_TRUE(printed.startsWith("Tessaroom diagnostics\n"));
    EXPECT_FALSE(QFile::exists(path("mc.log")));
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(InspectionDispatchTest, NowRightAfterTheDumpIsItsLogPath)
{
    // The log path is relative: keep the dump's folder current while it runs.
    struct CurrentFolder {
        QString previous = QDir::currentPath();
        ~CurrentFolder() { QDir::setCurrent(previous); }
    } restore;
    ASSERT_TRUE(QDir::setCurrent(home()));
    ASSERT_TRUE(early({"--ax-dump", "--now", "--app", "com.example.notes"}));
    const QStringList lines = logLines(path("--now"));
    ASSERT_FALSE(lines.isEmpty());
    // The argument also stands in the list, so the dump does not wait.
    EXPECT_EQ(lines[0], "trusted=true app=com.example.notes depth=7 screens=[(0.0, 0.0, 1512.0, 982.0)]");
    advance(0.1);
    EXPECT_EQ(logLines(path("--now")).last(), "done: 2 elements");
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(InspectionDispatchTest, WithoutAModeTheLaunchGoesOn)
{
    EXPECT_FALSE(early({"--ax-dump"}));
    EXPECT_FALSE(early({"--now", "--depth", "3", "--space-watch"}));
    advance(11);
    EXPECT_TRUE(exits.empty());
    EXPECT_TRUE(printed.isEmpty());
}

} // namespace
