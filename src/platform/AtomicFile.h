#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

// The one way the app writes a whole file. The file afterwards holds either
// the new bytes or, byte for byte, what it held before: the bytes go to a
// temporary file beside it, every write, the flush, the fsync and the close
// are checked, and only then is it renamed over the old file and the folder
// synced. Any failure removes the temporary file and is returned as a reason
// ("No space left on device"), for the caller to report its own way.
//
// A path that is a symbolic link is written through: the link's target gets
// the new bytes and the link stays. An existing file keeps its permission
// bits; a new one gets 0666 less the process's umask, or the given mode.
// Missing parent folders are not made, and a folder, pipe, socket or device
// at the path is never replaced.
//
// Logs use append(): a growing file is not copied for every line, and a line
// that cannot be written whole is cut off again, so the file keeps exactly
// the lines it had.
namespace AtomicFile {

// Where a write can fail, in the order they happen.
enum class Step {
    create,     // making the temporary file
    write,      // one chunk of the bytes (see chunkSize)
    flush,      // handing buffered bytes to the system
    sync,       // fsync of the temporary file
    close,
    rename,     // putting it in the target's place
    syncFolder, // fsync of the folder, after which the new file is durable
};

// The bytes are written in chunks of this many, so a long file makes several
// writes.
inline constexpr qsizetype chunkSize = 64 * 1024;

struct Options {
    // Permission bits for a file that does not exist yet; none: 0666 less
    // the umask. An existing file keeps its own.
    std::optional<int> newFileMode = std::nullopt;
    // False: a file already at the path is never replaced; the write then
    // fails ("File exists") and leaves it alone.
    bool replaceExisting = true;
};

// None when the file now holds the bytes; otherwise why not, and the file is
// as it was. A failed fsync of the folder is reported too, although the new
// bytes are then already in place.
[[nodiscard]] std::optional<QString> write(const QString& path, const QByteArray& bytes, const Options& options = {});

// Adds the bytes at the end of the file, making it (0666 less the umask) when
// missing. None when they are all in; otherwise why not, and the file is cut
// back to the length it had (a file this call made is removed; a pipe or a
// terminal keeps what went in). Not synced: a power cut may lose the new
// bytes, never the ones before them. The injected failures of create (the
// open), write and close apply.
[[nodiscard]] std::optional<QString> append(const QString& path, const QByteArray& bytes);

// Tests only: the next write or append fails at this step (for Step::write, at the
// write with this 0-based index) as if the system answered errorCode.
struct InjectedFailure {
    Step step = Step::write;
    int writeIndex = 0;
    int errorCode = 28; // ENOSPC
};
void failNextWrite(const InjectedFailure& failure);
// Tests only: forgets an injected failure that no write used.
void clearInjectedFailure();

} // namespace AtomicFile
} // namespace platform
