#include "platform/Sha256.h"

#include "platform/BackgroundStop.h"

#include <openssl/evp.h>

#include <cerrno>

namespace platform {

Sha256::Sha256()
    : context_(EVP_MD_CTX_new(), &EVP_MD_CTX_free)
{
    EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr);
}

Sha256::~Sha256() = default;

void Sha256::add(const char* data, qint64 length)
{
    EVP_DigestUpdate(context_.get(), data, std::size_t(length));
}

QByteArray Sha256::hex() const
{
    // Finished on a copy, so the running digest goes on.
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> copy(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), context_.get()) != 1 || EVP_DigestFinal_ex(copy.get(), digest, &length) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex();
}

FileIO::Read Sha256::addFrom(int fd, qint64 length)
{
    bool stopped = false;
    FileIO::Read read = FileIO::readChunks(fd, fileChunkBytes, length, [this, &stopped](const char* data, qint64 size) {
        // A quit waits for this: a large image must not hold it up.
        if (BackgroundStop::requested()) {
            stopped = true;
            return false;
        }
        add(data, size);
        return true;
    });
    if (stopped)
        read.error = ECANCELED;
    return read;
}

std::optional<QByteArray> Sha256::ofFile(const QString& path, FileIO::Links links)
{
    const FileIO::RegularFile file(path, links);
    if (!file.isOpen())
        return std::nullopt;
    Sha256 sha;
    if (sha.addFrom(file.fd()).error != 0)
        return std::nullopt;
    return sha.hex();
}

} // namespace platform
