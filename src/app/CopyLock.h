#pragma once

#include <QString>

// Which process is the user's one running copy, told by file locks (flock)
// that go with their process however it ends, so a copy that crashed leaves
// nothing behind. The copy holds "copy.lock" in the preferences folder
// exclusively: that folder holds what two copies would both write (names,
// settings), so its lock decides, however the other folders are laid out.
// Whatever else sits at a lock's path (a folder, a link, a named pipe, a file
// of another user) is moved aside in that folder, with a line in
// switches.log, and a lock file takes its place; a lock file of this user is
// never moved, since a copy may hold it. When the folder cannot be used this
// process cannot tell, and does not run as the copy.
//
// A retire leaves no moment at which a copy seems absent: a newcomer holds
// "coming.lock" beside it (shared, so newcomers started together hold it side
// by side) from before it asks the running copy to quit until it listens
// itself. A process that finds nobody on the link socket acts on its own only
// while it holds the copy lock and no newcomer is on its way; it holds the
// lock until it lets go or ends.
//
// Nothing here waits longer than a moment. A holder is named by its pid
// only ("process N"): a lock alone never tells that Tessaroom holds it.
class CopyLock {
public:
    enum class Take {
        // This process holds it.
        taken,
        // Another process holds it: a copy that runs, starts or quits (or,
        // for take(), a process that switches in its own world).
        heldElsewhere,
        // The lock cannot be had (error() says why).
        failed,
    };

    // What a process that found nobody on the link socket would do on its own.
    enum class Claim {
        // Become the copy (a process started with a link): the copy lock,
        // exclusive.
        copy,
        // Act in its own world beside the user's copy (a mode, "--switch"):
        // the copy lock shared with other such processes and kept from any
        // copy, which waits until it is let go.
        ownWorld,
    };

    enum class Look {
        // No copy runs and none is on its way: this process holds the lock
        // as its claim needs.
        noCopy,
        // A process holds the copy lock: a copy that runs, starts or quits.
        copyRuns,
        // A newcomer is on its way: it retires the copy and listens next.
        copyComing,
        // The copy lock cannot be had: which copy runs cannot be told.
        cannotTell,
    };
    struct Seen {
        Look look = Look::noCopy;
        // For people: who holds which lock, or why no lock can be had.
        QString found;
    };

    // The socket the copy listens on; the preferences folder is read from
    // the environment here, once.
    explicit CopyLock(QString socketPath);
    ~CopyLock();
    CopyLock(const CopyLock&) = delete;
    CopyLock& operator=(const CopyLock&) = delete;

    // The copy's own hold, exclusive; never waits.
    Take take();
    // Claims the lock as claim needs unless a copy runs or is on its way;
    // the hold is kept until release() or the end of the process.
    Seen claimUnlessACopyRuns(Claim claim);
    // Lets go of what take() or a claim got.
    void release();
    bool isHeld() const { return copyFd_ >= 0; }

    // A newcomer's mark, from before it asks the running copy to quit until
    // it listens; false when it cannot be had (error() says why).
    bool announceComing();
    void arrived();

    // Who holds the copy lock now: "process N", or "another process" when
    // the system does not tell.
    QString copyHolder() const;

    QString error() const { return error_; }
    const QString& socketPath() const { return socketPath_; }
    const QString& path() const { return copyPath_; }
    const QString& comingPath() const { return comingPath_; }

private:
    // flock operation (LOCK_EX or LOCK_SH) on the copy lock.
    Take hold(int operation);
    // Another process holds the coming lock: a newcomer is on its way.
    bool comingElsewhere() const;

    QString socketPath_;
    QString folder_;
    QString copyPath_;
    QString comingPath_;
    int copyFd_ = -1;
    int comingFd_ = -1;
    QString error_;
};
