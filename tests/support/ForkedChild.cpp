#include "support/ForkedChild.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

ForkedChild::ForkedChild(const std::function<int(int ready)>& work)
{
    int ready[2] = {-1, -1};
    if (::pipe2(ready, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe for a child: " << std::strerror(errno);
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ready[0]);
        ::_exit(work(ready[1]));
    }
    if (pid_ > 0)
        handle_ = ProcessHandle(pid_);
    else
        ADD_FAILURE() << "fork failed: " << std::strerror(errno);
    ::close(ready[1]);
    ready_ = ready[0];
}

ForkedChild::~ForkedChild()
{
    if (pid_ > 0 && !status_) {
        if (running()) {
            EXPECT_TRUE(handle_.end());
        }
        wait();
    }
    if (ready_ >= 0)
        ::close(ready_);
}

bool ForkedChild::ready()
{
    if (said_)
        return *said_;
    pollfd word{.fd = ready_, .events = POLLIN, .revents = 0};
    char byte = 0;
    said_ = ready_ >= 0 && ::poll(&word, 1, generous) == 1 && ::read(ready_, &byte, 1) == 1 && byte == 1;
    ::close(std::exchange(ready_, -1));
    return *said_;
}

std::optional<int> ForkedChild::wait(int milliseconds)
{
    if (status_ || pid_ <= 0 || !handle_.waitForEnd(milliseconds))
        return status_;
    // Its end is known and it is this process's child: the pid is still its own.
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_)
        status_ = status;
    return status_;
}
