#include "UpdateTest.h"

#include "platform/AtomicFile.h"
#include "platform/Lifetime.h"
#include "support/TestProcesses.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <climits>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class SignatureTest : public UpdateTest {
protected:
    // A small application bundle with an executable, resources and a
    // relative link between two of them.
    QString makeBundle(const QString& name)
    {
        const QString root = QDir(home()).filePath(name);
        QDir().mkpath(root + QStringLiteral("/Contents/MacOS"));
        QDir().mkpath(root + QStringLiteral("/Contents/Resources"));
        write(root + QStringLiteral("/Contents/Info.plist"), "<plist><dict/></plist>");
        write(root + QStringLiteral("/Contents/MacOS/Tessaroom"), "#!/bin/sh\necho hello\n");
        chmod(root + QStringLiteral("/Contents/MacOS/Tessaroom"), 0755);
        write(root + QStringLiteral("/Contents/Resources/icon.png"), QByteArray(3000, 'p'));
        write(root + QStringLiteral("/Contents/Resources/names.txt"), "Desktop\n");
        link(QStringLiteral("names.txt"), root + QStringLiteral("/Contents/Resources/alias.txt"));
        return root;
    }

    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }

    static void link(const QString& target, const QString& path)
    {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()), 0)
            << path.toStdString();
    }

    static void chmod(const QString& path, mode_t mode)
    {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
    }

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Runs the signing tool in a child process that may not take longer
    // than a generous limit (a check that blocks fails the test instead of
    // hanging it); the exit code, or -1 when it did not exit.
    static int runSignTool(const QStringList& arguments, QByteArray* output = nullptr)
    {
        const TestProcesses::Ran ran = TestProcesses::run(QStringLiteral(TESSAROOM_SIGN_TOOL), arguments, 20000);
        if (output)
            *output = ran.output + ran.errors;
        return ran.exitCode;
    }

    // The refusal's reason from the platform, for the case's own cause.
    static QString reason(const QString& path)
    {
        QString why;
        const auto requirement = platform::CodeSignature::parseRequirement(Updates::signingRequirement);
        platform::CodeSignature::checkValidity(path, *requirement, &why);
        return why;
    }
};

// Which of a tree's files were opened (their content read) while it was
// watched: the kernel reports every open, so "nothing opened" is exact.
class OpenWatch {
public:
    explicit OpenWatch(const QString& root)
        : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        watch(root);
        QDirIterator it(root, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            watch(it.next());
    }
    ~OpenWatch() { ::close(fd_); }

    // Names of files (not folders) opened since the watch began.
    QStringList openedFiles() const
    {
        QStringList names;
        alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
        for (ssize_t length; (length = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (!(event->mask & IN_ISDIR) && event->len > 0)
                    names.append(QFile::decodeName(event->name));
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        names.removeAll(QStringLiteral("CodeResources")); // the signature itself is read first
        return names;
    }

private:
    void watch(const QString& folder)
    {
        EXPECT_GE(inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_OPEN | IN_ACCESS), 0)
            << folder.toStdString();
    }

    int fd_;
};

} // namespace

// --- the requirement ---

TEST_F(SignatureTest, TheMakersRequirementReads)
{
    const auto requirement = platform::CodeSignature::parseRequirement(Updates::signingRequirement);
    ASSERT_TRUE(requirement);
    ASSERT_EQ(requirement->clauses.size(), 4u);
    EXPECT_EQ(requirement->clauses[1].slot, QStringLiteral("1"));
    EXPECT_EQ(requirement->clauses[1].value, QStringLiteral("1.2.840.113635.100.6.2.6"));
    EXPECT_EQ(requirement->clauses[3].value, QStringLiteral("4HN7QX2LPD"));
}

TEST_F(SignatureTest, UnknownRequirementTextsDoNotRead)
{
    for (const char* text : {"", "anchor", "anchor apple", "anchor apple generic and",
                             "identifier \"x\"", "certificate leaf[subject.OU] = \"open",
                             "certificate leaf[subject.OU] = team", "certificate middle[field.1.2]",
                             "certificate leaf[field.]", "anchor apple generic or certificate leaf[field.1]"})
        EXPECT_FALSE(platform::CodeSignature::parseRequirement(QString::fromLatin1(text))) << text;
}

// --- images ---

