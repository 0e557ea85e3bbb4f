#include "RunningCopies.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <vector>

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
    // A lock alone never says that Tessaroom holds it.
    EXPECT_TRUE(fromAsker.startsWith(QStringLiteral("could not deliver the link: a new copy is on its way (process ")))
        << qPrintable(fromAsker);
    EXPECT_TRUE(fromAsker.contains(QStringLiteral(" holds ") + coming + QStringLiteral("), and "))) << qPrintable(fromAsker);
    EXPECT_EQ(sender.exitCode(), 1);
    EXPECT_TRUE(fromSender.contains(QStringLiteral("Tessaroom did not take tessaroom://switch/2"))) << qPrintable(fromSender);
    EXPECT_FALSE(fromSender.contains(QStringLiteral("launched")));

    // Once a copy listens, links reach it.
    QProcess& copy = start({});
    ASSERT_TRUE(waitForLaunch(copy));
    EXPECT_EQ(askToSwitch(), asked(copy.processId()));
    EXPECT_TRUE(stop(copy));
}

// --- senders all through a retire ---

TEST_F(RetireTest, SendersAllThroughRetiresReachACopyOrSayWhyAndNeverActAlone)
{
    QProcess* copy = &start({});
    ASSERT_TRUE(waitForLaunch(*copy));
    // Every sender tells what happened: the copy took it, or why not.
    const auto check = [&](QProcess& sender, bool linkSender, const QList<qint64>& copies) {
        const QString said = QString::fromUtf8(sender.readAllStandardOutput() + sender.readAllStandardError());
        EXPECT_FALSE(said.contains(QStringLiteral("switching to")) || said.contains(QStringLiteral("launched")))
            << "a sender acted on its own: " << qPrintable(said);
        if (sender.exitCode() == 0) {
            // A link sender says nothing when the copy took it.
            EXPECT_TRUE(linkSender || said == asked(copies[0]) || said == asked(copies[1])) << qPrintable(said);
        } else {
            EXPECT_EQ(sender.exitCode(), 1) << qPrintable(said);
            EXPECT_TRUE(said.contains(QStringLiteral("could not deliver the link: "))) << qPrintable(said);
        }
    };
    struct Sender {
        QProcess* process;
        bool link;
    };
    int started = 0;
    const auto send = [&] {
        const bool link = started++ % 3 == 2;
        return Sender{&start(link ? QStringList{QStringLiteral("tessaroom://switch/2")}
                                  : QStringList{QStringLiteral("--switch"), QStringLiteral("3")}),
                      link};
    };
    // A folder takes the place where a newcomer marks itself as on its way,
    // in the preferences and in the state folder, before every retire.
    const auto plant = [&] {
        for (const char* coming : {"/config/tessaroom/coming.lock", "/state/tessaroom/coming.lock"}) {
            QFile::remove(home() + QLatin1String(coming));
            ASSERT_TRUE(QDir().mkpath(home() + QLatin1String(coming)));
        }
    };
    // Each newcomer retires the copy before it while three senders run at
    // all times, each replaced as it ends, from before the copy is asked to
    // quit until well after the newcomer listens.
    for (int retire = 0; retire < 5; ++retire) {
        plant();
        QProcess& newcomer = start({});
        const QList<qint64> copies{copy->processId(), newcomer.processId()};
        std::vector<Sender> inFlight{send(), send(), send()};
        QByteArray newcomerSaid;
        std::optional<int> startedByLaunch;
        const QDeadlineTimer bound(generous);
        while (!inFlight.empty() && !bound.hasExpired()) {
            for (auto it = inFlight.begin(); it != inFlight.end();) {
                if (!it->process->waitForFinished(5)) {
                    ++it;
                    continue;
                }
                check(*it->process, it->link, copies);
                it = inFlight.erase(it);
                if (!startedByLaunch || started < *startedByLaunch + 6)
                    it = inFlight.insert(it, send()) + 1;
            }
            newcomer.waitForReadyRead(0);
            newcomerSaid += newcomer.readAllStandardError();
            if (!startedByLaunch && newcomerSaid.contains("launched"))
                startedByLaunch = started;
        }
        // One that switched in its own world, or became the copy, still runs.
        ASSERT_TRUE(inFlight.empty()) << "a sender acted on its own, or a retire took over " << generous << " ms";
        ASSERT_TRUE(startedByLaunch) << newcomerSaid.toStdString();
        ASSERT_TRUE(copy->waitForFinished(generous));
        EXPECT_EQ(copy->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(copy->exitCode(), 0);
        copy = &newcomer;
    }
    EXPECT_EQ(askToSwitch(), asked(copy->processId()));
    EXPECT_TRUE(stop(*copy));
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
    EXPECT_TRUE(told.contains(QStringLiteral("process %1 holds the copy lock %2, and the link folder %3 does not exist")
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
