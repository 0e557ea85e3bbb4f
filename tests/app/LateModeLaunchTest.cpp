#include "AppTest.h"

#include "platform/sim/World.h"
#include "store/SpaceStore.h"
#include "switching/SystemShortcuts.h"

#include <QFile>

#include <iostream>
#include <vector>

namespace {

using platform::sim::World;

class LateModeLaunchTest : public AppTest {
protected:
    void relaunchWith(QStringList arguments)
    {
        arguments.prepend(QStringLiteral("/Applications/Tessaroom.app/Contents/MacOS/tessaroom"));
        delegate = std::make_unique<AppDelegate>(
            SpaceEngine::shared(), Settings::shared(), Accessibility::shared(),
            AppDelegate::Options{.arguments = std::move(arguments),
                                 .exit = [this](int status) { exits.push_back(status); }});
    }

    QString transcript() const
    {
        QFile file(home() + QStringLiteral("/selftest.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    std::vector<int> exits;
};

// --- the late modes at launch ---

TEST_F(LateModeLaunchTest, TheSelfTestPassesInTheDefaultWorldAndEndsTheLaunch)
{
    relaunchWith({QStringLiteral("--selftest"), home() + QStringLiteral("/selftest.log")});
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::lateMode);
    const QString start = World::shared().displays().first().uuid;
    const auto startSpace = World::shared().currentSpace(start);
    advance(20);
    ASSERT_EQ(exits, std::vector<int>{0}) << qPrintable(transcript());
    EXPECT_TRUE(transcript().endsWith(QStringLiteral("selftest: all passed\n"))) << qPrintable(transcript());
    EXPECT_FALSE(transcript().contains(QStringLiteral("FAIL ")));
    EXPECT_EQ(World::shared().currentSpace(start), startSpace);
    if (qEnvironmentVariableIsSet("TESSAROOM_SHOW_SELFTEST"))
        std::cout << qPrintable(transcript());
}

TEST_F(LateModeLaunchTest, TheSelfTestPassesWithTheSystemShortcutsOn)
{
    SystemShortcuts::enableDesktopShortcuts(4);
    relaunchWith({QStringLiteral("--selftest"), home() + QStringLiteral("/selftest.log")});
    delegate->launch();
    advance(20);
    ASSERT_EQ(exits, std::vector<int>{0}) << qPrintable(transcript());
    EXPECT_TRUE(transcript().contains(QStringLiteral(" shortcuts=4\n"))) << qPrintable(transcript());
}

TEST_F(LateModeLaunchTest, SwitchInsideTheProcessEndsTheLaunchAndExitsLater)
{
    relaunchWith({QStringLiteral("--switch"), QStringLiteral("3")});
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::lateMode);
    advance(2.6);
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_EQ(SpaceEngine::shared().activeDesktop()->number, 3);
}

TEST_F(LateModeLaunchTest, SampleAloneLaunchesToTheEndOnSampleDesktops)
{
    relaunchWith({QStringLiteral("--sample")});
    delegate->launch();
    EXPECT_EQ(delegate->launchEnd(), AppDelegate::LaunchEnd::complete);
    EXPECT_TRUE(SpaceStore::shared().isFrozen());
    EXPECT_EQ(SpaceEngine::shared().activeDesktop()->displayName(), QStringLiteral("Deep Work"));
    EXPECT_TRUE(exits.empty());
}

} // namespace
