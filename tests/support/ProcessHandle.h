#pragma once

#include <QString>

#include <gtest/gtest.h>

// A handle on another process (a pidfd), taken while the process is known to
// run: a child the test has not reaped yet, or one that cannot have ended
// meanwhile. It is the one way tests signal a process. A signal never goes
// to a pid: a pid read after its process ended may be 0, and kill(0, ...)
// reaches the whole process group (ctest and every test beside this one), or
// it may belong to another process by then. A handle that could not be
// taken, or a process the handle says has ended, fails the signal, saying
// why.
class ProcessHandle {
public:
    ProcessHandle() = default;
    // Takes the handle; a pid below 1 or a process already gone leaves it
    // empty.
    explicit ProcessHandle(qint64 pid);
    ~ProcessHandle();
    ProcessHandle(ProcessHandle&& other) noexcept;
    ProcessHandle& operator=(ProcessHandle&& other) noexcept;
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    qint64 pid() const { return pid_; }
    bool held() const { return fd_ >= 0; }
    const QString& whyNotHeld() const { return why_; }
    // The process has ended (it may not be reaped yet); false without a
    // handle, where nothing is known.
    bool ended() const;
    // Waits up to milliseconds for the process to end; true once it has.
    bool waitForEnd(int milliseconds) const;

    [[nodiscard]] ::testing::AssertionResult signal(int number) const;
    // For a process that may end at any moment (signals sent while it
    // quits): nothing is sent once it has ended, and that is no failure.
    // True when the signal was sent.
    bool signalUnlessEnded(int number) const;
    // Ends a process that still runs: SIGCONT first when it is stopped,
    // then SIGKILL, and waits for its end.
    ::testing::AssertionResult end() const;

private:
    // 0 when sent, else the error.
    int send(int number) const;
    ::testing::AssertionResult failureOf(int number, int error) const;

    qint64 pid_ = 0;
    int fd_ = -1;
    // Why no handle was taken.
    QString why_;
};
