#include "support/LockElsewhere.h"

#include <QFile>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

LockElsewhere::LockElsewhere(const QString& path, int letGoAfter)
{
    const QByteArray name = QFile::encodeName(path);
    int release[2] = {-1, -1};
    if (::pipe2(release, O_CLOEXEC) != 0)
        return;
    child_ = std::make_unique<ForkedChild>([&](int ready) {
        // The test's end closes only here and there.
        ::close(release[1]);
        int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT)
            fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        const char byte = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
        if (::write(ready, &byte, 1) != 1)
            return 1;
        pollfd letGo{.fd = release[0], .events = POLLIN, .revents = 0};
        ::poll(&letGo, 1, letGoAfter);
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
