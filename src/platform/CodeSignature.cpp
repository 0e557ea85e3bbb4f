#include "platform/CodeSignature.h"

#include "platform/BackgroundStop.h"
#include "platform/CodeSignatureBundle.h"
#include "platform/CodeSignatureRequirement.h"
#include "platform/CodeSignatureTrailer.h"
#include "platform/Ed25519.h"
#include "platform/FileIO.h"
#include "platform/Sha256.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <sys/stat.h>

namespace platform::CodeSignature {

namespace {

// The outcome of a check, with the reason for a refusal.
struct Checked {
    OSStatus status = platform::Status::noErr;
    QString reason;
};

Checked refused(OSStatus status, const QString& reason)
{
    return {status, reason};
}

Checked cutShort()
{
    return {Status::cancelled, QStringLiteral("the check was cut short: the process is quitting")};
}

// The record's fields when the signature over it is made by the key it names.
std::optional<QJsonObject> verifiedRecord(const SignedRecord& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.record, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject fields = document.object();
    const QByteArray key = QByteArray::fromBase64(fields.value(QLatin1String("key")).toString().toLatin1());
    if (!Ed25519::verify(key, body.record, body.signature))
        return std::nullopt;
    return fields;
}

// In this order, so that nothing of the bundle's content is read before its
// signer is known to be acceptable: the record and its signature, the shape
// of the tree against the record (by lstat alone), the requirement, and only
// then every file's content.
Checked checkBundle(const QString& root, const Requirement* requirement)
{
    const Bundle::ReadSignature read = Bundle::readSignature(root);
    if (read.status != platform::Status::noErr)
        return refused(read.status, read.status == Status::unsigned_
                                        ? QStringLiteral("the bundle holds no signature")
                                        : QStringLiteral("the signature file is not a plain file"));
    const auto fields = verifiedRecord(read.body);
    if (!fields)
        return refused(Status::signatureFailed, QStringLiteral("the record is not signed by the key it names"));
    const auto recorded = fields->value(QLatin1String("kind")).toString() == QLatin1String("bundle")
        ? Bundle::entries(fields->value(QLatin1String("entries")))
        : std::nullopt;
    if (!recorded)
        return refused(Status::signatureFailed, QStringLiteral("the record is not a bundle's"));
    const Bundle::Walked walked = Bundle::walk(root, Bundle::Rules::verifiable);
    if (walked.refusal)
        return refused(Status::signatureFailed, *walked.refusal);
    for (const auto& [path, entry] : walked.entries) {
        const auto found = recorded->find(path);
        if (found == recorded->end())
            return refused(Status::signatureFailed, path + QStringLiteral(" is not in the record"));
        if (!found->second.sameShape(entry))
            return refused(Status::signatureFailed,
                           path + QStringLiteral(" is not the recorded ") + Bundle::typeName(found->second.type));
    }
    for (const auto& [path, entry] : *recorded) {
        if (!walked.entries.count(path))
            return refused(Status::signatureFailed, path + QStringLiteral(" is missing"));
    }
    if (!meets(*fields, requirement))
        return refused(Status::requirementFailed, QStringLiteral("the signer does not meet the requirement"));
    for (const auto& [path, entry] : *recorded) {
        if (entry.type != Bundle::Entry::Type::file)
            continue;
        // A bundle of tens of thousands of files must not hold up a quit.
        if (BackgroundStop::requested())
            return cutShort();
        if (Sha256::ofFile(root + QLatin1Char('/') + path, FileIO::Links::refused) != entry.digest)
            return BackgroundStop::requested() ? cutShort()
                                             : refused(Status::signatureFailed, path + QStringLiteral(" is not the recorded content"));
    }
    return {};
}

// The first length bytes of the open file go into sha; false when a read
// fails or gives up, or the file is shorter.
bool addPrefix(int fd, qint64 length, Sha256& sha)
{
    const FileIO::Read read = sha.addFrom(fd, length);
    return read.error == 0 && read.bytes == length;
}

// Why hashing the image failed: given up, or the image itself.
Checked unreadable()
{
    return BackgroundStop::requested() ? cutShort()
                                     : refused(Status::signatureFailed, QStringLiteral("the image cannot be read"));
}

// An image: the record in its trailer covers the bytes before it. fileDigest,
// when given, receives the SHA-256 of the whole file from the same read.
Checked checkImageFile(const QString& path, const Requirement* requirement, QByteArray* fileDigest)
{
    const FileIO::RegularFile file(path, FileIO::Links::refused);
    struct stat info {};
    if (!file.isOpen() || ::fstat(file.fd(), &info) != 0)
        return refused(Status::staticCodeNotFound, QStringLiteral("the image cannot be read"));
    const qint64 size = info.st_size;
    const auto trailer = Trailer::read(file.fd());
    if (!trailer) {
        if (Sha256 sha; fileDigest && addPrefix(file.fd(), size, sha))
            *fileDigest = sha.hex();
        else if (fileDigest && BackgroundStop::requested())
            return cutShort();
        return refused(Status::unsigned_, QStringLiteral("the image holds no signature"));
    }
    std::optional<QByteArray> covered;
    if (fileDigest) {
        // The rest of the file is the trailer: the whole-file digest costs no
        // second read.
        Sha256 sha;
        if (!addPrefix(file.fd(), trailer->contentLength, sha))
            return unreadable();
        covered = sha.hex();
        if (addPrefix(file.fd(), size - trailer->contentLength, sha))
            *fileDigest = sha.hex();
        else if (BackgroundStop::requested())
            return cutShort();
    }
    const auto fields = verifiedRecord(trailer->body);
    if (!fields)
        return refused(Status::signatureFailed, QStringLiteral("the record is not signed by the key it names"));
    if (fields->value(QLatin1String("kind")).toString() != QLatin1String("image"))
        return refused(Status::signatureFailed, QStringLiteral("the record is not an image's"));
    if (!meets(*fields, requirement))
        return refused(Status::requirementFailed, QStringLiteral("the signer does not meet the requirement"));
    if (Sha256 sha; !covered && addPrefix(file.fd(), trailer->contentLength, sha))
        covered = sha.hex();
    if (!covered)
        return unreadable();
    if (fields->value(QLatin1String("digest")).toString().toLatin1() != *covered)
        return refused(Status::signatureFailed, QStringLiteral("the image is not the recorded content"));
    return {};
}

Checked check(const QString& path, const Requirement* requirement, QByteArray* fileDigest = nullptr)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return refused(Status::staticCodeNotFound, QStringLiteral("nothing is there"));
    if (S_ISDIR(info.st_mode) && !fileDigest)
        return checkBundle(path, requirement);
    if (S_ISREG(info.st_mode))
        return checkImageFile(path, requirement, fileDigest);
    return refused(Status::unsigned_, QStringLiteral("neither a bundle nor an image"));
}

} // namespace

OSStatus checkValidity(const QString& path, QString* reason)
{
    const Checked checked = check(path, nullptr);
    if (reason)
        *reason = checked.reason;
    return checked.status;
}

OSStatus checkValidity(const QString& path, const Requirement& requirement, QString* reason)
{
    const Checked checked = check(path, &requirement);
    if (reason)
        *reason = checked.reason;
    return checked.status;
}

OSStatus checkImage(const QString& path, const Requirement& requirement, QByteArray& fileDigest)
{
    fileDigest.clear();
    if (QFileInfo(path).isDir())
        return Status::staticCodeNotFound;
    return check(path, &requirement, &fileDigest).status;
}

} // namespace platform::CodeSignature
