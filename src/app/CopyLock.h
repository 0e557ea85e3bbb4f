#pragma once

#include <QString>

// The mark of the user's one running copy: an exclusive lock (flock) on the
// file "lock" beside the link socket, in its private folder. It is held from
// take() until this object goes or the process ends, however it ends, so a
// copy that crashed leaves nothing behind. A newer copy retires the holder
// before it takes the lock; a process that only hands over links takes it
// only when no copy holds it, and then becomes the copy itself.
class CopyLock {
public:
    enum class Take {
        // This process holds it (now, or already).
        taken,
        // Another process holds it: a copy that runs, starts or quits.
        heldElsewhere,
        // It cannot be used (error() says why); which copy runs cannot be told.
        failed,
    };

    explicit CopyLock(QString socketPath);
    ~CopyLock();
    CopyLock(const CopyLock&) = delete;
    CopyLock& operator=(const CopyLock&) = delete;

    // Never waits.
    Take take();
    bool isHeld() const { return fd_ >= 0; }
    // Whether another process holds it now (a copy that runs, starts or
    // quits). Never waits and never keeps it; a lock that cannot be looked
    // at counts as free.
    bool isHeldElsewhere() const;
    QString error() const { return error_; }
    const QString& socketPath() const { return socketPath_; }
    QString path() const;

private:
    QString socketPath_;
    int fd_ = -1;
    QString error_;
};
