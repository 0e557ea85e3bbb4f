#include "RunningCopies.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using PrivateFoldersTest = RunningCopiesTest;

// --- folders the app makes ---

TEST_F(PrivateFoldersTest, UnderUmaskZeroTheFoldersTheAppMakesAreTheUsersAlone)
{
    // A folder the user made keeps the mode the user gave it.
    const QString config = home() + QStringLiteral("/config");
    ASSERT_TRUE(QDir().mkpath(config));
    ASSERT_EQ(::chmod(QFile::encodeName(config).constData(), 0755), 0);

    QProcess& copy = start({QStringLiteral("-c"), QStringLiteral("umask 000 && exec \"$0\""), QStringLiteral(TESSAROOM_APP)},
                           QStringLiteral("state"), QStringLiteral("/bin/sh"));
    ASSERT_TRUE(waitForLaunch(copy));
    ASSERT_TRUE(stop(copy));

    QStringList open;
    QDirIterator folders(home(), QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                         QDirIterator::Subdirectories);
    while (folders.hasNext()) {
        const QString folder = folders.next();
        struct stat status {};
        ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &status), 0);
        if (folder != config && (status.st_mode & 0777) != 0700)
            open.append(QStringLiteral("%1 %2").arg(folder.mid(home().size())).arg(status.st_mode & 0777, 0, 8));
    }
    EXPECT_TRUE(open.isEmpty()) << qPrintable(open.join(QLatin1Char('\n')));
    EXPECT_TRUE(QFileInfo(home() + QStringLiteral("/state/tessaroom/logs")).isDir());
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(config).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0755u);
}
