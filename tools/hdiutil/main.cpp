// tessaroom-hdiutil: the disk-image tool of the simulated machine. An image is
// one file holding a pax archive of a folder tree, optionally followed by a
// code-signature trailer; attaching extracts it into the mount point and
// makes the tree read-only, detaching removes it.
//
//   tessaroom-hdiutil attach [-nobrowse] [-readonly] [-noautoopen] -mountpoint DIR IMAGE
//   tessaroom-hdiutil detach DIR [-force]
//   tessaroom-hdiutil create -srcfolder DIR IMAGE
#include "platform/CodeSignature.h"

#include <QFile>
#include <QString>

#include <archive.h>
#include <archive_entry.h>

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

constexpr std::size_t pieceBytes = 1 << 20;

int fail(const char* verb, const std::string& reason)
{
    std::fprintf(stderr, "hdiutil: %s failed - %s\n", verb, reason.c_str());
    return 1;
}

int usage()
{
    std::fputs("Usage: hdiutil attach -mountpoint DIR IMAGE | detach DIR [-force] | create -srcfolder DIR IMAGE\n",
               stderr);
    return 64;
}

// Reads the archive part of an image: everything before the signature trailer.
struct ImageReader {
    int fd = -1;
    off_t left = 0;
    std::vector<char> buffer = std::vector<char>(pieceBytes);

    static la_ssize_t read(archive*, void* data, const void** out)
    {
        auto* self = static_cast<ImageReader*>(data);
        const std::size_t want = std::size_t(std::min<off_t>(self->left, off_t(self->buffer.size())));
        if (want == 0)
            return 0;
        ssize_t got;
        do
            got = ::read(self->fd, self->buffer.data(), want);
        while (got < 0 && errno == EINTR);
        if (got < 0)
            return -1;
        self->left -= got;
        *out = self->buffer.data();
        return got;
    }
};

void setWritable(const fs::path& root, bool writable)
{
    std::error_code error;
    const auto change = [&](const fs::path& path) {
        const auto status = fs::symlink_status(path, error);
        if (error || fs::is_symlink(status))
            return;
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        writable ? fs::perm_options::add : fs::perm_options::remove, error);
        if (writable)
            fs::permissions(path, fs::perms::group_write | fs::perms::others_write, fs::perm_options::remove, error);
    };
    // Folders are opened for writing before their contents are walked.
    if (writable)
        change(root);
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        change(it->path());
    if (!writable)
        change(root);
}

int attach(const std::vector<std::string>& arguments)
{
    std::string mountPoint;
    std::string image;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-mountpoint" && i + 1 < arguments.size())
            mountPoint = arguments[++i];
        else if (argument == "-nobrowse" || argument == "-readonly" || argument == "-noautoopen")
            continue;
        else if (!argument.empty() && argument[0] == '-')
            return usage();
        else
            image = argument;
    }
    if (mountPoint.empty() || image.empty())
        return usage();
    mountPoint = fs::absolute(mountPoint).lexically_normal().string();

    ImageReader reader;
    reader.fd = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
    if (reader.fd < 0)
        return fail("attach", std::strerror(errno));
    struct stat info {};
    ::fstat(reader.fd, &info);
    reader.left = info.st_size - platform::CodeSignature::imageTrailerSize(QFile::decodeName(image.c_str()));

    std::error_code error;
    if (fs::exists(mountPoint, error) && !fs::is_empty(mountPoint, error)) {
        ::close(reader.fd);
        return fail("attach", "mount point is in use");
    }
    fs::create_directories(mountPoint, error);
    if (error) {
        ::close(reader.fd);
        return fail("attach", error.message());
    }

    // Entries are extracted relative to the mount point.
    if (::chdir(mountPoint.c_str()) != 0) {
        ::close(reader.fd);
        return fail("attach", std::strerror(errno));
    }
    archive* in = archive_read_new();
    archive_read_support_format_tar(in);
    archive* out = archive_write_disk_new();
    // The image comes from the network: nothing may land outside the mount point.
    archive_write_disk_set_options(out, ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT
                                            | ARCHIVE_EXTRACT_SECURE_SYMLINKS
                                            | ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS);
    std::string failure;
    if (archive_read_open(in, &reader, nullptr, &ImageReader::read, nullptr) != ARCHIVE_OK) {
        failure = archive_error_string(in) ? archive_error_string(in) : "not a recognized image";
    } else {
        int entries = 0;
        for (;;) {
            archive_entry* entry = nullptr;
            const int status = archive_read_next_header(in, &entry);
            if (status == ARCHIVE_EOF)
                break;
            if (status != ARCHIVE_OK) {
                failure = archive_error_string(in) ? archive_error_string(in) : "image not recognized";
                break;
            }
            const std::string name = archive_entry_pathname(entry);
            if (archive_write_header(out, entry) != ARCHIVE_OK) {
                failure = name + ": " + (archive_error_string(out) ? archive_error_string(out) : "cannot be written");
                break;
            }
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            int read;
            while ((read = archive_read_data_block(in, &block, &size, &offset)) == ARCHIVE_OK) {
                if (archive_write_data_block(out, block, size, offset) != ARCHIVE_OK) {
                    failure = archive_error_string(out) ? archive_error_string(out) : "write failed";
                    break;
                }
            }
            if (failure.empty() && read != ARCHIVE_EOF)
                failure = archive_error_string(in) ? archive_error_string(in) : "image truncated";
            if (failure.empty() && archive_write_finish_entry(out) != ARCHIVE_OK)
                failure = archive_error_string(out) ? archive_error_string(out) : "write failed";
            if (!failure.empty())
                break;
            ++entries;
        }
        if (failure.empty() && entries == 0)
            failure = "image not recognized";
    }
    archive_write_close(out);
    archive_write_free(out);
    archive_read_free(in);
    ::close(reader.fd);
    if (::chdir("/") != 0)
        failure = std::strerror(errno);
    if (!failure.empty()) {
        setWritable(mountPoint, true);
        fs::remove_all(mountPoint, error);
        return fail("attach", failure);
    }
    setWritable(mountPoint, false);
    std::printf("/dev/disk9s1\tApple_HFS\t%s\n", mountPoint.c_str());
    return 0;
}

