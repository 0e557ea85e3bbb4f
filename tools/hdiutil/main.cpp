// tessaroom-hdiutil: the disk-image tool of the simulated machine. An image is
// one file holding a pax archive of a folder tree, optionally followed by a
// code-signature trailer; attaching extracts it into the mount point and
// makes the tree read-only, detaching removes it.
//
// An image comes from the network, so attaching unpacks only files, folders
// and links (no device, pipe or socket), with plain permission bits (no
// setuid, setgid or sticky bit), and refuses, before anything is unpacked, an
// image that holds more than maximumEntries entries, a path more than
// maximumDepth folders deep or longer than maximumPathBytes, or would take
// more than maximumUnpackedBytes or unpackedBytesPerImageByte times its own
// size, or names one path twice (the second would replace the first). A
// disk that fills as it unpacks is said as such, with the folder the mount
// point is in.
// Packing keeps to the same limits (the image's own size aside: packed bytes
// are never holes), so what it makes attaches; an empty folder makes an empty
// image. Names and link texts keep their bytes exactly, whatever the
// environment's locale and whichever tar writer made the image (pax headers
// with UTF-8 or binary names, GNU long names, plain ustar).
//
//   tessaroom-hdiutil attach [-nobrowse] [-readonly] [-noautoopen] -mountpoint DIR IMAGE
//   tessaroom-hdiutil detach DIR [-force]
//   tessaroom-hdiutil create -srcfolder DIR IMAGE
#include "platform/CodeSignature.h"
#include "platform/FileIO.h"
#include "platform/FileManager.h"

#include <QFile>
#include <QString>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <clocale>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t chunkBytes = 1 << 20;
constexpr std::int64_t maximumUnpackedBytes = std::int64_t(4) << 30; // 4 GiB
constexpr std::int64_t unpackedBytesPerImageByte = 64;
constexpr std::int64_t maximumEntries = 100000;
constexpr int maximumDepth = 64;              // folders
constexpr std::size_t maximumPathBytes = 1024;

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
    std::vector<char> buffer = std::vector<char>(chunkBytes);

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

// Takes write permission away from every entry below root (links aside).
void makeReadOnly(const fs::path& root)
{
    std::error_code error;
    const auto change = [&](const fs::path& path) {
        const auto status = fs::symlink_status(path, error);
        if (error || fs::is_symlink(status))
            return;
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove, error);
    };
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        change(it->path());
    change(root);
}

// Why a path may not be in an image, or nothing. Only the path itself is
// looked at, so a deep tree costs no more than a shallow one. A folder counts
// as its name on disk: the "/" the archive ends it with is not counted, so
// packing and unpacking measure the same bytes.
std::string pathRefusal(std::string_view path, bool folder)
{
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    if (path.size() > maximumPathBytes)
        return "a path in the image is longer than " + std::to_string(maximumPathBytes) + " bytes";
    // Folders it lies in, and itself when it is one.
    int depth = folder ? 0 : -1;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::size_t length = slash - start;
        depth += length > 0 && !(length == 1 && path[start] == '.');
        start = slash + 1;
    }
    if (depth > maximumDepth)
        return "a path in the image is more than " + std::to_string(maximumDepth) + " folders deep";
    return {};
}

bool sameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether a file was written to between two looks at it (as tar tells a file
// that changed as it was read).
bool changed(const struct stat& before, const struct stat& after)
{
    return before.st_size != after.st_size || !sameTime(before.st_mtim, after.st_mtim)
        || !sameTime(before.st_ctim, after.st_ctim);
}

// Removes a tree the tool made, also where the image made a folder
// unreadable (mode 000); never recursing, however deep it is.
std::string removeTree(const fs::path& path)
{
    const auto failure = platform::FileManager::removeItem(QFile::decodeName(path.c_str()));
    return failure ? failure->toStdString() : std::string();
}

// The path a name unpacks to: its parts without empty ones and ".", so
// "./App//a" and "App/a/" are one place.
std::string placeOf(std::string_view name)
{
    std::string place;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t slash = std::min(name.find('/', start), name.size());
        const std::string_view part = name.substr(start, slash - start);
        if (!part.empty() && part != ".") {
            if (!place.empty())
                place += '/';
            place += part;
        }
        start = slash + 1;
    }
    return place;
}

