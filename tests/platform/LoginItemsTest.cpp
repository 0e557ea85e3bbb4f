#include "platform/LoginItems.h"
#include "platform/SystemLog.h"
#include "platform/linux/LoginItems.h"
#include "support/PlatformTest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>

// Not "Status": a test beside it in a unity build may see platform::Status.
using LoginStatus = platform::LoginItems::Status;

class LoginItemsTest : public PlatformTest {};

TEST_F(LoginItemsTest, RegistrationIsAnAutostartEntryInTheConfigFolder)
{
    EXPECT_EQ(platform::host::loginItemEntryPath(), home() + "/config/autostart/tessaroom.desktop");
    EXPECT_EQ(platform::LoginItems::mainAppStatus(), LoginStatus::notRegistered);
    EXPECT_EQ(platform::LoginItems::registerMainApp(), std::nullopt);
    EXPECT_EQ(platform::LoginItems::mainAppStatus(), LoginStatus::enabled);
    QFile entry(platform::host::loginItemEntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Application\n"));
    // One quoted argument, so a program path with blanks still starts.
    EXPECT_TRUE(text.contains("\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\"\n")) << text.toStdString();

    EXPECT_EQ(platform::LoginItems::unregisterMainApp(), std::nullopt);
    EXPECT_EQ(platform::LoginItems::mainAppStatus(), LoginStatus::notRegistered);
    EXPECT_TRUE(platform::LoginItems::unregisterMainApp().has_value());
}

TEST_F(LoginItemsTest, ControlsForceAStatusOrAFailure)
{
    platform::host::forceLoginItemStatus(LoginStatus::notFound);
    EXPECT_EQ(platform::LoginItems::mainAppStatus(), LoginStatus::notFound);
    platform::host::forceLoginItemStatus(std::nullopt);
    platform::host::failLoginItemChanges(QString("denied"));
    EXPECT_EQ(platform::LoginItems::registerMainApp(), QString("denied"));
    EXPECT_FALSE(QFile::exists(platform::host::loginItemEntryPath()));
}

TEST_F(LoginItemsTest, ControlsDoNotOutliveATest)
{
    EXPECT_EQ(platform::LoginItems::registerMainApp(), std::nullopt);
}

// --- an entry the user or the session edited ---

TEST_F(LoginItemsTest, RegisteringAgainKeepsEveryOtherLineOfAnEditedEntryByteForByte)
{
    const QString path = platform::host::loginItemEntryPath();
    QDir().mkpath(QFileInfo(path).path());
    QFile entry(path);
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\n"
                "Type=Application\n"
                "Name=Tessaroom\n"
                "Name[de]=Tessaroom f\xfcr alle\n"
                "Exec=/old/place/tessaroom\n"
                "X-GNOME-Autostart-enabled=false\n"
                "X-GNOME-Autostart-Delay=10\n"
                "# the user's note\n");
    entry.close();

    EXPECT_EQ(platform::LoginItems::registerMainApp(), std::nullopt);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    const QList<QByteArray> lines = text.split('\n');
    // The entry's own missing line joins at the end of its group.
    ASSERT_EQ(lines.size(), 10) << text.toStdString();
    EXPECT_EQ(lines[0], "[Desktop Entry]");
    EXPECT_EQ(lines[3], "Name[de]=Tessaroom f\xfcr alle");
    EXPECT_TRUE(lines[4].startsWith("Exec=")) << lines[4].toStdString();
    EXPECT_NE(lines[4], "Exec=/old/place/tessaroom");
    EXPECT_EQ(lines[5], "X-GNOME-Autostart-enabled=true");
    EXPECT_EQ(lines[6], "X-GNOME-Autostart-Delay=10");
    EXPECT_EQ(lines[7], "# the user's note");
    EXPECT_EQ(lines[8], "Icon=tessaroom");
}

TEST_F(LoginItemsTest, AnEntryThatCannotBeReadIsLeftAsItIsAndTheFailureIsLogged)
{
    // A socket at the path exists and cannot be opened, also for root.
    const QString path = platform::host::loginItemEntryPath();
    QDir().mkpath(QFileInfo(path).path());
    QLocalServer socket;
    socket.setSocketOptions(QLocalServer::UserAccessOption);
    ASSERT_TRUE(socket.listen(path)) << socket.errorString().toStdString();

    const auto failure = platform::LoginItems::registerMainApp();
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains("could not be read")) << failure->toStdString();
    EXPECT_FALSE(QFileInfo(path).isFile());
    const QString log = platform::SystemLog::lines().join("\n");
    EXPECT_TRUE(log.contains("login items: not registering: " + path + " could not be read")) << log.toStdString();
}
