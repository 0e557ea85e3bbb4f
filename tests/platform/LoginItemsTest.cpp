#include "platform/LoginItems.h"
#include "platform/sim/LoginItems.h"
#include "support/PlatformTest.h"

#include <QFile>

using platform::LoginItems::Status;

class LoginItemsTest : public PlatformTest {};

TEST_F(LoginItemsTest, RegistrationIsAnAutostartEntryInTheConfigFolder)
{
    EXPECT_EQ(platform::sim::loginItemEntryPath(), home() + "/config/autostart/tessaroom.desktop");
    EXPECT_EQ(platform::LoginItems::mainAppStatus(), Status::notRegistered);
    EXPECT_EQ(platform::LoginItems::registerMainApp(), std::nullopt);
    EXPECT_EQ(platform::LoginItems::mainAppStatus(), Status::enabled);
    QFile entry(platform::sim::loginItemEntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Application\n"));
    EXPECT_TRUE(text.contains("\nExec="));

    EXPECT_EQ(platform::LoginItems::unregisterMainApp(), std::nullopt);
    EXPECT_EQ(platform::LoginItems::mainAppStatus(), Status::notRegistered);
    EXPECT_TRUE(platform::LoginItems::unregisterMainApp().has_value());
}

TEST_F(LoginItemsTest, ControlsForceAStatusOrAFailure)
{
    platform::sim::forceLoginItemStatus(Status::notFound);
    EXPECT_EQ(platform::LoginItems::mainAppStatus(), Status::notFound);
    platform::sim::forceLoginItemStatus(std::nullopt);
    platform::sim::failLoginItemChanges(QString("denied"));
    EXPECT_EQ(platform::LoginItems::registerMainApp(), QString("denied"));
    EXPECT_FALSE(QFile::exists(platform::sim::loginItemEntryPath()));
}

TEST_F(LoginItemsTest, ControlsDoNotOutliveATest)
{
    EXPECT_EQ(platform::LoginItems::registerMainApp(), std::nullopt);
}
