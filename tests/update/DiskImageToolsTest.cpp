#include "UpdateTest.h"

#include "support/TestProcesses.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

struct ToolResult {
    int exitCode = -1;
    QString standardError;
};

// The disk-image and copy tools run directly, as the installation runs them.
class DiskImageToolsTest : public UpdateTest {
protected:
    DiskImageToolsTest()
        : mountPoint_(QDir(temporaryFolder()).filePath(QStringLiteral("Tessaroom-mount-test")))
    {
    }

    // As a user who may not pass permission bits: root gives up the
    // capabilities that would let it (CI runs as root).
    static ToolResult run(const QString& tool, const QStringList& arguments, bool asPlainUser = false)
    {
        const QStringList plainUser{QStringLiteral("--inh-caps=-all"),
                                    QStringLiteral("--bounding-set=-dac_override,-dac_read_search,-fowner"),
                                    QStringLiteral("--"), tool};
        const TestProcesses::Ran ran = asPlainUser && ::geteuid() == 0
                                           ? TestProcesses::run(QStringLiteral("setpriv"), plainUser + arguments, 60000)
                                           : TestProcesses::run(tool, arguments, 60000);
        return {ran.exitCode, QString::fromUtf8(ran.errors).trimmed()};
    }

    ToolResult attach(const QString& image, bool asPlainUser = false)
    {
        return run(QStringLiteral(TESSAROOM_HDIUTIL_TOOL),
                   {QStringLiteral("attach"), QStringLiteral("-nobrowse"), QStringLiteral("-readonly"),
                    QStringLiteral("-mountpoint"), mountPoint_, image},
                   asPlainUser);
    }

    ToolResult detach(bool asPlainUser = false)
    {
        return run(QStringLiteral(TESSAROOM_HDIUTIL_TOOL), {QStringLiteral("detach"), mountPoint_, QStringLiteral("-force")},
                   asPlainUser);
    }

    QString image(const std::vector<ArchiveEntry>& entries, const QString& name = QStringLiteral("crafted.dmg"))
    {
        const QString path = QDir(home()).filePath(name);
        EXPECT_TRUE(writeArchive(path, entries));
        return path;
    }

    // An attach that must fail with reason and leave nothing behind.
    void expectRefused(const QString& image, const QString& reason)
    {
        const ToolResult result = attach(image);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.standardError, QStringLiteral("hdiutil: attach failed - ") + reason);
        EXPECT_FALSE(QFileInfo::exists(mountPoint_));
    }

    static mode_t modeOf(const QString& path)
    {
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        return info.st_mode & 07777;
    }

    static qint64 apparentSize(const QString& path) { return QFileInfo(path).size(); }

    const QString mountPoint_;
};

ArchiveEntry folder(const QString& path, int mode = 0755)
{
    return {.path = path, .kind = ArchiveEntry::Kind::folder, .mode = mode};
}

ArchiveEntry file(const QString& path, int mode = 0644, QByteArray data = "data\n", qint64 apparentSize = -1)
{
    return {.path = path, .kind = ArchiveEntry::Kind::file, .mode = mode, .data = std::move(data), .apparentSize = apparentSize};
}

} // namespace

// --- unpacking: plain bits, plain kinds ---

TEST_F(DiskImageToolsTest, UnpackingKeepsPlainPermissionBitsOnly)
{
    const QString crafted = image({folder(QStringLiteral("App"), 02755), folder(QStringLiteral("App/Shared"), 01777),
                                   file(QStringLiteral("App/run"), 04755), file(QStringLiteral("App/group"), 02711),
                                   file(QStringLiteral("App/plain"), 0640)});
    ASSERT_EQ(attach(crafted).exitCode, 0);
    // Attached images are read-only: the write bits go too.
    EXPECT_EQ(modeOf(mountPoint_ + QStringLiteral("/App")), 0555u);
    EXPECT_EQ(modeOf(mountPoint_ + QStringLiteral("/App/Shared")), 0555u);
    EXPECT_EQ(modeOf(mountPoint_ + QStringLiteral("/App/run")), 0555u);
    EXPECT_EQ(modeOf(mountPoint_ + QStringLiteral("/App/group")), 0511u);
    EXPECT_EQ(modeOf(mountPoint_ + QStringLiteral("/App/plain")), 0440u);
    EXPECT_EQ(detach().exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(mountPoint_));
}

