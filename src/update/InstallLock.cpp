#include "update/InstallLock.h"

#include "platform/FileIO.h"
#include "platform/Folders.h"
#include "update/Updates.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A lock this process holds.
struct Held {
    int fd = -1;
    int holders = 0;
    bool install = false;
};

// The locks this process holds, by key: "file:<path>" for the state
// folder's lock file, "folder:<device>:<inode>" for a folder, so two paths
// to one folder are one lock.
struct Record {
    std::mutex mutex;
    std::map<QString, Held> locks;
};

Record& record()
{
    // Never destroyed: background work may still let go while the process ends.
    static Record* shared = new Record;
    return *shared;
}

// Joins the lock under key for holder, or takes it on fd (open on what is
// locked, closed here unless it becomes the lock's) when this process does
// not hold it yet. Called with the record's mutex held.
InstallLock::State share(Record& shared, const QString& key, int fd, InstallLock::Holder holder)
{
    const bool install = holder == InstallLock::Holder::install;
    if (const auto it = shared.locks.find(key); it != shared.locks.end()) {
        ::close(fd);
        if (install && it->second.install)
            return InstallLock::State::busy;
        ++it->second.holders;
        it->second.install = it->second.install || install;
        return InstallLock::State::held;
    }
    // Any failure but another holder: a file system without locks, where no
    // install holds one either.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return InstallLock::State::busy;
    }
    shared.locks[key] = Held{.fd = fd, .holders = 1, .install = install};
    return InstallLock::State::held;
}

void leave(Record& shared, const QString& key, InstallLock::Holder holder)
{
    const auto it = shared.locks.find(key);
    if (it == shared.locks.end())
        return;
    if (holder == InstallLock::Holder::install)
        it->second.install = false;
    if (--it->second.holders == 0) {
        ::close(it->second.fd);
        shared.locks.erase(it);
    }
}

} // namespace

InstallLock::InstallLock(const QString& folder, Holder holder)
    : holder_(holder)
{
    const QString path = Updates::installLockPath();
    if (!platform::Folders::make(QFileInfo(path).path())) {
        why_ = QFileInfo(path).path() + QStringLiteral(": the folder could not be made");
        return;
    }
    const int file = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0) {
        why_ = path + QStringLiteral(": ") + platform::FileIO::describe(errno);
        return;
    }
    // The folder is only opened: reading it is all a lock needs.
    int folderFd = -1;
    struct stat info {};
    if (!folder.isEmpty()) {
        folderFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folderFd < 0 || ::fstat(folderFd, &info) != 0) {
            why_ = folder + QStringLiteral(": ") + platform::FileIO::describe(errno);
            if (folderFd >= 0)
                ::close(folderFd);
            ::close(file);
            return;
        }
    }

    Record& shared = record();
    std::lock_guard guard(shared.mutex);
    const QString stateKey = QStringLiteral("file:") + path;
    state_ = share(shared, stateKey, file, holder);
    if (state_ != State::held) {
        heldElsewhere_ = path;
        if (folderFd >= 0)
            ::close(folderFd);
        return;
    }
    stateKey_ = stateKey;
    if (folderFd < 0)
        return;
    const QString folderKey = QStringLiteral("folder:%1:%2").arg(info.st_dev).arg(info.st_ino);
    state_ = share(shared, folderKey, folderFd, holder);
    if (state_ != State::held) {
        heldElsewhere_ = folder;
        leave(shared, stateKey_, holder_);
        stateKey_.clear();
        return;
    }
    folderKey_ = folderKey;
}

InstallLock::~InstallLock()
{
    release();
}

void InstallLock::release()
{
    if (stateKey_.isEmpty())
        return;
    Record& shared = record();
    std::lock_guard guard(shared.mutex);
    if (!folderKey_.isEmpty())
        leave(shared, folderKey_, holder_);
    leave(shared, stateKey_, holder_);
    folderKey_.clear();
    stateKey_.clear();
}
