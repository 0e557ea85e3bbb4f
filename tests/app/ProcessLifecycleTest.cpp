#include "StoredNames.h"

#include "engine/SpaceEngine.h"
#include "platform/PreferenceDomain.h"
#include "store/SpaceStore.h"
#include "support/AppProcesses.h"
#include "support/PlatformTest.h"

#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <ostream>

namespace {

// Real processes of the app in this test's home, which this process shares:
// it reads the names store from disk and writes it as another copy would.
class RealProcessTest : public PlatformTest, protected AppProcesses {
protected:
    RealProcessTest()
        : AppProcesses(QStringLiteral(TESSAROOM_APP), PlatformTest::home())
    {
    }

    using PlatformTest::home;

    // The default world is the same in every process, so its ids hold here.
    static qint64 managedID(qint64 number) { return SpaceEngine::shared().desktopWithNumber(number)->managedID(); }

    // Names a desktop from this process and writes the store at once.
    static void rename(qint64 number, const QString& name)
    {
        SpaceStore::shared().change(managedID(number), [&](SpaceMeta& meta) { meta.name = name; });
        SpaceStore::shared().flushNow();
    }
};

// The user's names and time as a running copy saved them.
class SavedDataTest : public RealProcessTest {
protected:
    SavedDataTest()
    {
        SpaceStore::shared().change(managedID(2), [](SpaceMeta& meta) {
            meta.name = QStringLiteral("Mail");
            meta.seconds = 100;
        });
        SpaceStore::shared().flushNow();
        saved = storedNamesDocument();
    }

