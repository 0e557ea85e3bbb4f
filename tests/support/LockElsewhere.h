#pragma once

#include "support/ForkedChild.h"

#include <QStringList>

#include <memory>
#include <optional>

#include <sys/types.h>

// A process, a child of the test, that holds the flock of files or folders
// (a missing first one is made) until it is let go, or by itself letGoAfter
// milliseconds after it took them; the generous default keeps a test that
// waits for it from hanging.
class LockElsewhere {
public:
    static constexpr int generousWait = 10000; // milliseconds

    struct Locks {
        // The first must be held for holding() to be true; the others are
        // held where they can be opened.
        QStringList paths;
        // Root first becomes this user (its group alike, no other groups).
        std::optional<uid_t> asUser = std::nullopt;
        int letGoAfter = generousWait;
    };

    explicit LockElsewhere(const Locks& locks);
    explicit LockElsewhere(const QString& path, int letGoAfter = generousWait)
        : LockElsewhere(Locks{.paths = {path}, .letGoAfter = letGoAfter})
    {
    }
    ~LockElsewhere() { letGo(); }
    LockElsewhere(const LockElsewhere&) = delete;
    LockElsewhere& operator=(const LockElsewhere&) = delete;

    // It took the first lock and did not let go by itself.
    bool holding() const { return held_ && child_->running(); }
    void letGo();

private:
    // The test's end of the pipe whose closing lets the lock go.
    int release_ = -1;
    std::unique_ptr<ForkedChild> child_;
    bool held_ = false;
};
