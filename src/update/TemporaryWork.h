#pragma once

#include "store/Result.h"

#include <QString>

#include <functional>
#include <memory>

// A piece of update work in the shared temporary folder (a download, the
// copy of the stored image that gets attached, the folder it is attached at)
// that its process holds an flock on for as long as it uses it. A lock goes
// with the process that held it, so a tidy in any other process (another
// state folder, another install target) tells the work of a live process,
// which it leaves, from what a killed one left, which it may remove.
//
// Made new and this user's alone: a file 0600, open for writing, or a folder
// 0700. Safe from any thread; nothing here logs.
class TemporaryWork {
public:
    enum class Kind { file, folder };

    // Makes the work at the path name() answers and locks it. A tidy of
    // another process may take it in the moment between the two; then it is
    // made again under the next name, a few times at most. The failure says
    // why it could not be made.
    static Result<std::shared_ptr<TemporaryWork>> make(Kind kind, const std::function<QString()>& name);

    // A tidy's look at work it found at path.
    struct Claim {
        // Nobody else holds it: this lock keeps it so while the tidy removes
        // it. Empty when live or unknown.
        std::unique_ptr<TemporaryWork> lock;
        // A live process holds it.
        bool live = false;
        // Whether it is held cannot be told (it cannot be opened, or its
        // file system has no locks): why.
        QString unknown;
    };
    static Claim claim(const QString& path);

    // Tests only: runs once, with its path, after the next folder is made and
    // before it is opened and locked: what another process's tidy may do
    // meanwhile.
    static void whenNextFolderIsMade(std::function<void(const QString& path)> meanwhile);

    ~TemporaryWork();
    TemporaryWork(const TemporaryWork&) = delete;
    TemporaryWork& operator=(const TemporaryWork&) = delete;

    const QString& path() const { return path_; }
    // The open file or folder; a file is open for writing.
    int fd() const { return fd_; }

private:
    TemporaryWork(QString path, int fd);

    QString path_;
    int fd_ = -1;
};
