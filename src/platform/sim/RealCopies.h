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
// end; forceTerminate kills it (SIGKILL) and waits. How copies are found and
// asked is given by the app's start-up (on this machine, over the link
// socket); until then there are none.
namespace platform::sim {

struct RealCopy {
    qint32 pid = 0;
    // As the copy told it; none when it did not say.
    std::optional<QString> bundlePath;
};

struct RealCopies {
    // The copies running now, this process left out.
    std::function<QList<RealCopy>()> find;
    // Asks the copy to quit the normal way; true when it answered within
    // timeoutSeconds that it quits.
    std::function<bool(qint32 pid, double timeoutSeconds)> askToQuit;
};

// A copy that does not answer a request to quit within this many seconds
// refuses it (and is then forced).
constexpr double realCopyAnswerTimeout = 5;
// How long terminate and forceTerminate wait for the process to end, seconds.
constexpr double realCopyEndTimeout = 10;

void setRealCopies(RealCopies copies);

// For the simulated workspace.
QList<RealCopy> findRealCopies();
bool isRealCopy(qint32 pid);
// True once the copy agreed and its process ended.
bool quitRealCopy(qint32 pid);
// False when the process was gone already.
bool killRealCopy(qint32 pid);
// Waits for a process that is not a child of this one; true once it has
// ended.
bool waitForProcessEnd(qint32 pid, double timeoutSeconds);

} // namespace platform::sim
