#include "support/LockElsewhere.h"

#include <QFile>

#include <cerrno>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

bool lock(const QByteArray& name, bool make)
{
    int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && make)
        fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

} // namespace

LockElsewhere::LockElsewhere(const Locks& locks)
{
    // Encoded here: after the fork only calls safe there are made.
    std::vector<QByteArray> names;
    for (const QString& path : locks.paths)
        names.push_back(QFile::encodeName(path));
    int release[2] = {-1, -1};
    if (::pipe2(release, O_CLOEXEC) != 0)
        return;
    child_ = std::make_unique<ForkedChild>([&](int ready) {
        // The test's end closes only here and there.
        ::close(release[1]);
        if (const std::optional<uid_t> user = locks.asUser;
            user && (::setgroups(0, nullptr) != 0 || ::setresgid(*user, *user, *user) != 0
                     || ::setresuid(*user, *user, *user) != 0))
            return 1;
        const char byte = !names.empty() && lock(names[0], true) ? 1 : 0;
        for (std::size_t at = 1; at < names.size(); ++at)
            lock(names[at], false);
        if (::write(ready, &byte, 1) != 1)
            return 1;
        pollfd letGo{.fd = release[0], .events = POLLIN, .revents = 0};
        ::poll(&letGo, 1, locks.letGoAfter);
        return 0;
    });
    ::close(release[0]);
    release_ = release[1];
    held_ = child_->ready();
}

void LockElsewhere::letGo()
{
    if (release_ >= 0)
        ::close(std::exchange(release_, -1));
    if (child_)
        child_->wait();
    held_ = false;
}
