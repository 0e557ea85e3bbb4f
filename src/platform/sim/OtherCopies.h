#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// This app's other copies: real processes of the user beside this one,
// outside the simulated world. The simulated workspace lists them, after its
// own apps, among the running applications with this app's bundle identifier
// (and only there: nothing else asks for them, and finding them talks to
// another process), and hands requests to quit them on. Whoever finds them
// sets how (on this machine platform/linux/RealCopies.h); until then there
// are none.
namespace platform::sim {

struct RealCopy {
    qint32 pid = 0;
    // As the copy told it; none when it did not say.
    std::optional<QString> bundlePath;
};

struct OtherCopies {
    // The copies running now, this process left out.
    std::function<QList<RealCopy>()> find;
    // Whether the pid was found as a copy: only those are asked or killed.
    std::function<bool(qint32 pid)> isCopy;
    // Workspace::terminate and forceTerminate of a copy.
    std::function<bool(qint32 pid)> quit;
    std::function<bool(qint32 pid)> kill;
};

// Set through setOtherCopies (SessionHooks.h).
// What is set now; an unset member finds nothing and answers false.
OtherCopies otherCopies();

} // namespace platform::sim
