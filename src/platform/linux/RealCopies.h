#pragma once

#include "platform/sim/OtherCopies.h"

#include <QList>

#include <functional>
#include <memory>

// Copies of this app that run as real processes of the user beside this one,
// as the simulated workspace sees them (platform/sim/OtherCopies.h): retiring
// one, terminate asks the copy to quit and waits for its process to end;
// forceTerminate kills it (SIGKILL) and waits. One deadline, from the moment
// the search began, covers finding a copy and its answer. A copy that answers
// it quits (or is already on its way out) is waited for, at most
// realCopyQuitTimeout, and never killed: terminate answers false when it is
// still there then. One that stays silent is killed only because it was found
// as a copy, and only through the handle on its process taken when it was
// found: a copy without one (pid 0, as for a process in another pid
// namespace, or a process this one cannot see) is never signalled, and a pid
// alone is never signalled. Nothing is killed once this process was asked to
// quit: its waits give up at once. How copies are found and asked is given by
// the app's start-up (on this machine, over the link socket); until then
// there are none.
namespace platform::host {

struct RealCopies {
    // A copy found, and a pidfd of its process taken while it was found
    // (null: none); the handle is closed when the last holder lets it go.
    struct Found {
        sim::RealCopy copy;
        std::shared_ptr<const int> process;
    };
    // The copies running now, this process left out.
    std::function<QList<Found>()> find;
    // Asks the copy to quit the normal way; true unless it stayed silent for
    // timeoutSeconds: it answered that it quits, or it is going away already.
    std::function<bool(qint32 pid, double timeoutSeconds)> askToQuit;
};

// A copy that has not answered a request to quit this many seconds after the
// search for it began refuses it (and is then forced).
constexpr double realCopyAnswerTimeout = 5;
// How long terminate waits for a copy that said it quits to end (enough for
// its save), seconds.
constexpr double realCopyQuitTimeout = 30;
// How long forceTerminate waits for the killed process to end, seconds.
constexpr double realCopyEndTimeout = 10;

// Sets how copies are found and asked, and hands them to the simulated
// workspace.
void setRealCopies(RealCopies copies);

} // namespace platform::host
