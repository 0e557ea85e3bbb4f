#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <functional>

namespace platform {

// Reading and writing bytes through file descriptors, the one way for every
// part that handles files it did not make itself (downloads, images, bundles,
// files shared with other programs): opening for reading never blocks on a
// pipe put in a file's place, and reads and writes go on after short counts
// and interruptions. Nothing here logs; failures are error numbers.
namespace FileIO {

// The system's words for an error number.
QString describe(int error);

enum class Links {
    followed, // a link at the path opens the file it leads to
    refused,  // a link at the path counts as something other than a file
};

// A regular file open for reading, closed with the object. Anything else at
// the path (a folder, pipe, socket or device, or a link when links are
// refused) is not opened, and opening it never blocks.
class RegularFile {
public:
    RegularFile(const QString& path, Links links);
    RegularFile(const char* nativePath, Links links);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // -1 when it is not open.
    int fd() const { return fd_; }
    // Something other than a regular file is at the path.
    bool notRegular() const { return notRegular_; }
    // Why it is not open, as the system's error number (ENOENT: nothing is
    // there); 0 when it is open or notRegular().
    int error() const { return error_; }
    // Why it is not open, for people: "it is not a regular file" or the
    // system's words.
    QString why() const;

private:
    int fd_ = -1;
    int error_ = 0;
    bool notRegular_ = false;
};

// Writes all of size bytes, going on after short writes: 0, or the error
// number of the write that failed. A write that takes none of the bytes
// counts as a full disk (ENOSPC), so it is not tried for ever; nothing to
// write succeeds at once. written, when given, grows by the bytes that went
// in.
int writeAll(int fd, const char* data, qint64 size, qint64* written = nullptr);

struct Read {
    qint64 bytes = 0; // read and taken
    int error = 0;    // of the read that failed, or 0
};

// Reads from the descriptor's offset in chunks of at most chunkBytes until
// its end or, when length is not negative, until length bytes, and hands
// every chunk to take in order. A take that answers false stops the reading
// there (no error). Fewer bytes than length means the file ended first.
Read readChunks(int fd, qint64 chunkBytes, qint64 length, const std::function<bool(const char*, qint64)>& take);

// Appends to bytes what the descriptor holds from its offset to its end, at
// most limit bytes when limit is not negative: 0, or the error number of the
// read that failed.
int readAll(int fd, QByteArray& bytes, qint64 limit = -1);

// Appends to bytes the length bytes at offset, fewer when the file ends
// first, leaving the descriptor's own offset where it is: 0, or the error
// number of the read that failed.
int readAt(int fd, qint64 offset, qint64 length, QByteArray& bytes);

// How long lock() waits for another holder to let go, in seconds: the main
// thread takes these locks, and a process that keeps one (stopped mid-write,
// under a debugger, on a slow network home) must not freeze the app.
inline constexpr double lockWait = 0.1;

enum class Lock {
    taken,
    busy,     // another holder kept it for all of lockWait
    noLocks,  // the file system has none: the caller goes on without, as
              // every writer there must
};

// Takes the exclusive lock (flock) of the open file, trying again for at most
// lockWait while another open file holds it.
Lock lock(int fd);
// The same, trying again until the deadline (busy after it): only for a wait
// the process may afford, such as its last save as it ends. An expired
// deadline gets one try.
Lock lock(int fd, const QDeadlineTimer& deadline);

} // namespace FileIO
} // namespace platform
