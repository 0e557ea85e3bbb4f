#include "RunningCopies.h"

#include <QDir>
#include <QFileInfo>

namespace {

using RetireTest = RunningCopiesTest;

// --- a new copy on its way ---

TEST_F(RetireTest, WhileANewCopyIsOnItsWaySendersWaitForItAndNeverActAlone)
{
    // A newcomer that asked the copy to quit and does not listen yet.
    const QString coming = home() + QStringLiteral("/config/tessaroom/coming.lock");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(coming).path()));
    QProcess& newcomer = start({QStringLiteral("-c"),
                                QStringLiteral("exec 9>>\"$0\" && flock -s 9 && echo held >&2 && exec cat"), coming},
                               QStringLiteral("state"), QStringLiteral("/bin/sh"));
    mayOutlive(newcomer);
    ASSERT_TRUE(waitForLine(newcomer, "held"));
    QProcess& asker = start({QStringLiteral("--switch"), QStringLiteral("3")}, QStringLiteral("asker-state"));
    QProcess& sender = start({QStringLiteral("tessaroom://switch/2")}, QStringLiteral("sender-state"));
    ASSERT_TRUE(asker.waitForFinished(generous) && sender.waitForFinished(generous));
    const QString fromAsker = QString::fromUtf8(asker.readAllStandardOutput());
    const QString fromSender = QString::fromUtf8(sender.readAllStandardError());
    EXPECT_EQ(asker.exitCode(), 1);
    EXPECT_TRUE(fromAsker.startsWith(QStringLiteral("could not deliver the link: a new copy of Tessaroom")))
        << qPrintable(fromAsker);
    EXPECT_TRUE(fromAsker.contains(QStringLiteral(" is on its way (it holds ") + coming)) << qPrintable(fromAsker);
    EXPECT_EQ(sender.exitCode(), 1);
    EXPECT_TRUE(fromSender.contains(QStringLiteral("Tessaroom did not take tessaroom://switch/2"))) << qPrintable(fromSender);
    EXPECT_FALSE(fromSender.contains(QStringLiteral("launched")));

    // Once a copy listens, links reach it.
    QProcess& copy = start({});
    ASSERT_TRUE(waitForLaunch(copy));
    EXPECT_EQ(askToSwitch(), asked(copy.processId()));
    EXPECT_TRUE(stop(copy));
}

// --- a copy that cannot be reached ---

TEST_F(RetireTest, ASenderThatCannotReachTheRunningCopySaysWhatItFound)
{
    QProcess& running = start({});
    ASSERT_TRUE(waitForLaunch(running));
    // Another session, in a working folder of its own: its runtime folder,
    // relative, is no runtime folder.
    const QString temporary = home() + QStringLiteral("/tmp");
    const QString work = home() + QStringLiteral("/work");
    ASSERT_TRUE(QDir().mkpath(temporary) && QDir().mkpath(work));
    adjust = [temporary](QProcessEnvironment& environment) {
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("relrun"));
        environment.insert(QStringLiteral("TMPDIR"), temporary);
    };
    QProcess& asker = start({QStringLiteral("-c"), QStringLiteral("cd \"$0\" && exec \"$@\""), work,
                             QStringLiteral(TESSAROOM_APP), QStringLiteral("--switch"), QStringLiteral("3")},
                            QStringLiteral("asker-state"), QStringLiteral("/bin/sh"));
    ASSERT_TRUE(asker.waitForFinished(generous));
    const QString told = QString::fromUtf8(asker.readAllStandardOutput());
    EXPECT_EQ(asker.exitCode(), 1);
    EXPECT_TRUE(told.contains(QStringLiteral("Tessaroom (pid %1) holds the copy lock %2, and the link folder %3 does not exist")
                                  .arg(running.processId())
                                  .arg(copyLockPath(), temporary + QStringLiteral("/tessaroom-%1").arg(::getuid()))))
        << qPrintable(told);
    EXPECT_FALSE(QFileInfo::exists(work + QStringLiteral("/relrun")));

    // A link given to "--switch" is refused, not sent unannounced.
    adjust = {};
    QProcess& linked = start({QStringLiteral("--switch"), QStringLiteral("tessaroom://next")}, QStringLiteral("asker-state"));
    ASSERT_TRUE(linked.waitForFinished(generous));
    EXPECT_EQ(linked.exitCode(), 2);
    EXPECT_TRUE(linked.readAllStandardError().contains("--switch takes a desktop number or name, not a link"));
    EXPECT_TRUE(stop(running));
}

} // namespace
