#include "platform/Accessibility.h"
#include "platform/Bundle.h"
#include "platform/ChildProcess.h"
#include "platform/sim/Bundle.h"
#include "platform/sim/Tools.h"
#include "platform/sim/World.h"
#include "support/PlatformTest.h"

using namespace platform;

class SimToolsTest : public PlatformTest {};

TEST_F(SimToolsTest, UnknownExecutableFailsToLaunchWithItsName)
{
    const auto result = ChildProcess::run("/usr/bin/nonesuch", {}, {});
    ASSERT_TRUE(result.launchError);
    EXPECT_TRUE(result.launchError->contains("nonesuch"));
    EXPECT_FALSE(result.exitStatus);
    EXPECT_TRUE(sim::toolRuns().empty());
}

TEST_F(SimToolsTest, TccutilResetOfThisAppWithdrawsTheGrant)
{
    ASSERT_TRUE(AX::isProcessTrusted());
    ChildProcess::Options options;
    options.captureStandardError = true;
    const auto result = ChildProcess::run(sim::tools::tccutil, {"reset", "Accessibility", "app.tessaroom"}, options);
    EXPECT_TRUE(result.launched());
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_FALSE(AX::isProcessTrusted());
}

TEST_F(SimToolsTest, TccutilRefusesAnotherBundleAndLeavesTheGrant)
{
    ChildProcess::Options options;
    options.captureStandardError = true;
    const auto result = ChildProcess::run(sim::tools::tccutil, {"reset", "Accessibility", "com.other"}, options);
    EXPECT_NE(result.exitStatus, 0);
    EXPECT_TRUE(result.standardError.contains("com.other"));
    EXPECT_TRUE(AX::isProcessTrusted());
}

TEST_F(SimToolsTest, ControlledFailuresReplaceTheTool)
{
    sim::makeToolExit(sim::tools::tccutil, 1, "denied\n");
    ChildProcess::Options options;
    options.captureStandardError = true;
    auto result = ChildProcess::run(sim::tools::tccutil, {"reset", "Accessibility", "app.tessaroom"}, options);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, "denied\n");
    EXPECT_TRUE(AX::isProcessTrusted());

    // Without capture the error output is not handed back.
    result = ChildProcess::run(sim::tools::tccutil, {}, {});
    EXPECT_TRUE(result.standardError.isEmpty());

    sim::failToolLaunch(sim::tools::killall, "not permitted");
    result = ChildProcess::run(sim::tools::killall, {"Dock"}, {});
    EXPECT_EQ(result.launchError, QString("not permitted"));
}

TEST_F(SimToolsTest, ToolNotWaitedForHasNoExitStatusButRuns)
{
    ChildProcess::Options options;
    options.wait = false;
    const auto result = ChildProcess::run(sim::tools::killall, {"Dock"}, options);
    EXPECT_TRUE(result.launched());
    EXPECT_FALSE(result.exitStatus);
    ASSERT_EQ(sim::toolRuns().size(), 1u);
    EXPECT_EQ(sim::toolRuns()[0].arguments, QStringList{"Dock"});
    EXPECT_FALSE(sim::toolRuns()[0].waited);

    EXPECT_EQ(ChildProcess::run(sim::tools::killall, {"Finder"}, {}).exitStatus, 1);
}

TEST_F(SimToolsTest, MainBundleDescribesThisApp)
{
    EXPECT_EQ(Bundle::identifier(), QString("app.tessaroom"));
    ASSERT_TRUE(Bundle::shortVersion());
    EXPECT_TRUE(Bundle::shortVersion()->contains('.'));
    // A test binary runs outside a bundle: its program is no bundle.
    EXPECT_TRUE(Bundle::bundlePath().isEmpty());
    EXPECT_FALSE(Bundle::executablePath().isEmpty());
    sim::setExecutablePath("/Applications/Tessaroom.app/Contents/MacOS/tessaroom");
    EXPECT_EQ(Bundle::bundlePath(), "/Applications/Tessaroom.app");
    EXPECT_EQ(LaunchServices::registerURL(Bundle::bundlePath(), true), Status::noErr);
    EXPECT_EQ(sim::registeredApplicationPaths(), QStringList{Bundle::bundlePath()});

    sim::setBundleIdentifier(std::nullopt);
    EXPECT_FALSE(Bundle::identifier());
}
