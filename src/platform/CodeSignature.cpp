#include "platform/CodeSignature.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

using CodeSignature::Requirement;

namespace {

// Image trailer: record, 64-byte signature, 8-byte big-endian record length, magic.
constexpr char trailerMagic[] = "TSRSIG01";
constexpr qint64 magicBytes = 8;
constexpr qint64 lengthBytes = 8;
constexpr qint64 signatureBytes = 64;
constexpr qint64 largestRecordBytes = 1 << 20;
constexpr qint64 readPieceBytes = 1 << 20;
const QString bundleSignaturePath = QStringLiteral("Contents/_CodeSignature/CodeResources");

using PKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

class Sha256 {
public:
    Sha256()
        : context_(EVP_MD_CTX_new(), &EVP_MD_CTX_free)
    {
        EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr);
    }
    void add(const char* data, qint64 length) { EVP_DigestUpdate(context_.get(), data, std::size_t(length)); }
    void add(const QByteArray& bytes) { add(bytes.constData(), bytes.size()); }
    Sha256 copy() const
    {
        Sha256 other;
        EVP_MD_CTX_copy_ex(other.context_.get(), context_.get());
        return other;
    }
    QByteArray hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_.get(), digest, &length);
        return QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex();
    }

private:
    DigestContext context_;
};

// SHA-256 of the first length bytes of an open file; none when it is shorter.
// The running digest is left in sha for a caller that goes on reading.
std::optional<QByteArray> digestPrefix(QFile& file, qint64 length, Sha256& sha)
{
    QByteArray buffer(readPieceBytes, Qt::Uninitialized);
    qint64 left = length;
    while (left > 0) {
        const qint64 read = file.read(buffer.data(), std::min(left, readPieceBytes));
        if (read <= 0)
            return std::nullopt;
        sha.add(buffer.constData(), read);
        left -= read;
    }
    return sha.copy().hex();
}

std::optional<QByteArray> digestPrefix(QFile& file, qint64 length)
{
    Sha256 sha;
    return digestPrefix(file, length, sha);
}

PKey publicKey(const QByteArray& raw)
{
    return PKey(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                            reinterpret_cast<const unsigned char*>(raw.constData()),
                                            std::size_t(raw.size())),
                &EVP_PKEY_free);
}

PKey privateKey(const QByteArray& raw)
{
    return PKey(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr,
                                             reinterpret_cast<const unsigned char*>(raw.constData()),
                                             std::size_t(raw.size())),
                &EVP_PKEY_free);
}

bool verifyEd25519(const QByteArray& rawKey, const QByteArray& message, const QByteArray& signature)
{
    if (rawKey.size() != 32 || signature.size() != signatureBytes)
        return false;
    PKey key = publicKey(rawKey);
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                            std::size_t(signature.size()),
                            reinterpret_cast<const unsigned char*>(message.constData()),
                            std::size_t(message.size()))
        == 1;
}

std::optional<QByteArray> signEd25519(const QByteArray& rawPrivate, const QByteArray& message)
{
    PKey key = privateKey(rawPrivate);
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return std::nullopt;
    QByteArray signature(signatureBytes, Qt::Uninitialized);
    std::size_t length = std::size_t(signature.size());
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(message.constData()), std::size_t(message.size()))
        != 1)
        return std::nullopt;
    return signature;
}

