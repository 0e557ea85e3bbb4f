#include "platform/FileManager.h"

#include "platform/BackgroundStop.h"
#include "platform/FileIO.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {

namespace {

// The names in the folder open at fd, "." and ".." left out, read through a
// descriptor of its own (close-on-exec from the start: a child started
// meanwhile inherits nothing). False, with errno set, when it cannot be read.
bool listFolder(int fd, std::vector<std::string>& names)
{
    const int listing = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    DIR* folder = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!folder) {
        const int error = errno;
        if (listing >= 0)
            ::close(listing);
        errno = error;
        return false;
    }
    while (const dirent* item = ::readdir(folder)) {
        if (std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0)
            names.emplace_back(item->d_name);
    }
    ::closedir(folder);
    return true;
}

// One folder on the way down: its name in its parent, who it is (to know
// its parent again on the way up) and the folders in it still to remove.
struct Level {
    std::string name;
    dev_t device = 0;
    ino_t inode = 0;
    std::vector<std::string> folders;
};

class Removal {
public:
    explicit Removal(const QByteArray& root)
        : root_(root)
    {
    }

    std::optional<QString> run()
    {
        struct stat info {};
        if (::lstat(root_.constData(), &info) != 0)
            return errno == ENOENT ? std::nullopt : std::optional(failure(root_.constData()));
        if (!S_ISDIR(info.st_mode)) {
            if (::unlink(root_.constData()) != 0 && errno != ENOENT)
                return failure(root_.constData());
            return std::nullopt;
        }
        ::fchmodat(AT_FDCWD, root_.constData(), (info.st_mode & 07777) | S_IRWXU, AT_SYMLINK_NOFOLLOW);
        fd_ = ::open(root_.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd_ < 0)
            return failure(root_.constData());
        enter({});
        while (!levels_.empty() && !stopped()) {
            Level& level = levels_.back();
            if (!level.folders.empty()) {
                const std::string name = std::move(level.folders.back());
                level.folders.pop_back();
                descend(name);
            } else if (!ascend()) {
                break;
            }
        }
        if (fd_ >= 0)
            ::close(fd_);
        if (!first_ && ::rmdir(root_.constData()) != 0 && errno != ENOENT)
            first_ = failure(root_.constData());
        return first_;
    }

private:
    // A quit waits for the removal: it gives up between entries once asked,
    // leaving a smaller tree under the same name for a later removal.
    bool stopped()
    {
        if (!stopped_ && BackgroundStop::requested()) {
            stopped_ = true;
            if (!first_)
                first_ = QFile::decodeName(root_) + QStringLiteral(": the removal was cut short: the process is quitting");
        }
        return stopped_;
    }

    static QString failure(const char* path, int error = errno)
    {
        return QFile::decodeName(path) + QStringLiteral(": ") + FileIO::describe(error);
    }

    // The path from the root to name in the folder open at fd_ (to that
    // folder when name is empty).
    QByteArray pathTo(const std::string& name) const
    {
        QByteArray path = root_;
        for (std::size_t i = 1; i < levels_.size(); ++i)
            path += '/' + QByteArray::fromStdString(levels_[i].name);
        if (!name.empty())
            path += '/' + QByteArray::fromStdString(name);
        return path;
    }

    // Keeps the first failure, as errno tells it, of a step on name. An
    // entry someone else removed meanwhile is no failure: it is gone.
    void record(const std::string& name)
    {
        const int error = errno;
        if (!first_ && error != ENOENT)
            first_ = failure(pathTo(name).constData(), error);
    }

    // Lists the folder open at fd_ (its names first: the folder changes as
    // they go): files and links go at once, folders are kept for later.
    void enter(std::string name)
    {
        levels_.push_back({std::move(name), 0, 0, {}});
        Level& level = levels_.back();
        struct stat info {};
        if (::fstat(fd_, &info) != 0)
            record({});
        level.device = info.st_dev;
        level.inode = info.st_ino;
        std::vector<std::string> names;
        if (!listFolder(fd_, names))
            record({}); // removing the folder itself fails too
        for (std::string& entry : names) {
            if (stopped())
                return;
            struct stat child {};
            if (::fstatat(fd_, entry.c_str(), &child, AT_SYMLINK_NOFOLLOW) != 0) {
                record(entry);
            } else if (S_ISDIR(child.st_mode)) {
                ::fchmodat(fd_, entry.c_str(), (child.st_mode & 07777) | S_IRWXU, AT_SYMLINK_NOFOLLOW);
                level.folders.push_back(std::move(entry));
            } else if (::unlinkat(fd_, entry.c_str(), 0) != 0) {
                record(entry);
            }
        }
    }

    void descend(const std::string& name)
    {
        const int child = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) {
            record(name);
            return;
        }
        ::close(fd_);
        fd_ = child;
        enter(name);
    }

    // Back to the parent of the folder open at fd_, removing that folder;
    // false at the top, or when the parent is not the folder it came from.
    bool ascend()
    {
        if (levels_.size() == 1) {
            levels_.pop_back();
            return false;
        }
        const Level& parent = levels_[levels_.size() - 2];
        const int up = ::openat(fd_, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat info {};
        if (up < 0 || ::fstat(up, &info) != 0 || info.st_dev != parent.device || info.st_ino != parent.inode) {
            if (up >= 0)
                ::close(up);
            if (!first_)
                first_ = QFile::decodeName(root_) + QStringLiteral(": the folder moved while it was removed");
            return false;
        }
        ::close(fd_);
        fd_ = up;
        if (::unlinkat(fd_, levels_.back().name.c_str(), AT_REMOVEDIR) != 0)
            record({}); // named while the folder is still on the stack
        levels_.pop_back();
        return true;
    }

    QByteArray root_;
    int fd_ = -1;
    std::vector<Level> levels_;
    std::optional<QString> first_;
    bool stopped_ = false;
};