// What an image may hold, counted entry by entry.
class Limits {
public:
    explicit Limits(std::int64_t imageBytes)
        : bytes_(std::min(maximumUnpackedBytes, imageBytes * unpackedBytesPerImageByte))
    {
    }

    // Why entry may not be unpacked, or nothing.
    std::string refusal(archive_entry* entry)
    {
        if (!archive_entry_pathname(entry))
            return "the name of an entry of the image cannot be read";
        const std::string name = archive_entry_pathname(entry);
        const mode_t type = archive_entry_filetype(entry);
        // A hard link names an earlier entry; its type may read as none.
        const bool hardLink = archive_entry_hardlink(entry) != nullptr;
        if (!hardLink && type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK)
            return name + ": only files, folders and links may be in an image, not a device, pipe or socket";
        if (++entries_ > maximumEntries)
            return "the image holds more than " + std::to_string(maximumEntries) + " entries";
        if (std::string refusal = pathRefusal(name, type == AE_IFDIR); !refusal.empty())
            return refusal;
        // Unpacked, the second would replace or merge with the first.
        if (!places_.insert(placeOf(name)).second)
            return name + ": more than one entry of the image has this name";
        const std::int64_t size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        if (size < 0 || size > bytes_ - unpacked_)
            return "the image unpacks to more than " + std::to_string(bytes_) + " bytes (at most 4 GiB and "
                + std::to_string(unpackedBytesPerImageByte) + " times the image's size)";
        unpacked_ += size;
        return {};
    }

private:
    std::int64_t bytes_;
    std::int64_t entries_ = 0;
    std::int64_t unpacked_ = 0;
    std::unordered_set<std::string> places_;
};

// libarchive takes a pax header's names as UTF-8 and converts them to the
// locale's character set, bringing them to one normalization form on the
// way ("cafe\u0301" comes out as "caf\u00e9" in a UTF-8 locale). In the "C"
// locale, which the tool runs in, that conversion fails for every name
// beyond plain ASCII and the reader keeps the header's own bytes, saying so
// in this warning: it means the name was kept, not that the image is
// damaged.
bool keptItsBytes(archive* in)
{
    const char* text = archive_error_string(in);
    return text && std::string_view(text).ends_with(" can't be converted from UTF-8 to current locale.");
}

archive* openImage(ImageReader& reader, std::string& failure)
{
    archive* in = archive_read_new();
    archive_read_support_format_tar(in);
    if (archive_read_open(in, &reader, nullptr, &ImageReader::read, nullptr) != ARCHIVE_OK) {
        failure = archive_error_string(in) ? archive_error_string(in) : "not a recognized image";
        archive_read_free(in);
        return nullptr;
    }
    return in;
}

