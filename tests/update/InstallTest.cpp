#include "UpdateTest.h"

#include "platform/Application.h"
#include "platform/FileManager.h"
#include "platform/ManualScheduler.h"
#include "platform/PreferenceDomain.h"
#include "platform/Volumes.h"
#include "platform/linux/HelperTools.h"
#include "platform/sim/Bundle.h"
#include "platform/sim/Tools.h"
#include "platform/sim/Volumes.h"
#include "store/Settings.h"
#include "support/ForkedChild.h"
#include "support/LockElsewhere.h"
#include "support/TestProcesses.h"
#include "update/TemporaryWork.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QUuid>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray infoPlist(const QString& version)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n"
                          "<key>CFBundleIdentifier</key><string>app.tessaroom</string>\n"
                          "<key>CFBundleShortVersionString</key><string>%1</string>\n</dict></plist>\n")
        .arg(version)
        .toUtf8();
}

QString bundleVersion(const QString& bundle)
{
    QFile file(bundle + QStringLiteral("/Contents/Info.plist"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression pattern(
        QStringLiteral("CFBundleShortVersionString</key>\\s*<string>([^<]*)</string>"));
    return pattern.match(QString::fromUtf8(file.readAll())).captured(1);
}

void writeFile(const QString& path, const QByteArray& bytes, QFile::Permissions permissions = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
    file.close();
    if (permissions)
        file.setPermissions(permissions);
}

// Every file and folder below root with its mode and bytes: equal snapshots
// mean a byte-identical tree.
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        QByteArray entry = QByteArray::number(info.st_mode, 8) + ' ';
        QFile file(path);
        if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
            entry += file.readAll();
        tree.insert(QDir(root).relativeFilePath(path), entry);
    }
    return tree;
}

// The install lock's file in the folder an install writes into, there while
// an install holds it.
const QString lockFile = QStringLiteral(".Tessaroom-install.lock");

QStringList hiddenSiblings(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".Tessaroom-*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

// Checks, downloads and installs over a loopback server (HTTP and HTTPS),
// with the project's disk-image and copy tools as real child processes. The
// running copy 1.2 lives in a temporary Applications folder.
class InstallTest : public ServedUpdateTest {
protected:
    InstallTest()
        : apps_(QDir(home()).filePath(QStringLiteral("Apps")))
        , running_(apps_ + QStringLiteral("/Tessaroom.app"))
    {
        platform::host::installDiskImageTools(QStringLiteral(TESSAROOM_HDIUTIL_TOOL),
                                             QStringLiteral(TESSAROOM_DITTO_TOOL));
        makeBundle(running_, QStringLiteral("1.2"), &maker_);
        platform::sim::setExecutablePath(running_ + QStringLiteral("/Contents/MacOS/Tessaroom"));
        before_ = snapshot(running_);
        updates_.relaunch = [this](const QString& path) { relaunched_.push_back(path); };
    }

    // An app bundle of version with a stand-in executable that prints it,
    // signed by team unless none.
    void makeBundle(const QString& path, const QString& version, const Team* team, qint64 payloadBytes = 0)
    {
        writeFile(path + QStringLiteral("/Contents/Info.plist"), infoPlist(version));
        writeFile(path + QStringLiteral("/Contents/MacOS/Tessaroom"),
                  QStringLiteral("#!/bin/sh\necho running %1\n").arg(version).toUtf8(),
                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                      | QFile::ReadOther | QFile::ExeOther);
        writeFile(path + QStringLiteral("/Contents/Resources/strings.txt"), "Desktop\n");
        if (payloadBytes > 0)
            writeFile(path + QStringLiteral("/Contents/Resources/payload.bin"), QByteArray(payloadBytes, 'x'));
        if (team) {
            ASSERT_TRUE(sign(path, *team));
        }
    }

    // Packs folder into a disk image with the image tool and signs the image.
    QString packImage(const QString& folder, const Team* team, const QString& name = QStringLiteral("release.dmg"))
    {
        const QString image = QDir(home()).filePath(name);
        const TestProcesses::Ran packed = TestProcesses::run(
            QStringLiteral(TESSAROOM_HDIUTIL_TOOL), {QStringLiteral("create"), QStringLiteral("-srcfolder"), folder, image});
        EXPECT_EQ(packed.exitCode, 0) << packed.errors.toStdString();
        if (team)
            sign(image, *team);
        return image;
    }

    // A release 1.3 image holding Tessaroom.app signed by appTeam.
    QString releaseImage(const Team* appTeam, const QString& appName = QStringLiteral("Tessaroom.app"))
    {
        const QString folder = QDir(home()).filePath(QStringLiteral("release"));
        makeBundle(folder + QLatin1Char('/') + appName, QStringLiteral("1.3"), appTeam);
        return packImage(folder, &maker_);
    }

    // Installs and waits (on the event loop and the manual clock's hand-overs)
    // for the phase to settle.
    Updates::Phase installNow()
    {
        bool done = false;
        updates_.install([&] { done = true; });
        EXPECT_TRUE(settle(done)) << "the installation never ended";
        return updates_.phase();
    }

    // Runs one step of the installation to its end.
    std::optional<UpdateFailure> step(const std::function<void(Updates::StepDone)>& start)
    {
        bool done = false;
        std::optional<UpdateFailure> failure;
        start([&](const std::optional<UpdateFailure>& result) {
            failure = result;
            done = true;
        });
        EXPECT_TRUE(settle(done)) << "the step never ended";
        return failure;
    }

    void readyFor(const QString& image, const std::function<void(QJsonObject&)>& change = {})
    {
        serve(QStringLiteral("1.3"), image, change);
        ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
        ASSERT_EQ(downloadNow().kind, Updates::Phase::Kind::ready) << updates_.phase().failure.toStdString();
    }

    // What every failure leaves: the phase failed with text, one log line, the
    // running copy as it was, no hidden copy, no mounted image, no relaunch.
    void expectInstallFailed(const QString& text)
    {
        EXPECT_EQ(updates_.phase(), Updates::Phase::failed(text));
        EXPECT_EQ(logLines().last(), QStringLiteral("install of 1.3 failed: ") + text);
        expectRunningCopyUntouched();
    }

    void expectRunningCopyUntouched()
    {
        EXPECT_EQ(snapshot(running_), before_);
        EXPECT_TRUE(hiddenSiblings(apps_).isEmpty()) << hiddenSiblings(apps_).join(u' ').toStdString();
        EXPECT_TRUE(mountPoints().isEmpty());
        EXPECT_TRUE(temporaryImages().isEmpty()) << temporaryImages().join(u' ').toStdString(); // nor a private copy
        EXPECT_TRUE(relaunched_.empty());
        EXPECT_TRUE(settings().updateInstalling().isEmpty());
    }

    // An install of image over the running copy in a process of its own
    // (tests/update/installer) on road, killed or held at step; its
    // environment is this one's with changes. asUser: a command that runs it
    // as another user (TestProcesses::asAnotherUser()).
    QProcess& startInstaller(TestProcesses& processes, const QString& image, const QString& road, const QString& step,
                             const QMap<QString, QString>& changes = {}, const QStringList& asUser = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TESSAROOM_TEST_MAKER_KEY"), QString::fromLatin1(maker_.key.publicKey.toBase64()));
        for (auto it = changes.begin(); it != changes.end(); ++it)
            environment.insert(it.key(), it.value());
        const QStringList installer{QStringLiteral(TESSAROOM_UPDATE_INSTALLER), running_, image, road, step};
        const QStringList command = asUser + installer;
        return processes.start(command.first(), command.mid(1), environment);
    }

    static constexpr uid_t otherUser = TestProcesses::anotherUser;

    // A home of otherUser's own for an installer it runs (the environment's
    // changes), and the way there open to it.
    QMap<QString, QString> homeOfAnotherUser() const
    {
        const QString other = QDir(home()).filePath(QStringLiteral("other"));
        EXPECT_EQ(::chmod(QFile::encodeName(home()).constData(), 0711), 0);
        QMap<QString, QString> changes{{QStringLiteral("HOME"), other}};
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "TMPDIR"})
            changes.insert(QLatin1String(variable), other + QLatin1Char('/') + QLatin1String(variable));
        for (const QString& folder : changes) {
            QDir().mkpath(folder);
            EXPECT_EQ(::chown(QFile::encodeName(folder).constData(), otherUser, otherUser), 0);
        }
        return changes;
    }

    QStringList mountPoints() const
    {
        return QDir(temporaryFolder()).entryList({QStringLiteral("Tessaroom-mount-*")}, QDir::AllEntries | QDir::Hidden);
    }

    int runsOf(const QString& tool) const
    {
        int count = 0;
        for (const auto& run : platform::sim::toolRuns())
            count += run.path == tool;
        return count;
    }

    static Settings& settings() { return Settings::shared(); }

    const QString apps_;
    const QString running_;
    QMap<QString, QByteArray> before_;
    std::vector<QString> relaunched_;
};

// What follows the download never touches the transport: the cases run over
// HTTP, and the whole road once over HTTPS.
INSTANTIATE_TEST_SUITE_P(Transport, InstallTest, ::testing::Values(false), [](const auto&) { return "http"; });

class InstallOverHttpsTest : public InstallTest {};

INSTANTIATE_TEST_SUITE_P(Transport, InstallOverHttpsTest, ::testing::Values(true), [](const auto&) { return "https"; });

// --- the road ---

