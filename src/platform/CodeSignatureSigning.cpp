#include "platform/CodeSignature.h"

#include "platform/AtomicFile.h"
#include "platform/CodeSignatureBundle.h"
#include "platform/CodeSignatureTrailer.h"
#include "platform/Ed25519.h"
#include "platform/FileIO.h"
#include "platform/Sha256.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform::CodeSignature {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The record with its signature; none when the key is not usable.
std::optional<SignedRecord> signedRecord(const QJsonObject& fields, const SigningKey& key)
{
    SignedRecord body{QJsonDocument(fields).toJson(QJsonDocument::Compact), {}};
    const auto signature = Ed25519::sign(key.privateKey, body.record);
    if (!signature)
        return std::nullopt;
    body.signature = *signature;
    return body;
}

std::optional<QString> signBundle(const QString& path, const SigningKey& key, QJsonObject fields)
{
    // Made first: the folder belongs to the signature, not to what it covers.
    if (!QDir(path).mkpath(Bundle::signatureFolderPath))
        return QStringLiteral("%1 cannot be made").arg(Bundle::signatureFolderPath);
    Bundle::Walked walked = Bundle::walk(path, Bundle::Rules::recordable);
    if (walked.refusal)
        return *walked.refusal;
    for (auto& [relative, entry] : walked.entries) {
        if (entry.type != Bundle::Entry::Type::file)
            continue;
        const auto digest = Sha256::ofFile(path + QLatin1Char('/') + relative, FileIO::Links::refused);
        if (!digest)
            return relative + QStringLiteral(" cannot be read");
        entry.digest = *digest;
    }
    fields.insert(QStringLiteral("kind"), QStringLiteral("bundle"));
    fields.insert(QStringLiteral("entries"), Bundle::record(walked.entries));
    const auto body = signedRecord(fields, key);
    if (!body)
        return QStringLiteral("the signing key is not usable");
    const QJsonObject wrapper{{QStringLiteral("record"), QString::fromLatin1(body->record.toBase64())},
                              {QStringLiteral("signature"), QString::fromLatin1(body->signature.toBase64())}};
    // Part of the bundle, readable as its other files are: whoever runs the
    // app checks it.
    return AtomicFile::write(QDir(path).filePath(Bundle::signatureFilePath), QJsonDocument(wrapper).toJson(),
                             {.newFileMode = 0644});
}

// The image keeps its bytes; an earlier trailer is cut off and the new one
// follows them.
std::optional<QString> signImage(const QString& path, const SigningKey& key, QJsonObject fields)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return systemError(errno);
    const auto fail = [fd](int error) {
        ::close(fd);
        return std::optional(systemError(error));
    };
    const auto old = Trailer::read(fd);
    const off_t contentLength = old ? off_t(old->contentLength) : ::lseek(fd, 0, SEEK_END);
    if (contentLength < 0 || (old && ::ftruncate(fd, contentLength) != 0) || ::lseek(fd, 0, SEEK_SET) != 0)
        return fail(errno);
    Sha256 sha;
    const FileIO::Read read = sha.addFrom(fd, contentLength);
    if (read.error != 0 || read.bytes != contentLength)
        return fail(read.error != 0 ? read.error : EIO);
    fields.insert(QStringLiteral("kind"), QStringLiteral("image"));
    fields.insert(QStringLiteral("digest"), QString::fromLatin1(sha.hex()));
    const auto body = signedRecord(fields, key);
    if (!body) {
        ::close(fd);
        return QStringLiteral("the signing key is not usable");
    }
    const QByteArray trailer = Trailer::make(*body);
    if (const int error = FileIO::writeAll(fd, trailer.constData(), trailer.size())) {
        // No half trailer is left after the image's bytes.
        (void)::ftruncate(fd, contentLength);
        return fail(error);
    }
    return ::close(fd) == 0 ? std::nullopt : std::optional(systemError(errno));
}

} // namespace

SigningKey generateKey()
{
    const Ed25519::KeyPair pair = Ed25519::generate();
    return {pair.privateKey, pair.publicKey};
}

std::optional<SigningKey> keyFromPrivate(const QByteArray& privateKey)
{
    const auto publicKey = Ed25519::publicKeyOf(privateKey);
    if (!publicKey)
        return std::nullopt;
    return SigningKey{privateKey, *publicKey};
}

std::optional<QString> sign(const QString& path, const SigningKey& key, const SigningIdentity& identity)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("nothing to sign at %1").arg(path);
    if (info.isSymLink() || !(info.isDir() || info.isFile()))
        return QStringLiteral("%1 is neither a bundle nor an image").arg(path);
    QJsonObject fields;
    fields.insert(QStringLiteral("anchor"), identity.anchor);
    QJsonObject certificates;
    for (const auto& [slot, oids] : identity.certificateFields)
        certificates.insert(slot, QJsonArray::fromStringList(oids));
    fields.insert(QStringLiteral("certificates"), certificates);
    fields.insert(QStringLiteral("team"), identity.team);
    fields.insert(QStringLiteral("key"), QString::fromLatin1(key.publicKey.toBase64()));
    return info.isDir() ? signBundle(path, key, fields) : signImage(path, key, fields);
}

} // namespace platform::CodeSignature
