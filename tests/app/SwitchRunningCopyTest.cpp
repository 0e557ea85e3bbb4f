#include "RunningCopies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <ostream>

#include <sys/stat.h>

using SwitchRunningCopyTest = RunningCopiesTest;

// --- a second process hands "--switch" to the running copy ---

TEST_F(SwitchRunningCopyTest, TheSecondProcessAsksTheRunningCopyAndExits)
{
    QProcess& running = start({});
    ASSERT_TRUE(waitForLaunch(running));
    const qint64 pid = running.processId();

    EXPECT_EQ(askToSwitch(), asked(pid));
    // The running copy still owns the socket: a second ask reaches it too.
    EXPECT_EQ(askToSwitch(), asked(pid));
    EXPECT_TRUE(stop(running));
}

// --- a second plain launch retires the running copy ---

TEST_F(SwitchRunningCopyTest, ASecondLaunchRetiresTheRunningCopyWhichQuitsTheNormalWay)
{
    QProcess& first = start({});
    ASSERT_TRUE(waitForLaunch(first));
    const qint64 firstPid = first.processId();
    QProcess& second = start({});
    ASSERT_TRUE(waitForLaunch(second));
    const qint64 secondPid = second.processId();
    // The second went on only once the first had ended.
    EXPECT_TRUE(ended(firstPid));
    ASSERT_TRUE(first.waitForFinished(generous));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    const QString retiring = QStringLiteral("retiring running copy pid %1 at %2\n").arg(firstPid).arg(TESSAROOM_APP);
    EXPECT_TRUE(switchesLog().contains(retiring)) << qPrintable(switchesLog());
    EXPECT_EQ(switchesLog().count(QStringLiteral("retiring running copy")), 1);
    // Its tracked time reached the disk on its way out.
    EXPECT_GT(storedSeconds(), 0);

    // The second is the only copy left, and links reach it.
    EXPECT_EQ(askToSwitch(), asked(secondPid));
    EXPECT_TRUE(waitUntil(second, [&] { return switchesLog().contains(QStringLiteral("link [")); }));
    EXPECT_TRUE(stop(second));
}

TEST_F(SwitchRunningCopyTest, TheRetiredCopysPendingRenameIsSavedAndKept)
{
    QProcess& first
        = start({QStringLiteral("Pending Rename")}, QStringLiteral("state"), QStringLiteral(TESSAROOM_PENDING_RENAME_COPY));
    ASSERT_TRUE(waitForLine(first, "listening"));
    const qint64 firstPid = first.processId();
    EXPECT_FALSE(storedName(QStringLiteral("Pending Rename")));

    QProcess& second = start({});
    ASSERT_TRUE(waitForLaunch(second));
    ASSERT_TRUE(first.waitForFinished(generous));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_TRUE(switchesLog().contains(QStringLiteral("retiring running copy pid %1 at ").arg(firstPid)));
    EXPECT_TRUE(storedName(QStringLiteral("Pending Rename")));
    // The second copy's own saves, to its last on quitting, keep it.
    EXPECT_TRUE(stop(second));
    EXPECT_TRUE(storedName(QStringLiteral("Pending Rename")));
}

TEST_F(SwitchRunningCopyTest, ACopyThatDoesNotAnswerIsLeftAloneAndTheNewcomerQuits)
{
    QProcess& first = start({});
    ASSERT_TRUE(waitForLaunch(first));
    const qint64 firstPid = first.processId();
    // Stopped: it holds the lock, its socket takes connections, and nothing
    // answers. Silence is no answer as a copy: it is never asked to quit or
    // killed, and the newcomer goes away, saying why.
    ASSERT_TRUE(signal(first, SIGSTOP));
    QProcess& second = start({});
    ASSERT_TRUE(second.waitForFinished(generous)) << qPrintable(switchesLog());
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains("Tessaroom is running already and could not be retired: "));
    EXPECT_TRUE(switchesLog().contains(
        QStringLiteral("another copy runs and cannot be retired (the process on the link socket (pid %1) did not answer "
                       "as Tessaroom); this copy quits")
            .arg(firstPid)))
        << qPrintable(switchesLog());
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("retiring")));
    EXPECT_FALSE(ended(firstPid));

    ASSERT_TRUE(signal(first, SIGCONT));
    EXPECT_EQ(askToSwitch(), asked(firstPid));
    EXPECT_TRUE(stop(first));
}

// --- a copy that is slow to answer ---

