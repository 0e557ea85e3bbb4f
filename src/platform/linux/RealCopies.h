#pragma once

#include "platform/sim/OtherCopies.h"

#include <QList>

#include <functional>

// Copies of this app that run as real processes of the user beside this one,
// as the simulated workspace sees them (platform/sim/OtherCopies.h): retiring
// one, terminate asks the copy to quit and waits for its process to end;
// forceTerminate kills it (SIGKILL) and waits. One deadline, from the moment
// the search began, covers finding a copy and its answer; a copy that answers
// it quits (or is already on its way out) is waited for and never killed, and
// one that stays silent is killed only because it was found as a copy.
// Nothing is killed once this process was asked to quit: its waits give up at
// once. How copies are found and asked is given by the app's start-up (on
// this machine, over the link socket); until then there are none.
namespace platform::host {

struct RealCopies {
    // The copies running now, this process left out.
    std::function<QList<sim::RealCopy>()> find;
    // Asks the copy to quit the normal way; true unless it stayed silent for
    // timeoutSeconds: it answered that it quits, or it is going away already.
    std::function<bool(qint32 pid, double timeoutSeconds)> askToQuit;
};

// A copy that has not answered a request to quit this many seconds after the
// search for it began refuses it (and is then forced).
constexpr double realCopyAnswerTimeout = 5;
// How long terminate and forceTerminate wait for the process to end, seconds.
constexpr double realCopyEndTimeout = 10;

// Sets how copies are found and asked, and hands them to the simulated
// workspace.
void setRealCopies(RealCopies copies);

} // namespace platform::host
