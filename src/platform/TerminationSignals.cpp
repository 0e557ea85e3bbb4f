#include "platform/TerminationSignals.h"

#include "platform/Application.h"
#include "platform/FileIO.h"
#include "platform/SystemLog.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::array<int, 3> handledSignals{SIGTERM, SIGINT, SIGHUP};

// The pipe's write end for the handler; -1 while nothing is installed.
volatile std::sig_atomic_t writeEnd = -1;
// Set by the handler once a signal came; read by waits on any thread.
std::atomic<bool> signalled = false;
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler may only touch a lock-free atomic");

void onSignal(int signal)
{
    // Only async-signal-safe calls here; errno belongs to the code we cut into.
    const int savedErrno = errno;
    const int fd = writeEnd;
    signalled = true;
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        // Non-blocking: a full pipe already holds a termination on its way.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

// The pipe's read end while the signals are taken over for the process;
// its ends stay open until the process is gone.
int processReadEnd = -1;

bool makePipe(std::array<int, 2>& ends)
{
    if (::pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) == 0)
        return true;
    ends = {-1, -1};
    return false;
}

void installHandler(std::array<struct sigaction, handledSignals.size()>* previous)
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        ::sigaction(handledSignals[i], &action, previous ? &(*previous)[i] : nullptr);
}

} // namespace

struct TerminationSignals::State {
    std::array<int, 2> pipe{-1, -1};
    // False while the signals are taken over for the process: they and the
    // pipe are not this object's to give back.
    bool owned = true;
    std::array<struct sigaction, handledSignals.size()> previous{};
    std::unique_ptr<QSocketNotifier> notifier;
};

bool TerminationSignals::takeOverForTheProcess()
{
    if (processReadEnd >= 0)
        return true;
    Q_ASSERT(writeEnd < 0);
    std::array<int, 2> ends{};
    if (!makePipe(ends))
        return false;
    processReadEnd = ends[0];
    writeEnd = ends[1];
    signalled = false;
    installHandler(nullptr);
    return true;
}

TerminationSignals::TerminationSignals()
    : state_(std::make_unique<State>())
{
    if (processReadEnd >= 0) {
        state_->owned = false;
        state_->pipe[0] = processReadEnd;
    } else {
        Q_ASSERT(writeEnd < 0);
        if (!makePipe(state_->pipe)) {
            SystemLog::write(QStringLiteral("Tessaroom: SIGTERM, SIGINT and SIGHUP keep their default action: ")
                             + FileIO::describe(errno));
            state_.reset();
            return;
        }
    }
    const int readEnd = state_->pipe[0];
    state_->notifier = std::make_unique<QSocketNotifier>(readEnd, QSocketNotifier::Read);
    QObject::connect(state_->notifier.get(), &QSocketNotifier::activated, [readEnd] {
        std::array<unsigned char, 64> bytes{};
        while (::read(readEnd, bytes.data(), bytes.size()) > 0) {
        }
        // Later calls do nothing, so repeated signals never cut the save short.
        Application::terminate();
    });
    if (!state_->owned)
        return;
    writeEnd = state_->pipe[1];
    signalled = false;
    installHandler(&state_->previous);
}

TerminationSignals::~TerminationSignals()
{
    if (!state_)
        return;
    state_->notifier.reset();
    if (!state_->owned)
        return;
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        ::sigaction(handledSignals[i], &state_->previous[i], nullptr);
    writeEnd = -1;
    signalled = false;
    for (const int fd : state_->pipe)
        ::close(fd);
}

bool TerminationSignals::isInstalled() const
{
    return state_ != nullptr;
}

bool TerminationSignals::received()
{
    return signalled;
}

} // namespace platform