TEST_F(SwitchRunningCopyTest, ASwitchWaitsForACopyPausedForAMomentAndNeverSwitchesItself)
{
    QProcess& running = start({});
    ASSERT_TRUE(waitForLaunch(running));
    const qint64 pid = running.processId();
    // Busy or swapped out for a second and a half.
    ASSERT_TRUE(signal(running, SIGSTOP));
    QProcess& asker = start({QStringLiteral("--switch"), QStringLiteral("3")}, QStringLiteral("asker-state"));
    asker.waitForFinished(1500);
    ASSERT_TRUE(signal(running, SIGCONT));
    ASSERT_TRUE(asker.waitForFinished(generous));
    EXPECT_EQ(QString::fromUtf8(asker.readAllStandardOutput()), asked(pid));
    EXPECT_EQ(asker.exitCode(), 0);
    EXPECT_TRUE(waitUntil(running, [&] { return switchesLog().contains(QStringLiteral("'Desktop 3'")); }))
        << qPrintable(switchesLog());
    EXPECT_FALSE(switchesLog(QStringLiteral("asker-state")).contains(QStringLiteral("Desktop 3")));
    EXPECT_TRUE(stop(running));
}

TEST_F(SwitchRunningCopyTest, WhileAnotherProcessHoldsTheCopyLockASwitchIsNeverDoneHere)
{
    // A copy on its way: it holds the lock and does not listen yet. Its
    // child ends once the test closes its input.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(copyLockPath()).path()));
    QProcess& starting = start({copyLockPath(), QStringLiteral("-c"), QStringLiteral("echo held >&2; exec cat")},
                               QStringLiteral("state"), QStringLiteral("flock"));
    mayOutlive(starting);
    ASSERT_TRUE(waitForLine(starting, "held"));
    QProcess& asker = start({QStringLiteral("--switch"), QStringLiteral("3")}, QStringLiteral("asker-state"));
    ASSERT_TRUE(asker.waitForFinished(generous));
    EXPECT_EQ(asker.exitCode(), 1);
    const QString printed = QString::fromUtf8(asker.readAllStandardOutput());
    EXPECT_TRUE(printed.startsWith(QStringLiteral("could not deliver the link: process %1 holds the copy lock %2, "
                                                  "and the link folder %3/tessaroom does not exist; no link was taken "
                                                  "within 5 s\n")
                                       .arg(starting.processId())
                                       .arg(copyLockPath(), home())))
        << qPrintable(printed);
    EXPECT_TRUE(printed.endsWith(QStringLiteral("\nTessaroom did not take tessaroom://switch/3\n"))) << qPrintable(printed);
    EXPECT_FALSE(switchesLog(QStringLiteral("asker-state")).contains(QStringLiteral("Desktop 3")));
}

// --- a sender that gives up ---

TEST_F(SwitchRunningCopyTest, ALinkWhoseSenderGaveUpIsNeverFollowed)
{
    QProcess& running = start({});
    ASSERT_TRUE(waitForLaunch(running));
    const qint64 pid = running.processId();
    ASSERT_TRUE(signal(running, SIGSTOP));
    QProcess& sender = start({QStringLiteral("tessaroom://switch/2")}, QStringLiteral("sender-state"));
    ASSERT_TRUE(sender.waitForFinished(generous));
    EXPECT_EQ(sender.exitCode(), 1);
    const QString told = QString::fromUtf8(sender.readAllStandardError());
    EXPECT_TRUE(told.contains(QStringLiteral("did not take tessaroom://switch/2\n"))) << qPrintable(told);
    ASSERT_TRUE(signal(running, SIGCONT));
    // The link sent next is taken and followed; the one given up on never is.
    EXPECT_EQ(askToSwitch(), asked(pid));
    EXPECT_TRUE(waitUntil(running, [&] { return switchesLog().contains(QStringLiteral("'Desktop 3'")); }))
        << qPrintable(switchesLog());
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("'Desktop 2'"))) << qPrintable(switchesLog());
    EXPECT_TRUE(stop(running));
}

// --- what the copy reads ---

