#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace platform {

// Removing what the app and its tools made on disk (the file manager's
// removeItem).
namespace FileManager {

// Removes the file, link or folder tree at path. Links are removed, never
// followed. Folders are made enterable and writable by their owner on the
// way, so a read-only tree (an attached image, a copy of one) goes too. The
// walk keeps its own stack and opens each folder relative to its parent, so
// neither a deep tree nor a long path exhausts the call stack, the open files
// or the length a path may have. Gives up between entries once background
// work is asked to stop (BackgroundStop.h), leaving the rest at path. None
// when nothing is left at path (also when nothing was there, or someone else
// removed entries on the way), else the first failure: the entry's path,
// starting with path, and why.
std::optional<QString> removeItem(const QString& path);

// Puts what the tree at path holds on the disk: fsync of every file and
// folder in it, each folder after what it holds (links are entries of their
// folder, never followed). The tree's file system is flushed first, so that
// the entries' syncs find little left to write. None when every sync went
// through, else the first failure: the entry's path and why. What a power
// cut may take from a tree this answered none for is only what changed
// after it.
std::optional<QString> syncItem(const QString& path);

// fsync of the folder at path: the names it holds are on the disk. None, or
// the path and why not.
std::optional<QString> syncFolder(const QString& path);

// Tests only: the sync call (syncItem or syncFolder) with this 0-based
// index, counted from now, fails as if the system answered errorCode.
struct InjectedSyncFailure {
    int callIndex = 0;
    // 0: the call goes on after whenMet.
    int errorCode = 5; // EIO
    // Runs when the call is reached, before it fails.
    std::function<void()> whenMet = {};
};
void failSync(const InjectedSyncFailure& failure);
// Tests only: forgets an injected failure that no sync met.
void clearInjectedSyncFailure();

} // namespace FileManager
} // namespace platform
