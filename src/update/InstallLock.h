#pragma once

#include <QString>

// The install lock: keeps installs into one folder to one at a time, whatever
// state folder or user each runs with, and keeps the leftover tidy of that
// folder away from an install under way. Only a process that could install
// into the folder can hold it. It is two flocks, taken together:
//
// - on ".Tessaroom-install.lock" in the folder an install writes into (the
//   target's folder), there only while held: its last holder removes it.
//   Only a user who may write the folder can make it, and it is made whole
//   (mode, group, lock) so that every such user may open it and nobody else:
//   read-only for all when everyone may write the folder, for the folder's
//   group when that group may, else for its maker alone. What is at that
//   path and is not such a file (a link, a pipe, a folder, a file of a user
//   who may not write the folder or that such a user may open) is not
//   trusted, whoever holds it: one exchanging rename puts a lock of this
//   process in its place and it stays beside as
//   ".Tessaroom-install.lock-set-aside-<tag>", never followed nor removed
//   (it may be someone's).
//   Where that rename is refused (another user's entry in a sticky folder, a
//   file system without it), or a writer's lock file cannot be opened by
//   this user (its maker could not give it the folder's group), the lock is
//   unknown and why() says so.
// - on "install.lock" in the app's state folder (Updates::installLockPath()),
//   the lock earlier versions take alone, so they and this one still keep out
//   of each other's way where they share a state folder.
//
// A process opens each once and its holders share it: an install and this
// process's own tidy hold it together (flock would turn away a second open
// file of the same process), while a second install, here or in another
// process, is refused. Nothing waits: a lock held elsewhere is an answer at
// once. Safe from any thread; nothing here logs.
class InstallLock {
public:
    enum class Holder { install, tidy };
    enum class State {
        held,    // this holder has it
        busy,    // another process holds it, or (for an install) another install here
        unknown, // the folder or a lock file cannot be opened or made: why() says why
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
    // busy: what another holds (a lock file's path).
    const QString& heldElsewhere() const { return heldElsewhere_; }
    // What was set aside from the folder's lock path and why, as a line for
    // "updates.log"; empty when nothing was.
    const QString& setAside() const { return setAside_; }
    // Lets go before the object goes (an install that has ended); once.
    void release();

    // The name of the lock file in a folder installs write into.
    static const char folderLockName[];

private:
    Holder holder_;
    State state_ = State::unknown;
    QString why_;
    QString heldElsewhere_;
    QString setAside_;
    // The keys of the locks held in this process's record; empty when none.
    QString stateKey_;
    QString folderKey_;
};
