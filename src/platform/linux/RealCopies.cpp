#include "platform/linux/RealCopies.h"

#include "platform/Lifetime.h"
#include "platform/TerminationSignals.h"
#include "platform/sim/SessionHooks.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>

#include <cerrno>
#include <csignal>
#include <mutex>
#include <thread>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform::host {

namespace {

struct RealCopiesState {
    std::mutex mutex;
    RealCopies copies;
    // Every pid found as a copy: only these are ever asked or killed.
    QSet<qint32> found;
    // When each copy's answer is due: the search that found it started the clock.
    QHash<qint32, QDeadlineTimer> answerDue;
};

// Waits look at termination signals this often, milliseconds.
constexpr int waitSliceMs = 100;

RealCopiesState& state()
{
    static Shared<RealCopiesState> current([] { return new RealCopiesState; });
    return current.get();
}

// A descriptor that becomes readable when the process ends, whoever its
// parent is; -1 with errno set when there is none.
int processHandle(qint32 pid)
{
#ifdef SYS_pidfd_open
    return int(::syscall(SYS_pidfd_open, pid, 0));
#else
    errno = ENOSYS;
    return -1;
#endif
}

// Without process handles: gone, or a zombie waiting for its parent.
bool hasEnded(qint32 pid)
{
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() && (line[close + 2] == 'Z' || line[close + 2] == 'X');
}

// Waits for a process that is not a child of this one; true once it has
// ended. Gives up early when this process was asked to quit.
bool waitForProcessEnd(qint32 pid, double timeoutSeconds)
{
    const QDeadlineTimer deadline(qint64(timeoutSeconds * 1000));
    const int handle = processHandle(pid);
    if (handle < 0) {
        if (errno == ESRCH)
            return true;
        // An older kernel: look again every few milliseconds.
        while (!hasEnded(pid)) {
            if (deadline.hasExpired() || TerminationSignals::received())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    pollfd watch{handle, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&watch, 1, int(std::clamp<qint64>(deadline.remainingTime(), 0, waitSliceMs)));
    } while (ready <= 0 && !deadline.hasExpired() && !TerminationSignals::received());
    ::close(handle);
    return ready > 0;
}

QList<sim::RealCopy> findRealCopies()
{
    RealCopiesState& s = state();
    std::function<QList<sim::RealCopy>()> find;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        find = s.copies.find;
    }
    if (!find)
        return {};
    const QDeadlineTimer due(qint64(realCopyAnswerTimeout * 1000));
    QList<sim::RealCopy> copies = find();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const sim::RealCopy& copy : copies) {
        s.found.insert(copy.pid);
        s.answerDue.insert(copy.pid, due);
    }
    return copies;
}

bool isRealCopy(qint32 pid)
{
    RealCopiesState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.found.contains(pid);
}

// True once the copy agreed or was going away already; its process was then
// waited for (it may outlive the wait, and is still not to be forced).
bool quitRealCopy(qint32 pid)
{
    RealCopiesState& s = state();
    std::function<bool(qint32, double)> ask;
    QDeadlineTimer due(qint64(realCopyAnswerTimeout * 1000));
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        ask = s.copies.askToQuit;
        due = s.answerDue.value(pid, due);
    }
    if (!ask || !ask(pid, std::max<qint64>(due.remainingTime(), 0) / 1000.0))
        return false;
    // On its way out, saving: waited for, never forced.
    waitForProcessEnd(pid, realCopyEndTimeout);
    return true;
}

// False when the process was gone already, or this process is quitting.
bool killRealCopy(qint32 pid)
{
    if (TerminationSignals::received())
        return false;
    const int handle = processHandle(pid);
    if (handle >= 0) {
#ifdef SYS_pidfd_send_signal
        // Through the handle: the pid cannot have passed to another process.
        const bool sent = ::syscall(SYS_pidfd_send_signal, handle, SIGKILL, nullptr, 0) == 0;
#else
        const bool sent = ::kill(pid, SIGKILL) == 0;
#endif
        ::close(handle);
        return sent && waitForProcessEnd(pid, realCopyEndTimeout);
    }
    if (errno == ESRCH || ::kill(pid, SIGKILL) != 0)
        return false;
    return waitForProcessEnd(pid, realCopyEndTimeout);
}

} // namespace

void setRealCopies(RealCopies copies)
{
    {
        RealCopiesState& s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.copies = std::move(copies);
    }
    sim::setOtherCopies({.find = findRealCopies, .isCopy = isRealCopy, .quit = quitRealCopy, .kill = killRealCopy});
}

} // namespace platform::host
