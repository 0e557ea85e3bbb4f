#pragma once

#include "support/ProcessHandle.h"

#include <functional>
#include <optional>

#include <sys/types.h>

// A child of the test made with fork(), with a handle on it taken right
// after the fork, while it cannot have been reaped yet; it is signalled and
// watched only through that handle. The child runs work and exits with what
// work returns; in a threaded test process work may use only calls that are
// safe after fork. work may say it is ready by writing one byte on the
// descriptor it gets: 1 when its set-up worked. A child that still runs when
// the object goes is killed and reaped.
class ForkedChild {
public:
    static constexpr int generous = 30000; // milliseconds

    explicit ForkedChild(const std::function<int(int ready)>& work);
    ~ForkedChild();
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    // Waits for the child's word; true when it said it is ready.
    bool ready();
    bool running() const { return handle_.held() && !handle_.ended(); }
    // Waits up to milliseconds for the child's end and reaps it: its status
    // as waitpid gives it, none while it runs.
    std::optional<int> wait(int milliseconds = generous);
    const ProcessHandle& handle() const { return handle_; }

private:
    pid_t pid_ = -1;
    ProcessHandle handle_;
    // The test's end of the pipe the child says it is ready on.
    int ready_ = -1;
    std::optional<bool> said_;
    std::optional<int> status_;
};
