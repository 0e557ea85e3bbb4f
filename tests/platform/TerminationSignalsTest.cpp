#include "platform/Application.h"
#include "platform/TerminationSignals.h"
#include "support/PlatformTest.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>

namespace {

using namespace platform;

class EndRecorder final : public ApplicationDelegate {
public:
    void applicationDidFinishLaunching() override {}
    bool applicationShouldHandleReopen(bool) override { return false; }
    void applicationWillTerminate() override { ++terminations; }
    void applicationOpenURLs(const QList<QString>&) override {}
    int terminations = 0;
};

class TerminationSignalsTest : public PlatformTest, public ::testing::WithParamInterface<int> {
protected:
    TerminationSignalsTest() { Application::setDelegate(&delegate); }
    ~TerminationSignalsTest() override { Application::setDelegate(nullptr); }

    // Runs the main loop's pending work until the app ends (the pipe is
    // readable at once after raise(), so a few turns do).
    void runLoopUntilTerminating()
    {
        for (int turn = 0; turn < 1000 && !Application::isTerminating(); ++turn)
            QCoreApplication::processEvents();
    }

    static void (*handlerOf(int signal))(int)
    {
        struct sigaction current = {};
        ::sigaction(signal, nullptr, &current);
        return current.sa_handler;
    }

    EndRecorder delegate;
};

// --- a signal ends the app as Quit does ---

TEST_P(TerminationSignalsTest, TheSignalEndsTheAppThroughItsNormalTerminationInTheMainLoop)
{
    const TerminationSignals termination;
    ASSERT_TRUE(termination.isInstalled());
    // The process is still here, and the handler itself did no work.
    ASSERT_EQ(std::raise(GetParam()), 0);
    EXPECT_EQ(delegate.terminations, 0);
    EXPECT_FALSE(Application::isTerminating());

    runLoopUntilTerminating();
    EXPECT_EQ(delegate.terminations, 1);
    EXPECT_TRUE(Application::isTerminating());
}

INSTANTIATE_TEST_SUITE_P(TermIntHup, TerminationSignalsTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST_F(TerminationSignalsTest, SignalsThatFollowTheFirstDoNothingMore)
{
    const TerminationSignals termination;
    // A session's logout sends SIGHUP right after SIGTERM.
    std::raise(SIGTERM);
    std::raise(SIGHUP);
    runLoopUntilTerminating();
    std::raise(SIGINT);
    for (int turn = 0; turn < 10; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(delegate.terminations, 1);
}

TEST_F(TerminationSignalsTest, TheEarlierHandlersComeBackAfterwards)
{
    std::signal(SIGHUP, SIG_IGN);
    {
        const TerminationSignals termination;
        EXPECT_NE(handlerOf(SIGHUP), SIG_IGN);
        EXPECT_NE(handlerOf(SIGTERM), SIG_DFL);
        EXPECT_NE(handlerOf(SIGINT), SIG_DFL);
    }
    EXPECT_EQ(handlerOf(SIGHUP), SIG_IGN);
    EXPECT_EQ(handlerOf(SIGTERM), SIG_DFL);
    EXPECT_EQ(handlerOf(SIGINT), SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    EXPECT_EQ(delegate.terminations, 0);
}

} // namespace
