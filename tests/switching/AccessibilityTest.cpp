#include "SwitchingWorld.h"

#include "platform/Bundle.h"
#include "platform/Lifetime.h"
#include "platform/sim/Bundle.h"
#include "platform/sim/Tools.h"
#include "store/Settings.h"
#include "switching/Accessibility.h"

using namespace switching_test;
using platform::sim::World;

namespace {

class AccessibilityTest : public SwitchingWorld {
protected:
    // An existing user updated to version 2.1 whose grant no longer holds.
    void updatedWithoutPermission()
    {
        World::shared().setTrusted(false);
        platform::sim::setBundleShortVersion(QString("2.1"));
        platform::sim::setExecutablePath("/Applications/Tessaroom.app/Contents/MacOS/tessaroom");
        Settings::shared().setOnboardingDismissed(true);
        Settings::shared().setAccessibilityRepairedFor("2.0");
    }

    void watchTrust()
    {
        QObject::connect(&Accessibility::shared(), &Accessibility::trustedChanged, &context,
                         [this](bool trusted) { trustChanges.append(trusted); });
    }

    QObject context;
    QList<bool> trustChanges;
};

} // namespace

TEST_F(AccessibilityTest, PresentPermissionNeedsNoRepairPromptOrPoll)
{
    Accessibility& access = Accessibility::shared();
    EXPECT_TRUE(access.trusted());
    access.start();
    access.refresh(true);
    EXPECT_EQ(World::shared().trustPromptCount(), 0);
    EXPECT_FALSE(access.isPolling());
    EXPECT_TRUE(platform::sim::toolRuns().empty());
}

TEST_F(AccessibilityTest, NewUserIsAskedAndPolledUntilTheGrantArrives)
{
    World::shared().setTrusted(false);
    Accessibility& access = Accessibility::shared();
    watchTrust();
    access.start();
    EXPECT_TRUE(platform::sim::toolRuns().empty()) << "no repair before the welcome window was dismissed";
    access.refresh(true);
    EXPECT_EQ(World::shared().trustPromptCount(), 1);
    EXPECT_TRUE(access.isPolling());
    access.refresh(false);
    access.refresh(false);
    advance(4.1);
    EXPECT_EQ(World::shared().trustPromptCount(), 1) << "polls never prompt";
    EXPECT_TRUE(trustChanges.isEmpty());

    World::shared().setTrusted(true);
    advance(2);
    EXPECT_EQ(trustChanges, QList<bool>{true});
    EXPECT_TRUE(access.trusted());
    EXPECT_FALSE(access.isPolling());
    advance(10);
    EXPECT_EQ(trustChanges, QList<bool>{true});
}

TEST_F(AccessibilityTest, RepeatedRefreshKeepsOnePoll)
{
    World::shared().setTrusted(false);
    Accessibility& access = Accessibility::shared();
    watchTrust();
    const std::size_t pending = clock().pendingCount();
    access.refresh(false);
    EXPECT_EQ(clock().pendingCount(), pending + 1);
    access.refresh(false);
    EXPECT_EQ(clock().pendingCount(), pending + 1);

    World::shared().setTrusted(true);
    advance(2.0);
    EXPECT_EQ(trustChanges, QList<bool>{true});
    EXPECT_FALSE(access.isPolling());
}

TEST_F(AccessibilityTest, UpdatedExistingUserGetsOneRepairPerVersion)
{
    updatedWithoutPermission();
    Accessibility& access = Accessibility::shared();
    access.start();
    EXPECT_EQ(switchLog(), QStringList{"accessibility grant reset for 2.1: done"});
    EXPECT_EQ(Settings::shared().accessibilityRepairedFor(), "2.1");
    EXPECT_TRUE(access.askedAgainAfterUpdate());
    EXPECT_FALSE(access.trusted()) << "start() does not publish the permission";
    EXPECT_EQ(platform::sim::registeredApplicationPaths(), QStringList{platform::Bundle::bundlePath()});
    const auto runs = platform::sim::toolRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].arguments, (QStringList{"reset", "Accessibility", "app.tessaroom"}));

    // The next launch of the same version does not reset again.
    platform::resetSharedInstances();
    World::shared().setTrusted(false);
    platform::sim::setBundleShortVersion(QString("2.1"));
    Accessibility::shared().start();
    EXPECT_TRUE(platform::sim::toolRuns().empty());
    EXPECT_FALSE(Accessibility::shared().askedAgainAfterUpdate());
}

TEST_F(AccessibilityTest, FailedResetIsLoggedAndNotRetried)
{
    updatedWithoutPermission();
    platform::sim::makeToolExit(platform::sim::tools::tccutil, 1, "");
    Accessibility::shared().start();
    EXPECT_EQ(switchLog(), QStringList{"accessibility grant reset for 2.1: tccutil exited 1"});
    EXPECT_FALSE(Accessibility::shared().askedAgainAfterUpdate());
    EXPECT_EQ(Settings::shared().accessibilityRepairedFor(), "2.1");
}

TEST_F(AccessibilityTest, ResetErrorsCarryTheToolsOwnWords)
{
    platform::sim::makeToolExit(platform::sim::tools::tccutil, 70, "  tccutil: No such bundle\n\n");
    EXPECT_EQ(Accessibility::resetGrant("app.tessaroom"), QString("tccutil: No such bundle"));
    platform::sim::failToolLaunch(platform::sim::tools::tccutil, "The file doesn't exist.");
    EXPECT_EQ(Accessibility::resetGrant("app.tessaroom"), QString("could not run tccutil: The file doesn't exist."));
    platform::sim::makeToolExit(platform::sim::tools::tccutil, 0, "noise");
    EXPECT_EQ(Accessibility::resetGrant("app.tessaroom"), std::nullopt);
}

TEST_F(AccessibilityTest, NoRepairWithoutABundleIdentifier)
{
    updatedWithoutPermission();
    platform::sim::setBundleIdentifier(std::nullopt);
    Accessibility::shared().start();
    EXPECT_TRUE(switchLog().isEmpty());
    EXPECT_EQ(Settings::shared().accessibilityRepairedFor(), "2.0");
}

TEST(AccessibilityRule, RepairOnlyForAnExistingUserWithoutPermissionOnANewVersion)
{
    EXPECT_TRUE(Accessibility::needsRepair(false, true, "2.0", "2.1"));
    EXPECT_TRUE(Accessibility::needsRepair(false, true, "", "1.0.0"));
    EXPECT_FALSE(Accessibility::needsRepair(true, true, "2.0", "2.1"));
    EXPECT_FALSE(Accessibility::needsRepair(false, false, "2.0", "2.1"));
    EXPECT_FALSE(Accessibility::needsRepair(false, true, "2.1", "2.1"));
}

TEST_F(AccessibilityTest, OpensTheAccessibilityPageOfSystemSettings)
{
    Accessibility::shared().openSystemSettings();
    ASSERT_EQ(World::shared().openedURLs().size(), 1);
    EXPECT_EQ(World::shared().openedURLs()[0].toString(),
              "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
}
