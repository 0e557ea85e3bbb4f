#include "RunningCopies.h"

#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>

#include <csignal>
#include <ostream>
#include <string>

namespace {

// How far the offer got when the signal came.
struct Interruption {
    const char* name;
    // "question" or "move" (see the copy's program).
    const char* stage;
    int signal;
};

void PrintTo(const Interruption& interruption, std::ostream* out)
{
    *out << interruption.name;
}

class QuitDuringMoveTest : public RunningCopiesTest, public ::testing::WithParamInterface<Interruption> {};

// --- a quit request while the move to Applications is offered ---

TEST_P(QuitDuringMoveTest, IsNoAnswerAndNothingIsMovedOrRelaunched)
{
    const Interruption& when = GetParam();
    const bool question = std::string(when.stage) == "question";
    // A copy tool that runs until it is ended, and says where it runs.
    const QString tool = home() + QStringLiteral("/ditto");
    QFile script(tool);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho $$ > \"$0.running\"\nexec tail -f /dev/null\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // The question is a real dialog, on a platform that can show one.
    if (question) {
        adjust = [](QProcessEnvironment& environment) {
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("minimal"));
        };
    }

    QProcess& copy = start({QString::fromLatin1(when.stage), tool}, QStringLiteral("state"),
                           QStringLiteral(TESSAROOM_MOVE_OFFER_COPY));
    const QString running = tool + QStringLiteral(".running");
    if (question) {
        ASSERT_TRUE(waitForLine(copy, "asking"));
    } else {
        ASSERT_TRUE(waitUntil(copy, [&] { return QFileInfo(running).size() > 0; }));
        // While the copy waits for it, so before it can end.
        QFile toolPid(running);
        ASSERT_TRUE(toolPid.open(QIODevice::ReadOnly));
        ASSERT_TRUE(adopt(toolPid.readAll().trimmed().toLongLong()));
    }
    ASSERT_TRUE(signal(copy, when.signal));
    ASSERT_TRUE(copy.waitForFinished(generous));

    EXPECT_EQ(copy.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(copy.exitCode(), 0);
    EXPECT_EQ(copy.readAllStandardOutput(), "relaunches 0\n");
    const QString updates = log(QStringLiteral("logs/updates.log"));
    EXPECT_FALSE(updates.contains(QStringLiteral("moved from"))) << qPrintable(updates);
    EXPECT_TRUE(updates.contains(question ? QStringLiteral("the move to Applications was declined")
                                          : QStringLiteral("move to Applications failed: the move was cut short")))
        << qPrintable(updates);
    EXPECT_FALSE(QFileInfo::exists(home() + QStringLiteral("/Applications/Tessaroom.app")));
}

INSTANTIATE_TEST_SUITE_P(Signals, QuitDuringMoveTest,
                         ::testing::Values(Interruption{"termDuringTheQuestion", "question", SIGTERM},
                                           Interruption{"intDuringTheQuestion", "question", SIGINT},
                                           Interruption{"hupDuringTheQuestion", "question", SIGHUP},
                                           Interruption{"termDuringTheMove", "move", SIGTERM}),
                         [](const ::testing::TestParamInfo<Interruption>& when) { return std::string(when.param.name); });

// --- a quit request while a command-line update runs ---

class QuitDuringUpdateTest : public RunningCopiesTest {};

TEST_F(QuitDuringUpdateTest, SaysWhichStepWasCutShortAndExitsOne)
{
    // A feed server that takes the request and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    adjust = [port = silent.serverPort()](QProcessEnvironment& environment) {
        environment.insert(QStringLiteral("TESSAROOM_UPDATE_FEED"),
                           QStringLiteral("http://127.0.0.1:%1/update.json").arg(port));
    };
    QProcess& command = start({QStringLiteral("--check-update"), QStringLiteral("--download"), QStringLiteral("--install")});
    ASSERT_TRUE(silent.waitForNewConnection(generous));
    ASSERT_TRUE(signal(command, SIGTERM));
    ASSERT_TRUE(command.waitForFinished(generous));
    EXPECT_EQ(command.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(command.exitCode(), 1);
    EXPECT_EQ(command.readAllStandardOutput(), "check: cut short: Tessaroom is quitting\n");
}

} // namespace