int detach(const std::vector<std::string>& arguments)
{
    if (arguments.empty() || arguments.size() > 2 || (arguments.size() == 2 && arguments[1] != "-force"))
        return usage();
    const fs::path mountPoint = arguments[0];
    std::error_code error;
    if (!fs::is_directory(mountPoint, error))
        return fail("detach", "No such file or directory");
    setWritable(mountPoint, true);
    fs::remove_all(mountPoint, error);
    if (error)
        return fail("detach", error.message());
    std::printf("\"%s\" ejected.\n", mountPoint.c_str());
    return 0;
}

int create(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 3 || arguments[0] != "-srcfolder")
        return usage();
    const fs::path source = arguments[1];
    const std::string image = arguments[2];
    std::error_code error;
    if (!fs::is_directory(source, error))
        return fail("create", "source folder not found");

    // Sorted, so the same folder always makes the same archive.
    std::vector<fs::path> paths;
    for (fs::recursive_directory_iterator it(source, error), end; !error && it != end; it.increment(error))
        paths.push_back(it->path());
    if (error)
        return fail("create", error.message());
    std::sort(paths.begin(), paths.end());

    archive* out = archive_write_new();
    archive_write_set_format_pax_restricted(out);
    if (archive_write_open_filename(out, image.c_str()) != ARCHIVE_OK) {
        const std::string reason = archive_error_string(out);
        archive_write_free(out);
        return fail("create", reason);
    }
    std::string failure;
    std::vector<char> buffer(pieceBytes);
    for (const fs::path& path : paths) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            failure = path.string() + ": " + std::strerror(errno);
            break;
        }
        archive_entry* entry = archive_entry_new();
        archive_entry_copy_stat(entry, &info);
        archive_entry_set_pathname(entry, fs::relative(path, source).c_str());
        if (S_ISLNK(info.st_mode))
            archive_entry_set_symlink(entry, fs::read_symlink(path, error).c_str());
        else if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            failure = path.string() + ": unsupported file type";
        if (failure.empty() && archive_write_header(out, entry) != ARCHIVE_OK)
            failure = archive_error_string(out);
        if (failure.empty() && S_ISREG(info.st_mode)) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                failure = path.string() + ": " + std::strerror(errno);
            for (ssize_t got; failure.empty() && (got = ::read(fd, buffer.data(), buffer.size())) > 0;) {
                if (archive_write_data(out, buffer.data(), std::size_t(got)) < 0)
                    failure = archive_error_string(out);
            }
            if (fd >= 0)
                ::close(fd);
        }
        archive_entry_free(entry);
        if (!failure.empty())
            break;
    }
    if (archive_write_close(out) != ARCHIVE_OK && failure.empty())
        failure = archive_error_string(out);
    archive_write_free(out);
    if (!failure.empty()) {
        fs::remove(image, error);
        return fail("create", failure);
    }
    std::printf("created: %s\n", image.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string verb = argv[1];
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    if (verb == "attach")
        return attach(arguments);
    if (verb == "detach")
        return detach(arguments);
    if (verb == "create")
        return create(arguments);
    return usage();
}