TEST_F(SwitchRunningCopyTest, EveryNameASwitchCanSendIsReadAndALinkNotUnderstoodIsNotTaken)
{
    QProcess& running = start({});
    ASSERT_TRUE(waitForLaunch(running));
    const qint64 pid = running.processId();
    // 990 characters, a third of them escaped three times over.
    const QString name = QString(330, QLatin1Char('%')) + QString(660, QLatin1Char('n'));
    QProcess& asker = start({QStringLiteral("--switch"), name}, QStringLiteral("asker-state"));
    ASSERT_TRUE(asker.waitForFinished(generous));
    EXPECT_EQ(asker.exitCode(), 0);
    EXPECT_TRUE(asker.readAllStandardOutput().startsWith(QStringLiteral("asked Tessaroom (pid %1) to open ").arg(pid).toUtf8()));
    EXPECT_TRUE(waitUntil(running, [&] { return switchesLog().contains(QStringLiteral("link: No desktop matches")); }))
        << qPrintable(switchesLog());
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("not understood")));

    QProcess& sender = start({QStringLiteral("tessaroom://nowhere")}, QStringLiteral("sender-state"));
    ASSERT_TRUE(sender.waitForFinished(generous));
    EXPECT_EQ(sender.exitCode(), 1);
    const QString told = QString::fromUtf8(sender.readAllStandardError());
    EXPECT_TRUE(told.contains(QStringLiteral("could not deliver the link: Tessaroom doesn't know the link tessaroom://nowhere\n")))
        << qPrintable(told);
    EXPECT_TRUE(told.contains(QStringLiteral("Tessaroom (pid %1) did not take tessaroom://nowhere\n").arg(pid)))
        << qPrintable(told);
    EXPECT_TRUE(stop(running));
}

// --- modes run beside the running copy and leave its socket alone ---

// A late mode in a short form; "HOME" stands for the test's home.
struct LateMode {
    const char* name;
    QStringList arguments;
    // Ends by itself, or is ended with SIGTERM once it has launched: by then
    // it has done all it could do to the running copy's links.
    bool endsByItself = false;
};

void PrintTo(const LateMode& mode, std::ostream* out)
{
    *out << mode.name;
}

class ModeBesideTheRunningCopyTest : public SwitchRunningCopyTest, public ::testing::WithParamInterface<LateMode> {};

TEST_P(ModeBesideTheRunningCopyTest, ALinkStillReachesTheRunningCopyAfterwards)
{
    QStringList mode = GetParam().arguments;
    for (QString& argument : mode)
        argument.replace(QStringLiteral("HOME"), home());
    QProcess& running = start({});
    ASSERT_TRUE(waitForLaunch(running));
    const qint64 pid = running.processId();
    // The running copy registered itself as the links' opener; a mode beside
    // it must not register again (it may be another build, elsewhere).
    const QString entry = home() + QStringLiteral("/data/applications/tessaroom-links.desktop");
    ASSERT_TRUE(QFile::exists(entry));
    ASSERT_TRUE(QFile::remove(entry));
    QProcess& beside = start(mode, QStringLiteral("mode-state"));
    if (GetParam().endsByItself) {
        ASSERT_TRUE(beside.waitForFinished(generous));
        EXPECT_EQ(beside.exitCode(), 0) << qPrintable(beside.readAllStandardError());
    } else {
        ASSERT_TRUE(waitForLaunch(beside));
        EXPECT_TRUE(stop(beside));
    }
    EXPECT_FALSE(switchesLog().contains(QStringLiteral("retiring")));
    EXPECT_FALSE(QFile::exists(entry)) << "the mode registered itself for links";

    EXPECT_EQ(askToSwitch(), asked(pid));
    EXPECT_TRUE(waitUntil(running, [&] { return switchesLog().contains(QStringLiteral("link [")); }))
        << qPrintable(switchesLog());
    EXPECT_TRUE(stop(running));
}

INSTANTIATE_TEST_SUITE_P(
    LateModes, ModeBesideTheRunningCopyTest,
    ::testing::Values(
        LateMode{"render", {QStringLiteral("--render"), QStringLiteral("HOME/renders")}, true},
        LateMode{"capture", {QStringLiteral("--capture"), QStringLiteral("HOME/captures")}},
        LateMode{"selftest", {QStringLiteral("--selftest")}},
        LateMode{"sample", {QStringLiteral("--sample")}}),
    [](const ::testing::TestParamInfo<LateMode>& mode) { return std::string(mode.param.name); });

TEST_F(SwitchRunningCopyTest, AnInProcessSwitchThatWasRunningFirstLeavesTheNewCopysSocket)
{
    // Without a running copy "--switch" switches in its own process; a copy
    // starts meanwhile, and the switch is ended once that copy has launched.
    QProcess& switching = start({QStringLiteral("--switch"), QStringLiteral("2")}, QStringLiteral("mode-state"));
    ASSERT_TRUE(waitForLine(switching, "switching to Desktop 2", QProcess::StandardOutput));
    QProcess& running = start({});
    ASSERT_TRUE(waitForLaunch(running));
    const qint64 pid = running.processId();
    EXPECT_TRUE(stop(switching));

    EXPECT_EQ(askToSwitch(), asked(pid));
    EXPECT_TRUE(waitUntil(running, [&] { return switchesLog().contains(QStringLiteral("link [")); }));
    EXPECT_TRUE(stop(running));
}
