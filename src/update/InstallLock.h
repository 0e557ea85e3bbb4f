#pragma once

#include <QString>

// The install lock: an flock on one file (Updates::installLockPath()) that
// keeps installs to one at a time among the user's processes, and keeps the
// leftover tidy away from another process's install.
//
// A process opens the file once and its holders share that one lock: an
// install and this process's own tidy hold it together (flock would turn
// away a second open file of the same process), while a second install,
// here or in another process, is refused. Nothing waits: a lock held
// elsewhere is an answer at once. Safe from any thread.
class InstallLock {
public:
    enum class Holder { install, tidy };
    enum class State {
        held,    // this holder has it
        busy,    // another process holds it, or (for an install) another install here
        unknown, // the lock file cannot be opened: why() says why
    };

    InstallLock(const QString& path, Holder holder);
    ~InstallLock();
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;

    // What the constructor found; stays so after release().
    State state() const { return state_; }
    const QString& why() const { return why_; }
    // Lets go before the object goes (an install that has ended); once.
    void release();

private:
    QString path_;
    Holder holder_;
    State state_ = State::unknown;
    QString why_;
    bool holding_ = false;
};
