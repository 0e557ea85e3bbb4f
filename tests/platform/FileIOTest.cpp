#include "platform/FileIO.h"
#include "support/PlatformTest.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using platform::FileIO::Links;
using platform::FileIO::RegularFile;

namespace {

enum class Thing { file, linkToFile, folder, pipe, socket, nothing };

struct OpenCase {
    const char* name;
    Thing thing;
    Links links;
    bool opens;
};

class RegularFileTest : public PlatformTest, public ::testing::WithParamInterface<OpenCase> {
protected:
    // Puts the thing at "target" in home and answers its path.
    QString make(Thing thing) const
    {
        const QString path = QDir(home()).filePath(QStringLiteral("target"));
        const QByteArray native = QFile::encodeName(path);
        const QByteArray file = QFile::encodeName(QDir(home()).filePath(QStringLiteral("file")));
        QFile out(QString::fromLocal8Bit(file));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write("bytes") == 5);
        out.close();
        switch (thing) {
        case Thing::file: EXPECT_EQ(::rename(file.constData(), native.constData()), 0); break;
        case Thing::linkToFile: EXPECT_EQ(::symlink(file.constData(), native.constData()), 0); break;
        case Thing::folder: EXPECT_EQ(::mkdir(native.constData(), 0700), 0); break;
        case Thing::pipe: EXPECT_EQ(::mkfifo(native.constData(), 0600), 0); break;
        case Thing::socket: {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, native.constData(), sizeof address.sun_path - 1);
            EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
            ::close(fd);
            break;
        }
        case Thing::nothing: break;
        }
        return path;
    }
};

} // namespace

// A pipe with no writer would block a plain open for good: it is told apart
// without blocking, as is everything else that is not a file.
TEST_P(RegularFileTest, OnlyARegularFileOpensAndNothingBlocks)
{
    const OpenCase& c = GetParam();
    const RegularFile file(make(c.thing), c.links);
    ASSERT_EQ(file.isOpen(), c.opens);
    if (c.opens) {
        QByteArray bytes;
        EXPECT_EQ(platform::FileIO::readAll(file.fd(), bytes), 0);
        EXPECT_EQ(bytes, "bytes");
    } else if (c.thing == Thing::nothing) {
        EXPECT_FALSE(file.notRegular());
        EXPECT_EQ(file.error(), ENOENT);
    } else {
        EXPECT_TRUE(file.notRegular());
        EXPECT_EQ(file.why(), QStringLiteral("it is not a regular file"));
    }
}

INSTANTIATE_TEST_SUITE_P(WhatIsAtThePath, RegularFileTest,
                         ::testing::Values(OpenCase{"file", Thing::file, Links::refused, true},
                                           OpenCase{"followedLink", Thing::linkToFile, Links::followed, true},
                                           OpenCase{"refusedLink", Thing::linkToFile, Links::refused, false},
                                           OpenCase{"folder", Thing::folder, Links::followed, false},
                                           OpenCase{"pipe", Thing::pipe, Links::followed, false},
                                           OpenCase{"socket", Thing::socket, Links::followed, false},
                                           OpenCase{"nothing", Thing::nothing, Links::followed, false}),
                         [](const auto& test) { return std::string(test.param.name); });
