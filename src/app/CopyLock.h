#pragma once

#include <QString>

// The mark of the user's one running copy: an exclusive lock (flock) on the
// file "copy.lock" in the preferences folder, which the copy guards and no
// other user reaches. It does not depend on the link socket's folder, so
// whatever that folder holds (another user's folder, a read-only one, one
// deleted under a running copy) never lets two copies run. It is held from
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

    // The socket the copy listens on; the lock's own place is read from the
    // environment here, once.
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
    const QString& path() const { return path_; }

private:
    QString socketPath_;
    QString path_;
    int fd_ = -1;
    QString error_;
};
