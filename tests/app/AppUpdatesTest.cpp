#include "AppTest.h"

#include "app/LinkClient.h"
#include "app/LinkServer.h"
#include "platform/linux/DetachedStarts.h"
#include "platform/sim/Bundle.h"
#include "platform/sim/SystemVersion.h"
#include "support/MakerFeed.h"
#include "support/ScriptedLoader.h"
#include "support/TestProcesses.h"
#include "update/Updates.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <memory>
#include <unistd.h>
#include <vector>

namespace {

class AppUpdatesTest : public AppTest {
protected:
    AppUpdatesTest()
    {
        // The scripted loader answers for the maker's feed.
        qunsetenv("TESSAROOM_UPDATE_FEED");
        platform::sim::setBundleShortVersion(QStringLiteral("1.2"));
        platform::sim::setOperatingSystemVersion({14, 6, 1});
        relaunchWith({});
    }

    // A delegate as the next launch makes it, on the scripted updater.
    void relaunchWith(QStringList arguments)
    {
        delegate = std::make_unique<AppDelegate>(
            SpaceEngine::shared(), Settings::shared(), Accessibility::shared(),
            AppDelegate::Options{.arguments = std::move(arguments),
                                 .updates = &updates,
                                 .exit = [this](int status) { exits.push_back(status); }});
    }

    void offer(const QString& version)
    {
        updates.check();
        loader.answer(200, makerFeedBytes(makerFeed(version)));
    }

    ScriptedLoader loader;
    Updates updates{Settings::shared(), loader};
    std::vector<int> exits;
};

} // namespace

// --- the update announcement ---

TEST_F(AppUpdatesTest, AnOfferIsAnnouncedOnceAndRemembered)
{
    delegate->launch();
    offer(QStringLiteral("1.3"));
    ASSERT_TRUE(lastToast().has_value());
    EXPECT_EQ(lastToast()->text, QStringLiteral("Tessaroom 1.3 is out. Get it from the menu bar tile."));
    EXPECT_EQ(lastToast()->symbol, QStringLiteral("arrow.down.circle.fill"));
    EXPECT_EQ(settings.updateAnnounced(), QStringLiteral("1.3"));

    // The next launch is told about the same version again: no toast.
    relaunchWith({});
    delegate->launch();
    EXPECT_FALSE(lastToast().has_value());
    offer(QStringLiteral("1.4"));
    ASSERT_TRUE(lastToast().has_value());
    EXPECT_EQ(lastToast()->text, QStringLiteral("Tessaroom 1.4 is out. Get it from the menu bar tile."));
}

TEST_F(AppUpdatesTest, TheUpdaterRelaunchesThroughTheDelegate)
{
    EXPECT_FALSE(updates.relaunch);
    delegate->launch();
    ASSERT_TRUE(updates.relaunch);
    updates.relaunch(QStringLiteral("/Applications/Tessaroom.app"));
    ASSERT_EQ(platform::host::detachedStarts().size(), 1u);
    EXPECT_TRUE(platform::host::detachedStarts()[0].arguments.join(QLatin1Char(' ')).contains(QStringLiteral("/Applications/Tessaroom.app")));
}

TEST_F(AppUpdatesTest, ALaunchRemovesWhatAnEndedInstallLeft)
{
    const qint64 pid = TestProcesses::endedProcessId();
    const QString temporary = home() + QStringLiteral("/tmp");
    const QString unpacked = temporary + QStringLiteral("/Tessaroom-mount-%1-%2-%3/Tessaroom.app")
                                             .arg(::geteuid())
                                             .arg(pid)
                                             .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    ASSERT_TRUE(QDir().mkpath(unpacked));
    qputenv("TMPDIR", temporary.toUtf8());
    delegate->launch();
    clock().runPending();
    qunsetenv("TMPDIR");
    EXPECT_TRUE(QDir(temporary).isEmpty());
    EXPECT_TRUE(updatesLog().contains(QStringLiteral("removed %1, left by an earlier install").arg(QFileInfo(unpacked).path())));
}

// --- command-line modes through the launch ---

TEST_F(AppUpdatesTest, AnEarlyModeEndsTheLaunchBeforeTheUpdaterStarts)
{
    relaunchWith({QStringLiteral("tessaroom"), QStringLiteral("--check-update")});
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::earlyMode);
    EXPECT_FALSE(updates.relaunch);
    loader.answer(200, makerFeedBytes(makerFeed(QStringLiteral("1.3"))));
    EXPECT_EQ(exits, std::vector<int>{0});
    // The check's offer is not announced: the launch never subscribed.
    EXPECT_FALSE(lastToast().has_value());
}

TEST_F(AppUpdatesTest, DiagnoseThroughTheLaunchExitsZero)
{
    relaunchWith({QStringLiteral("tessaroom"), QStringLiteral("--diagnose")});
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::earlyMode);
    EXPECT_EQ(exits, std::vector<int>{0});
}