TEST_P(InstallOverHttpsTest, ChecksDownloadsInstallsOverTheRunningCopyAndHandsItToTheRelaunch)
{
    readyFor(releaseImage(&maker_));
    std::vector<Updates::Phase::Kind> kinds;
    QObject::connect(&updates_, &Updates::phaseChanged, [&](const Updates::Phase& phase) { kinds.push_back(phase.kind); });

    EXPECT_EQ(installNow(), Updates::Phase::installing()) // stays so while the process relaunches
        << updates_.phase().failure.toStdString();
    EXPECT_EQ(kinds, std::vector{Updates::Phase::Kind::installing});
    EXPECT_EQ(relaunched_, std::vector{running_});
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
    EXPECT_EQ(Updates::verifySignature(running_), std::nullopt);
    EXPECT_EQ(settings().updateInstalling(), QStringLiteral("1.3"));
    EXPECT_EQ(logLines().last(), QStringLiteral("installed 1.3 at %1, relaunching").arg(running_));

    // The new copy runs.
    EXPECT_EQ(TestProcesses::run(running_ + QStringLiteral("/Contents/MacOS/Tessaroom"), {}).output.trimmed(),
              QByteArray("running 1.3"));

    // Nothing is left behind but the stored image.
    EXPECT_TRUE(hiddenSiblings(apps_).isEmpty());
    EXPECT_TRUE(mountPoints().isEmpty());
    EXPECT_EQ(runsOf(platform::sim::tools::hdiutil), 2); // attach and detach
    EXPECT_EQ(runsOf(platform::sim::tools::ditto), 1);
    EXPECT_EQ(storedImages(), QStringList{QStringLiteral("Tessaroom-1.3.dmg")});
    advance(platform::PreferenceDomain::writeInterval); // the settings' file write, which quitting also does
    EXPECT_EQ(clock().pendingCount(), 0u); // the tools' time limits are gone
}

TEST_P(InstallTest, TheAttachedImageIsAReadOnlyVolumeThatIsNotTheRootFileSystem)
{
    readyFor(releaseImage(&maker_));
    // Looks at the volume while the image is attached, from the copy tool's start.
    std::optional<platform::Volumes::Facts> seen;
    QString mountPoint;
    mode_t attachedMode = 0;
    updates_.renames.exchange = [&, system = Updates::systemRenames()](const QString& first, const QString& second) {
        if (!seen) {
            mountPoint = mountPoints().value(0);
            seen = platform::Volumes::volumeOf(QDir(temporaryFolder()).filePath(mountPoint) + QStringLiteral("/Tessaroom.app"));
            struct stat info {};
            ::stat(QFile::encodeName(platform::sim::toolRuns().at(0).arguments.last()).constData(), &info);
            attachedMode = info.st_mode & 07777;
        }
        return system.exchange(first, second);
    };
    installNow();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->readOnly, true);
    EXPECT_EQ(seen->rootFileSystem, false);
    EXPECT_EQ(attachedMode, 0600u); // the attached file is this user's alone
    EXPECT_FALSE(mountPoint.isEmpty());
    EXPECT_FALSE(platform::Volumes::volumeOf(QDir(temporaryFolder()).filePath(mountPoint))); // detached
}

TEST_P(InstallTest, WithoutARelaunchTheInstallationEndsIdle)
{
    readyFor(releaseImage(&maker_));
    updates_.relaunch = nullptr;
    EXPECT_EQ(installNow(), Updates::Phase::idle());
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
    EXPECT_EQ(settings().updateInstalling(), QStringLiteral("1.3"));
}

TEST_P(InstallTest, ACopyThatCannotBeChangedInstallsIntoApplicationsAndSaysSo)
{
    readyFor(releaseImage(&maker_));
    platform::sim::mountVolume(apps_, true);
    const QString target = QDir(home()).filePath(QStringLiteral("Applications/Tessaroom.app"));
    QDir(home()).mkpath(QStringLiteral("Applications"));

    installNow();
    EXPECT_EQ(relaunched_, std::vector{target});
    EXPECT_EQ(bundleVersion(target), QStringLiteral("1.3"));
    EXPECT_EQ(Updates::verifySignature(target), std::nullopt);
    EXPECT_EQ(logLines().last(), QStringLiteral("running from %1, which cannot be changed; installed 1.3 at %2, "
                                                "relaunching from there")
                                     .arg(running_, target));
    relaunched_.clear();
    settings().setUpdateInstalling({});
    expectRunningCopyUntouched();
    EXPECT_TRUE(hiddenSiblings(QFileInfo(target).path()).isEmpty());
}

TEST_P(InstallTest, AReadOnlyApplicationsFolderOfTheSystemIsPassedOver)
{
    readyFor(releaseImage(&maker_));
    const QString system = QDir(home()).filePath(QStringLiteral("System Applications"));
    const QString mine = QDir(home()).filePath(QStringLiteral("Mine"));
    QDir().mkpath(system);
    QDir().mkpath(mine);
    platform::sim::setApplicationsFolders(QStringList{system, mine});
    platform::sim::setReadOnlyFolder(system, true);
    platform::sim::setReadOnlyFolder(apps_, true);

    installNow();
    EXPECT_EQ(relaunched_, std::vector{mine + QStringLiteral("/Tessaroom.app")});
    EXPECT_EQ(bundleVersion(mine + QStringLiteral("/Tessaroom.app")), QStringLiteral("1.3"));
    EXPECT_TRUE(QDir(system).isEmpty());
    EXPECT_EQ(snapshot(running_), before_);
}

TEST_P(InstallTest, ACheckDuringTheInstallationKeepsItsReleaseAndPhase)
{
    readyFor(releaseImage(&maker_));
    bool done = false;
    updates_.install([&] { done = true; });
    ASSERT_EQ(updates_.phase(), Updates::Phase::installing());

    QJsonObject newer = feedObject(server_.origin(), QStringLiteral("1.4"), makeImage(QStringLiteral("v14.dmg"), 9000, &maker_));
    server_.setRoute(QStringLiteral("/update.json"), LoopbackServer::Route{.body = json(newer)});
    EXPECT_EQ(checkNow(), QStringLiteral("1.4 is available"));
    ASSERT_TRUE(settle(done));
    EXPECT_EQ(updates_.phase(), Updates::Phase::installing());
    EXPECT_EQ(settings().updateInstalling(), QStringLiteral("1.3"));
    EXPECT_EQ(logLines().last(), QStringLiteral("installed 1.3 at %1, relaunching").arg(running_));
}

TEST_P(InstallTest, AnImageOfAReleaseNoLongerOnOfferIsNotInstalled)
{
    const QString image = releaseImage(&maker_);
    serve(QStringLiteral("1.3"), image, {}, LoopbackServer::Route{.stallAfter = 1000});
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    bool downloaded = false;
    updates_.download([&] { downloaded = true; });
    ASSERT_TRUE(waitUntil([&] { return server_.stalled(); }));
    // 1.4 comes out while 1.3 is arriving; the 1.3 image is ready afterwards.
    QJsonObject newer = feedObject(server_.origin(), QStringLiteral("1.4"), makeImage(QStringLiteral("v14.dmg"), 9000, &maker_));
    server_.setRoute(QStringLiteral("/update.json"), LoopbackServer::Route{.body = json(newer)});
    ASSERT_EQ(checkNow(), QStringLiteral("1.4 is available"));
    server_.release();
    ASSERT_TRUE(settle(downloaded));
    ASSERT_EQ(updates_.phase().kind, Updates::Phase::Kind::ready);

    installNow();
    expectInstallFailed(QStringLiteral("the downloaded version is no longer on offer"));
    EXPECT_EQ(runsOf(platform::sim::tools::hdiutil), 0);
}

TEST_P(InstallTest, InstallDoesNothingUnlessAnImageIsReady)
{
    serve(QStringLiteral("1.3"), releaseImage(&maker_));
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    EXPECT_EQ(installNow(), Updates::Phase::idle());
    EXPECT_TRUE(platform::sim::toolRuns().empty());
    expectRunningCopyUntouched();
}

// --- failure roads: the running copy stays byte-identical ---

TEST_P(InstallTest, AnImageWithTheWrongHashIsNeverInstalled)
{
    serve(QStringLiteral("1.3"), releaseImage(&maker_),
          [](QJsonObject& feed) { feed[QStringLiteral("sha256")] = QString(64, QLatin1Char('a')); });
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    EXPECT_EQ(downloadNow(), Updates::Phase::failed(QStringLiteral("the download's hash is not the announced one")));
    installNow();
    expectRunningCopyUntouched();
    EXPECT_TRUE(platform::sim::toolRuns().empty());
}

TEST_P(InstallTest, AnImageOfAnotherTeamIsNeverInstalled)
{
    const Team other = makeTeam(QStringLiteral("Z9Z9Z9Z9Z9"), true);
    const QString folder = QDir(home()).filePath(QStringLiteral("release"));
    makeBundle(folder + QStringLiteral("/Tessaroom.app"), QStringLiteral("1.3"), &maker_);
    serve(QStringLiteral("1.3"), packImage(folder, &other));
    ASSERT_EQ(checkNow(), QStringLiteral("1.3 is available"));
    EXPECT_EQ(downloadNow(), Updates::Phase::failed(QStringLiteral("the download is signed by someone else")));
    installNow();
    expectRunningCopyUntouched();
    EXPECT_TRUE(platform::sim::toolRuns().empty());
}

TEST_P(InstallTest, AnAppOfAnotherTeamInsideTheImageIsRefusedAndTheImageDetached)
{
    const Team other = makeTeam(QStringLiteral("Z9Z9Z9Z9Z9"), true);
    readyFor(releaseImage(&other));
    installNow();
    expectInstallFailed(QStringLiteral("the app in the image is signed by someone else"));
    EXPECT_EQ(runsOf(platform::sim::tools::hdiutil), 2);
    EXPECT_EQ(runsOf(platform::sim::tools::ditto), 0);
}

TEST_P(InstallTest, AnUnsignedAppInsideTheImageIsRefused)
{
    readyFor(releaseImage(nullptr));
    installNow();
    expectInstallFailed(QStringLiteral("the app in the image is not signed"));
}

