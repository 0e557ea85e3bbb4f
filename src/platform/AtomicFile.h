#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace platform {

// The one way the app writes a whole file. The file afterwards holds either
// the new bytes or, byte for byte, what it held before: the bytes go to a
// temporary file beside it, every write, the flush, the fsync and the close
// are checked, and only then is it renamed over the old file and the folder
// synced. Any failure removes the temporary file and is returned as a reason
// ("No space left on device"), for the caller to report its own way.
// QSaveFile alone will not do: on Qt 6.4 its commit() reports success on a
// full disk and leaves an empty file.
//
// A path that is a symbolic link of this user is written through: the link's
// target gets the new bytes and the link stays. A link of another user is
// replaced by the new file, never followed. An existing file keeps its permission
// bits; a new one is the user's alone (0600 less the umask), or gets the given
// mode. Missing parent folders are not made, and a folder, pipe, socket or
// device at the path is never replaced.
//
// A writer holds a lock on its temporary file until the rename. A temporary
// of the same file that nobody holds is left over from a writer that was
// killed: the next write of that file removes it. A live writer's temporary,
// in this process or another, is never touched.
//
// Logs use append(): a growing file is not copied for every line, and a line
// that cannot be written whole is cut off again, so the file keeps exactly
// the lines it had. Appends and keepLastLines() of one file, in any process,
// take turns on a lock of the file; one that another process keeps for longer
// than FileIO::lockWait fails the call (lockedElsewhere). They never follow a
// symbolic link at the path, whoever made it: they fail instead.
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
    // Permission bits for a file that does not exist yet; none: 0600 less
    // the umask. An existing file keeps its own.
    std::optional<int> newFileMode = std::nullopt;
    // False: a file already at the path is never replaced; the write then
    // fails ("File exists") and leaves it alone.
    bool replaceExisting = true;
    // False: a link at the path is replaced even when it is this user's.
    bool followOwnLink = true;
};

struct Outcome {
    // The file does not hold the new bytes (it is as it was): why.
    std::optional<QString> failure = std::nullopt;
    // The system's error number behind failure, where it gave one (ENOSPC:
    // the disk is full); 0 otherwise.
    int error = 0;
    // The file holds the new bytes, but its folder could not be synced, so a
    // power loss may still take them: why. Written, not yet durable.
    std::optional<QString> notDurable = std::nullopt;
};

[[nodiscard]] Outcome writeFile(const QString& path, const QByteArray& bytes, const Options& options = {});

// writeFile() with the bytes of the regular file at source (no link
// followed), read a chunk at a time: for files too large to hold in memory,
// such as a disk image moved across file systems. A source that cannot be
// read fails the write, and the file at path is as it was.
[[nodiscard]] Outcome copyFile(const QString& source, const QString& path, const Options& options = {});

// writeFile() for callers that only need to know whether the bytes are in
// place: none when the file holds them (durable or not yet); otherwise why
// not, and the file is as it was.
[[nodiscard]] std::optional<QString> write(const QString& path, const QByteArray& bytes, const Options& options = {});

// The failure of an append, trim or clear whose file another process kept
// locked for all of FileIO::lockWait: nothing was changed, and the caller
// was not held up for longer than that.
inline constexpr char lockedElsewhere[] = "could not take the file's lock: another program holds it";

// Adds the bytes at the end of the file, making it (0600 less the umask) when
// missing. None when they are all in; otherwise why not, and the bytes that
// went in are cut off again (a file this call made is removed; a pipe or a
// terminal keeps what went in). Bytes another writer added after them are
// never cut: then this call's bytes stay too. Not synced: a power cut may
// lose the new bytes, never the ones before them. The injected failures of
// create (the open), write and close apply.
[[nodiscard]] std::optional<QString> append(const QString& path, const QByteArray& bytes);

// Cuts a text log to its last whole lines: the longest end of the file that
// starts right after a line feed and has at most keepBytes bytes (nothing
// when its last line alone is longer). Bytes that are not UTF-8 become
// U+FFFD. Only the end of the file is read. None when the file is at most
// keepBytes long, was cut, or is missing; otherwise why it could not be cut,
// and it is as it was.
[[nodiscard]] std::optional<QString> keepLastLines(const QString& path, qint64 keepBytes);

// A log's line: when the file is past limit bytes it is first cut to its
// last lines within limit / 2 (keepLastLines), then the bytes are appended.
// A limit of 0 or less never cuts. A cut that fails leaves the file whole, to
// be cut with the next line; the answer is the append's.
[[nodiscard]] std::optional<QString> appendTrimming(const QString& path, const QByteArray& bytes, qint64 limit);

// Empties a log, making it when missing, in turn with its appends and trims,
// so a trim under way never brings back what was cleared. None when it is
// empty; otherwise why not, and it is as it was.
[[nodiscard]] std::optional<QString> clear(const QString& path);

// Tests only: the next write or append fails at this step (for Step::write, at the
// write with this 0-based index) as if the system answered errorCode.
struct InjectedFailure {
    Step step = Step::write;
    int writeIndex = 0;
    // 0: the step goes on after whenMet.
    int errorCode = 28; // ENOSPC
    // Runs when the step is reached, before it fails: what another writer
    // does meanwhile.
    std::function<void()> whenMet = {};
};
void failNextWrite(const InjectedFailure& failure);
// Tests only: forgets an injected failure that no write used.
void clearInjectedFailure();

} // namespace AtomicFile
} // namespace platform