TEST_F(DiskImageToolsTest, APipeInAnImageIsRefusedAndNothingIsUnpacked)
{
    expectRefused(image({folder(QStringLiteral("App")), file(QStringLiteral("App/a")),
                         ArchiveEntry{.path = QStringLiteral("App/pipe"), .kind = ArchiveEntry::Kind::pipe}}),
                  QStringLiteral("App/pipe: only files, folders and links may be in an image, not a device, pipe or socket"));
}

TEST_F(DiskImageToolsTest, ADeviceInAnImageIsRefusedAndNothingIsUnpacked)
{
    expectRefused(image({folder(QStringLiteral("App")),
                         ArchiveEntry{.path = QStringLiteral("App/null"), .kind = ArchiveEntry::Kind::characterDevice,
                                      .mode = 0666}}),
                  QStringLiteral("App/null: only files, folders and links may be in an image, not a device, pipe or socket"));
}

// --- unpacking: how much ---

TEST_F(DiskImageToolsTest, AnImageThatUnpacksPastFourGiBIsRefused)
{
    // A few kilobytes that would unpack to 5 GiB of holes.
    const QString crafted = image({folder(QStringLiteral("App")),
                                   file(QStringLiteral("App/huge"), 0644, "x", qint64(5) << 30)});
    ASSERT_LT(QFileInfo(crafted).size(), 64 * 1024);
    const qint64 limit = std::min<qint64>(qint64(4) << 30, 64 * QFileInfo(crafted).size());
    expectRefused(crafted, QStringLiteral("the image unpacks to more than %1 bytes (at most 4 GiB and 64 times the image's size)").arg(limit));
}

TEST_F(DiskImageToolsTest, AnImageThatUnpacksPastSixtyFourTimesItsSizeIsRefused)
{
    // Each file alone would fit; together they pass 64 times the image.
    const QString crafted = image({folder(QStringLiteral("App")),
                                   file(QStringLiteral("App/a"), 0644, "x", 400 * 1024),
                                   file(QStringLiteral("App/b"), 0644, "x", 400 * 1024)});
    const qint64 size = QFileInfo(crafted).size();
    ASSERT_LT(size * 64, 800 * 1024);
    ASSERT_GT(size * 64, 400 * 1024);
    expectRefused(crafted, QStringLiteral("the image unpacks to more than %1 bytes (at most 4 GiB and 64 times the image's size)").arg(size * 64));
}

TEST_F(DiskImageToolsTest, AnImageWithinItsLimitsUnpacksWithItsHoles)
{
    const QString crafted = image({folder(QStringLiteral("App")), file(QStringLiteral("App/sparse"), 0644, "x", 100 * 1024)});
    ASSERT_LT(100 * 1024, 64 * QFileInfo(crafted).size());
    ASSERT_EQ(attach(crafted).exitCode, 0);
    EXPECT_EQ(apparentSize(mountPoint_ + QStringLiteral("/App/sparse")), 100 * 1024);
    EXPECT_EQ(detach().exitCode, 0);
}

TEST_F(DiskImageToolsTest, AnImageOfMoreThanAHundredThousandEntriesIsRefused)
{
    std::vector<ArchiveEntry> entries{folder(QStringLiteral("f"))};
    for (int i = 0; i < 100000; ++i)
        entries.push_back(file(QStringLiteral("f/%1").arg(i), 0644, {}));
    ASSERT_EQ(entries.size(), 100001u);
    expectRefused(image(entries), QStringLiteral("the image holds more than 100000 entries"));
}

