#include "platform/AtomicFile.h"
#include "platform/LinkHandlers.h"
#include "platform/LoginItems.h"
#include "platform/linux/DesktopIcon.h"
#include "platform/linux/LinkHandlers.h"
#include "platform/linux/LoginItems.h"
#include "support/PlatformTest.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace {

class DesktopIconTest : public PlatformTest {
protected:
    ~DesktopIconTest() override { QGuiApplication::setWindowIcon(QIcon()); }

    static void setRedWindowIcon()
    {
        QPixmap red(64, 64);
        red.fill(Qt::red);
        QGuiApplication::setWindowIcon(QIcon(red));
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

// --- the entries and their icon ---

TEST_F(DesktopIconTest, TheLinkHandlerAndTheLoginItemNameTheAppsIcon)
{
    ASSERT_EQ(platform::LinkHandlers::registerSchemes({QStringLiteral("tessaroom")}), std::nullopt);
    EXPECT_TRUE(read(platform::host::linkHandlerEntryPath()).contains("\nIcon=tessaroom\n"));
    ASSERT_EQ(platform::LoginItems::registerMainApp(), std::nullopt);
    EXPECT_TRUE(read(platform::host::loginItemEntryPath()).contains("\nIcon=tessaroom\n"));
}

TEST_F(DesktopIconTest, TheWindowIconIsInstalledInTheUsersIconTheme)
{
    EXPECT_EQ(platform::host::desktopIconPath(), home() + "/data/icons/hicolor/256x256/apps/tessaroom.png");
    setRedWindowIcon();
    EXPECT_EQ(platform::host::installDesktopIcon(), std::nullopt);
    const QImage installed(platform::host::desktopIconPath());
    ASSERT_FALSE(installed.isNull());
    EXPECT_EQ(installed.size(), QSize(256, 256));
    EXPECT_EQ(installed.pixelColor(128, 128), QColor(Qt::red));
}

TEST_F(DesktopIconTest, TheSameIconIsNotWrittenAgainAndAChangedOneIs)
{
    setRedWindowIcon();
    ASSERT_EQ(platform::host::installDesktopIcon(), std::nullopt);
    // A write now would fail: none is made for the same picture.
    platform::AtomicFile::failNextWrite({platform::AtomicFile::Step::create});
    EXPECT_EQ(platform::host::installDesktopIcon(), std::nullopt);

    QPixmap blue(64, 64);
    blue.fill(Qt::blue);
    QGuiApplication::setWindowIcon(QIcon(blue));
    const std::optional<QString> failed = platform::host::installDesktopIcon();
    ASSERT_TRUE(failed.has_value());
    EXPECT_TRUE(failed->startsWith(platform::host::desktopIconPath() + ": ")) << failed->toStdString();
    EXPECT_EQ(QImage(platform::host::desktopIconPath()).pixelColor(128, 128), QColor(Qt::red));
    EXPECT_EQ(platform::host::installDesktopIcon(), std::nullopt);
    EXPECT_EQ(QImage(platform::host::desktopIconPath()).pixelColor(128, 128), QColor(Qt::blue));
}

TEST_F(DesktopIconTest, WithoutAWindowIconNothingIsWrittenAndItSaysWhy)
{
    QGuiApplication::setWindowIcon(QIcon());
    EXPECT_EQ(platform::host::installDesktopIcon(), QStringLiteral("the app has no window icon"));
    EXPECT_FALSE(QFile::exists(platform::host::desktopIconPath()));
}

} // namespace