TEST_F(SignatureTest, SignedImageVerifiesAndSigningAgainReplacesTheSignature)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 10000, &maker_);
    EXPECT_EQ(Updates::verifySignature(image), std::nullopt);
    const qint64 size = QFileInfo(image).size();
    ASSERT_TRUE(sign(image, maker_));
    EXPECT_EQ(QFileInfo(image).size(), size);
    EXPECT_EQ(Updates::verifySignature(image), std::nullopt);
}

TEST_F(SignatureTest, MissingFileIsNotSigned)
{
    EXPECT_EQ(Updates::verifySignature(home() + QStringLiteral("/nothing.dmg")),
              QStringLiteral("the download is not signed"));
}

TEST_F(SignatureTest, TruncatedSignatureIsNotASignature)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 10000, &maker_);
    QFile file(image);
    file.open(QIODevice::ReadWrite);
    file.resize(file.size() - 3);
    file.close();
    EXPECT_EQ(Updates::verifySignature(image), QStringLiteral("the download is not signed"));
}

TEST_F(SignatureTest, SignatureWithoutTheDeveloperCertificateIsSomeoneElses)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 1000, nullptr);
    platform::CodeSignature::SigningIdentity identity;
    identity.team = makerTeam;
    identity.certificateFields.erase(QStringLiteral("1"));
    ASSERT_EQ(platform::CodeSignature::sign(image, maker_.key, identity), std::nullopt);
    EXPECT_EQ(platform::CodeSignature::checkValidity(image), platform::Status::noErr);
    EXPECT_EQ(Updates::verifySignature(image), QStringLiteral("the download is signed by someone else"));
}

TEST_F(SignatureTest, SignatureUnderAnotherAnchorIsSomeoneElses)
{
    const QString image = makeImage(QStringLiteral("image.dmg"), 1000, nullptr);
    platform::CodeSignature::SigningIdentity identity;
    identity.team = makerTeam;
    identity.anchor = QStringLiteral("self signed");
    ASSERT_EQ(platform::CodeSignature::sign(image, maker_.key, identity), std::nullopt);
    EXPECT_EQ(Updates::verifySignature(image), QStringLiteral("the download is signed by someone else"));
}

TEST_F(SignatureTest, TheReleaseKeyIsPinnedWhenNoTestKeyIs)
{
    platform::resetSharedInstances();
    const auto pinned = platform::CodeSignature::pinnedKey(makerTeam);
    ASSERT_TRUE(pinned);
    EXPECT_EQ(pinned->size(), 32);
    EXPECT_NE(*pinned, maker_.key.publicKey);
    EXPECT_FALSE(platform::CodeSignature::pinnedKey(QStringLiteral("NOBODY")));
    // So a test key no longer passes for the maker.
    const QString image = makeImage(QStringLiteral("image.dmg"), 1000, nullptr);
    platform::CodeSignature::SigningIdentity identity;
    identity.team = makerTeam;
    ASSERT_EQ(platform::CodeSignature::sign(image, maker_.key, identity), std::nullopt);
    EXPECT_EQ(Updates::verifySignature(image), QStringLiteral("the download is signed by someone else"));
}

// --- bundles ---

TEST_F(SignatureTest, SignedBundleVerifies)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    EXPECT_EQ(Updates::verifySignature(bundle), std::nullopt);
    // Readable by every user of an app installed for all of them.
    EXPECT_TRUE(QFileInfo(bundle + QStringLiteral("/Contents/_CodeSignature/CodeResources")).permissions()
                & QFileDevice::ReadOther);
}

TEST_F(SignatureTest, UnsignedBundleIsNotSigned)
{
    EXPECT_EQ(Updates::verifySignature(makeBundle(QStringLiteral("Tessaroom.app"))),
              QStringLiteral("the download is not signed"));
}

TEST_F(SignatureTest, ChangedAddedOrRemovedBundleFilesBreakTheSignature)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    write(bundle + QStringLiteral("/Contents/MacOS/Tessaroom"), "#!/bin/sh\necho evil\n");
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    // As the leftover tidy says it of the app in place.
    EXPECT_EQ(Updates::verifySignature(bundle, QStringLiteral("it")), QStringLiteral("its signature is broken"));

    ASSERT_TRUE(sign(bundle, maker_));
    write(bundle + QStringLiteral("/Contents/Resources/extra.dylib"), "payload");
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));

    ASSERT_TRUE(sign(bundle, maker_));
    QFile::remove(bundle + QStringLiteral("/Contents/Resources/icon.png"));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
}

