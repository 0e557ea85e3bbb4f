#pragma once

#include "platform/FileIO.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

struct evp_md_ctx_st;

namespace platform {

// A running SHA-256 digest (libcrypto), and the one way to take a file's.
class Sha256 {
public:
    // Files are read in chunks of this many bytes.
    static constexpr qint64 fileChunkBytes = 1 << 20;

    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const char* data, qint64 length);
    void add(const QByteArray& bytes) { add(bytes.constData(), bytes.size()); }
    // The digest of what was added so far as 64 lower-case hex digits; more
    // may be added afterwards.
    QByteArray hex() const;
    // Adds what the descriptor holds from its offset, to its end or, when
    // length is not negative, at most length bytes. Gives up between chunks,
    // with the error ECANCELED, once background work is asked to stop
    // (BackgroundStop.h).
    FileIO::Read addFrom(int fd, qint64 length = -1);

    // The digest of a regular file's whole content; none when it is not one,
    // cannot be opened, or a read fails or gives up before its end (never
    // the digest of a part).
    static std::optional<QByteArray> ofFile(const QString& path, FileIO::Links links);

private:
    std::unique_ptr<evp_md_ctx_st, void (*)(evp_md_ctx_st*)> context_;
};

} // namespace platform