TEST_P(InstallTest, AnImageWithoutTheAppFailsAndIsDetached)
{
    readyFor(releaseImage(&maker_, QStringLiteral("Other.app")));
    installNow();
    expectInstallFailed(QStringLiteral("the image holds no Tessaroom"));
    EXPECT_EQ(runsOf(platform::sim::tools::hdiutil), 2);
}

TEST_P(InstallTest, AStoredImageCutShortIsNotAttached)
{
    readyFor(releaseImage(&maker_));
    // The stored image loses its second half on disk.
    QFile stored(updates_.phase().imagePath);
    const qint64 size = stored.size();
    ASSERT_TRUE(stored.resize(size / 2));
    installNow();
    expectInstallFailed(QStringLiteral("the stored image is %1 bytes, not %2").arg(size / 2).arg(size));
    EXPECT_EQ(runsOf(platform::sim::tools::hdiutil), 0);
}

TEST_P(InstallTest, AStoredImageSwappedForAnOlderSignedReleaseIsNotAttached)
{
    readyFor(releaseImage(&maker_));
    // The same user puts the maker's older release, padded to the same size,
    // in the stored image's place after its download was verified.
    const QString folder = QDir(home()).filePath(QStringLiteral("older"));
    makeBundle(folder + QStringLiteral("/Tessaroom.app"), QStringLiteral("1.1"), &maker_);
    const QString older = packImage(folder, nullptr, QStringLiteral("older.dmg"));
    const QString stored = updates_.phase().imagePath;
    QFile file(older);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_LE(file.size(), QFileInfo(stored).size());
    ASSERT_TRUE(file.resize(QFileInfo(stored).size()));
    file.close();
    ASSERT_TRUE(QFile::remove(stored));
    ASSERT_TRUE(QFile::copy(older, stored));

    installNow();
    expectInstallFailed(QStringLiteral("the stored image's hash is not the announced one"));
    EXPECT_EQ(runsOf(platform::sim::tools::hdiutil), 0);
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.2"));
}

TEST_P(InstallTest, APipeInTheStoredImagesPlaceIsNotRead)
{
    readyFor(releaseImage(&maker_));
    const QString stored = updates_.phase().imagePath;
    ASSERT_TRUE(QFile::remove(stored));
    ASSERT_EQ(::mkfifo(QFile::encodeName(stored).constData(), 0600), 0);
    installNow();
    EXPECT_TRUE(updates_.phase().failure.startsWith(QStringLiteral("the stored image is -1 bytes")))
        << updates_.phase().failure.toStdString();
    EXPECT_EQ(runsOf(platform::sim::tools::hdiutil), 0);
}

TEST_P(InstallTest, NoReplaceablePlaceFailsWithTheLongTextAndMountsNothing)
{
    readyFor(releaseImage(&maker_));
    // The running copy is on a read-only volume and the user's Applications
    // is a file; root respects neither as a folder to write in.
    platform::sim::mountVolume(apps_, true);
    writeFile(QDir(home()).filePath(QStringLiteral("Applications")), "not a folder");
    for (const QString& folder : Updates::applicationsFolders())
        ASSERT_FALSE(Updates::canReplace(folder + QStringLiteral("/Tessaroom.app"))) << folder.toStdString();

    installNow();
    expectInstallFailed(QStringLiteral("Tessaroom cannot be replaced where it is (%1) and Applications is not "
                                       "writable. Drag it into Applications by hand, open it from there, and try again.")
                            .arg(running_));
    EXPECT_TRUE(platform::sim::toolRuns().empty());
}

// --- attacks on the app and the image ---

namespace {

// A release folder holding a maker-signed 1.3 that an attacker changes
// afterwards; the image around it is signed with the maker's key (a stolen
// key, or the same user building an image of their own).
class AttackTest : public InstallTest {
protected:
    AttackTest()
        : release_(QDir(home()).filePath(QStringLiteral("release")))
        , app_(release_ + QStringLiteral("/Tessaroom.app"))
    {
        makeBundle(app_, QStringLiteral("1.3"), nullptr);
    }

    static void link(const QString& target, const QString& path)
    {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()), 0);
    }

    // Packs the release folder as it is now, plus extra entries, into an
    // image signed with the maker's key.
    QString imageOfRelease(const std::vector<ArchiveEntry>& extra = {},
                           const std::function<void(std::vector<ArchiveEntry>&)>& change = {})
    {
        std::vector<ArchiveEntry> entries = archiveEntriesOf(release_);
        entries.insert(entries.end(), extra.begin(), extra.end());
        if (change)
            change(entries);
        const QString image = QDir(home()).filePath(QStringLiteral("attack.dmg"));
        EXPECT_TRUE(writeArchive(image, entries));
        EXPECT_TRUE(sign(image, maker_));
        return image;
    }

    void expectRefused(const QString& image, const QString& text)
    {
        readyFor(image);
        installNow();
        expectInstallFailed(text);
        EXPECT_EQ(runsOf(platform::sim::tools::ditto), 0);
    }

    const QString release_;
    const QString app_;
};

INSTANTIATE_TEST_SUITE_P(Transport, AttackTest, ::testing::Values(false), [](const auto&) { return "http"; });

} // namespace

TEST_P(AttackTest, AnAppWithARelativeLinkInstallsAndKeepsTheLinksText)
{
    link(QStringLiteral("strings.txt"), app_ + QStringLiteral("/Contents/Resources/alias.txt"));
    ASSERT_TRUE(sign(app_, maker_)); // signed where it was built, installed elsewhere
    readyFor(imageOfRelease());
    installNow();
    ASSERT_EQ(updates_.phase(), Updates::Phase::installing()) << updates_.phase().failure.toStdString();
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
    EXPECT_EQ(QFile::symLinkTarget(running_ + QStringLiteral("/Contents/Resources/alias.txt")),
              running_ + QStringLiteral("/Contents/Resources/strings.txt"));
    EXPECT_EQ(Updates::verifySignature(running_), std::nullopt);
}

TEST_P(AttackTest, AnEmptyFolderAddedToTheAppAfterSigningIsRefused)
{
    ASSERT_TRUE(sign(app_, maker_));
    QDir().mkpath(app_ + QStringLiteral("/Contents/PlugIns"));
    expectRefused(imageOfRelease(), QStringLiteral("the app in the image's signature is broken"));
}

TEST_P(AttackTest, ALinkToAFolderInsideAddedToTheAppAfterSigningIsRefused)
{
    ASSERT_TRUE(sign(app_, maker_));
    link(QStringLiteral("../MacOS"), app_ + QStringLiteral("/Contents/Resources/tools"));
    expectRefused(imageOfRelease(), QStringLiteral("the app in the image's signature is broken"));
}

TEST_P(AttackTest, ALinkToAFolderOutsideAddedToTheAppAfterSigningIsRefused)
{
    ASSERT_TRUE(sign(app_, maker_));
    link(QStringLiteral("../../.."), app_ + QStringLiteral("/Contents/Resources/up"));
    expectRefused(imageOfRelease(), QStringLiteral("the app in the image's signature is broken"));
}

TEST_P(AttackTest, ALinkLeavingTheAppIsRefusedAlthoughSigned)
{
    link(QStringLiteral("/etc/passwd"), app_ + QStringLiteral("/Contents/Resources/outside"));
    ASSERT_TRUE(sign(app_, maker_));
    expectRefused(imageOfRelease(), QStringLiteral("the app in the image's signature is broken"));
}

