#include "UpdateTest.h"

#include "platform/AppBundles.h"
#include "platform/Folders.h"
#include "platform/Volumes.h"
#include "platform/sim/Volumes.h"

#include <QDir>

namespace {

class PlacementTest : public UpdateTest {
protected:
    QString folder(const QString& name)
    {
        const QString path = QDir(home()).filePath(name);
        QDir().mkpath(path);
        return path;
    }
};

} // namespace

// --- where a new copy goes ---

TEST_F(PlacementTest, CandidatesAreTheSystemThenTheUsersApplications)
{
    EXPECT_EQ(Updates::applicationsFolders(),
              (QStringList{QStringLiteral("/Applications"), platform::Folders::home() + QStringLiteral("/Applications")}));
}

TEST_F(PlacementTest, CandidatesAreThePlatformsApplicationsFolders)
{
    const QStringList folders{folder(QStringLiteral("System Applications")), folder(QStringLiteral("Mine"))};
    platform::sim::setApplicationsFolders(folders);
    EXPECT_EQ(Updates::applicationsFolders(), folders);
    EXPECT_EQ(Updates::applicationsFolders(), platform::Volumes::applicationsFolders());
}

TEST_F(PlacementTest, AReadOnlyApplicationsFolderIsPassedOver)
{
    const QString system = folder(QStringLiteral("System Applications"));
    const QString mine = folder(QStringLiteral("Mine"));
    platform::sim::setApplicationsFolders(QStringList{system, mine});
    platform::sim::setReadOnlyFolder(system, true);
    const QString image = folder(QStringLiteral("Volumes/Tessaroom"));
    platform::sim::setReadOnlyFolder(image, true);
    const QString running = image + QStringLiteral("/Tessaroom.app");

    EXPECT_TRUE(Updates::isOnReadOnlyVolume(running));
    EXPECT_FALSE(Updates::canReplace(running));
    EXPECT_FALSE(Updates::canReplace(system + QStringLiteral("/Tessaroom.app")));
    EXPECT_EQ(Updates::installTarget(running, Updates::applicationsFolders(), Updates::defaultCanReplace),
              mine + QStringLiteral("/Tessaroom.app"));
    platform::sim::setReadOnlyFolder(system, false);
    EXPECT_EQ(Updates::installTarget(running, Updates::applicationsFolders(), Updates::defaultCanReplace),
              system + QStringLiteral("/Tessaroom.app"));
}

TEST_F(PlacementTest, TheShellAndTheUpdaterSeeTheSameVolumes)
{
    // An attached image, as the image tool registers it.
    const QString image = folder(QStringLiteral("Volumes/Attached"));
    platform::sim::mountVolume(image, true);
    EXPECT_TRUE(platform::Volumes::isOnReadOnlyVolume(image + QStringLiteral("/Tessaroom.app")));
    EXPECT_FALSE(platform::Volumes::isWritableFolder(image));
    EXPECT_TRUE(Updates::isOnReadOnlyVolume(image + QStringLiteral("/Tessaroom.app")));
    // A read-only folder, as the shell's tests set it.
    const QString other = folder(QStringLiteral("Volumes/Other"));
    platform::sim::setReadOnlyFolder(other, true);
    ASSERT_TRUE(platform::Volumes::volumeOf(other));
    EXPECT_EQ(platform::Volumes::volumeOf(other)->readOnly, true);
    EXPECT_EQ(Updates::canReplace(other + QStringLiteral("/Tessaroom.app")), false);
}

TEST_F(PlacementTest, RunningCopyInAWritableFolderIsItsOwnTarget)
{
    const QString running = folder(QStringLiteral("apps")) + QStringLiteral("/Tessaroom.app");
    EXPECT_EQ(Updates::installTarget(running, Updates::applicationsFolders(), Updates::defaultCanReplace), running);
}

TEST_F(PlacementTest, RunningCopyOnAReadOnlyVolumeGoesToTheFirstWritableCandidate)
{
    const QString image = folder(QStringLiteral("mount"));
    platform::sim::mountVolume(image, true);
    const QString running = image + QStringLiteral("/Tessaroom.app");
    const QString userApps = folder(QStringLiteral("Applications"));
    const QStringList candidates{home() + QStringLiteral("/missing"), userApps};
    EXPECT_FALSE(Updates::canReplace(running));
    EXPECT_EQ(Updates::installTarget(running, candidates, Updates::defaultCanReplace),
              userApps + QStringLiteral("/Tessaroom.app"));
}

TEST_F(PlacementTest, NoReplaceablePlaceGivesNoTarget)
{
    const QString running = home() + QStringLiteral("/gone/Tessaroom.app");
    EXPECT_EQ(Updates::installTarget(running, {home() + QStringLiteral("/missing")}, Updates::defaultCanReplace),
              std::nullopt);
}

TEST_F(PlacementTest, TheTestIsAskedInOrder)
{
    QStringList asked;
    const auto target = Updates::installTarget(QStringLiteral("/x/Tessaroom.app"), {QStringLiteral("/a"), QStringLiteral("/b/")},
                                               [&](const QString& path) {
                                                   asked.append(path);
                                                   return path.startsWith(QStringLiteral("/b"));
                                               });
    EXPECT_EQ(target, QStringLiteral("/b/Tessaroom.app"));
    EXPECT_EQ(asked, (QStringList{QStringLiteral("/x/Tessaroom.app"), QStringLiteral("/a/Tessaroom.app"),
                                  QStringLiteral("/b/Tessaroom.app")}));
}

// --- running from a disk image ---

TEST_F(PlacementTest, CopyOnAMountedReadOnlyImageIsOnAReadOnlyVolume)
{
    const QString image = folder(QStringLiteral("Volumes/Tessaroom"));
    platform::sim::mountVolume(image, true);
    EXPECT_TRUE(Updates::isOnReadOnlyVolume(image + QStringLiteral("/Tessaroom.app")));
    platform::sim::unmountVolume(image);
    EXPECT_FALSE(Updates::isOnReadOnlyVolume(image + QStringLiteral("/Tessaroom.app")));
}

TEST_F(PlacementTest, WritableVolumeOrUnreadableFolderIsNotReadOnly)
{
    const QString image = folder(QStringLiteral("Volumes/Writable"));
    platform::sim::mountVolume(image, false);
    EXPECT_FALSE(Updates::isOnReadOnlyVolume(image + QStringLiteral("/Tessaroom.app")));
    EXPECT_TRUE(Updates::canReplace(image + QStringLiteral("/Tessaroom.app")));
    EXPECT_FALSE(Updates::isOnReadOnlyVolume(home() + QStringLiteral("/nowhere/Tessaroom.app")));
}

TEST_F(PlacementTest, RealVolumesAreReadFromTheSystem)
{
    const auto root = platform::Volumes::volumeOf(QStringLiteral("/"));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->rootFileSystem, true);
    EXPECT_EQ(platform::Volumes::volumeOf(home() + QStringLiteral("/missing")), std::nullopt);
    const auto proc = platform::Volumes::volumeOf(QStringLiteral("/proc/self"));
    ASSERT_TRUE(proc);
    EXPECT_EQ(proc->rootFileSystem, false);
}