TEST_F(SignatureTest, BundleOfAnotherTeamIsSomeoneElses)
{
    const Team other = makeTeam(QStringLiteral("Z9Y8X7W6V5"), true);
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, other));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download is signed by someone else"));
}

// --- what a bundle's record covers ---

TEST_F(SignatureTest, ABundleWithARelativeLinkStillVerifiesAfterItIsCopiedOrMoved)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    const QString copied = QDir(home()).filePath(QStringLiteral("elsewhere/deeper/Tessaroom.app"));
    QDir().mkpath(QFileInfo(copied).path());
    ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), bundle, copied}), 0);
    EXPECT_EQ(Updates::verifySignature(copied), std::nullopt) << reason(copied).toStdString();
    const QString moved = QDir(home()).filePath(QStringLiteral("Moved.app"));
    ASSERT_TRUE(QDir().rename(bundle, moved));
    EXPECT_EQ(Updates::verifySignature(moved), std::nullopt) << reason(moved).toStdString();
}

TEST_F(SignatureTest, AnEmptyFolderAddedAfterSigningBreaksIt)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    ASSERT_TRUE(QDir().mkpath(bundle + QStringLiteral("/Contents/Plugins")));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_EQ(reason(bundle), QStringLiteral("Contents/Plugins is not in the record"));
}

TEST_F(SignatureTest, AnEmptyFolderRemovedAfterSigningBreaksIt)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(QDir().mkpath(bundle + QStringLiteral("/Contents/Plugins")));
    ASSERT_TRUE(sign(bundle, maker_));
    EXPECT_EQ(Updates::verifySignature(bundle), std::nullopt);
    ASSERT_TRUE(QDir().rmdir(bundle + QStringLiteral("/Contents/Plugins")));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
}

TEST_F(SignatureTest, ALinkToAFolderInsideAddedAfterSigningBreaksIt)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    link(QStringLiteral("../MacOS"), bundle + QStringLiteral("/Contents/Resources/tools"));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_EQ(reason(bundle), QStringLiteral("Contents/Resources/tools is not in the record"));
}

TEST_F(SignatureTest, ALinkToAFolderOutsideAddedAfterSigningBreaksIt)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    link(home(), bundle + QStringLiteral("/Contents/Resources/home"));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
}

TEST_F(SignatureTest, ALinksTextIsCoveredNotOnlyWhereItLeads)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    const QString alias = bundle + QStringLiteral("/Contents/Resources/alias.txt");
    ASSERT_TRUE(QFile::remove(alias));
    link(QStringLiteral("./names.txt"), alias);
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_EQ(reason(bundle), QStringLiteral("Contents/Resources/alias.txt is not the recorded link"));
}

TEST_F(SignatureTest, AFileTurnedIntoALinkToTheSameBytesBreaksIt)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    write(QDir(home()).filePath(QStringLiteral("icon.png")), QByteArray(3000, 'p'));
    const QString icon = bundle + QStringLiteral("/Contents/Resources/icon.png");
    ASSERT_TRUE(QFile::remove(icon));
    link(QStringLiteral("../../../icon.png"), icon);
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
}

TEST_F(SignatureTest, AnExecuteBitAddedOrRemovedAfterSigningBreaksIt)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    chmod(bundle + QStringLiteral("/Contents/Resources/icon.png"), 0744);
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_EQ(reason(bundle), QStringLiteral("Contents/Resources/icon.png is not the recorded file"));
    chmod(bundle + QStringLiteral("/Contents/Resources/icon.png"), 0644);
    EXPECT_EQ(Updates::verifySignature(bundle), std::nullopt);
    chmod(bundle + QStringLiteral("/Contents/MacOS/Tessaroom"), 0644);
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
}

TEST_F(SignatureTest, SigningWritesItsRecordThroughTheAtomicWriter)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    const QString record = bundle + QStringLiteral("/Contents/_CodeSignature/CodeResources");
    const QByteArray before = contents(record);
    write(bundle + QStringLiteral("/Contents/Resources/names.txt"), "Changed\n");
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::rename, .writeIndex = 0, .errorCode = ENOSPC});
    platform::CodeSignature::SigningIdentity identity;
    identity.team = makerTeam;
    const auto failure = platform::CodeSignature::sign(bundle, maker_.key, identity);
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->contains(QStringLiteral("No space left on device"))) << failure->toStdString();
    EXPECT_EQ(contents(record), before); // the old record stays whole
    EXPECT_EQ(QDir(QFileInfo(record).path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("CodeResources")});
}

// --- what verification refuses before reading any content ---