QByteArray bigEndian(qint64 value)
{
    QByteArray bytes(lengthBytes, '\0');
    for (int i = 7; i >= 0; --i) {
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

// A signature as read from disk, before any check.
struct Signed {
    QByteArray record;
    QByteArray signature;
};

struct ImageTrailer {
    qint64 contentLength = 0;
    Signed body;
};

std::optional<ImageTrailer> readTrailer(QFile& file)
{
    const qint64 size = file.size();
    if (size < magicBytes + lengthBytes + signatureBytes || !file.seek(size - magicBytes - lengthBytes))
        return std::nullopt;
    const QByteArray tail = file.read(lengthBytes + magicBytes);
    if (tail.size() != lengthBytes + magicBytes || tail.right(magicBytes) != QByteArray(trailerMagic, magicBytes))
        return std::nullopt;
    const qint64 recordLength = fromBigEndian(tail.left(lengthBytes));
    const qint64 trailer = recordLength + signatureBytes + lengthBytes + magicBytes;
    if (recordLength <= 0 || recordLength > largestRecordBytes || trailer > size)
        return std::nullopt;
    ImageTrailer result;
    result.contentLength = size - trailer;
    if (!file.seek(result.contentLength))
        return std::nullopt;
    result.body.record = file.read(recordLength);
    result.body.signature = file.read(signatureBytes);
    return result;
}

qint64 trailerSize(QFile& file)
{
    const auto trailer = readTrailer(file);
    return trailer ? file.size() - trailer->contentLength : 0;
}

// --- reading files without surprises ---

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Opens a regular file for reading, never through a link and never blocking
// on a pipe; -1 (errno set) for anything else.
int openRegularFile(const QString& path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

// SHA-256 of a regular file as lower-case hex; none when it is not one or
// cannot be read to its end.
std::optional<QByteArray> digestRegularFile(const QString& path)
{
    const int fd = openRegularFile(path);
    if (fd < 0)
        return std::nullopt;
    Sha256 sha;
    QByteArray buffer(readPieceBytes, Qt::Uninitialized);
    for (;;) {
        const ssize_t read = ::read(fd, buffer.data(), std::size_t(buffer.size()));
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (read == 0)
            break;
        sha.add(buffer.constData(), read);
    }
    ::close(fd);
    return sha.hex();
}

// The literal text of the link at path; none when it is not a link or its
// text is not UTF-8.
std::optional<QString> linkText(const QString& path)
{
    QByteArray text(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(native(path).constData(), text.data(), std::size_t(text.size()));
    if (length < 0 || length >= text.size())
        return std::nullopt;
    text.truncate(length);
    const QString decoded = QString::fromUtf8(text);
    if (decoded.toUtf8() != text)
        return std::nullopt;
    return decoded;
}

// --- bundles ---

// The signature lives inside the bundle and is not part of what it covers.
const QString signatureFolderPath = QStringLiteral("Contents/_CodeSignature");
constexpr qint64 largestBundleSignatureBytes = qint64(64) << 20;
// How many links one path may go through in all before it counts as a loop,
// as the kernel counts: a chain that doubles at every link is refused after
// 40 lookups, not 2^n.
constexpr int linksPerPath = 40;

// One entry of a bundle as its record covers it.
struct BundleEntry {
    enum class Type { file, folder, link };
    Type type = Type::file;
    bool executable = false; // a file with an execute bit
    QString target;          // a link's literal target text
    QByteArray digest;       // a file's recorded SHA-256, lower-case hex

    // Everything but the content.
    bool sameShape(const BundleEntry& other) const
    {
        return type == other.type && executable == other.executable && target == other.target;
    }
};

// Relative path ("Contents/MacOS/Tessaroom") to entry.
using BundleEntries = std::map<QString, BundleEntry>;

const char* typeName(BundleEntry::Type type)
{
    switch (type) {
    case BundleEntry::Type::file: return "file";
    case BundleEntry::Type::folder: return "folder";
    case BundleEntry::Type::link: return "link";
    }
    return "";
}

// Whether following target from the folder at (relative components, kept
// up to date) stays inside root. Links met on the way are followed as the
// system would, each one taken from linksLeft; a component that does not
// exist is taken as a name.
bool leadsInside(const QString& root, QStringList& at, const QString& target, int& linksLeft)
{
    if (target.startsWith(QLatin1Char('/')))
        return false;
    for (const QString& part : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (at.isEmpty())
                return false;
            at.removeLast();
            continue;
        }
        at.append(part);
        const QString path = root + QLatin1Char('/') + at.join(QLatin1Char('/'));
        struct stat info {};
        if (::lstat(native(path).constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
            const auto next = linkText(path);
            at.removeLast();
            if (!next || --linksLeft < 0 || !leadsInside(root, at, *next, linksLeft))
                return false;
        }
    }
    return true;
}

struct Walked {
    std::optional<QString> refusal; // why the tree may not be used
    BundleEntries entries;
};

enum class Rules {
    recordable, // only what a record can hold: files, folders, links, UTF-8 names
    verifiable, // also no setuid, setgid or sticky bit, no link leading outside
};

// Every entry below root but the signature, told by lstat alone: no file's
// content is read and no link is followed.
Walked walkBundle(const QString& root, Rules rules)
{
    Walked result;
    const auto refuse = [&](const QString& reason) {
        result.refusal = reason;
        return result;
    };
    constexpr mode_t specialBits = S_ISUID | S_ISGID | S_ISVTX;
    struct stat top {};
    if (::lstat(native(root).constData(), &top) != 0 || !S_ISDIR(top.st_mode))
        return refuse(QStringLiteral("the bundle is not a folder"));
    if (rules == Rules::verifiable && (top.st_mode & specialBits))
        return refuse(QStringLiteral("the bundle has a setuid, setgid or sticky bit"));
    std::vector<QString> folders{QString()};
    while (!folders.empty()) {
        const QString folder = folders.back();
        folders.pop_back();
        DIR* listing = ::opendir(native(folder.isEmpty() ? root : root + QLatin1Char('/') + folder).constData());
        if (!listing)
            return refuse((folder.isEmpty() ? QStringLiteral(".") : folder) + QStringLiteral(": ") + systemError());
        std::vector<QByteArray> names;
        while (const dirent* item = ::readdir(listing)) {
            const QByteArray name(item->d_name);
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(listing);
        for (const QByteArray& name : names) {
            const QString decoded = QString::fromUtf8(name);
            if (decoded.toUtf8() != name)
                return refuse(QStringLiteral("a name in %1 is not UTF-8").arg(folder.isEmpty() ? QStringLiteral(".") : folder));
            const QString relative = folder.isEmpty() ? decoded : folder + QLatin1Char('/') + decoded;
            const QString path = root + QLatin1Char('/') + relative;
            struct stat info {};
            if (::lstat(native(path).constData(), &info) != 0)
                return refuse(relative + QStringLiteral(": ") + systemError());
            if (rules == Rules::verifiable && (info.st_mode & specialBits))
                return refuse(relative + QStringLiteral(" has a setuid, setgid or sticky bit"));
            BundleEntry entry;
            if (S_ISREG(info.st_mode)) {
                entry.executable = (info.st_mode & 0111) != 0;
            } else if (S_ISDIR(info.st_mode)) {
                entry.type = BundleEntry::Type::folder;
                folders.push_back(relative);
            } else if (S_ISLNK(info.st_mode)) {
                entry.type = BundleEntry::Type::link;
                const auto target = linkText(path);
                if (!target)
                    return refuse(relative + QStringLiteral(": the link's text is not UTF-8"));
                entry.target = *target;
                QStringList at = relative.split(QLatin1Char('/'));
                at.removeLast();
                // The link itself is the first of the path's links.
                int linksLeft = linksPerPath - 1;
                if (rules == Rules::verifiable && !leadsInside(root, at, entry.target, linksLeft))
                    return refuse(relative + (linksLeft < 0 ? QStringLiteral(" goes through more than 40 links")
                                                            : QStringLiteral(" leads outside the bundle")));
            } else {
                return refuse(relative + QStringLiteral(" is a pipe, socket or device"));
            }
            if (relative != signatureFolderPath && relative != bundleSignaturePath)
                result.entries.emplace(relative, entry);
        }
    }
    return result;
}

QJsonObject recordOf(const BundleEntries& entries)
{
    QJsonObject record;
    for (const auto& [path, entry] : entries) {
        QJsonObject fields{{QStringLiteral("type"), QLatin1String(typeName(entry.type))}};
        if (entry.type == BundleEntry::Type::file) {
            fields.insert(QStringLiteral("sha256"), QString::fromLatin1(entry.digest));
            fields.insert(QStringLiteral("executable"), entry.executable);
        } else if (entry.type == BundleEntry::Type::link) {
            fields.insert(QStringLiteral("target"), entry.target);
        }
        record.insert(path, fields);
    }
    return record;
}

// None when the record's entries are not well formed.
std::optional<BundleEntries> entriesOf(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    BundleEntries entries;
    const QJsonObject record = value.toObject();
    for (auto it = record.begin(); it != record.end(); ++it) {
        const QJsonObject fields = it.value().toObject();
        const QString type = fields.value(QLatin1String("type")).toString();
        BundleEntry entry;
        if (type == QLatin1String("file")) {
            const QJsonValue digest = fields.value(QLatin1String("sha256"));
            const QJsonValue executable = fields.value(QLatin1String("executable"));
            if (!digest.isString() || digest.toString().size() != 64 || !executable.isBool())
                return std::nullopt;
            entry.digest = digest.toString().toLatin1();
            entry.executable = executable.toBool();
        } else if (type == QLatin1String("folder")) {
            entry.type = BundleEntry::Type::folder;
        } else if (type == QLatin1String("link")) {
            const QJsonValue target = fields.value(QLatin1String("target"));
            if (!target.isString())
                return std::nullopt;
            entry.type = BundleEntry::Type::link;
            entry.target = target.toString();
        } else {
            return std::nullopt;
        }
        entries.emplace(it.key(), entry);
    }
    return entries;
}

struct ReadSignature {
    OSStatus status = Status::noErr;
    Signed body;
};

// The bundle's signature file, reached without following links; unsigned
// when it is not there, signatureFailed when something else is in its place.
ReadSignature readBundleSignature(const QString& root)
{
    QString path = root;
    for (const QString& part : bundleSignaturePath.split(QLatin1Char('/'))) {
        path += QLatin1Char('/') + part;
        struct stat info {};
        if (::lstat(native(path).constData(), &info) != 0)
            return {CodeSignature::Status::unsigned_, {}};
        const bool last = path.endsWith(QLatin1String("/CodeResources"));
        if (last ? !S_ISREG(info.st_mode) : !S_ISDIR(info.st_mode))
            return {CodeSignature::Status::signatureFailed, {}};
        if (last && info.st_size > largestBundleSignatureBytes)
            return {CodeSignature::Status::signatureFailed, {}};
    }
    const int fd = openRegularFile(path);
    if (fd < 0)
        return {CodeSignature::Status::signatureFailed, {}};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {CodeSignature::Status::signatureFailed, {}};
    }
    const QJsonObject wrapper = QJsonDocument::fromJson(file.read(largestBundleSignatureBytes)).object();
    ReadSignature result;
    result.body.record = QByteArray::fromBase64(wrapper.value(QLatin1String("record")).toString().toLatin1());
    result.body.signature = QByteArray::fromBase64(wrapper.value(QLatin1String("signature")).toString().toLatin1());
    return result;
}

// The record's fields when the signature over it is made by the key it names.
std::optional<QJsonObject> verifiedRecord(const Signed& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.record, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject fields = document.object();
    const QByteArray key = QByteArray::fromBase64(fields.value(QLatin1String("key")).toString().toLatin1());
    if (!verifyEd25519(key, body.record, body.signature))
        return std::nullopt;
    return fields;
}

bool satisfies(const QJsonObject& fields, const Requirement::Clause& clause);

bool satisfiesAll(const QJsonObject& fields, const Requirement* requirement)
{
    if (!requirement)
        return true;
    return std::all_of(requirement->clauses.begin(), requirement->clauses.end(),
                       [&](const Requirement::Clause& clause) { return satisfies(fields, clause); });
}

// The outcome of a check, with the reason for a refusal.
struct Checked {
    OSStatus status = Status::noErr;
    QString reason;
};

Checked refused(OSStatus status, const QString& reason)
{
    return {status, reason};
}

// In this order, so that nothing of the bundle's content is read before its
// signer is known to be acceptable: the record and its signature, the shape
// of the tree against the record (by lstat alone), the requirement, and only
// then every file's content.
Checked checkBundle(const QString& root, const Requirement* requirement)
{
    using CodeSignature::Status::signatureFailed;
    const ReadSignature read = readBundleSignature(root);
    if (read.status != platform::Status::noErr)
        return refused(read.status, read.status == CodeSignature::Status::unsigned_
                                        ? QStringLiteral("the bundle holds no signature")
                                        : QStringLiteral("the signature file is not a plain file"));
    const auto fields = verifiedRecord(read.body);
    if (!fields)
        return refused(signatureFailed, QStringLiteral("the record is not signed by the key it names"));
    const auto recorded = fields->value(QLatin1String("kind")).toString() == QLatin1String("bundle")
        ? entriesOf(fields->value(QLatin1String("entries")))
        : std::nullopt;
    if (!recorded)
        return refused(signatureFailed, QStringLiteral("the record is not a bundle's"));
    const Walked walked = walkBundle(root, Rules::verifiable);
    if (walked.refusal)
        return refused(signatureFailed, *walked.refusal);
    for (const auto& [path, entry] : walked.entries) {
        const auto found = recorded->find(path);
        if (found == recorded->end())
            return refused(signatureFailed, path + QStringLiteral(" is not in the record"));
        if (!found->second.sameShape(entry))
            return refused(signatureFailed, path + QStringLiteral(" is not the recorded ") + typeName(found->second.type));
    }
    for (const auto& [path, entry] : *recorded) {
        if (!walked.entries.count(path))
            return refused(signatureFailed, path + QStringLiteral(" is missing"));
    }
    if (!satisfiesAll(*fields, requirement))
        return refused(CodeSignature::Status::requirementFailed, QStringLiteral("the signer does not meet the requirement"));
    for (const auto& [path, entry] : *recorded) {
        if (entry.type != BundleEntry::Type::file)
            continue;
        if (digestRegularFile(root + QLatin1Char('/') + path) != entry.digest)
            return refused(signatureFailed, path + QStringLiteral(" is not the recorded content"));
    }
    return {};
}

// An image: the record in its trailer covers the bytes before it. fileDigest,
// when given, receives the SHA-256 of the whole file from the same read.
Checked checkImageFile(const QString& path, const Requirement* requirement, QByteArray* fileDigest)
{
    using CodeSignature::Status::signatureFailed;
    const int fd = openRegularFile(path);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return refused(CodeSignature::Status::staticCodeNotFound, QStringLiteral("the image cannot be read"));
    }
    const auto trailer = readTrailer(file);
    if (!trailer) {
        if (fileDigest && file.seek(0))
            *fileDigest = digestPrefix(file, file.size()).value_or(QByteArray());
        return refused(CodeSignature::Status::unsigned_, QStringLiteral("the image holds no signature"));
    }
    std::optional<QByteArray> covered;
    if (fileDigest) {
        // The rest of the file is the trailer: the whole-file digest costs no
        // second read.
        Sha256 sha;
        if (!file.seek(0) || !(covered = digestPrefix(file, trailer->contentLength, sha)))
            return refused(signatureFailed, QStringLiteral("the image cannot be read"));
        sha.add(file.readAll());
        *fileDigest = sha.hex();
    }
    const auto fields = verifiedRecord(trailer->body);
    if (!fields)
        return refused(signatureFailed, QStringLiteral("the record is not signed by the key it names"));
    if (fields->value(QLatin1String("kind")).toString() != QLatin1String("image"))
        return refused(signatureFailed, QStringLiteral("the record is not an image's"));
    if (!satisfiesAll(*fields, requirement))
        return refused(CodeSignature::Status::requirementFailed, QStringLiteral("the signer does not meet the requirement"));
    if (!covered && !(file.seek(0) && (covered = digestPrefix(file, trailer->contentLength))))
        return refused(signatureFailed, QStringLiteral("the image cannot be read"));
    if (fields->value(QLatin1String("digest")).toString().toLatin1() != *covered)
        return refused(signatureFailed, QStringLiteral("the image is not the recorded content"));
    return {};
}

Checked check(const QString& path, const Requirement* requirement, QByteArray* fileDigest = nullptr)
{
    struct stat info {};
    if (::lstat(native(path).constData(), &info) != 0)
        return refused(CodeSignature::Status::staticCodeNotFound, QStringLiteral("nothing is there"));
    if (S_ISDIR(info.st_mode) && !fileDigest)
        return checkBundle(path, requirement);
    if (S_ISREG(info.st_mode))
        return checkImageFile(path, requirement, fileDigest);
    return refused(CodeSignature::Status::unsigned_, QStringLiteral("neither a bundle nor an image"));
}

bool satisfies(const QJsonObject& fields, const Requirement::Clause& clause)
{
    const QString team = fields.value(QLatin1String("team")).toString();
    switch (clause.kind) {
    case Requirement::Clause::Kind::anchor: {
        const QByteArray key = QByteArray::fromBase64(fields.value(QLatin1String("key")).toString().toLatin1());
        const auto pinned = CodeSignature::pinnedKey(team);
        return fields.value(QLatin1String("anchor")).toString() == clause.value && pinned && *pinned == key;
    }
    case Requirement::Clause::Kind::certificateField: {
        const QJsonArray oids =
            fields.value(QLatin1String("certificates")).toObject().value(clause.slot).toArray();
        return oids.contains(clause.value);
    }
    case Requirement::Clause::Kind::certificateTeam:
        return clause.slot == QLatin1String("leaf") && team == clause.value;
    }
    return false;
}

// Words and quoted strings of a requirement text.
std::optional<QStringList> tokens(const QString& text)
{
    QStringList result;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        if (text[i] == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                return std::nullopt;
            result.append(text.mid(i, close - i + 1));
            i = close + 1;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !text[end].isSpace() && text[end] != QLatin1Char('"'))
            ++end;
        result.append(text.mid(i, end - i));
        i = end;
    }
    return result;
}

// "leaf[field.1.2.3]" -> slot "leaf", key "field.1.2.3".
std::optional<std::pair<QString, QString>> slotAndKey(const QString& token)
{
    const qsizetype open = token.indexOf(QLatin1Char('['));
    if (open <= 0 || !token.endsWith(QLatin1Char(']')))
        return std::nullopt;
    const QString slot = token.left(open);
    bool number = false;
    slot.toInt(&number);
    if (!number && slot != QLatin1String("leaf") && slot != QLatin1String("root"))
        return std::nullopt;
    return std::make_pair(slot, token.mid(open + 1, token.size() - open - 2));
}

} // namespace

std::optional<Requirement> CodeSignature::parseRequirement(const QString& text)
{
    const auto words = tokens(text);
    if (!words || words->isEmpty())
        return std::nullopt;
    Requirement requirement;
    qsizetype i = 0;
    const auto word = [&](qsizetype at) { return at < words->size() ? words->at(at) : QString(); };
    while (true) {
        Requirement::Clause clause;
        if (word(i) == QLatin1String("anchor") && word(i + 1) == QLatin1String("apple")
            && word(i + 2) == QLatin1String("generic")) {
            clause.value = QStringLiteral("apple generic");
            i += 3;
        } else if (word(i) == QLatin1String("certificate")) {
            const auto slot = slotAndKey(word(i + 1));
            if (!slot)
                return std::nullopt;
            clause.slot = slot->first;
            if (slot->second.startsWith(QLatin1String("field.")) && word(i + 2) != QLatin1String("=")) {
                clause.kind = Requirement::Clause::Kind::certificateField;
                clause.value = slot->second.mid(6);
                if (clause.value.isEmpty())
                    return std::nullopt;
                i += 2;
            } else if (slot->second == QLatin1String("subject.OU") && word(i + 2) == QLatin1String("=")
                       && word(i + 3).size() >= 2 && word(i + 3).startsWith(QLatin1Char('"'))) {
                clause.kind = Requirement::Clause::Kind::certificateTeam;
                clause.value = word(i + 3).mid(1, word(i + 3).size() - 2);
                i += 4;
            } else {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
        requirement.clauses.push_back(clause);
        if (i == words->size())
            return requirement;
        if (word(i) != QLatin1String("and"))
            return std::nullopt;
        ++i;
    }
}

OSStatus CodeSignature::checkValidity(const QString& path, QString* reason)
{
    const Checked checked = check(path, nullptr);
    if (reason)
        *reason = checked.reason;
    return checked.status;
}

OSStatus CodeSignature::checkValidity(const QString& path, const Requirement& requirement, QString* reason)
{
    const Checked checked = check(path, &requirement);
    if (reason)
        *reason = checked.reason;
    return checked.status;
}

OSStatus CodeSignature::checkImage(const QString& path, const Requirement& requirement, QByteArray& fileDigest)
{
    fileDigest.clear();
    if (QFileInfo(path).isDir())
        return Status::staticCodeNotFound;
    return check(path, &requirement, &fileDigest).status;
}

CodeSignature::SigningKey CodeSignature::generateKey()
{
    EVP_PKEY* raw = nullptr;
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(
        EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr), &EVP_PKEY_CTX_free);
    if (!context || EVP_PKEY_keygen_init(context.get()) != 1 || EVP_PKEY_keygen(context.get(), &raw) != 1)
        return {};
    PKey key(raw, &EVP_PKEY_free);
    SigningKey result;
    result.privateKey.resize(32);
    result.publicKey.resize(32);
    std::size_t privateLength = 32;
    std::size_t publicLength = 32;
    EVP_PKEY_get_raw_private_key(key.get(), reinterpret_cast<unsigned char*>(result.privateKey.data()),
                                 &privateLength);
    EVP_PKEY_get_raw_public_key(key.get(), reinterpret_cast<unsigned char*>(result.publicKey.data()),
                                &publicLength);
    return result;
}

std::optional<CodeSignature::SigningKey> CodeSignature::keyFromPrivate(const QByteArray& rawPrivate)
{
    if (rawPrivate.size() != 32)
        return std::nullopt;
    PKey key = privateKey(rawPrivate);
    if (!key)
        return std::nullopt;
    SigningKey result{rawPrivate, QByteArray(32, '\0')};
    std::size_t length = 32;
    if (EVP_PKEY_get_raw_public_key(key.get(), reinterpret_cast<unsigned char*>(result.publicKey.data()), &length)
        != 1)
        return std::nullopt;
    return result;
}

std::optional<QString> CodeSignature::sign(const QString& path, const SigningKey& key,
                                           const SigningIdentity& identity)
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

    if (info.isDir()) {
        // Made first: the folder belongs to the signature, not to what it covers.
        if (!QDir(path).mkpath(signatureFolderPath))
            return QStringLiteral("%1 cannot be made").arg(signatureFolderPath);
        Walked walked = walkBundle(path, Rules::recordable);
        if (walked.refusal)
            return *walked.refusal;
        for (auto& [relative, entry] : walked.entries) {
            if (entry.type != BundleEntry::Type::file)
                continue;
            const auto digest = digestRegularFile(path + QLatin1Char('/') + relative);
            if (!digest)
                return relative + QStringLiteral(" cannot be read");
            entry.digest = *digest;
        }
        fields.insert(QStringLiteral("kind"), QStringLiteral("bundle"));
        fields.insert(QStringLiteral("entries"), recordOf(walked.entries));
        const QByteArray record = QJsonDocument(fields).toJson(QJsonDocument::Compact);
        const auto signature = signEd25519(key.privateKey, record);
        if (!signature)
            return QStringLiteral("the signing key is not usable");
        const QJsonObject wrapper{{QStringLiteral("record"), QString::fromLatin1(record.toBase64())},
                                  {QStringLiteral("signature"), QString::fromLatin1(signature->toBase64())}};
        return AtomicFile::write(QDir(path).filePath(bundleSignaturePath), QJsonDocument(wrapper).toJson());
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return file.errorString();
    if (const auto old = readTrailer(file); old && !file.resize(old->contentLength))
        return file.errorString();
    if (!file.seek(0))
        return file.errorString();
    const qint64 contentLength = file.size();
    const auto digest = digestPrefix(file, contentLength);
    if (!digest)
        return file.errorString();
    fields.insert(QStringLiteral("kind"), QStringLiteral("image"));
    fields.insert(QStringLiteral("digest"), QString::fromLatin1(*digest));
    const QByteArray record = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    const auto signature = signEd25519(key.privateKey, record);
    if (!signature)
        return QStringLiteral("the signing key is not usable");
    const QByteArray trailer = record + *signature + bigEndian(record.size()) + QByteArray(trailerMagic, magicBytes);
    if (!file.seek(contentLength) || file.write(trailer) != trailer.size())
        return file.errorString();
    return std::nullopt;
}

qint64 CodeSignature::imageTrailerSize(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? trailerSize(file) : 0;
}

qint64 CodeSignature::imageTrailerSize(int fd)
{
    QFile file;
    return file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle) ? trailerSize(file) : 0;
}

} // namespace platform