    std::optional<QByteArray> saved;
};

// One developer mode: how to tell it is under way, and how it ends.
struct ModeRun {
    const char* name;
    QStringList arguments;
    // A file the mode writes once it runs (under the home), or text on its
    // output; neither: the mode is over too soon to act during it.
    QString readyFile;
    QByteArray readyText;
    // Ends by itself (0) or by this signal.
    int signal = 0;
    QProcess::ProcessChannel readyChannel = QProcess::StandardOutput;
};

void PrintTo(const ModeRun& run, std::ostream* out)
{
    *out << run.name;
}

class ModeProcessTest : public SavedDataTest, public ::testing::WithParamInterface<ModeRun> {};

// --- developer modes beside the user's data ---

TEST_P(ModeProcessTest, TheNamesStoreIsUntouchedAndARenameMadeMeanwhileSurvives)
{
    const ModeRun& mode = GetParam();
    QStringList arguments = mode.arguments;
    arguments.replaceInStrings(QStringLiteral("HOME"), home());
    QProcess& running = start(arguments);

    std::optional<QByteArray> expected = saved;
    if (!mode.readyFile.isEmpty() || !mode.readyText.isEmpty()) {
        const QString file = QString(mode.readyFile).replace(QStringLiteral("HOME"), home());
        if (file.isEmpty()) {
            ASSERT_TRUE(waitForLine(running, mode.readyText, mode.readyChannel));
        } else {
            ASSERT_TRUE(waitUntil(running, [&] { return QFileInfo(file).size() > 0; }));
        }
        ASSERT_EQ(running.state(), QProcess::Running);
        // The user renames a desktop while the mode runs.
        rename(3, QStringLiteral("Focus"));
        expected = storedNamesDocument();
        ASSERT_NE(expected, saved);
    }
    if (mode.signal) {
        ASSERT_TRUE(signal(running, mode.signal));
    }
    ASSERT_TRUE(endedNormally(running)) << running.readAllStandardError().toStdString();
    if (mode.signal) {
        EXPECT_EQ(running.exitCode(), 0);
    }
    EXPECT_EQ(storedNamesDocument(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryMode, ModeProcessTest,
    ::testing::Values(
        ModeRun{"diagnose", {"--diagnose"}, {}, {}},
        ModeRun{"checkUpdate", {"--check-update"}, {}, {}},
        ModeRun{"enableShortcuts", {"--enable-shortcuts"}, {}, {}},
        ModeRun{"mcWatch", {"--mc-watch", "HOME/mc.log"}, "HOME/mc.log", {}, SIGTERM},
        ModeRun{"spaceWatch", {"--space-watch", "HOME/space.log"}, "HOME/space.log", {}, SIGINT},
        // Dumps without waiting for Mission Control, once the pointer it
        // moved has settled (0.7 s), and ends.
        ModeRun{"axDump", {"--ax-dump", "HOME/ax.log", "--now", "--mouse", "400,300"}, "HOME/ax.log", {}},
        ModeRun{"statusProbe", {"--status-probe", "HOME/probe.log"}, "HOME/probe.log", {}, SIGTERM},
        ModeRun{"render", {"--render", "HOME/render"}, {}, {}},
        ModeRun{"capture", {"--capture", "HOME/capture"}, {}, "wrote ", SIGHUP},
        ModeRun{"selftest", {"--selftest"}, {}, "selftest: start", SIGTERM},
        ModeRun{"switchInThisProcess", {"--switch", "2"}, {}, "switching to Desktop 2", SIGTERM},
        // Ends the way a session does, where its names would be saved.
        ModeRun{"sample", {"--sample"}, {}, "launched", SIGTERM, QProcess::StandardError}),
    [](const ::testing::TestParamInfo<ModeRun>& run) { return std::string(run.param.name); });

TEST_F(SavedDataTest, ASwitchHandedToTheRunningCopyLeavesTheStoreAsItWas)
{
    QProcess& running = start({QStringLiteral("--run-for"), QStringLiteral("60")});
    ASSERT_TRUE(waitForLaunch(running));

    // A desktop the running copy does not have: it only toasts, so its own
    // writes stay out of the picture.
    QProcess& handing = start({QStringLiteral("--switch"), QStringLiteral("99")});
    ASSERT_TRUE(endedNormally(handing));
    EXPECT_TRUE(handing.readAllStandardOutput().startsWith("asked Tessaroom (pid "));
    EXPECT_EQ(handing.exitCode(), 0);
    EXPECT_EQ(storedNamesDocument(), saved);

    EXPECT_TRUE(stop(running));
}

// --- ending by a signal ---

class SignalProcessTest : public SavedDataTest, public ::testing::WithParamInterface<int> {};

TEST_P(SignalProcessTest, TheRunningCopySavesItsTimeAndNamesAndExitsZero)
{
    QProcess& running = start({QStringLiteral("--run-for"), QStringLiteral("60")});
    ASSERT_TRUE(waitForLaunch(running));

    // A link moves the running copy to desktop 2; the switch saves desktop 1's
    // time (with what a sweep counted on desktop 2 before that save ran), and
    // from then on desktop 2's time is counted in memory only.
    QProcess& link = start({QStringLiteral("tessaroom://switch/2")});
    ASSERT_TRUE(endedNormally(link));
    ASSERT_EQ(link.exitCode(), 0);
    ASSERT_TRUE(waitUntil(running, [&] { return storedMeta(managedID(1)).seconds > 0; }));
    const double mailBefore = storedMeta(managedID(2)).seconds;
    ASSERT_GE(mailBefore, 100);

    ASSERT_TRUE(signal(running, GetParam()));
    ASSERT_TRUE(endedNormally(running)) << running.readAllStandardError().toStdString();
    EXPECT_EQ(running.exitCode(), 0);
    const SpaceMeta mail = storedMeta(managedID(2));
    EXPECT_EQ(mail.name, QStringLiteral("Mail"));
    EXPECT_GT(mail.seconds, mailBefore);
}

INSTANTIATE_TEST_SUITE_P(TermIntHup, SignalProcessTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& signal) {
                             return std::string(signal.param == SIGTERM ? "TERM"
                                                : signal.param == SIGINT ? "INT"
                                                                         : "HUP");
                         });

TEST_F(SavedDataTest, ASignalWhileTheCopyEndsIsAbsorbedUntilTheProcessIsGone)
{
    QProcess& running = start({QStringLiteral("--run-for"), QStringLiteral("60")});
    ASSERT_TRUE(waitForLaunch(running));

    // A session's logout: SIGTERM, then SIGHUP at any moment of the end,
    // down to the last static object.
    ASSERT_TRUE(signal(running, SIGTERM));
    for (int slice = 0; slice < generous && !running.waitForFinished(1); ++slice)
        signalUnlessEnded(running, SIGHUP);
    ASSERT_EQ(running.state(), QProcess::NotRunning);
    EXPECT_EQ(running.exitStatus(), QProcess::NormalExit) << running.readAllStandardError().toStdString();
    EXPECT_EQ(running.exitCode(), 0);
    EXPECT_EQ(storedMeta(managedID(2)).name, QStringLiteral("Mail"));
    EXPECT_GT(storedMeta(managedID(1)).seconds, 0);
}

// --- the self test on a fresh home ---

TEST_F(RealProcessTest, TheFirstSelfTestOnAFreshHomePassesAllTenChecks)
{
    QProcess& selftest = start({QStringLiteral("--selftest")});
    ASSERT_TRUE(endedNormally(selftest));
    const QString printed = QString::fromUtf8(selftest.readAllStandardOutput());
    EXPECT_EQ(selftest.exitCode(), 0) << qPrintable(printed);
    EXPECT_EQ(printed.count(QStringLiteral("\nPASS ")), 10) << qPrintable(printed);
    EXPECT_FALSE(printed.contains(QStringLiteral("FAIL "))) << qPrintable(printed);
    EXPECT_TRUE(printed.endsWith(QStringLiteral("selftest: all passed\n"))) << qPrintable(printed);
    // Its switches and tracked time stayed in memory.
    EXPECT_EQ(storedNamesDocument(), std::nullopt);
}

} // namespace