TEST_F(SignatureTest, ALinkLeavingTheBundleIsRefusedEvenWhenSigned)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    link(QStringLiteral("/etc/passwd"), bundle + QStringLiteral("/Contents/Resources/outside"));
    ASSERT_TRUE(sign(bundle, maker_));
    const OpenWatch watch(bundle);
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_EQ(watch.openedFiles(), QStringList());
    EXPECT_EQ(reason(bundle), QStringLiteral("Contents/Resources/outside leads outside the bundle"));
}

TEST_F(SignatureTest, RelativeLinksThatClimbOutAreRefusedAlsoThroughOtherLinks)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    const QString resources = bundle + QStringLiteral("/Contents/Resources");
    // Up one folder is inside; through it, three more levels are not,
    // although the text alone would stay inside.
    link(QStringLiteral(".."), resources + QStringLiteral("/up"));
    link(QStringLiteral("up/../../.."), resources + QStringLiteral("/climb"));
    ASSERT_TRUE(sign(bundle, maker_));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_EQ(reason(bundle), QStringLiteral("Contents/Resources/climb leads outside the bundle"));

    ASSERT_TRUE(QFile::remove(resources + QStringLiteral("/climb")));
    link(QStringLiteral("../../../other"), resources + QStringLiteral("/climb"));
    ASSERT_TRUE(sign(bundle, maker_));
    EXPECT_EQ(reason(bundle), QStringLiteral("Contents/Resources/climb leads outside the bundle"));

    // A chain that stays inside, and a link to the bundle's own top, verify.
    ASSERT_TRUE(QFile::remove(resources + QStringLiteral("/climb")));
    link(QStringLiteral("up/MacOS/Tessaroom"), resources + QStringLiteral("/climb"));
    link(QStringLiteral("../.."), resources + QStringLiteral("/top"));
    ASSERT_TRUE(sign(bundle, maker_));
    EXPECT_EQ(Updates::verifySignature(bundle), std::nullopt) << reason(bundle).toStdString();
}

TEST_F(SignatureTest, ALinkLoopIsRefused)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    link(QStringLiteral("b/x"), bundle + QStringLiteral("/Contents/a"));
    link(QStringLiteral("a/x"), bundle + QStringLiteral("/Contents/b"));
    ASSERT_TRUE(sign(bundle, maker_));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
}

TEST_F(SignatureTest, ALinkChainThatDoublesAtEveryLinkIsRefusedAfterFortyLookups)
{
    // Each link leads inside, but reading l20 means 2^20 lookups.
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    const QString resources = bundle + QStringLiteral("/Contents/Resources");
    link(QStringLiteral("."), resources + QStringLiteral("/l0"));
    for (int k = 1; k <= 20; ++k)
        link(QStringLiteral("l%1/l%1").arg(k - 1), resources + QStringLiteral("/l%1").arg(k));
    ASSERT_TRUE(sign(bundle, maker_));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_TRUE(reason(bundle).endsWith(QStringLiteral(" goes through more than 40 links"))) << reason(bundle).toStdString();
}

TEST_F(SignatureTest, LinksThatTogetherNameMoreThan4096PartsAreRefused)
{
    // Each link leads inside in 1,501 parts; following l3 takes 4,504.
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    const QString resources = bundle + QStringLiteral("/Contents/Resources");
    link(QStringLiteral("."), resources + QStringLiteral("/l0"));
    for (int k = 1; k <= 3; ++k)
        link(QStringLiteral("./").repeated(1500) + QStringLiteral("l%1").arg(k - 1), resources + QStringLiteral("/l%1").arg(k));
    ASSERT_TRUE(sign(bundle, maker_));
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_EQ(reason(bundle), QStringLiteral("Contents/Resources/l3 goes through more than 4096 path parts"));
    // Up to l2 it is within the bound.
    ASSERT_TRUE(QFile::remove(resources + QStringLiteral("/l3")));
    ASSERT_TRUE(sign(bundle, maker_));
    EXPECT_EQ(Updates::verifySignature(bundle), std::nullopt) << reason(bundle).toStdString();
}

TEST_F(SignatureTest, ANamedPipeIsRefusedAtOnceAndNeverOpened)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    ASSERT_EQ(::mkfifo(QFile::encodeName(bundle + QStringLiteral("/Contents/Resources/pipe")).constData(), 0644), 0);
    // In a child process: a check that opened the pipe would block for good.
    QByteArray output;
    EXPECT_EQ(runSignTool({QStringLiteral("verify"), bundle}, &output), 1);
    EXPECT_TRUE(output.contains("Contents/Resources/pipe is a pipe, socket or device")) << output.toStdString();
    const OpenWatch watch(bundle);
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_EQ(watch.openedFiles(), QStringList());
}