// Goes through every entry of the image within its limits, handing each to
// visit (whose answer, when not empty, says why it stops there); answers why
// the image may not be unpacked, or nothing. An archive without entries is
// an empty image, as packing an empty folder makes.
std::string walkImage(ImageReader& reader, std::int64_t imageBytes,
                      const std::function<std::string(archive* in, archive_entry* entry)>& visit)
{
    std::string failure;
    archive* in = openImage(reader, failure);
    if (!in)
        return failure;
    Limits limits(imageBytes);
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(in, &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK && !(status == ARCHIVE_WARN && keptItsBytes(in))) {
            failure = archive_error_string(in) ? archive_error_string(in) : "image not recognized";
            break;
        }
        if (failure = limits.refusal(entry); !failure.empty())
            break;
        if (failure = visit(in, entry); !failure.empty())
            break;
    }
    archive_read_free(in);
    return failure;
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

    const platform::FileIO::RegularFile file(image.c_str(), platform::FileIO::Links::followed);
    if (file.notRegular())
        return fail("attach", "not a disk image file");
    struct stat info {};
    if (!file.isOpen() || ::fstat(file.fd(), &info) != 0)
        return fail("attach", std::strerror(file.isOpen() ? errno : file.error()));
    ImageReader reader;
    reader.fd = file.fd();
    // The trailer from the same open file: the path is not read twice. It
    // reads at offsets, so the file stays at its start.
    const off_t archiveBytes = info.st_size - platform::CodeSignature::imageTrailerSize(reader.fd);
    reader.left = archiveBytes;
    // Every header first, contents skipped: nothing is written before the
    // whole image is known to be allowed.
    if (const std::string refusal = walkImage(reader, info.st_size, [](archive*, archive_entry*) { return std::string(); });
        !refusal.empty())
        return fail("attach", refusal);
    // Again from the start, for the unpacking.
    reader.left = archiveBytes;
    if (::lseek(reader.fd, 0, SEEK_SET) != 0)
        return fail("attach", std::strerror(errno));

    std::error_code error;
    if (fs::exists(mountPoint, error) && !fs::is_empty(mountPoint, error))
        return fail("attach", "mount point is in use");
    fs::create_directories(mountPoint, error);
    if (error)
        return fail("attach", error.message());

    // Entries are extracted relative to the mount point.
    if (::chdir(mountPoint.c_str()) != 0)
        return fail("attach", std::strerror(errno));
    archive* out = archive_write_disk_new();
    // The image comes from the network: nothing may land outside the mount
    // point, and no owner, ACL, attribute or flag is taken from it.
    archive_write_disk_set_options(out, ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT
                                            | ARCHIVE_EXTRACT_SECURE_SYMLINKS
                                            | ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS);
    // A full disk is said as such, with the folder that needs room (the mount
    // point goes again); anything else with the writer's own words.
    const std::string room = fs::path(mountPoint).parent_path().string();
    const auto writeFailure = [out, &room](const std::string& prefix, const char* otherwise) {
        if (archive_errno(out) == ENOSPC || archive_errno(out) == EDQUOT)
            return "the disk is full: the image does not fit in " + room;
        return prefix + (archive_error_string(out) ? archive_error_string(out) : otherwise);
    };
    // Read once more, header by header: the limits hold here too, in case
    // the image changed since the first reading.
    std::string failure = walkImage(reader, info.st_size, [out, &writeFailure](archive* in, archive_entry* entry) -> std::string {
        const std::string name = archive_entry_pathname(entry);
        // Plain permission bits only: no setuid, setgid or sticky bit.
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0777);
        if (archive_write_header(out, entry) != ARCHIVE_OK)
            return writeFailure(name + ": ", "cannot be written");
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        int read;
        while ((read = archive_read_data_block(in, &block, &size, &offset)) == ARCHIVE_OK) {
            if (archive_write_data_block(out, block, size, offset) != ARCHIVE_OK)
                return writeFailure({}, "write failed");
        }
        if (read != ARCHIVE_EOF)
            return archive_error_string(in) ? archive_error_string(in) : "image truncated";
        if (archive_write_finish_entry(out) != ARCHIVE_OK)
            return writeFailure({}, "write failed");
        return {};
    });
    archive_write_close(out);
    archive_write_free(out);
    if (::chdir("/") != 0)
        failure = std::strerror(errno);
    if (!failure.empty()) {
        removeTree(mountPoint);
        return fail("attach", failure);
    }
    makeReadOnly(mountPoint);
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
    if (const std::string failure = removeTree(mountPoint); !failure.empty())
        return fail("detach", failure);
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

    // Sorted, so the same folder always makes the same archive. Each entry
    // under its own name: a link is never resolved for it.
    std::vector<fs::path> paths;
    for (fs::recursive_directory_iterator it(source, error), end; !error && it != end; it.increment(error)) {
        const fs::path relative = it->path().lexically_relative(source);
        std::error_code ignored;
        if (const std::string refusal = pathRefusal(relative.string(), it->is_directory(ignored) && !it->is_symlink(ignored));
            !refusal.empty())
            return fail("create", relative.string().substr(0, 100) + ": " + refusal);
        if (paths.size() == std::size_t(maximumEntries))
            return fail("create", "the folder holds more than " + std::to_string(maximumEntries) + " entries");
        paths.push_back(relative);
    }
    if (error)
        return fail("create", error.message());
    std::sort(paths.begin(), paths.end());

    archive* out = archive_write_new();
    archive_write_set_format_pax_restricted(out);
    // Names and link texts go in as their bytes. Marked otherwise, a reader
    // takes them as UTF-8 and may change them (libarchive's brings them to
    // one normalization form, so "cafe\u0301" comes out as "caf\u00e9").
    if (archive_write_set_format_option(out, "pax", "hdrcharset", "BINARY") != ARCHIVE_OK
        || archive_write_open_filename(out, image.c_str()) != ARCHIVE_OK) {
        const std::string reason = archive_error_string(out) ? archive_error_string(out) : "cannot be written";
        archive_write_free(out);
        return fail("create", reason);
    }
    std::string failure;
    std::int64_t packedBytes = 0;
    for (const fs::path& relative : paths) {
        const fs::path path = source / relative;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            failure = path.string() + ": " + std::strerror(errno);
            break;
        }
        // A file's header and bytes come from one descriptor, opened first:
        // the size written is the size of what is read, and what it says
        // before and after the reading shows whether the file changed meanwhile.
        std::unique_ptr<const platform::FileIO::RegularFile> file;
        if (S_ISREG(info.st_mode)) {
            file = std::make_unique<const platform::FileIO::RegularFile>(path.c_str(), platform::FileIO::Links::refused);
            if (!file->isOpen()) {
                failure = path.string() + ": " + file->why().toStdString();
                break;
            }
            if (::fstat(file->fd(), &info) != 0) {
                failure = path.string() + ": " + std::strerror(errno);
                break;
            }
            if ((packedBytes += info.st_size) > maximumUnpackedBytes) {
                failure = "the folder holds more than " + std::to_string(maximumUnpackedBytes) + " bytes (at most 4 GiB)";
                break;
            }
        }
        archive_entry* entry = archive_entry_new();
        archive_entry_copy_stat(entry, &info);
        archive_entry_set_pathname(entry, relative.c_str());
        if (S_ISLNK(info.st_mode))
            archive_entry_set_symlink(entry, fs::read_symlink(path, error).c_str());
        else if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            failure = path.string() + ": unsupported file type";
        if (failure.empty() && archive_write_header(out, entry) != ARCHIVE_OK)
            failure = archive_error_string(out);
        if (failure.empty() && file) {
            const auto pack = [&](const char* data, qint64 length) {
                if (archive_write_data(out, data, std::size_t(length)) < 0)
                    failure = archive_error_string(out);
                return failure.empty();
            };
            // A file that cannot be read to the size in its header, or that
            // changed (size, modification or change time) while it was read,
            // fails the image rather than leaving a padded or torn entry in it.
            const platform::FileIO::Read read = platform::FileIO::readChunks(file->fd(), chunkBytes, info.st_size, pack);
            struct stat after {};
            if (read.error != 0)
                failure = path.string() + ": " + std::strerror(read.error);
            else if (failure.empty() && ::fstat(file->fd(), &after) != 0)
                failure = path.string() + ": " + std::strerror(errno);
            else if (failure.empty() && (read.bytes != info.st_size || changed(info, after)))
                failure = path.string() + ": the file changed while it was packed";
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
    // Names are bytes on disk and in images; nothing may convert them (see
    // keptItsBytes), whatever locale the environment names.
    std::setlocale(LC_ALL, "C");
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