std::mutex injectedMutex;
std::optional<FileManager::InjectedSyncFailure> injected;

// The error an injected failure gives this sync call, or 0. Syncs run off
// the main thread, so the count is kept under a lock.
int injectedFault()
{
    std::optional<FileManager::InjectedSyncFailure> met;
    {
        const std::lock_guard hold(injectedMutex);
        if (!injected)
            return 0;
        if (injected->callIndex > 0) {
            --injected->callIndex;
            return 0;
        }
        met = std::exchange(injected, std::nullopt);
    }
    if (met->whenMet)
        met->whenMet();
    return met->errorCode;
}

QString syncFailure(const QByteArray& path, int error)
{
    return QFile::decodeName(path) + QStringLiteral(": ") + FileIO::describe(error);
}

// A folder on the way down, open, with the folders in it still to sync.
struct OpenFolder {
    int fd = -1;
    QByteArray path; // for messages only; entries are opened relative to fd
    std::vector<std::string> folders;
};

// Syncs the files in the folder open at folder.fd and lists its folders;
// 0 or the error of the first entry that failed (named in failedPath).
int syncFilesIn(OpenFolder& folder, QByteArray& failedPath)
{
    std::vector<std::string> names;
    if (!listFolder(folder.fd, names)) {
        failedPath = folder.path;
        return errno;
    }
    for (std::string& name : names) {
        int error = 0;
        struct stat info {};
        if (::fstatat(folder.fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            error = errno;
        } else if (S_ISDIR(info.st_mode)) {
            folder.folders.push_back(std::move(name));
            continue;
        } else if (S_ISREG(info.st_mode)) {
            // Non-blocking: a pipe put in the file's place meanwhile does not
            // hold the walk.
            const int fd = ::openat(folder.fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0) {
                error = errno;
            } else {
                if (::fsync(fd) != 0)
                    error = errno;
                ::close(fd);
            }
        }
        if (error != 0) {
            failedPath = folder.path + '/' + QByteArray::fromStdString(name);
            return error;
        }
    }
    return 0;
}

} // namespace

std::optional<QString> FileManager::syncItem(const QString& path)
{
    const QByteArray root = QFile::encodeName(path);
    if (const int error = injectedFault())
        return syncFailure(root, error);
    struct stat info {};
    if (::lstat(root.constData(), &info) != 0)
        return syncFailure(root, errno);
    if (S_ISLNK(info.st_mode))
        return std::nullopt; // the link is its folder's to sync
    const int rootFd = ::open(root.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (rootFd < 0)
        return syncFailure(root, errno);
    // One flush of the whole file system writes the tree out far faster than
    // a sync per entry would; its answer may be about other files, so the
    // entries' own syncs below are what tells.
    ::syncfs(rootFd);
    if (!S_ISDIR(info.st_mode)) {
        const int error = ::fsync(rootFd) == 0 ? 0 : errno;
        ::close(rootFd);
        return error == 0 ? std::nullopt : std::optional(syncFailure(root, error));
    }
    // Depth-first with one open folder per level: an installed tree is only
    // a few dozen folders deep.
    std::vector<OpenFolder> levels;
    levels.push_back({rootFd, root, {}});
    QByteArray failedPath;
    int error = syncFilesIn(levels.back(), failedPath);
    while (error == 0 && !levels.empty()) {
        OpenFolder& top = levels.back();
        if (top.folders.empty()) {
            if (::fsync(top.fd) != 0) {
                error = errno;
                failedPath = top.path;
            }
            ::close(top.fd);
            levels.pop_back();
            continue;
        }
        const std::string name = std::move(top.folders.back());
        top.folders.pop_back();
        OpenFolder child{-1, top.path + '/' + QByteArray::fromStdString(name), {}};
        child.fd = ::openat(top.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child.fd < 0) {
            error = errno;
            failedPath = child.path;
            break;
        }
        levels.push_back(std::move(child));
        error = syncFilesIn(levels.back(), failedPath);
    }
    for (const OpenFolder& level : levels)
        ::close(level.fd);
    return error == 0 ? std::nullopt : std::optional(syncFailure(failedPath, error));
}

std::optional<QString> FileManager::syncFolder(const QString& path)
{
    const QByteArray folder = QFile::encodeName(path);
    if (const int error = injectedFault())
        return syncFailure(folder, error);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return syncFailure(folder, errno);
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error == 0 ? std::nullopt : std::optional(syncFailure(folder, error));
}

void FileManager::failSync(const InjectedSyncFailure& failure)
{
    const std::lock_guard hold(injectedMutex);
    injected = failure;
}

void FileManager::clearInjectedSyncFailure()
{
    const std::lock_guard hold(injectedMutex);
    injected.reset();
}

std::optional<QString> FileManager::removeItem(const QString& path)
{
    return Removal(QFile::encodeName(path)).run();
}

} // namespace platform
