#include "support/ProcessHandle.h"

#include "support/ProcessState.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// How long the end of a killed process may take.
constexpr int endWaitMs = 30000;

std::string nameOf(int number)
{
    const char* abbreviation = ::sigabbrev_np(number);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(number);
}

} // namespace

ProcessHandle::ProcessHandle(qint64 pid)
    : pid_(pid)
{
    if (pid < 1) {
        why_ = QStringLiteral("the pid is %1, and a signal to a pid below 1 reaches a whole process group").arg(pid);
        return;
    }
    // Through syscall: Debian 12's <sys/pidfd.h> declares its wrappers
    // without C linkage.
    fd_ = int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
    if (fd_ < 0)
        why_ = QStringLiteral("no handle on it could be taken (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
}

ProcessHandle::~ProcessHandle()
{
    if (fd_ >= 0)
        ::close(fd_);
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
{
    *this = std::move(other);
}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept
{
    std::swap(pid_, other.pid_);
    std::swap(fd_, other.fd_);
    std::swap(why_, other.why_);
    return *this;
}

bool ProcessHandle::ended() const
{
    return waitForEnd(0);
}

bool ProcessHandle::waitForEnd(int milliseconds) const
{
    if (fd_ < 0)
        return false;
    pollfd readable{.fd = fd_, .events = POLLIN, .revents = 0};
    int ready = 0;
    do {
        ready = ::poll(&readable, 1, milliseconds);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

::testing::AssertionResult ProcessHandle::signal(int number) const
{
    if (fd_ >= 0 && ended()) {
        return ::testing::AssertionFailure()
               << nameOf(number) << " not sent to pid " << pid_ << ": the process has ended already";
    }
    return failureOf(number, send(number));
}

bool ProcessHandle::signalUnlessEnded(int number) const
{
    if (fd_ >= 0 && ended())
        return false;
    const int error = send(number);
    // Reaped meanwhile by a parent other than this process: ended too.
    if (error != 0 && error != ESRCH)
        ADD_FAILURE() << failureOf(number, error).message();
    return error == 0;
}

::testing::AssertionResult ProcessHandle::end() const
{
    if (fd_ >= 0 && ended())
        return ::testing::AssertionSuccess();
    if (ProcessState::ofProcess(pid_) == 'T') {
        if (const int error = send(SIGCONT); error != 0)
            return failureOf(SIGCONT, error);
    }
    // ESRCH: reaped meanwhile by a parent other than this process.
    if (const int error = send(SIGKILL); error != 0 && error != ESRCH)
        return failureOf(SIGKILL, error);
    if (!waitForEnd(endWaitMs))
        return ::testing::AssertionFailure() << "pid " << pid_ << " still runs " << endWaitMs << " ms after SIGKILL";
    return ::testing::AssertionSuccess();
}

int ProcessHandle::send(int number) const
{
    if (fd_ < 0)
        return EBADF;
    return ::syscall(SYS_pidfd_send_signal, fd_, number, nullptr, 0) == 0 ? 0 : errno;
}

::testing::AssertionResult ProcessHandle::failureOf(int number, int error) const
{
    if (error == 0)
        return ::testing::AssertionSuccess();
    if (fd_ < 0)
        return ::testing::AssertionFailure() << nameOf(number) << " not sent to pid " << pid_ << ": " << why_.toStdString();
    return ::testing::AssertionFailure() << nameOf(number) << " to pid " << pid_ << " failed: " << std::strerror(error);
}
