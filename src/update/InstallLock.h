#pragma once

#include <QString>

// The install lock: keeps installs into one folder to one at a time, whatever
// state folder or user each runs with, and keeps the leftover tidy of that
// folder away from an install under way. It is two flocks, taken together:
//
// - on the folder an install writes into (the target's folder). Every
//   installer of that folder can open it, whoever made it, and nothing is
//   created in it: no lock file of one user stands in another user's way,
//   and nobody can plant a link or a pipe at a lock file's path there.
// - on "install.lock" in the app's state folder (Updates::installLockPath()),
//   the lock earlier versions take alone, so they and this one still keep out
//   of each other's way where they share a state folder.
//
// A process opens each once and its holders share it: an install and this
// process's own tidy hold it together (flock would turn away a second open
// file of the same process), while a second install, here or in another
// process, is refused. Nothing waits: a lock held elsewhere is an answer at
// once. Safe from any thread.
class InstallLock {
public:
    enum class Holder { install, tidy };
    enum class State {
        held,    // this holder has it
        busy,    // another process holds it, or (for an install) another install here
        unknown, // the folder or the lock file cannot be opened: why() says why
    };

    // folder: where the install writes (the target's folder); empty for a
    // tidy of the temporary folder alone, which takes the state folder's
    // lock only.
    InstallLock(const QString& folder, Holder holder);
    ~InstallLock();
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;

    // What the constructor found; stays so after release().
    State state() const { return state_; }
    const QString& why() const { return why_; }
    // busy: what another holds (the lock file's path or the folder).
    const QString& heldElsewhere() const { return heldElsewhere_; }
    // Lets go before the object goes (an install that has ended); once.
    void release();

private:
    Holder holder_;
    State state_ = State::unknown;
    QString why_;
    QString heldElsewhere_;
    // The keys of the locks held in this process's record; empty when none.
    QString stateKey_;
    QString folderKey_;
};