TEST_F(DiskImageToolsTest, ATruncatedImageDoesNotMountAndSaysWhy)
{
    const QString crafted = image({folder(QStringLiteral("App")), file(QStringLiteral("App/a"), 0644, QByteArray(20000, 'a'))});
    QFile cut(crafted);
    ASSERT_TRUE(cut.resize(cut.size() / 2));
    const ToolResult result = attach(crafted);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardError.startsWith(QStringLiteral("hdiutil: attach failed - "))) << result.standardError.toStdString();
    EXPECT_FALSE(QFileInfo::exists(mountPoint_));
}

// --- what a real release holds ---

TEST_F(DiskImageToolsTest, ABundleWithALinkAndUtf8NamesPacksUnpacksAndVerifiesWithEveryNameAsItWas)
{
    const QString release = QDir(home()).filePath(QStringLiteral("release"));
    const QString resources = release + QStringLiteral("/Tessaroom.app/Contents/Resources");
    QDir().mkpath(resources);
    // "caf\u00e9" composed and decomposed: two names for the file system,
    // and for the signature.
    const QString composed = QStringLiteral("caf\u00e9.txt");
    const QString decomposed = QStringLiteral("cafe\u0301.txt");
    for (const QString& name : {QStringLiteral("names.txt"), composed, decomposed, QStringLiteral("\u8aac\u660e.txt")}) {
        QFile made(resources + QLatin1Char('/') + name);
        ASSERT_TRUE(made.open(QIODevice::WriteOnly));
        made.write(name.toUtf8());
    }
    ASSERT_EQ(::symlink("names.txt", QFile::encodeName(resources + QStringLiteral("/alias.txt")).constData()), 0);
    ASSERT_EQ(::symlink(decomposed.toUtf8().constData(), QFile::encodeName(resources + QStringLiteral("/decomposed")).constData()), 0);
    ASSERT_TRUE(sign(release + QStringLiteral("/Tessaroom.app"), maker_));
    const QString packed = QDir(home()).filePath(QStringLiteral("release.dmg"));
    const ToolResult created = run(QStringLiteral(TESSAROOM_HDIUTIL_TOOL),
                                   {QStringLiteral("create"), QStringLiteral("-srcfolder"), release, packed});
    ASSERT_EQ(created.exitCode, 0) << created.standardError.toStdString();
    const ToolResult attached = attach(packed);
    ASSERT_EQ(attached.exitCode, 0) << attached.standardError.toStdString();
    const QString app = mountPoint_ + QStringLiteral("/Tessaroom.app");
    EXPECT_EQ(QFile::symLinkTarget(app + QStringLiteral("/Contents/Resources/alias.txt")),
              app + QStringLiteral("/Contents/Resources/names.txt"));
    for (const QString& name : {composed, decomposed, QStringLiteral("\u8aac\u660e.txt")}) {
        QFile unpacked(app + QStringLiteral("/Contents/Resources/") + name);
        ASSERT_TRUE(unpacked.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(unpacked.readAll(), name.toUtf8());
    }
    EXPECT_EQ(QFile::symLinkTarget(app + QStringLiteral("/Contents/Resources/decomposed")),
              app + QStringLiteral("/Contents/Resources/") + decomposed);
    EXPECT_EQ(Updates::verifySignature(app), std::nullopt);
    EXPECT_EQ(detach().exitCode, 0);
}

// --- images of other tar writers ---

TEST_F(DiskImageToolsTest, ImagesOfOtherTarWritersKeepEveryNameAndLinkTextByteForByte)
{
    // "ce\u0301" decomposed and composed, a long name (a GNU long name, a
    // ustar prefix), and a link to the decomposed one, as Python's tarfile
    // writes them in its three formats, and libarchive's default writer in a
    // UTF-8 locale: names in pax headers as UTF-8, not marked as bytes.
    const QString decomposed = QStringLiteral("ce\u0301");
    const QString composed = QStringLiteral("c\u00e9");
    const QString longName = QString(60, u'd') + QLatin1Char('/') + QString(60, u'e') + decomposed;
    const QString script = QStringLiteral(R"(
import io, sys, tarfile
names = [sys.argv[2], sys.argv[3], sys.argv[4]]
for format, file in ((tarfile.PAX_FORMAT, "pax"), (tarfile.GNU_FORMAT, "gnu"), (tarfile.USTAR_FORMAT, "ustar")):
    with tarfile.open(sys.argv[1] + "/" + file + ".dmg", "w", format=format, encoding="utf-8") as tar:
        for name in names:
            info = tarfile.TarInfo("Names/" + name)
            info.size = len(name.encode())
            tar.addfile(info, io.BytesIO(name.encode()))
        link = tarfile.TarInfo("Names/link")
        link.type = tarfile.SYMTYPE
        link.linkname = names[0]
        tar.addfile(link)
with tarfile.open(sys.argv[1] + "/twice.dmg", "w", format=tarfile.PAX_FORMAT) as tar:
    for name in ("Names/a", "./Names//a"):
        tar.addfile(tarfile.TarInfo(name))
)");
    const ToolResult written = run(QStringLiteral(TESSAROOM_PYTHON), {QStringLiteral("-c"), script, home(), decomposed, composed, longName});
    ASSERT_EQ(written.exitCode, 0) << written.standardError.toStdString();
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    std::vector<ArchiveEntry> entries;
    for (const QString& name : {decomposed, composed, longName})
        entries.push_back(file(QStringLiteral("Names/") + name, 0644, name.toUtf8()));
    entries.push_back({.path = QStringLiteral("Names/link"), .kind = ArchiveEntry::Kind::link, .target = decomposed});
    image(entries, QStringLiteral("libarchive.dmg"));
    std::setlocale(LC_CTYPE, locale.c_str());

    for (const QString& writer : {QStringLiteral("pax"), QStringLiteral("gnu"), QStringLiteral("ustar"), QStringLiteral("libarchive")}) {
        SCOPED_TRACE(writer.toStdString());
        const ToolResult attached = attach(QDir(home()).filePath(writer + QStringLiteral(".dmg")));
        ASSERT_EQ(attached.exitCode, 0) << attached.standardError.toStdString();
        const QString names = mountPoint_ + QStringLiteral("/Names/");
        QStringList listed = QDir(names).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        listed.sort();
        EXPECT_EQ(listed, (QStringList{decomposed, composed, QString(60, u'd'), QStringLiteral("link")}));
        for (const QString& name : {decomposed, composed, longName}) {
            QFile unpacked(names + name);
            ASSERT_TRUE(unpacked.open(QIODevice::ReadOnly)) << name.toStdString();
            EXPECT_EQ(unpacked.readAll(), name.toUtf8());
        }
        char text[64] = {};
        EXPECT_EQ(::readlink(QFile::encodeName(names + QStringLiteral("link")).constData(), text, sizeof text - 1),
                  decomposed.toUtf8().size());
        EXPECT_EQ(QByteArray(text), decomposed.toUtf8());
        EXPECT_EQ(detach().exitCode, 0);
    }
    // Two entries for one place: the second is never merged into the first.
    expectRefused(QDir(home()).filePath(QStringLiteral("twice.dmg")),
                  QStringLiteral("./Names//a: more than one entry of the image has this name"));
}

TEST_F(DiskImageToolsTest, PathsTooDeepOrTooLongAreRefusedBeforeAnythingIsWritten)
{
    const auto nested = [](int folders) {
        std::vector<ArchiveEntry> entries;
        QString path;
        for (int i = 0; i < folders; ++i) {
            path += (i ? QStringLiteral("/d") : QStringLiteral("d"));
            entries.push_back(folder(path));
        }
        entries.push_back(file(path + QStringLiteral("/f")));
        return entries;
    };
    // Four folders of 200 bytes, and a file name that makes the path bytes long.
    const auto longPath = [](int bytes) {
        std::vector<ArchiveEntry> entries{folder(QStringLiteral("App"))};
        QString path = QStringLiteral("App");
        for (int i = 0; i < 4; ++i) {
            path += QLatin1Char('/') + QString(200, QLatin1Char('a' + i));
            entries.push_back(folder(path));
        }
        entries.push_back(file(path + QLatin1Char('/') + QString(bytes - path.size() - 1, QLatin1Char('n'))));
        return entries;
    };
    expectRefused(image(nested(65)), QStringLiteral("a path in the image is more than 64 folders deep"));
    expectRefused(image(longPath(1025)), QStringLiteral("a path in the image is longer than 1024 bytes"));
    // Packing keeps to the same limit and writes no image.
    const QString deep = QDir(home()).filePath(QStringLiteral("deep"));
    ASSERT_TRUE(QDir().mkpath(deep + QStringLiteral("/d").repeated(65)));
    const QString packed = QDir(home()).filePath(QStringLiteral("deep.dmg"));
    const ToolResult created = run(QStringLiteral(TESSAROOM_HDIUTIL_TOOL),
                                   {QStringLiteral("create"), QStringLiteral("-srcfolder"), deep, packed});
    EXPECT_EQ(created.exitCode, 1);
    EXPECT_TRUE(created.standardError.endsWith(QStringLiteral(": a path in the image is more than 64 folders deep")))
        << created.standardError.toStdString();
    EXPECT_FALSE(QFileInfo::exists(packed));
    // At the limits it unpacks.
    for (const auto& entries : {nested(64), longPath(1024)}) {
        const ToolResult attached = attach(image(entries));
        EXPECT_EQ(attached.exitCode, 0) << attached.standardError.toStdString();
        EXPECT_EQ(detach().exitCode, 0);
    }
}

// --- what packing makes ---

TEST_F(DiskImageToolsTest, WhatPackingMakesAttachingTakes)
{
    const QString packed = QDir(home()).filePath(QStringLiteral("packed.dmg"));
    const auto create = [&](const QString& source) {
        QFile::remove(packed);
        return run(QStringLiteral(TESSAROOM_HDIUTIL_TOOL), {QStringLiteral("create"), QStringLiteral("-srcfolder"), source, packed});
    };
    // A folder whose path is exactly as long as a path may be (the archive
    // ends a folder's name with "/"), and an empty folder.
    const QString atLimit = QDir(home()).filePath(QStringLiteral("limit"));
    QString longest = QStringLiteral("App");
    for (int i = 0; i < 4; ++i)
        longest += QLatin1Char('/') + QString(200, QLatin1Char('a' + i));
    longest += QLatin1Char('/') + QString(1024 - longest.size() - 1, QLatin1Char('n'));
    ASSERT_EQ(longest.toUtf8().size(), 1024);
    ASSERT_TRUE(QDir().mkpath(atLimit + QLatin1Char('/') + longest));
    const QString empty = QDir(home()).filePath(QStringLiteral("empty"));
    ASSERT_TRUE(QDir().mkpath(empty));
    for (const auto& [source, unpacked] : {std::pair{atLimit, QStringList{QStringLiteral("App")}}, std::pair{empty, QStringList()}}) {
        const ToolResult created = create(source);
        ASSERT_EQ(created.exitCode, 0) << created.standardError.toStdString();
        const ToolResult attached = attach(packed);
        EXPECT_EQ(attached.exitCode, 0) << attached.standardError.toStdString();
        EXPECT_EQ(QDir(mountPoint_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), unpacked);
        EXPECT_EQ(detach().exitCode, 0);
    }
}

TEST_F(DiskImageToolsTest, PackingRefusesMoreBytesThanAttachingTakes)
{
    const QString packed = QDir(home()).filePath(QStringLiteral("packed.dmg"));
    // 4 GiB and a byte, as a hole: refused before any of it is read.
    const QString huge = QDir(home()).filePath(QStringLiteral("huge"));
    ASSERT_TRUE(QDir().mkpath(huge));
    QFile hole(huge + QStringLiteral("/hole"));
    ASSERT_TRUE(hole.open(QIODevice::WriteOnly) && hole.resize((qint64(4) << 30) + 1));
    hole.close();
    const ToolResult created = run(QStringLiteral(TESSAROOM_HDIUTIL_TOOL),
                                   {QStringLiteral("create"), QStringLiteral("-srcfolder"), huge, packed});
    EXPECT_EQ(created.exitCode, 1);
    EXPECT_EQ(created.standardError, QStringLiteral("hdiutil: create failed - the folder holds more than 4294967296 bytes (at most 4 GiB)"));
    EXPECT_FALSE(QFileInfo::exists(packed));
}

// --- packing what changes ---

TEST_F(DiskImageToolsTest, AFileRewrittenOrGrownWhileItIsPackedFailsTheImage)
{
    const QString source = QDir(home()).filePath(QStringLiteral("release"));
    ASSERT_TRUE(QDir().mkpath(source));
    const QString big = source + QStringLiteral("/big");
    const QString packed = QDir(home()).filePath(QStringLiteral("release.dmg"));
    constexpr qint64 bigBytes = 4 << 20;
    for (const bool grows : {false, true}) {
        QFile made(big);
        ASSERT_TRUE(made.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(made.write(QByteArray(bigBytes, 'a')), bigBytes);
        made.close();
        // An old time, so the change below shows in the file's times however
        // coarse the file system's clock is.
        const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(big).constData(), old, 0), 0);
        // The image goes into a pipe this test reads: once big's first bytes
        // come out, its header is written, and the tool waits for the full
        // pipe long before it has read the rest.
        ASSERT_EQ(::mkfifo(QFile::encodeName(packed).constData(), 0600), 0);
        const int image = ::open(QFile::encodeName(packed).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(image, 0);
        TestProcesses processes;
        QProcess& tool = processes.start(QStringLiteral(TESSAROOM_HDIUTIL_TOOL),
                                         {QStringLiteral("create"), QStringLiteral("-srcfolder"), source, packed});
        // Reads what the pipe holds, waiting for it; false at its end.
        QByteArray out;
        const auto readMore = [&] {
            pollfd ready{.fd = image, .events = POLLIN, .revents = 0};
            if (::poll(&ready, 1, 60000) != 1)
                return false;
            char buffer[65536];
            const ssize_t got = ::read(image, buffer, sizeof buffer);
            if (got > 0)
                out.append(buffer, got);
            return got > 0 || (got < 0 && errno == EAGAIN);
        };
        while (!out.contains(QByteArray(4096, 'a')) && readMore()) {
        }
        ASSERT_TRUE(out.contains(QByteArray(4096, 'a')));
        ASSERT_TRUE(made.open(QIODevice::ReadWrite));
        if (grows) {
            ASSERT_TRUE(made.seek(bigBytes));
            ASSERT_EQ(made.write("more"), 4);
        } else {
            ASSERT_EQ(made.write(QByteArray(bigBytes, 'b')), bigBytes);
        }
        made.close();
        while (readMore()) {
        }
        ::close(image);
        ASSERT_TRUE(tool.waitForFinished(60000));
        EXPECT_EQ(tool.exitCode(), 1) << "grows: " << grows;
        EXPECT_EQ(QString::fromUtf8(tool.readAllStandardError()).trimmed(),
                  QStringLiteral("hdiutil: create failed - %1: the file changed while it was packed").arg(big));
        EXPECT_FALSE(QFileInfo::exists(packed));
        QFile::remove(packed);
    }
}

// --- detaching ---

TEST_F(DiskImageToolsTest, DetachingRemovesFoldersNobodyMayEnter)
{
    const QString crafted = image({folder(QStringLiteral("App")), folder(QStringLiteral("App/Locked"), 0),
                                   folder(QStringLiteral("App/Locked/Deeper"), 0), file(QStringLiteral("App/Locked/Deeper/a")),
                                   file(QStringLiteral("App/Locked/b"), 0)});
    const ToolResult attached = attach(crafted, true);
    ASSERT_EQ(attached.exitCode, 0) << attached.standardError.toStdString();
    EXPECT_EQ(modeOf(mountPoint_ + QStringLiteral("/App/Locked")), 0u);
    const ToolResult detached = detach(true);
    EXPECT_EQ(detached.exitCode, 0) << detached.standardError.toStdString();
    EXPECT_FALSE(QFileInfo::exists(mountPoint_));
}

TEST_F(DiskImageToolsTest, DetachingThatCannotRemoveAnEntryNamesItFromTheMountPoint)
{
    // A folder of another user that a user without privileges cannot change.
    const QString locked = mountPoint_ + QStringLiteral("/App/Locked");
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile(locked + QStringLiteral("/a")).open(QIODevice::WriteOnly);
    if (::geteuid() != 0 || ::chown(QFile::encodeName(locked).constData(), 65534, 65534) != 0)
        GTEST_SKIP() << "needs root to give a folder to another user";
    const ToolResult detached = detach(true);
    EXPECT_EQ(detached.exitCode, 1);
    EXPECT_EQ(detached.standardError, QStringLiteral("hdiutil: detach failed - %1/a: Permission denied").arg(locked));
}

TEST_F(DiskImageToolsTest, DetachingRemovesATreeTenThousandFoldersDeepOnASmallStack)
{
    // Deeper than a path may name: made folder by folder, each relative to
    // the one before.
    ASSERT_TRUE(QDir().mkpath(mountPoint_));
    int at = ::open(QFile::encodeName(mountPoint_).constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 10000 && at >= 0; ++i) {
        ASSERT_EQ(::mkdirat(at, "d", 0700), 0) << std::strerror(errno);
        const int next = ::openat(at, "d", O_RDONLY | O_DIRECTORY);
        ::close(at);
        at = next;
    }
    ASSERT_GE(at, 0);
    ::close(at);
    const ToolResult detached = run(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("ulimit -s 256 && exec \"$0\" detach \"$1\" -force"),
                                                        QStringLiteral(TESSAROOM_HDIUTIL_TOOL), mountPoint_});
    EXPECT_EQ(detached.exitCode, 0) << detached.standardError.toStdString();
    EXPECT_FALSE(QFileInfo::exists(mountPoint_));
}

