#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Copies of this app that run as real processes of the user beside this one.
// The simulated workspace lists them, after its own apps, among the running
// applications with this app's bundle identifier (and only there: nothing
// else asks for them, and finding them talks to another process), and
// retires them: terminate asks the copy to quit and waits for its process to
// end; forceTerminate kills it (SIGKILL) and waits. One deadline, from the
// moment the search began, covers finding a copy and its answer; a copy that
// answers it quits (or is already on its way out) is waited for and never
// killed, and one that stays silent is killed only because it was found as a
// copy. Nothing is killed once this process was asked to quit: its waits give
// up at once. How copies are found and asked is given by the app's start-up
// (on this machine, over the link socket); until then there are none.
namespace platform::sim {

struct RealCopy {
    qint32 pid = 0;
    // As the copy told it; none when it did not say.
    std::optional<QString> bundlePath;
};

struct RealCopies {
    // The copies running now, this process left out.
    std::function<QList<RealCopy>()> find;
    // Asks the copy to quit the normal way; true unless it stayed silent for
    // timeoutSeconds: it answered that it quits, or it is going away already.
    std::function<bool(qint32 pid, double timeoutSeconds)> askToQuit;
};

// A copy that has not answered a request to quit this many seconds after the
// search for it began refuses it (and is then forced).
constexpr double realCopyAnswerTimeout = 5;
// How long terminate and forceTerminate wait for the process to end, seconds.
constexpr double realCopyEndTimeout = 10;

void setRealCopies(RealCopies copies);

// For the simulated workspace.
QList<RealCopy> findRealCopies();
bool isRealCopy(qint32 pid);
// True once the copy agreed or was going away already; its process was then
// waited for (it may outlive the wait, and is still not to be forced).
bool quitRealCopy(qint32 pid);
// False when the process was gone already, or this process is quitting.
bool killRealCopy(qint32 pid);
// Waits for a process that is not a child of this one; true once it has
// ended. Gives up early when this process was asked to quit.
bool waitForProcessEnd(qint32 pid, double timeoutSeconds);

} // namespace platform::sim
