#pragma once

#include "support/ForkedChild.h"

#include <QString>

#include <memory>

// A process of this user, a child of the test, that holds the flock of a
// file or folder (a missing file is made) until it is let go, or by itself
// letGoAfter milliseconds after it took it; the generous default keeps a test
// that waits for it from hanging.
class LockElsewhere {
public:
    static constexpr int generousWait = 10000; // milliseconds

    explicit LockElsewhere(const QString& path, int letGoAfter = generousWait);
    ~LockElsewhere() { letGo(); }
    LockElsewhere(const LockElsewhere&) = delete;
    LockElsewhere& operator=(const LockElsewhere&) = delete;

    // It took the lock and did not let go by itself.
    bool holding() const { return held_ && child_->running(); }
    void letGo();

private:
    // The test's end of the pipe whose closing lets the lock go.
    int release_ = -1;
    std::unique_ptr<ForkedChild> child_;
    bool held_ = false;
};
