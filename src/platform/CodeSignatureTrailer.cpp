#include "platform/CodeSignatureTrailer.h"

#include "platform/CodeSignature.h"
#include "platform/Ed25519.h"
#include "platform/FileIO.h"

#include <sys/stat.h>

namespace platform::CodeSignature {

namespace {

constexpr char magic[] = "TSRSIG01";
constexpr qint64 magicBytes = 8;
constexpr qint64 lengthBytes = 8;
constexpr qint64 largestRecordBytes = 1 << 20;

QByteArray bigEndian(qint64 value)
{
    QByteArray bytes(lengthBytes, '\0');
    for (int i = lengthBytes - 1; i >= 0; --i) {
        bytes[i] = char(value & 0xff);
        value >>= 8;
    }
    return bytes;
}

qint64 fromBigEndian(const QByteArray& bytes)
{
    qint64 value = 0;
    for (const char byte : bytes)
        value = (value << 8) | quint8(byte);
    return value;
}

// Exactly length bytes at offset, or none.
std::optional<QByteArray> readAt(int fd, qint64 offset, qint64 length)
{
    QByteArray bytes;
    if (FileIO::readAt(fd, offset, length, bytes) != 0 || bytes.size() != length)
        return std::nullopt;
    return bytes;
}

qint64 trailerSize(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return 0;
    const auto found = Trailer::read(fd);
    return found ? qint64(info.st_size) - found->contentLength : 0;
}

} // namespace

std::optional<Trailer::Found> Trailer::read(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    const qint64 size = info.st_size;
    if (size < magicBytes + lengthBytes + Ed25519::signatureBytes)
        return std::nullopt;
    const auto tail = readAt(fd, size - magicBytes - lengthBytes, lengthBytes + magicBytes);
    if (!tail || tail->right(magicBytes) != QByteArray(magic, magicBytes))
        return std::nullopt;
    const qint64 recordLength = fromBigEndian(tail->left(lengthBytes));
    const qint64 trailer = recordLength + Ed25519::signatureBytes + lengthBytes + magicBytes;
    if (recordLength <= 0 || recordLength > largestRecordBytes || trailer > size)
        return std::nullopt;
    Found found;
    found.contentLength = size - trailer;
    const auto body = readAt(fd, found.contentLength, recordLength + Ed25519::signatureBytes);
    if (!body)
        return std::nullopt;
    found.body.record = body->left(recordLength);
    found.body.signature = body->mid(recordLength);
    return found;
}

QByteArray Trailer::make(const SignedRecord& body)
{
    return body.record + body.signature + bigEndian(body.record.size()) + QByteArray(magic, magicBytes);
}

qint64 imageTrailerSize(const QString& path)
{
    const FileIO::RegularFile file(path, FileIO::Links::followed);
    return file.isOpen() ? trailerSize(file.fd()) : 0;
}

qint64 imageTrailerSize(int fd)
{
    return trailerSize(fd);
}

} // namespace platform::CodeSignature