TEST_P(AttackTest, ASetuidExecutableIsInstalledWithPlainPermissionBits)
{
    ASSERT_TRUE(sign(app_, maker_));
    readyFor(imageOfRelease({}, [](std::vector<ArchiveEntry>& entries) {
        for (ArchiveEntry& entry : entries) {
            if (entry.path == QStringLiteral("Tessaroom.app/Contents/MacOS/Tessaroom"))
                entry.mode |= 06000;
        }
    }));
    installNow();
    ASSERT_EQ(updates_.phase(), Updates::Phase::installing()) << updates_.phase().failure.toStdString();
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(running_ + QStringLiteral("/Contents/MacOS/Tessaroom")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
}

TEST_P(AttackTest, AnImageHoldingAPipeDoesNotMount)
{
    ASSERT_TRUE(sign(app_, maker_));
    expectRefused(imageOfRelease({ArchiveEntry{.path = QStringLiteral("Tessaroom.app/Contents/Resources/pipe"),
                                               .kind = ArchiveEntry::Kind::pipe}}),
                  QStringLiteral("the image did not mount (hdiutil: attach failed - Tessaroom.app/Contents/Resources/pipe: "
                                 "only files, folders and links may be in an image, not a device, pipe or socket)"));
    EXPECT_EQ(runsOf(platform::sim::tools::hdiutil), 1); // nothing to detach
}

TEST_P(AttackTest, AnImageThatWouldUnpackToGigabytesDoesNotMount)
{
    ASSERT_TRUE(sign(app_, maker_));
    const QString image = imageOfRelease({ArchiveEntry{.path = QStringLiteral("Tessaroom.app/Contents/Resources/huge"),
                                                       .data = "x", .apparentSize = qint64(64) << 30}});
    readyFor(image);
    installNow();
    const QString text = updates_.phase().failure;
    EXPECT_TRUE(text.startsWith(QStringLiteral("the image did not mount (hdiutil: attach failed - the image unpacks to more than ")))
        << text.toStdString();
    expectInstallFailed(text);
}

TEST_P(AttackTest, AFolderNobodyMayEnterDoesNotKeepTheImageAttached)
{
    // The image tool runs as a user who cannot pass permission bits: root
    // (as on CI) gives up the capabilities that would let it.
    const QString wrapper = QDir(home()).filePath(QStringLiteral("hdiutil-as-user"));
    writeFile(wrapper,
              (::geteuid() == 0 ? QStringLiteral("#!/bin/sh\nexec setpriv --inh-caps=-all "
                                                 "--bounding-set=-dac_override,-dac_read_search,-fowner -- '%1' \"$@\"\n")
                                : QStringLiteral("#!/bin/sh\nexec '%1' \"$@\"\n"))
                  .arg(QStringLiteral(TESSAROOM_HDIUTIL_TOOL))
                  .toUtf8(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    platform::host::installDiskImageTools(wrapper, QStringLiteral(TESSAROOM_DITTO_TOOL));
    ASSERT_TRUE(sign(app_, maker_));
    readyFor(imageOfRelease({ArchiveEntry{.path = QStringLiteral("Extras"), .kind = ArchiveEntry::Kind::folder, .mode = 0},
                             ArchiveEntry{.path = QStringLiteral("Extras/readme"), .data = "hidden"}}));
    installNow();
    ASSERT_EQ(updates_.phase(), Updates::Phase::installing()) << updates_.phase().failure.toStdString();
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
    EXPECT_TRUE(mountPoints().isEmpty()) << mountPoints().join(u' ').toStdString();
}

// --- what is checked is what goes in ---

TEST_P(AttackTest, ACopyChangedOnItsWayInIsRefusedAndTheOldAppStays)
{
    const QString changing = QDir(home()).filePath(QStringLiteral("changing-ditto"));
    writeFile(changing,
              QStringLiteral("#!/bin/sh\n'%1' \"$1\" \"$2\" && echo changed >> \"$2/Contents/Resources/strings.txt\"\n")
                  .arg(QStringLiteral(TESSAROOM_DITTO_TOOL))
                  .toUtf8(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    platform::host::mapTool(platform::sim::tools::ditto, changing);
    readyFor(releaseImage(&maker_));
    installNow();
    expectInstallFailed(QStringLiteral("the copied app's signature is broken"));
}

TEST_P(AttackTest, AStoredImageSwappedAfterItsCheckIsNotWhatGetsAttached)
{
    // The maker's older release, put in the stored image's place as the
    // image tool starts.
    const QString folder = QDir(home()).filePath(QStringLiteral("older"));
    makeBundle(folder + QStringLiteral("/Tessaroom.app"), QStringLiteral("1.1"), &maker_);
    const QString older = packImage(folder, &maker_, QStringLiteral("older.dmg"));
    readyFor(releaseImage(&maker_));
    const QString swapping = QDir(home()).filePath(QStringLiteral("swapping-hdiutil"));
    writeFile(swapping,
              QStringLiteral("#!/bin/sh\n[ \"$1\" = attach ] && cp '%1' '%2'\nexec '%3' \"$@\"\n")
                  .arg(older, updates_.phase().imagePath, QStringLiteral(TESSAROOM_HDIUTIL_TOOL))
                  .toUtf8(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    platform::host::installDiskImageTools(swapping, QStringLiteral(TESSAROOM_DITTO_TOOL));
    installNow();
    ASSERT_EQ(updates_.phase(), Updates::Phase::installing()) << updates_.phase().failure.toStdString();
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
}

// --- copy and swap ---

class SwapTest : public InstallTest {
protected:
    SwapTest()
        : source_(QDir(home()).filePath(QStringLiteral("source/Tessaroom.app")))
    {
        makeBundle(source_, QStringLiteral("1.3"), &maker_);
    }

    // The app as an install killed between its two renames left it: moved
    // aside under an old copy's name, untagged as an earlier version names
    // it. Empty when it could not be moved.
    QString moveAppAside()
    {
        const QString aside = QDir(apps_).filePath(
            QStringLiteral(".Tessaroom-old-%1.app").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
        return QDir().rename(running_, aside) ? aside : QString();
    }

    // The file system cannot exchange in one step; the renames whose
    // numbers (from 1) are listed fail.
    void failMoves(std::vector<int> failing)
    {
        updates_.renames.exchange = [](const QString&, const QString&) { return EINVAL; };
        updates_.renames.rename = [this, failing](const QString& from, const QString& to) {
            ++moves_;
            if (std::find(failing.begin(), failing.end(), moves_) != failing.end())
                return EPERM;
            return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ? 0 : errno;
        };
    }

    std::optional<UpdateFailure> copyTo(const QString& target)
    {
        return step([&](Updates::StepDone done) { updates_.installCopy(source_, target, std::move(done)); });
    }

    // Takes the install lock as an install under way in another process
    // holds it: the open descriptor, or -1.
    static int holdInstallLock()
    {
        QDir().mkpath(QFileInfo(Updates::installLockPath()).path());
        const int fd = ::open(QFile::encodeName(Updates::installLockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    const QString source_;
    int moves_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Transport, SwapTest, ::testing::Values(false));

// --- what an install may replace ---

TEST_P(SwapTest, ABareProgramFileIsNeverReplacedNorItsFolderSearched)
{
    // A build or a package runs the program itself; beside it lies what
    // looks like an install's leftover.
    const QString program = QDir(apps_).filePath(QStringLiteral("tessaroom"));
    const QByteArray bytes = "#!/bin/sh\necho bare\n";
    writeFile(program, bytes, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    platform::sim::setExecutablePath(program);
    const QString lookalike = QDir(apps_).filePath(
        QStringLiteral(".Tessaroom-new-%1-1-%2.app").arg(::geteuid()).arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    ASSERT_TRUE(QDir().rename(source_, lookalike));
    bool done = false;
    updates_.recoverLeftoversAtLaunch([&] { done = true; });
    ASSERT_TRUE(settle(done));
    EXPECT_TRUE(QFileInfo::exists(lookalike));
    EXPECT_TRUE(logLines().isEmpty()) << logLines().join(u'\n').toStdString();

    // The check still offers the release; the install refuses.
    readyFor(releaseImage(&maker_));
    installNow();
    EXPECT_EQ(updates_.phase(), Updates::Phase::failed(Updates::notAnAppBundle));
    EXPECT_EQ(logLines().last(), QStringLiteral("install of 1.3 failed: ") + Updates::notAnAppBundle);
    EXPECT_TRUE(platform::sim::toolRuns().empty());

    // Nor does the swap itself put a folder over the program.
    const QString staged = QDir(apps_).filePath(QStringLiteral(".Tessaroom-new-staged.app"));
    makeBundle(staged, QStringLiteral("1.3"), nullptr);
    const Updates::Swap swap = Updates::swapIn(staged, program, Updates::systemRenames());
    ASSERT_TRUE(swap.failure);
    EXPECT_EQ(swap.failure->text, program + QStringLiteral(" is not an app bundle; nothing was put in its place"));
    EXPECT_FALSE(QFileInfo::exists(staged));
    QFile file(program);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
    EXPECT_EQ(snapshot(running_), before_);
}

TEST_P(SwapTest, AnAppRunningFromInsideItsBundleInstallsOverTheBundle)
{
    platform::sim::setExecutablePath(running_ + QStringLiteral("/Contents/MacOS/Tessaroom"));
    readyFor(releaseImage(&maker_));
    ASSERT_EQ(installNow(), Updates::Phase::installing()) << updates_.phase().failure.toStdString();
    EXPECT_EQ(relaunched_, std::vector{running_});
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
    EXPECT_EQ(Updates::verifySignature(running_), std::nullopt);
    // The program stays a file: no bundle went inside the old one.
    EXPECT_TRUE(QFileInfo(running_ + QStringLiteral("/Contents/MacOS/Tessaroom")).isFile());
    EXPECT_TRUE(hiddenSiblings(apps_).isEmpty());
}

// --- one install at a time ---

TEST_P(SwapTest, AnInstallWhileAnotherProcessInstallsTheSameAppFailsAndSaysSo)
{
    readyFor(releaseImage(&maker_));
    {
        // As another install under way holds it.
        const LockElsewhere other(Updates::installLockPath());
        ASSERT_TRUE(other.holding());
        installNow();
        expectInstallFailed(QStringLiteral("another install is under way"));
        EXPECT_TRUE(platform::sim::toolRuns().empty());
        const auto refused = copyTo(running_);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->text, QStringLiteral("another install is under way"));
    }
    // In this process too: a second copy while the first runs.
    bool firstDone = false;
    std::optional<UpdateFailure> first = UpdateFailure{};
    updates_.installCopy(source_, running_, [&](const std::optional<UpdateFailure>& result) {
        first = result;
        firstDone = true;
    });
    const auto second = copyTo(running_);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->text, QStringLiteral("another install is under way"));
    ASSERT_TRUE(settle(firstDone));
    EXPECT_EQ(first, std::nullopt);
    EXPECT_EQ(snapshot(running_), snapshot(source_));
}

TEST_P(SwapTest, AnInstallWithAnotherStateFolderKeepsTheFolderAndItsWorkFromEveryOther)
{
    // The same user installs into this folder from a process with a state
    // folder of its own; it stops once its copy tool has run.
    const QString image = releaseImage(&maker_);
    TestProcesses processes;
    QProcess& other = startInstaller(processes, image, QStringLiteral("exchange"), QStringLiteral("hold-ditto-after"),
                   {{QStringLiteral("XDG_STATE_HOME"), QDir(home()).filePath(QStringLiteral("other-state"))}});
    QByteArray said;
    ASSERT_TRUE(waitUntil([&] {
        said += other.readAllStandardOutput();
        return said.contains("held at ditto-after\n") || other.state() == QProcess::NotRunning;
    }, 60000));
    ASSERT_TRUE(said.contains("held at ditto-after\n")) << other.readAllStandardError().toStdString();
    const auto temporaryWork = [&] {
        return QDir(temporaryFolder()).entryList({QStringLiteral("Tessaroom-*")}, QDir::AllEntries | QDir::Hidden);
    };
    const QStringList work = temporaryWork(); // its image copy and where it is attached
    ASSERT_EQ(work.size(), 2) << work.join(u' ').toStdString();
    const QStringList staged = hiddenSiblings(apps_); // its staged copy and its lock
    ASSERT_EQ(staged.size(), 2) << staged.join(u' ').toStdString();
    ASSERT_TRUE(staged.contains(lockFile));

    // A launch's tidy of the folder stays out; one of the temporary folder
    // alone (a program outside a bundle) leaves what a live process uses.
    bool done = false;
    updates_.recoverLeftoversAtLaunch([&] { done = true; });
    ASSERT_TRUE(settle(done));
    EXPECT_EQ(logLines(), QStringList{QStringLiteral("an install is under way (it holds %1); its work and the copies stay")
                                          .arg(QDir(apps_).filePath(lockFile))});
    QStringList left;
    for (const QString& name : work)
        left.append(QStringLiteral("left %1/%2: a live process is using it").arg(temporaryFolder(), name));
    EXPECT_EQ(Updates::tidyLeftovers(QString(), temporaryFolder(), Updates::systemRenames()), left);
    EXPECT_EQ(temporaryWork(), work);
    EXPECT_EQ(hiddenSiblings(apps_), staged);

    // An install here is turned away.
    readyFor(image);
    installNow();
    EXPECT_EQ(updates_.phase(), Updates::Phase::failed(QStringLiteral("another install is under way")));

    // The other one goes on to its end.
    other.closeWriteChannel();
    ASSERT_TRUE(other.waitForFinished(60000));
    EXPECT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
    EXPECT_TRUE(hiddenSiblings(apps_).isEmpty());
    EXPECT_TRUE(temporaryWork().isEmpty()) << temporaryWork().join(u' ').toStdString();
}

TEST_P(SwapTest, AnInstallOfAnotherUserWhoMayWriteTheFolderWaitsItsTurn)
{
    const QStringList asOther = TestProcesses::asAnotherUser(QStringLiteral(TESSAROOM_UPDATE_INSTALLER));
    if (asOther.isEmpty())
        GTEST_SKIP() << "a process of another user needs root and setpriv";
    ASSERT_EQ(::chmod(QFile::encodeName(apps_).constData(), 0777), 0);
    const QMap<QString, QString> otherHome = homeOfAnotherUser();
    const QString image = releaseImage(&maker_);

    // While this user's copy goes in, the other's install is turned away:
    // the lock this user made is one that user may open.
    TestProcesses processes;
    QByteArray refused;
    const Updates::Renames system = Updates::systemRenames();
    updates_.renames.exchange = [&](const QString& first, const QString& second) {
        QProcess& installer = startInstaller(processes, image, QStringLiteral("exchange"), QStringLiteral("none"),
                                             otherHome, asOther);
        EXPECT_TRUE(installer.waitForFinished(60000));
        EXPECT_EQ(installer.exitCode(), 1);
        refused = installer.readAllStandardError();
        return system.exchange(first, second);
    };
    EXPECT_EQ(copyTo(running_), std::nullopt);
    EXPECT_TRUE(refused.contains("install: another install is under way\n")) << refused.toStdString();
}

TEST_P(SwapTest, AnInstallSaysInstalledOnlyForTheCopyThatIsInPlace)
{
    // Something else takes the app's place while the image is detached.
    const QString replacing = QDir(home()).filePath(QStringLiteral("replacing-hdiutil"));
    writeFile(replacing,
              QStringLiteral("#!/bin/sh\n[ \"$1\" = detach ] && mv '%1' '%2' && mkdir '%1'\nexec '%3' \"$@\"\n")
                  .arg(running_, QDir(home()).filePath(QStringLiteral("moved-away")), QStringLiteral(TESSAROOM_HDIUTIL_TOOL))
                  .toUtf8(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    platform::host::installDiskImageTools(replacing, QStringLiteral(TESSAROOM_DITTO_TOOL));
    readyFor(releaseImage(&maker_));
    installNow();
    const QString text = QStringLiteral("the new copy at %1 was replaced by another before the install ended").arg(running_);
    EXPECT_EQ(updates_.phase(), Updates::Phase::failed(text));
    EXPECT_EQ(logLines().last(), QStringLiteral("install of 1.3 failed: ") + text);
    EXPECT_TRUE(relaunched_.empty());
    EXPECT_TRUE(settings().updateInstalling().isEmpty());
}

// --- the old copy goes off the main thread ---

TEST_P(SwapTest, AnOldCopyThatCannotBeRemovedIsLoggedWithItsPath)
{
    // A quit comes as the copies change places: the removal is cut short.
    const Updates::Renames system = Updates::systemRenames();
    updates_.renames.exchange = [system](const QString& first, const QString& second) {
        platform::Application::terminate();
        return system.exchange(first, second);
    };
    EXPECT_EQ(copyTo(running_), std::nullopt);
    EXPECT_EQ(snapshot(running_), snapshot(source_));
    const QStringList left = hiddenSiblings(apps_);
    ASSERT_EQ(left.size(), 1);
    const QString oldCopy = QDir(apps_).filePath(left[0]);
    EXPECT_EQ(logLines(), QStringList{QStringLiteral("could not remove %1, the copy this install replaced: %1: the "
                                                     "removal was cut short: the process is quitting")
                                          .arg(oldCopy)});
}

TEST_P(SwapTest, TheOldCopyIsRemovedOffTheMainThreadBeforeTheCopyReports)
{
    clock().holdBackgroundWork(true);
    bool done = false;
    updates_.installCopy(source_, running_, [&](const std::optional<UpdateFailure>& failure) {
        EXPECT_EQ(failure, std::nullopt);
        done = true;
    });
    // Background work runs only when let go: the swap happens on the main
    // thread, the removal waits for its queue.
    ASSERT_TRUE(waitUntil([&] {
        clock().runPending();
        if (bundleVersion(running_) == QLatin1String("1.3"))
            return true;
        clock().runHeldBackgroundWork();
        return false;
    }));
    EXPECT_EQ(hiddenSiblings(apps_).size(), 2); // the old copy, and the lock until the copy reports
    EXPECT_FALSE(done);
    clock().holdBackgroundWork(false);
    clock().runHeldBackgroundWork();
    ASSERT_TRUE(settle(done));
    EXPECT_TRUE(hiddenSiblings(apps_).isEmpty());
}

TEST_P(SwapTest, ANewCopyThatCannotGoInLeavesTheOldOneInPlace)
{
    failMoves({2});
    const auto failure = copyTo(running_);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->text, QStringLiteral("the new copy could not be put in place: Operation not permitted"));
    EXPECT_EQ(moves_, 3); // aside, in (failed), back
    expectRunningCopyUntouched();
}

TEST_P(SwapTest, AnOldCopyThatCannotBeMovedBackIsKeptAndNamed)
{
    failMoves({2, 3});
    readyFor(releaseImage(&maker_));
    installNow();
    const QString text = updates_.phase().failure;
    const QString marker = QStringLiteral("; the old copy could not be moved back and is at ");
    ASSERT_TRUE(text.startsWith(QStringLiteral("the new copy could not be put in place: Operation not permitted") + marker))
        << text.toStdString();
    const QString kept = text.mid(text.indexOf(marker) + marker.size());
    EXPECT_TRUE(QFileInfo(kept).fileName().startsWith(QStringLiteral(".Tessaroom-old-")));
    EXPECT_EQ(QFileInfo(kept).path(), apps_);
    EXPECT_EQ(snapshot(kept), before_); // nothing of the old copy is lost
    EXPECT_FALSE(QFileInfo::exists(running_));
    EXPECT_EQ(hiddenSiblings(apps_), QStringList{QFileInfo(kept).fileName()}); // the new copy is gone
    EXPECT_EQ(logLines().last(), QStringLiteral("install of 1.3 failed: ") + text);
    EXPECT_TRUE(relaunched_.empty());
}

TEST_P(SwapTest, AnOldCopyThatCannotBeMovedAsideStaysAndTheNewCopyGoes)
{
    failMoves({1});
    const auto failure = copyTo(running_);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->text, QStringLiteral("the old copy could not be moved aside: Operation not permitted"));
    expectRunningCopyUntouched();
}

TEST_P(SwapTest, WhereTheFileSystemCanTheCopiesChangePlacesInOneStep)
{
    // Refused for another reason than the file system's: nothing changes.
    updates_.renames.exchange = [](const QString&, const QString&) { return EPERM; };
    auto failure = copyTo(running_);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->text, QStringLiteral("the new copy could not be put in place: Operation not permitted"));
    expectRunningCopyUntouched();

    const Updates::Renames system = Updates::systemRenames();
    const QString scratch = QDir(home()).filePath(QStringLiteral("scratch"));
    ASSERT_TRUE(QDir().mkpath(scratch + QStringLiteral("/a")) && QDir().mkpath(scratch + QStringLiteral("/b")));
    if (const int error = system.exchange(scratch + QStringLiteral("/a"), scratch + QStringLiteral("/b"));
        error == EINVAL || error == ENOSYS)
        GTEST_SKIP() << "this file system cannot exchange two entries in one step";
    std::vector<QString> steps;
    updates_.renames = {
        .exchange = [&](const QString& first, const QString& second) {
            steps.push_back(QStringLiteral("exchange"));
            return system.exchange(first, second);
        },
        .rename = [&](const QString& from, const QString& to) {
            steps.push_back(QStringLiteral("rename"));
            return system.rename(from, to);
        },
    };
    EXPECT_EQ(copyTo(running_), std::nullopt);
    EXPECT_EQ(steps, std::vector{QStringLiteral("exchange")});
    EXPECT_EQ(snapshot(running_), snapshot(source_));
    EXPECT_TRUE(hiddenSiblings(apps_).isEmpty());
}

TEST_P(SwapTest, AnInstallKilledBetweenItsTwoRenamesIsPutRightAtTheNextLaunch)
{
    // A process of this user stages the new copy and swaps it in without the
    // one-step exchange; it is killed between the two renames.
    ForkedChild install([&](int) {
        const QString staged = QDir(apps_).filePath(QStringLiteral(".Tessaroom-new-%1-%2-%3.app")
                                                        .arg(::geteuid())
                                                        .arg(::getpid())
                                                        .arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
        if (std::rename(QFile::encodeName(source_).constData(), QFile::encodeName(staged).constData()) != 0)
            return 2;
        int renames = 0;
        Updates::swapIn(staged, running_,
                        {.exchange = [](const QString&, const QString&) { return EINVAL; },
                         .rename = [&renames](const QString& from, const QString& to) {
                             if (++renames == 2)
                                 ::raise(SIGKILL);
                             return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData());
                         }});
        return 3;
    });
    const std::optional<int> status = install.wait();
    ASSERT_TRUE(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL) << status.value_or(-1);
    ASSERT_FALSE(QFileInfo::exists(running_));
    const QStringList left = hiddenSiblings(apps_);
    ASSERT_EQ(left.size(), 2);

    bool done = false;
    updates_.recoverLeftoversAtLaunch([&] { done = true; });
    ASSERT_TRUE(settle(done));
    // The newest copy that verifies: the new one, staged and complete.
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
    EXPECT_EQ(Updates::verifySignature(running_), std::nullopt);
    EXPECT_TRUE(hiddenSiblings(apps_).isEmpty());
    const QString newCopy = apps_ + QLatin1Char('/') + left.filter(QStringLiteral("-new-")).value(0);
    const QString oldCopy = apps_ + QLatin1Char('/') + left.filter(QStringLiteral("-old-")).value(0);
    EXPECT_EQ(logLines(), (QStringList{
                              QStringLiteral("put back %1 from %2, left by an interrupted install").arg(running_, newCopy),
                              QStringLiteral("removed %1, left by an interrupted install").arg(oldCopy),
                          }));
}

TEST_P(SwapTest, NothingIsTouchedWhileAnInstallHoldsTheInstallLock)
{
    // A killed install left the old copy aside; a live one is between its
    // two renames, its new copy about to go in place.
    const QString aside = moveAppAside();
    ASSERT_FALSE(aside.isEmpty());
    const QString live = QDir(apps_).filePath(QStringLiteral(".Tessaroom-new-%1-%2-%3.app")
                                                  .arg(::geteuid())
                                                  .arg(::getpid())
                                                  .arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    ASSERT_TRUE(QDir().rename(source_, live));
    const int lock = holdInstallLock();
    ASSERT_GE(lock, 0);
    bool done = false;
    updates_.recoverLeftoversAtLaunch([&] { done = true; });
    ASSERT_TRUE(settle(done));
    ::close(lock);
    EXPECT_FALSE(QFileInfo::exists(running_));
    EXPECT_EQ(hiddenSiblings(apps_).size(), 2);
    EXPECT_EQ(logLines(), QStringList{QStringLiteral("an install is under way (it holds %1); its work and the "
                                                     "copies stay")
                                          .arg(Updates::installLockPath())});
}

TEST_P(SwapTest, AMissingAppIsNotReplacedByACopyThatDoesNotVerify)
{
    // An earlier version's install, killed between its renames, left the old
    // copy aside under its name of then; the copy was changed since.
    const QString aside = moveAppAside();
    ASSERT_FALSE(aside.isEmpty());
    writeFile(aside + QStringLiteral("/Contents/Resources/strings.txt"), "changed\n");
    bool done = false;
    updates_.recoverLeftoversAtLaunch([&] { done = true; });
    ASSERT_TRUE(settle(done));
    EXPECT_FALSE(QFileInfo::exists(running_));
    EXPECT_TRUE(QFileInfo::exists(aside)); // nothing of the user's is lost
    EXPECT_EQ(logLines(), QStringList{QStringLiteral("%1 is missing and no copy left beside it by an interrupted "
                                                     "install verifies; the copies stay")
                                          .arg(running_)});
}

TEST_P(SwapTest, ACopyThatDoesNotReachTheDiskNeverReplacesTheOldOne)
{
    // The staged tree, its folder before the swap, the folder after it.
    for (const bool exchange : {true, false}) {
        for (int call = 0; call < 3; ++call) {
            SCOPED_TRACE(testing::Message() << (exchange ? "exchange" : "two renames") << ", sync " << call);
            if (exchange)
                updates_.renames = Updates::systemRenames();
            else
                failMoves({});
            platform::FileManager::failSync({.callIndex = call});
            const auto failure = copyTo(running_);
            platform::FileManager::clearInjectedSyncFailure();
            ASSERT_TRUE(failure);
            EXPECT_TRUE(failure->text.startsWith(QStringLiteral("the new copy could not be written to the disk: ")))
                << failure->text.toStdString();
            EXPECT_TRUE(failure->text.endsWith(QStringLiteral(": Input/output error"))) << failure->text.toStdString();
            expectRunningCopyUntouched();
        }
    }
    // The whole install says so and keeps the running copy.
    readyFor(releaseImage(&maker_));
    platform::FileManager::failSync({});
    installNow();
    platform::FileManager::clearInjectedSyncFailure();
    EXPECT_TRUE(updates_.phase().failure.startsWith(QStringLiteral("the new copy could not be written to the disk: ")))
        << updates_.phase().failure.toStdString();
    expectInstallFailed(updates_.phase().failure);
}

TEST_P(SwapTest, AFreshPlaceSkipsTheMoveAsideAndLeavesNoHiddenCopy)
{
    failMoves({});
    const QString target = QDir(home()).filePath(QStringLiteral("Applications/Tessaroom.app"));
    QDir(home()).mkpath(QStringLiteral("Applications"));
    EXPECT_EQ(copyTo(target), std::nullopt);
    EXPECT_EQ(moves_, 1);
    EXPECT_EQ(snapshot(target), snapshot(source_));
    EXPECT_TRUE(hiddenSiblings(QFileInfo(target).path()).isEmpty());
}

TEST_P(SwapTest, MoveToApplicationsCopiesTheRunningCopyThere)
{
    const QString target = QDir(home()).filePath(QStringLiteral("Applications/Tessaroom.app"));
    QDir(home()).mkpath(QStringLiteral("Applications"));
    const auto failure = step([&](Updates::StepDone done) { updates_.moveApp(running_, target, std::move(done)); });
    EXPECT_EQ(failure, std::nullopt);
    EXPECT_EQ(snapshot(target), before_);
    EXPECT_EQ(Updates::verifySignature(target), std::nullopt);
    expectRunningCopyUntouched();
}

TEST_P(SwapTest, AFolderThatCannotBeChangedIsRefusedBeforeCopying)
{
    platform::sim::mountVolume(apps_, true);
    const auto failure = copyTo(running_);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->text, QStringLiteral("no permission to change ") + apps_);
    EXPECT_TRUE(platform::sim::toolRuns().empty());
    expectRunningCopyUntouched();
}

TEST_P(SwapTest, ACopyToolThatFailsHalfwayLeavesNoPartialCopy)
{
    // The copy tool stops at a special file, after the files before it.
    const QString fifo = source_ + QStringLiteral("/Contents/zz-pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const auto failure = copyTo(running_);
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->text.startsWith(QStringLiteral("the copy did not go through (ditto: ")))
        << failure->text.toStdString();
    EXPECT_TRUE(failure->text.endsWith(QStringLiteral("zz-pipe: unsupported file type)")));
    expectRunningCopyUntouched();
}

TEST_P(SwapTest, ACopyToolThatCannotStartSaysWhy)
{
    platform::sim::failToolLaunch(platform::sim::tools::ditto, QStringLiteral("The file \u201Cditto\u201D doesn\u2019t exist."));
    const auto failure = copyTo(running_);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->text, QStringLiteral("the copy did not go through: The file \u201Cditto\u201D doesn\u2019t exist."));
    expectRunningCopyUntouched();
}

TEST_P(SwapTest, AHungCopyToolIsStoppedAfterTwoMinutesAndItsCopyRemoved)
{
    const QString hanging = QDir(home()).filePath(QStringLiteral("hanging-ditto"));
    writeFile(hanging, "#!/bin/sh\nmkdir -p \"$2/Contents\"\nexec sleep 1000\n",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    platform::host::mapTool(platform::sim::tools::ditto, hanging);
    bool done = false;
    std::optional<UpdateFailure> failure;
    updates_.installCopy(source_, running_, [&](const std::optional<UpdateFailure>& result) {
        failure = result;
        done = true;
    });
    ASSERT_TRUE(waitUntil([&] { return runsOf(platform::sim::tools::ditto) == 1 && hiddenSiblings(apps_).size() == 1; }));
    advance(Updates::toolTimeLimit - 1);
    EXPECT_FALSE(done);
    advance(1);
    ASSERT_TRUE(settle(done));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->text, QStringLiteral("the copy did not go through: the tool did not end within 120 seconds"));
    expectRunningCopyUntouched();
}


// --- what an install that did not end leaves ---

class LeftoversTest : public SwapTest {
protected:
    static QString tag(qint64 pid, uint user = ::geteuid())
    {
        return QStringLiteral("%1-%2-%3").arg(user).arg(pid).arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    }

    // A tree as an attached image leaves it: read-only.
    QString unpackedImage(const QString& name)
    {
        const QString path = QDir(temporaryFolder()).filePath(name);
        makeBundle(path + QStringLiteral("/Tessaroom.app"), QStringLiteral("1.3"), nullptr);
        QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("a-w"), path});
        return path;
    }

    QString hiddenCopy(const QString& name)
    {
        const QString path = QDir(apps_).filePath(name);
        makeBundle(path, QStringLiteral("1.1"), &maker_);
        return path;
    }
};

INSTANTIATE_TEST_SUITE_P(Transport, LeftoversTest, ::testing::Values(false));

TEST_P(LeftoversTest, ALaunchRemovesWhatEndedInstallsOfThisUserLeftAndNothingElse)
{
    const qint64 ended = TestProcesses::endedProcessId();
    const QStringList gone{
        hiddenCopy(QStringLiteral(".Tessaroom-new-%1.app").arg(tag(ended))),
        hiddenCopy(QStringLiteral(".Tessaroom-old-%1.app").arg(QUuid::createUuid().toString(QUuid::WithoutBraces))),
        // No install holds the lock: a process that runs is not under way.
        hiddenCopy(QStringLiteral(".Tessaroom-new-%1.app").arg(tag(1))),
        // This user's copy that another user's install swapped out and could
        // not remove.
        hiddenCopy(QStringLiteral(".Tessaroom-new-%1.app").arg(tag(ended, ::geteuid() + 1))),
        unpackedImage(QStringLiteral("Tessaroom-mount-%1").arg(tag(ended))),
        makeImage(QStringLiteral("tmp/Tessaroom-image-%1.dmg").arg(tag(ended)), 1000, nullptr),
        makeImage(QStringLiteral("tmp/Tessaroom-download-%1.dmg").arg(tag(ended)), 1000, nullptr),
    };
    const QStringList kept{
        unpackedImage(QStringLiteral("Tessaroom-mount-%1").arg(tag(::getpid()))), // this process's
        // Untagged in a temporary folder that may be shared: anyone's.
        unpackedImage(QStringLiteral("Tessaroom-mount-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces))),
        // A link is never followed: what it leads to stays.
        QDir(home()).filePath(QStringLiteral("linked/keep.txt")),
    };
    writeFile(kept.last(), "mine\n");
    const QString link = QDir(apps_).filePath(QStringLiteral(".Tessaroom-new-%1.app").arg(tag(ended)));
    ASSERT_TRUE(QFile::link(QFileInfo(kept.last()).path(), link));
    bool done = false;
    updates_.recoverLeftoversAtLaunch([&] { done = true; });
    ASSERT_TRUE(settle(done));
    for (const QString& path : gone)
        EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
    for (const QString& path : kept)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_EQ(snapshot(running_), before_);
    QStringList lines = logLines();
    lines.sort();
    QStringList expected{
        QStringLiteral("left %1: not a folder of this user").arg(link),
        QStringLiteral("left %1: this process's own, maybe under way").arg(kept[0]),
    };
    for (int index = 0; index < 4; ++index)
        expected.append(QStringLiteral("removed %1, left by an interrupted install").arg(gone[index]));
    for (int index = 4; index < 7; ++index)
        expected.append(QStringLiteral("removed %1, left by an earlier install").arg(gone[index]));
    expected.sort();
    EXPECT_EQ(lines, expected);
}

TEST_P(LeftoversTest, AFolderAtTheAppsPlaceThatDoesNotVerifyIsSetAsideForTheVerifiedCopy)
{
    // An interrupted install left a good copy aside; an empty folder took the
    // app's place.
    const QString aside = moveAppAside();
    ASSERT_FALSE(aside.isEmpty());
    ASSERT_TRUE(QDir().mkpath(running_));
    bool done = false;
    updates_.recoverLeftoversAtLaunch([&] { done = true; });
    ASSERT_TRUE(settle(done));
    EXPECT_EQ(snapshot(running_), before_);
    const QStringList unverified = hiddenSiblings(apps_);
    ASSERT_EQ(unverified.size(), 1) << unverified.join(u' ').toStdString();
    const QString setAside = QDir(apps_).filePath(unverified[0]);
    EXPECT_TRUE(unverified[0].startsWith(QStringLiteral(".Tessaroom-unverified-")));
    EXPECT_TRUE(QDir(setAside).isEmpty()); // kept, not trusted
    EXPECT_EQ(logLines(), (QStringList{
                              QStringLiteral("%1 does not verify (it is not signed); set it aside as %2").arg(running_, setAside),
                              QStringLiteral("put back %1 from %2, left by an interrupted install").arg(running_, aside),
                          }));
}

TEST_P(LeftoversTest, NamesOfLiveProcessesAndEntriesThatAreNotTheUsersFoldersDoNotStopTheRepair)
{
    // The app is missing; a good copy was left aside. Beside it: a file named
    // as a live install's copy, and a copy tagged with a process that runs
    // (another user's, or a pid used again).
    const QString aside = moveAppAside();
    ASSERT_FALSE(aside.isEmpty());
    const QString file = QDir(apps_).filePath(QStringLiteral(".Tessaroom-new-%1.app").arg(tag(::getpid())));
    writeFile(file, "not a copy\n");
    const QString reused = QDir(apps_).filePath(QStringLiteral(".Tessaroom-new-%1.app").arg(tag(1)));
    makeBundle(reused, QStringLiteral("1.3"), nullptr); // does not verify
    bool done = false;
    updates_.recoverLeftoversAtLaunch([&] { done = true; });
    ASSERT_TRUE(settle(done));
    EXPECT_EQ(snapshot(running_), before_);
    EXPECT_EQ(hiddenSiblings(apps_), QStringList{QFileInfo(file).fileName()});
    QStringList lines = logLines();
    EXPECT_EQ(lines, (QStringList{
                         QStringLiteral("left %1: not a folder of this user").arg(file),
                         QStringLiteral("put back %1 from %2, left by an interrupted install").arg(running_, aside),
                         QStringLiteral("removed %1, left by an interrupted install").arg(reused),
                     }));
}

TEST_P(LeftoversTest, AFileSystemWithoutTheNoReplaceRenameStillGetsItsAppBack)
{
    const QString aside = moveAppAside();
    ASSERT_FALSE(aside.isEmpty());
    std::vector<QString> steps;
    const Updates::Renames system = Updates::systemRenames();
    updates_.renames = {
        .exchange = [](const QString&, const QString&) { return EINVAL; },
        .rename = [&](const QString& from, const QString& to) {
            steps.push_back(QStringLiteral("rename"));
            return system.rename(from, to);
        },
        .renameNoReplace = [&](const QString&, const QString&) {
            steps.push_back(QStringLiteral("no replace"));
            return EINVAL;
        },
    };
    bool done = false;
    updates_.recoverLeftoversAtLaunch([&] { done = true; });
    ASSERT_TRUE(settle(done));
    EXPECT_EQ(steps, (std::vector{QStringLiteral("no replace"), QStringLiteral("rename")}));
    EXPECT_EQ(snapshot(running_), before_);
    EXPECT_TRUE(hiddenSiblings(apps_).isEmpty());
    EXPECT_EQ(logLines(), QStringList{QStringLiteral("put back %1 from %2, left by an interrupted install")
                                          .arg(running_, aside)});
}

TEST_P(LeftoversTest, ARemovalThatQuittingCutShortIsFinishedByTheNextLaunch)
{
    const QString unpacked = unpackedImage(QStringLiteral("Tessaroom-mount-%1").arg(tag(TestProcesses::endedProcessId())));
    platform::Application::terminate();
    EXPECT_EQ(Updates::tidyLeftovers(running_, temporaryFolder(), Updates::systemRenames()),
              QStringList{QStringLiteral("could not remove %1, left by an earlier install: %1: the removal was cut "
                                         "short: the process is quitting")
                              .arg(unpacked)});
    EXPECT_TRUE(QFileInfo::exists(unpacked));

    // The next launch: a new process, whose queues were asked nothing.
    platform::Scheduler::install(std::make_unique<platform::ManualScheduler>(startTime));
    EXPECT_EQ(Updates::tidyLeftovers(running_, temporaryFolder(), Updates::systemRenames()),
              QStringList{QStringLiteral("removed %1, left by an earlier install").arg(unpacked)});
    EXPECT_FALSE(QFileInfo::exists(unpacked));
    EXPECT_EQ(snapshot(running_), before_);
}

TEST_P(LeftoversTest, AnInstallFirstRemovesWhatAnEndedInstallLeft)
{
    const qint64 ended = TestProcesses::endedProcessId();
    const QString staged = hiddenCopy(QStringLiteral(".Tessaroom-new-%1.app").arg(tag(ended)));
    const QString unpacked = unpackedImage(QStringLiteral("Tessaroom-mount-%1").arg(tag(ended)));
    readyFor(releaseImage(&maker_));
    installNow();
    ASSERT_EQ(updates_.phase(), Updates::Phase::installing()) << updates_.phase().failure.toStdString();
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
    EXPECT_TRUE(hiddenSiblings(apps_).isEmpty());
    EXPECT_TRUE(mountPoints().isEmpty());
    EXPECT_TRUE(QDir(temporaryFolder()).entryList({QStringLiteral("Tessaroom-image-*")}, QDir::Files).isEmpty());
}

TEST_P(LeftoversTest, AMountFolderAnotherProcesssTidyTakesBeforeItIsLockedIsMadeAgain)
{
    readyFor(releaseImage(&maker_));
    QString taken;
    TemporaryWork::whenNextFolderIsMade([&taken](const QString& path) {
        taken = path;
        QDir().rmdir(path); // as that tidy removes an unlocked leftover
    });
    installNow();
    ASSERT_EQ(updates_.phase(), Updates::Phase::installing()) << updates_.phase().failure.toStdString();
    EXPECT_TRUE(QFileInfo(taken).fileName().startsWith(QStringLiteral("Tessaroom-mount-"))) << taken.toStdString();
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
    EXPECT_TRUE(mountPoints().isEmpty());
}

// --- who may hold up installs ---

TEST_P(LeftoversTest, WhatIsNotAnInstallLockAtItsPathIsSetAsideAndHoldsUpNoInstall)
{
    // The folder is this user's, open to all to read.
    ASSERT_EQ(::chmod(QFile::encodeName(home()).constData(), 0711), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(apps_).constData(), 0755), 0);
    const QString lock = QDir(apps_).filePath(lockFile);
    const QByteArray native = QFile::encodeName(lock);
    const QString outside = QDir(home()).filePath(QStringLiteral("outside.txt"));
    writeFile(outside, "precious\n");
    // A file of another user, left when that user could still write the folder.
    const auto theirs = [&] {
        writeFile(lock, "theirs\n", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        ASSERT_EQ(::chown(native.constData(), otherUser, otherUser), 0);
    };
    std::vector<std::pair<QString, std::function<void()>>> odd{
        {QStringLiteral("it is a link"), [&] { ASSERT_TRUE(QFile::link(outside, lock)); }},
        {QStringLiteral("it is not a file"), [&] { ASSERT_EQ(::mkfifo(native.constData(), 0600), 0); }},
        {QStringLiteral("it is not a file"), [&] { writeFile(lock + QStringLiteral("/inside"), "kept\n"); }},
        {QStringLiteral("users who may not write the folder may open it"),
         [&] { writeFile(lock, "", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther); }},
    };
    if (::geteuid() == 0)
        odd.emplace_back(QStringLiteral("it belongs to user 65534, who may not write the folder"), theirs);
    for (const auto& [why, plant] : odd) {
        SCOPED_TRACE(why.toStdString());
        plant();
        const QStringList lines = Updates::tidyLeftovers(running_, QString(), Updates::systemRenames());
        const QStringList aside = hiddenSiblings(apps_);
        ASSERT_EQ(aside.size(), 1) << aside.join(u' ').toStdString();
        const QString setAside = QDir(apps_).filePath(aside[0]);
        EXPECT_EQ(lines, QStringList{QStringLiteral("%1 is not an install lock of this folder (%2); set it aside as %3")
                                         .arg(lock, why, setAside)});
        ASSERT_EQ(platform::FileManager::removeItem(setAside), std::nullopt);
    }
    QFile file(outside);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("precious\n"));
    EXPECT_EQ(snapshot(running_), before_);
    if (::geteuid() != 0)
        return;

    // That user, who may only read the folder, holds its file there, the
    // folder and every entry it can open: a launch's tidy and an install
    // go on all the same.
    theirs();
    const QString leftover = hiddenCopy(QStringLiteral(".Tessaroom-new-%1.app").arg(tag(TestProcesses::endedProcessId())));
    QStringList held{lock, apps_};
    for (QDirIterator it(apps_, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        held << it.next();
    const LockElsewhere reader({.paths = held, .asUser = otherUser});
    ASSERT_TRUE(reader.holding());
    const QStringList lines = Updates::tidyLeftovers(running_, QString(), Updates::systemRenames());
    ASSERT_EQ(lines.size(), 2) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines[1], QStringLiteral("removed %1, left by an interrupted install").arg(leftover));
    readyFor(releaseImage(&maker_));
    EXPECT_EQ(installNow(), Updates::Phase::installing()) << updates_.phase().failure.toStdString();
    EXPECT_EQ(bundleVersion(running_), QStringLiteral("1.3"));
    EXPECT_TRUE(reader.holding());
}

// --- kill -9 at every step ---

// An install in a process of its own dies at each of its steps in turn; the
// next launch's recovery must leave exactly one app, the newest that
// verifies, and nothing else.
class KillPointTest : public InstallTest {
protected:
    void expectEveryKillPutRight(const QString& road, const QStringList& steps, const QStringList& afterTheSwap)
    {
        const QString image = releaseImage(&maker_);
        for (const QString& step : steps) {
            SCOPED_TRACE(step.toStdString());
            TestProcesses processes;
            QProcess& installer = startInstaller(processes, image, road, step);
            ASSERT_TRUE(installer.waitForFinished(120000));
            ASSERT_EQ(installer.exitStatus(), QProcess::CrashExit) << installer.readAllStandardError().toStdString();
            ASSERT_EQ(installer.exitCode(), SIGKILL);

            // The next launch, on the same file system.
            updates_.renames = Updates::systemRenames();
            if (road == QLatin1String("rename")) {
                updates_.renames.exchange = [](const QString&, const QString&) { return EINVAL; };
                updates_.renames.renameNoReplace = [](const QString&, const QString&) { return EINVAL; };
            }
            bool done = false;
            updates_.recoverLeftoversAtLaunch([&] { done = true; });
            ASSERT_TRUE(settle(done));
            EXPECT_EQ(QDir(apps_).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                      QStringList{QStringLiteral("Tessaroom.app")})
                << logLines().join(u'\n').toStdString();
            EXPECT_EQ(Updates::verifySignature(running_), std::nullopt);
            EXPECT_EQ(bundleVersion(running_), afterTheSwap.contains(step) ? QStringLiteral("1.3") : QStringLiteral("1.2"));
            EXPECT_TRUE(QDir(temporaryFolder()).entryList({QStringLiteral("Tessaroom-*")}, QDir::AllEntries | QDir::Hidden).isEmpty())
                << QDir(temporaryFolder()).entryList({QStringLiteral("Tessaroom-*")}, QDir::AllEntries | QDir::Hidden).join(u' ').toStdString();

            // Back to 1.2 for the next step.
            ASSERT_EQ(platform::FileManager::removeItem(running_), std::nullopt);
            makeBundle(running_, QStringLiteral("1.2"), &maker_);
        }
    }

    static QStringList stepsAround(const QStringList& swap)
    {
        return QStringList{QStringLiteral("attach-before"), QStringLiteral("attach-after"), QStringLiteral("ditto-before"),
                           QStringLiteral("ditto-torn"),    QStringLiteral("ditto-after"),  QStringLiteral("sync0"),
                           QStringLiteral("sync1")}
            + swap
            + QStringList{QStringLiteral("sync2"), QStringLiteral("detach-before"), QStringLiteral("detach-after")};
    }
    static QStringList afterTheSwap(const QStringList& swapped)
    {
        return swapped + QStringList{QStringLiteral("sync2"), QStringLiteral("detach-before"), QStringLiteral("detach-after")};
    }
};

INSTANTIATE_TEST_SUITE_P(Transport, KillPointTest, ::testing::Values(false));

TEST_P(KillPointTest, AKillAtAnyStepOfAnExchangeLeavesOneVerifiedAppAndNoLeftovers)
{
    expectEveryKillPutRight(QStringLiteral("exchange"),
                            stepsAround({QStringLiteral("exchange-before"), QStringLiteral("exchange-after")}),
                            afterTheSwap({QStringLiteral("exchange-after")}));
}

TEST_P(KillPointTest, AKillAtAnyStepOfTheTwoRenamesLeavesOneVerifiedAppAndNoLeftovers)
{
    expectEveryKillPutRight(QStringLiteral("rename"),
                            stepsAround({QStringLiteral("rename1-before"), QStringLiteral("rename1-after"),
                                         QStringLiteral("rename2-before"), QStringLiteral("rename2-after")}),
                            afterTheSwap({QStringLiteral("rename1-after"), QStringLiteral("rename2-before"),
                                          QStringLiteral("rename2-after")}));
}

} // namespace

namespace {

// --- running a tool ---

class ToolTest : public SwapTest {
protected:
    // Maps the copy tool to a shell script with body.
    void scriptTool(const QByteArray& body)
    {
        const QString script = QDir(home()).filePath(QStringLiteral("tool.sh"));
        writeFile(script, "#!/bin/sh\n" + body, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        platform::host::mapTool(platform::sim::tools::ditto, script);
    }

    std::optional<UpdateFailure> runNow()
    {
        return step([&](Updates::StepDone done) {
            updates_.runTool(platform::sim::tools::ditto, {QStringLiteral("a b"), QStringLiteral("c")},
                             QStringLiteral("the tool failed"), std::move(done));
        });
    }
};

INSTANTIATE_TEST_SUITE_P(Transport, ToolTest, ::testing::Values(false));

TEST_P(ToolTest, ExitStatusZeroSucceedsWhateverTheToolWrites)
{
    scriptTool("echo out; echo noise >&2; exit 0\n");
    EXPECT_EQ(runNow(), std::nullopt);
    EXPECT_EQ(clock().pendingCount(), 0u);
}

TEST_P(ToolTest, AFailureCarriesTheTrimmedStandardErrorOrNothing)
{
    scriptTool("printf '\\n  disk full \\n\\n' >&2; exit 3\n");
    EXPECT_EQ(runNow()->text, QStringLiteral("the tool failed (disk full)"));
    scriptTool("echo only output; exit 1\n");
    EXPECT_EQ(runNow()->text, QStringLiteral("the tool failed"));
}

TEST_P(ToolTest, BrokenTextFromTheToolIsRepairedAndArgumentsArriveWhole)
{
    scriptTool("printf 'bad \\377 byte [%s]' \"$1\" >&2; exit 2\n");
    EXPECT_EQ(runNow()->text, QStringLiteral("the tool failed (bad \uFFFD byte [a b])"));
}

TEST_P(ToolTest, AToolKilledFromOutsideIsAFailure)
{
    scriptTool("kill -9 $$\n");
    EXPECT_EQ(runNow()->text, QStringLiteral("the tool failed"));
}

} // namespace