// --- copying ---

TEST_F(DiskImageToolsTest, CopyingKeepsPlainPermissionBitsOnly)
{
    const QString source = QDir(home()).filePath(QStringLiteral("source"));
    QDir().mkpath(source + QStringLiteral("/Shared"));
    for (const char* name : {"/run", "/group", "/Shared/plain"}) {
        QFile made(source + QLatin1String(name));
        ASSERT_TRUE(made.open(QIODevice::WriteOnly));
        made.write(name);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(source + QStringLiteral("/run")).constData(), 04755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(source + QStringLiteral("/group")).constData(), 02711), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(source + QStringLiteral("/Shared")).constData(), 03777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 02755), 0);
    const QString copy = QDir(home()).filePath(QStringLiteral("copy"));
    const ToolResult result = run(QStringLiteral(TESSAROOM_DITTO_TOOL), {source, copy});
    ASSERT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(modeOf(copy), 0755u);
    EXPECT_EQ(modeOf(copy + QStringLiteral("/run")), 0755u);
    EXPECT_EQ(modeOf(copy + QStringLiteral("/group")), 0711u | S_IWUSR);
    EXPECT_EQ(modeOf(copy + QStringLiteral("/Shared")), 0777u);
    QFile copied(copy + QStringLiteral("/Shared/plain"));
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), QByteArray("/Shared/plain"));
}

TEST_F(DiskImageToolsTest, CopyingRefusesADevice)
{
    const QString source = QDir(home()).filePath(QStringLiteral("source"));
    QDir().mkpath(source);
    if (::mknod(QFile::encodeName(source + QStringLiteral("/null")).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "device nodes cannot be made here: " << std::strerror(errno);
    const ToolResult result = run(QStringLiteral(TESSAROOM_DITTO_TOOL), {source, QDir(home()).filePath(QStringLiteral("copy"))});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardError.endsWith(QStringLiteral("/source/null: unsupported file type"))) << result.standardError.toStdString();
}
