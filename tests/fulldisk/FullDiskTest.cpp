// What the user stored survives a really full disk: a 64 KB tmpfs, mounted in
// a private mount namespace, is filled to the last byte, and then the
// preferences, a log, the CSV export, a picture import and a downloaded image
// each try to write; an image bigger than the disk is unpacked on it.
// Needs root with mount rights; elsewhere the whole program exits 77
// (skipped) and says why.
#include "platform/AtomicFile.h"
#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"
#include "platform/SystemLog.h"
#include "settings/TimeExport.h"
#include "store/LogFile.h"
#include "support/PlatformTest.h"
#include "support/TestProcesses.h"
#include "ui/Glyph.h"
#include "update/Updates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr int skipped = 77;
constexpr double startTime = 1777624200.0;

// The mounted file system; empty until main() mounted it.
std::string& mountPoint()
{
    static std::string path;
    return path;
}

// Mounts a 64 KB tmpfs in a mount namespace of this process alone, so nothing
// outside sees it and it goes when the process ends. None, or why it cannot.
std::optional<std::string> mountSmallDisk()
{
    if (::geteuid() != 0)
        return std::string("not root: mounting a small file system needs root");
    if (::unshare(CLONE_NEWNS) != 0)
        return std::string("cannot make a private mount namespace: ") + std::strerror(errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("cannot make the mounts private: ") + std::strerror(errno);
    char folder[] = "/tmp/tessaroom-full-disk-XXXXXX";
    if (!::mkdtemp(folder))
        return std::string("cannot make the mount point: ") + std::strerror(errno);
    if (::mount("tessaroom-full", folder, "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") != 0) {
        const std::string why = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
        ::rmdir(folder);
        return why;
    }
    mountPoint() = folder;
    return std::nullopt;
}

void unmountSmallDisk()
{
    if (mountPoint().empty())
        return;
    ::umount2(mountPoint().c_str(), MNT_DETACH);
    ::rmdir(mountPoint().c_str());
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class FullDiskTest : public ::testing::Test {
protected:
    FullDiskTest()
        : disk_(QString::fromStdString(mountPoint()))
    {
        QDir(disk_).removeRecursively();
        QDir().mkpath(home());
        startFreshProcess(home(), startTime);
    }

    ~FullDiskTest() override
    {
        platform::resetSharedInstances();
        platform::AtomicFile::clearInjectedFailure();
        for (const QString& entry : entriesOf(disk_)) {
            const QFileInfo info(disk_ + QLatin1Char('/') + entry);
            if (info.isDir())
                QDir(info.filePath()).removeRecursively();
            else
                QFile::remove(info.filePath());
        }
    }

    QString home() const { return disk_ + QStringLiteral("/home"); }

    // Fills the disk to the last byte: whole pages, then what is left of the
    // last one.
    void fill()
    {
        const QByteArray path = QFile::encodeName(disk_ + QStringLiteral("/filler"));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        const std::string page(4096, 'f');
        while (::write(fd, page.data(), page.size()) > 0) {
        }
        const int code = errno;
        ::close(fd);
        ASSERT_EQ(code, ENOSPC) << std::strerror(code);
        assertFull();
    }

    // Nothing new fits: no free block, and a new file cannot take one byte.
    void assertFull()
    {
        struct statvfs status {};
        ASSERT_EQ(::statvfs(QFile::encodeName(disk_).constData(), &status), 0);
        ASSERT_EQ(status.f_bavail, 0u);
        const QByteArray probe = QFile::encodeName(disk_ + QStringLiteral("/probe"));
        const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        const ssize_t written = ::write(fd, "x", 1);
        const int code = errno;
        ::close(fd);
        ::unlink(probe.constData());
        ASSERT_EQ(written, -1);
        ASSERT_EQ(code, ENOSPC);
    }

    void freeSpace() { ASSERT_TRUE(QFile::remove(disk_ + QStringLiteral("/filler"))); }

private:
    QString disk_;
};

// --- preferences ---

TEST_F(FullDiskTest, ThePreferencesFileKeepsItsBytesAndThePendingValueReachesItOnceThereIsRoom)
{
    auto& defaults = platform::PreferenceDomain::standard();
    defaults.setString("names", "precious");
    const QString path = defaults.filePath();
    const QByteArray before = contentOf(path);
    ASSERT_TRUE(before.contains("precious")) << before.toStdString();

    fill();
    defaults.setString("names", QString(3000, 'n'));
    EXPECT_EQ(contentOf(path), before);
    const QString log = platform::SystemLog::lines().join('\n');
    EXPECT_TRUE(log.contains("preferences: could not write " + path)) << log.toStdString();
    EXPECT_TRUE(log.contains("No space left on device")) << log.toStdString();
    EXPECT_EQ(defaults.string("names"), QString(3000, 'n'));
    EXPECT_EQ(entriesOf(QFileInfo(path).path()), QStringList{QFileInfo(path).fileName()});

    freeSpace();
    platform::PreferenceDomain::synchronizePending();
    platform::resetSharedInstances(); // a new process reads the file
    EXPECT_EQ(platform::PreferenceDomain::standard().string("names"), QString(3000, 'n'));
}

// --- logs ---

TEST_F(FullDiskTest, ALogKeepsItsLinesAndDropsTheLineThatDoesNotFit)
{
    const LogFile log(home() + QStringLiteral("/switches.log"));
    log.write(QStringLiteral("switched to 2"));
    const QByteArray before = contentOf(log.path());

    fill();
    // Longer than the room left in the file's last page, so part of it goes
    // in before the disk refuses the rest.
    const QString line(6000, 'l');
    log.append(line);
    EXPECT_EQ(contentOf(log.path()), before);
    const auto refused = platform::AtomicFile::append(log.path(), line.toUtf8() + '\n');
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->contains("No space left on device")) << refused->toStdString();
    EXPECT_EQ(contentOf(log.path()), before);

    freeSpace();
    log.append(line);
    EXPECT_EQ(contentOf(log.path()), before + line.toUtf8() + '\n');
}

// --- the CSV export ---

TEST_F(FullDiskTest, TheCsvExportLeavesTheEarlierFileAndSaysWhy)
{
    const QString path = home() + QStringLiteral("/Tessaroom time.csv");
    ASSERT_EQ(TimeExport::write(path, TimeExport::csv({{1, "Code", 60}})), std::nullopt);
    const QByteArray before = contentOf(path);

    fill();
    const std::optional<QString> failure = TimeExport::write(path, TimeExport::csv({{1, "Code", 7200}}));
    ASSERT_TRUE(failure.has_value()) << "an export on a full disk was reported as saved";
    EXPECT_TRUE(failure->contains("No space left on device")) << failure->toStdString();
    EXPECT_EQ(contentOf(path), before);
    EXPECT_EQ(entriesOf(home()), QStringList{"Tessaroom time.csv"});
}

// --- a picture import ---

TEST_F(FullDiskTest, APictureImportSaysWhyAndLeavesNoFile)
{
    QTemporaryDir elsewhere; // the chosen picture lies on another disk
    const QString source = elsewhere.filePath("photo.png");
    QImage picture(300, 200, QImage::Format_ARGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(source));
    const QString folder = Glyph::iconsFolder();
    ASSERT_TRUE(QFileInfo(folder).isDir());

    fill();
    const auto imported = Glyph::importPicture(source, 6);
    const auto* error = std::get_if<PictureImportError>(&imported);
    ASSERT_NE(error, nullptr) << "a picture import on a full disk was reported as saved";
    EXPECT_EQ(error->description(), "The picture could not be saved: could not write: No space left on device");
    EXPECT_EQ(entriesOf(folder), QStringList());
}

// --- a downloaded image ---

TEST_F(FullDiskTest, AnImageThatDoesNotFitInTheDataFolderSaysTheDiskIsFullAndWhere)
{
    // Four times the disk: the copy fills it on the way.
    QTemporaryDir elsewhere; // the temporary folder lies on another disk
    const QString download = elsewhere.filePath("Tessaroom-download.dmg");
    QFile file(download);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(256 * 1024, 'i')) == 256 * 1024);
    file.close();

    const Result<QString> stored = Updates::storeImage(download, "Tessaroom-1.3.dmg");
    ASSERT_FALSE(stored.ok());
    EXPECT_EQ(stored.error(), "the disk is full: the image does not fit in " + Updates::updatesFolder());
    EXPECT_EQ(entriesOf(Updates::updatesFolder()), QStringList());
    EXPECT_TRUE(QFileInfo::exists(download)); // the caller's to remove
}

