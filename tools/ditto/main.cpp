// tessaroom-ditto: the copy tool of the simulated machine. Copies a folder
// tree (or one file) to a new place, keeping symbolic links and the plain
// permission bits (never a setuid, setgid or sticky bit); a device, pipe or
// socket is refused. The copy is the user's own, so its owner may always
// write it (an attached image's tree is read-only).
//
//   tessaroom-ditto SOURCE DESTINATION
#include "platform/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr qint64 chunkBytes = 1 << 20;

// The mode a copy gets: the source's plain bits, writable by its owner.
mode_t copyMode(mode_t source)
{
    return (source & 0777) | S_IWUSR;
}

bool report(const fs::path& path, const std::string& reason)
{
    std::fprintf(stderr, "ditto: %s: %s\n", path.c_str(), reason.c_str());
    return false;
}

// Copies a regular file's bytes into a new file that is never a link.
bool copyFile(const fs::path& source, const fs::path& target, mode_t mode)
{
    const platform::FileIO::RegularFile in(source.c_str(), platform::FileIO::Links::refused);
    if (!in.isOpen())
        return report(source, in.why().toStdString());
    const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0)
        return report(target, std::strerror(errno));
    int writeError = 0;
    const platform::FileIO::Read read =
        platform::FileIO::readChunks(in.fd(), chunkBytes, -1, [&](const char* data, qint64 length) {
            writeError = platform::FileIO::writeAll(out, data, length);
            return writeError == 0;
        });
    std::string failure;
    if (read.error != 0)
        failure = source.string() + ": " + std::strerror(read.error);
    else if (writeError != 0)
        failure = target.string() + ": " + std::strerror(writeError);
    else if (::fchmod(out, mode) != 0)
        failure = target.string() + ": " + std::strerror(errno);
    if (::close(out) != 0 && failure.empty())
        failure = target.string() + ": " + std::strerror(errno);
    if (!failure.empty()) {
        std::fprintf(stderr, "ditto: %s\n", failure.c_str());
        return false;
    }
    return true;
}

// Copies one entry; false (with a message on standard error) on failure.
bool copyTree(const fs::path& source, const fs::path& target)
{
    struct stat info {};
    if (::lstat(source.c_str(), &info) != 0)
        return report(source, std::strerror(errno));
    std::error_code error;
    if (S_ISLNK(info.st_mode)) {
        fs::copy_symlink(source, target, error);
        return error ? report(target, error.message()) : true;
    }
    if (S_ISREG(info.st_mode))
        return copyFile(source, target, copyMode(info.st_mode));
    if (!S_ISDIR(info.st_mode))
        return report(source, "unsupported file type");
    if (::mkdir(target.c_str(), 0700) != 0)
        return report(target, std::strerror(errno));
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(source, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path().filename());
    if (error)
        return report(source, error.message());
    // A fixed order makes a failure leave the same partial copy.
    std::sort(entries.begin(), entries.end());
    for (const fs::path& name : entries) {
        if (!copyTree(source / name, target / name))
            return false;
    }
    if (::chmod(target.c_str(), copyMode(info.st_mode)) != 0)
        return report(target, std::strerror(errno));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: ditto SOURCE DESTINATION\n", stderr);
        return 64;
    }
    return copyTree(argv[1], argv[2]) ? 0 : 1;
}