TEST_F(SignatureTest, ABundleHoldingAPipeCannotBeSigned)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(bundle + QStringLiteral("/Contents/pipe")).constData(), 0644), 0);
    QByteArray output;
    EXPECT_EQ(runSignTool({QStringLiteral("sign"), maker_.keyFile, makerTeam, bundle}, &output), 1);
    EXPECT_TRUE(output.contains("Contents/pipe is a pipe, socket or device")) << output.toStdString();
}

TEST_F(SignatureTest, ASocketIsRefused)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    // A short path: a socket's address holds about a hundred bytes.
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(bundle + QStringLiteral("/Contents")));
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, "socket");
    const int bound = ::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(listening);
    QDir::setCurrent(saved);
    ASSERT_EQ(bound, 0);
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_EQ(reason(bundle), QStringLiteral("Contents/socket is a pipe, socket or device"));
}

TEST_F(SignatureTest, ADeviceIsRefused)
{
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, maker_));
    const QString device = bundle + QStringLiteral("/Contents/null");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "device nodes cannot be made here: " << std::strerror(errno);
    const OpenWatch watch(bundle);
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
    EXPECT_EQ(reason(bundle), QStringLiteral("Contents/null is a pipe, socket or device"));
    EXPECT_EQ(watch.openedFiles(), QStringList());
}

TEST_F(SignatureTest, SetuidSetgidAndStickyBitsAreRefusedEvenWhenSigned)
{
    const struct {
        const char* path;
        mode_t mode;
    } cases[] = {
        {"/Contents/MacOS/Tessaroom", 04755},
        {"/Contents/MacOS/Tessaroom", 02755},
        {"/Contents/Resources", 01755},
        {"/Contents", 02755},
    };
    int made = 0;
    for (const auto& one : cases) {
        SCOPED_TRACE(one.path);
        const QString bundle = makeBundle(QStringLiteral("Tessaroom-%1.app").arg(++made));
        const QString path = bundle + QLatin1String(one.path);
        ASSERT_TRUE(sign(bundle, maker_));
        EXPECT_EQ(Updates::verifySignature(bundle), std::nullopt);
        chmod(path, one.mode);
        ASSERT_TRUE(sign(bundle, maker_)); // signed as it is now
        const OpenWatch watch(bundle);
        EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download's signature is broken"));
        EXPECT_EQ(watch.openedFiles(), QStringList());
        EXPECT_EQ(reason(bundle), QString::fromLatin1(one.path).mid(1) + QStringLiteral(" has a setuid, setgid or sticky bit"));
    }
}

TEST_F(SignatureTest, TheSignerIsCheckedBeforeAnyFileIsRead)
{
    const Team impostor = makeTeam(makerTeam, false);
    const QString bundle = makeBundle(QStringLiteral("Tessaroom.app"));
    ASSERT_TRUE(sign(bundle, impostor));
    const OpenWatch watch(bundle);
    EXPECT_EQ(Updates::verifySignature(bundle), QStringLiteral("the download is signed by someone else"));
    EXPECT_EQ(watch.openedFiles(), QStringList());
    // The pinned signer's bundle is read whole.
    ASSERT_TRUE(sign(bundle, maker_));
    const OpenWatch read(bundle);
    EXPECT_EQ(Updates::verifySignature(bundle), std::nullopt);
    QStringList opened = read.openedFiles();
    opened.removeDuplicates();
    opened.sort();
    EXPECT_EQ(opened, (QStringList{QStringLiteral("Info.plist"), QStringLiteral("Tessaroom"), QStringLiteral("icon.png"),
                                   QStringLiteral("names.txt")}));
}

// --- digests ---

TEST_F(SignatureTest, DigestOfAKnownText)
{
    const QString path = QDir(home()).filePath(QStringLiteral("abc"));
    write(path, "abc");
    EXPECT_EQ(Updates::sha256Hex(path),
              QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_EQ(Updates::sha256Hex(home() + QStringLiteral("/missing")), std::nullopt);
    // Its first read fails: no digest, rather than the digest of what was read.
    EXPECT_EQ(Updates::sha256Hex(QStringLiteral("/proc/self/mem")), std::nullopt);
}