// --- an image unpacked ---

TEST_F(FullDiskTest, AnImageThatDoesNotUnpackInTheTemporaryFolderSaysTheDiskIsFullAndWhere)
{
    // Four times the disk, packed on another disk.
    QTemporaryDir elsewhere;
    const QString app = elsewhere.filePath("release/Tessaroom.app");
    QDir().mkpath(app);
    QFile file(app + "/payload");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(256 * 1024, 'i')) == 256 * 1024);
    file.close();
    const QString image = elsewhere.filePath("release.dmg");
    const TestProcesses::Ran packed = TestProcesses::run(
        TESSAROOM_HDIUTIL_TOOL, {"create", "-srcfolder", elsewhere.filePath("release"), image});
    ASSERT_EQ(packed.exitCode, 0) << packed.errors.toStdString();

    const QString mountPoint = home() + "/Tessaroom-mount-test";
    const TestProcesses::Ran attached = TestProcesses::run(
        TESSAROOM_HDIUTIL_TOOL, {"attach", "-nobrowse", "-readonly", "-mountpoint", mountPoint, image});
    EXPECT_EQ(attached.exitCode, 1);
    EXPECT_EQ(attached.errors.trimmed().toStdString(),
              ("hdiutil: attach failed - the disk is full: the image does not fit in " + home()).toStdString());
    EXPECT_FALSE(QFileInfo::exists(mountPoint));
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything starts a thread: the namespace is the calling thread's.
    if (const auto why = mountSmallDisk()) {
        std::printf("full-disk tests skipped: %s\n", why->c_str());
        return skipped;
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    unmountSmallDisk();
    return result;
}
