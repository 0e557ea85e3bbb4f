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
    // The handle on each copy's process, taken when it was found.
    QHash<qint32, std::shared_ptr<const int>> handles;
    // Copies that said they quit: never killed.
    QSet<qint32> saidTheyQuit;
};

// Waits look at termination signals this often, milliseconds.
constexpr int waitSliceMs = 100;

RealCopiesState& realCopiesState()
{
    static Shared<RealCopiesState> current([] { return new RealCopiesState; });
    return current.get();
}

// Without a process handle: gone, or a zombie waiting for its parent.
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

// Waits for the process behind a handle (a pidfd, readable once it ended),
// or, without one, for a pid above 0 by looking again; true once it has
// ended. Gives up early when this process was asked to quit.
bool waitForProcessEnd(const std::shared_ptr<const int>& handle, qint32 pid, double timeoutSeconds)
{
    const QDeadlineTimer deadline(qint64(timeoutSeconds * 1000));
    if (!handle) {
        if (pid <= 0)
            return false;
        while (!hasEnded(pid)) {
            if (deadline.hasExpired() || TerminationSignals::received())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    pollfd watch{*handle, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&watch, 1, int(std::clamp<qint64>(deadline.remainingTime(), 0, waitSliceMs)));
    } while (ready <= 0 && !deadline.hasExpired() && !TerminationSignals::received());
    return ready > 0;
}

std::shared_ptr<const int> handleOf(qint32 pid)
{
    RealCopiesState& s = realCopiesState();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.handles.value(pid);
}

QList<sim::RealCopy> findRealCopies()
{
    RealCopiesState& s = realCopiesState();
    std::function<QList<RealCopies::Found>()> find;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        find = s.copies.find;
    }
    if (!find)
        return {};
    const QDeadlineTimer due(qint64(realCopyAnswerTimeout * 1000));
    const QList<RealCopies::Found> found = find();
    QList<sim::RealCopy> copies;
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const RealCopies::Found& each : found) {
        s.found.insert(each.copy.pid);
        s.answerDue.insert(each.copy.pid, due);
        // The newest handle: the process that answered this search.
        s.handles.insert(each.copy.pid, each.process);
        copies.append(each.copy);
    }
    return copies;
}

bool isRealCopy(qint32 pid)
{
    RealCopiesState& s = realCopiesState();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.found.contains(pid);
}

// True once the copy agreed or was going away already and its process ended
// within realCopyQuitTimeout; a copy whose end cannot be watched (no handle,
// no pid) is left to the caller, who sees it gone once it lets go of what it
// holds. A copy that said it quits is never forced, even when it stays.
bool quitRealCopy(qint32 pid)
{
    RealCopiesState& s = realCopiesState();
    std::function<bool(qint32, double)> ask;
    QDeadlineTimer due(qint64(realCopyAnswerTimeout * 1000));
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        ask = s.copies.askToQuit;
        due = s.answerDue.value(pid, due);
    }
    if (!ask || !ask(pid, std::max<qint64>(due.remainingTime(), 0) / 1000.0))
        return false;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.saidTheyQuit.insert(pid);
    }
    const std::shared_ptr<const int> handle = handleOf(pid);
    if (!handle && pid <= 0)
        return true;
    return waitForProcessEnd(handle, pid, realCopyQuitTimeout);
}

// Only through the handle taken when the copy was found: never a pid, which
// may have passed to another process since, or be 0 and reach a whole
// process group. False when it was not sent, or the process did not end.
bool killRealCopy(qint32 pid)
{
    if (TerminationSignals::received())
        return false;
    {
        RealCopiesState& s = realCopiesState();
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.saidTheyQuit.contains(pid))
            return false;
    }
    const std::shared_ptr<const int> handle = handleOf(pid);
    if (!handle)
        return false;
#ifdef SYS_pidfd_send_signal
    if (::syscall(SYS_pidfd_send_signal, *handle, SIGKILL, nullptr, 0) != 0)
        return false;
    return waitForProcessEnd(handle, pid, realCopyEndTimeout);
#else
    return false;
#endif
}

} // namespace

void setRealCopies(RealCopies copies)
{
    {
        RealCopiesState& s = realCopiesState();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.copies = std::move(copies);
    }
    sim::setOtherCopies({.find = findRealCopies, .isCopy = isRealCopy, .quit = quitRealCopy, .kill = killRealCopy});
}

} // namespace platform::host
