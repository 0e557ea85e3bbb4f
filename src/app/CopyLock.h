#pragma once

#include <QString>

#include <vector>

// Which process is the user's one running copy, told by file locks (flock)
// that go with their process however it ends, so a copy that crashed leaves
// nothing behind. The copy holds "copy.lock" exclusively in two places the
// user alone writes: the preferences folder, where older copies look for it,
// and the state folder. Whatever sits at one of them (a folder, a link, a
// pipe, another user's file, a read-only folder) the other still tells, so
// two copies never run; a place that cannot hold a lock is left out, and with
// neither this process cannot tell and does not run as the copy.
//
// A retire leaves no moment at which a copy seems absent: a newcomer holds
// "coming.lock" in the same places (shared, so newcomers started together
// hold it side by side) from before it asks the running copy to quit until it
// listens itself. A process that finds nobody on the link socket acts on its
// own only while it holds the copy lock and no newcomer is on its way; it
// holds the lock until it lets go or ends.
//
// Nothing here waits longer than a moment, and nothing logs.
class CopyLock {
public:
    enum class Take {
        // This process holds it, in every place that can hold it.
        taken,
        // Another process holds it: a copy that runs, starts or quits (or,
        // for take(), a process that switches in its own world).
        heldElsewhere,
        // No place can hold it (error() says why).
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
        // No place can hold the copy lock: which copy runs cannot be told.
        cannotTell,
    };
    struct Seen {
        Look look = Look::noCopy;
        // For people: who holds which lock, or why no lock can be had.
        QString found;
    };

    // The socket the copy listens on; the places of the locks are read from
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
    bool isHeld() const;

    // A newcomer's mark, from before it asks the running copy to quit until
    // it listens; false when no place can hold it (error() says why).
    bool announceComing();
    void arrived();

    QString error() const { return error_; }
    const QString& socketPath() const { return socketPath_; }
    // The copy lock where older copies and peers take it.
    const QString& path() const { return places_.front().copy; }

private:
    struct Place {
        QString copy;
        QString coming;
        int copyFd = -1;
        int comingFd = -1;
    };

    // flock operation (LOCK_EX or LOCK_SH) on the copy lock of every place
    // that can hold one, all or nothing; heldAt_ names the place held
    // elsewhere.
    Take hold(int operation);
    // The place whose coming lock another process holds; none when no
    // newcomer is on its way.
    const Place* comingElsewhere() const;

    QString socketPath_;
    std::vector<Place> places_;
    QString heldAt_;
    QString error_;
};
