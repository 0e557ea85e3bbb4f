#pragma once

#include <QString>

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

} // namespace FileManager
} // namespace platform
