#include "update/InstallLock.h"

#include "platform/FileIO.h"
#include "platform/Folders.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The lock files this process holds, by path.
struct Held {
    int fd = -1;
    int holders = 0;
    bool install = false;
};

struct Record {
    std::mutex mutex;
    std::map<QString, Held> files;
};

Record& record()
{
    // Never destroyed: background work may still let go while the process ends.
    static Record* shared = new Record;
    return *shared;
}

} // namespace

InstallLock::InstallLock(const QString& path, Holder holder)
    : path_(path)
    , holder_(holder)
{
    Record& shared = record();
    std::lock_guard guard(shared.mutex);
    Held& held = shared.files[path];
    if (holder == Holder::install && held.install) {
        state_ = State::busy;
        return;
    }
    if (held.holders == 0) {
        const auto forget = [&shared, &path] { shared.files.erase(path); };
        if (!platform::Folders::make(QFileInfo(path).path())) {
            why_ = QFileInfo(path).path() + QStringLiteral(": the folder could not be made");
            forget();
            return;
        }
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            why_ = path + QStringLiteral(": ") + platform::FileIO::describe(errno);
            forget();
            return;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(fd);
            state_ = State::busy;
            forget();
            return;
        }
        // Any other failure: a file system without locks, where no install
        // holds one either.
        held.fd = fd;
    }
    ++held.holders;
    if (holder == Holder::install)
        held.install = true;
    state_ = State::held;
    holding_ = true;
}

InstallLock::~InstallLock()
{
    release();
}

void InstallLock::release()
{
    if (!holding_)
        return;
    holding_ = false;
    Record& shared = record();
    std::lock_guard guard(shared.mutex);
    const auto it = shared.files.find(path_);
    if (it == shared.files.end())
        return;
    if (holder_ == Holder::install)
        it->second.install = false;
    if (--it->second.holders == 0) {
        ::close(it->second.fd);
        shared.files.erase(it);
    }
}
