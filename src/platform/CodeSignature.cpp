#include "platform/CodeSignature.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <openssl/evp.h>

#include <memory>

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

std::optional<QByteArray> digestFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return digestPrefix(file, file.size());
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
    QJsonObject fields;
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

// The manifest of a bundle: every file and link but the signature itself.
QJsonObject bundleManifest(const QString& root)
{
    QJsonObject files;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(root);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = base.relativeFilePath(path);
        if (relative == bundleSignaturePath)
            continue;
        const QFileInfo info(path);
        if (info.isSymLink())
            files.insert(relative, QStringLiteral("link:") + info.symLinkTarget());
        else
            files.insert(relative, QString::fromLatin1(digestFile(path).value_or("unreadable")));
    }
    return files;
}

std::optional<Signed> readBundleSignature(const QString& root)
{
    QFile file(QDir(root).filePath(bundleSignaturePath));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject wrapper = QJsonDocument::fromJson(file.read(largestRecordBytes * 4)).object();
    Signed result;
    result.record = QByteArray::fromBase64(wrapper.value(QLatin1String("record")).toString().toLatin1());
    result.signature = QByteArray::fromBase64(wrapper.value(QLatin1String("signature")).toString().toLatin1());
    return result;
}

// The signature of whatever is at path, checked for integrity: the record is
// signed by the key it names and covers exactly what is there.
struct Checked {
    OSStatus status = Status::noErr;
    QJsonObject fields;
};

// fileDigest, when given, receives the SHA-256 of the whole file.
Checked checkIntegrity(const QString& path, QByteArray* fileDigest = nullptr)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {CodeSignature::Status::staticCodeNotFound, {}};
    Signed body;
    std::optional<QByteArray> coveredDigest;
    if (info.isDir()) {
        auto read = readBundleSignature(path);
        if (!read)
            return {CodeSignature::Status::unsigned_, {}};
        body = *read;
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {CodeSignature::Status::staticCodeNotFound, {}};
        auto trailer = readTrailer(file);
        if (!trailer) {
            if (fileDigest)
                *fileDigest = digestFile(path).value_or(QByteArray());
            return {CodeSignature::Status::unsigned_, {}};
        }
        body = trailer->body;
        Sha256 sha;
        if (!file.seek(0) || !(coveredDigest = digestPrefix(file, trailer->contentLength, sha)))
            return {CodeSignature::Status::signatureFailed, {}};
        if (fileDigest) {
            // The rest of the file is the trailer: the whole-file digest
            // costs no second read.
            sha.add(file.readAll());
            *fileDigest = sha.hex();
        }
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.record, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {CodeSignature::Status::signatureFailed, {}};
    const QJsonObject fields = document.object();
    const QByteArray key = QByteArray::fromBase64(fields.value(QLatin1String("key")).toString().toLatin1());
    if (!verifyEd25519(key, body.record, body.signature))
        return {CodeSignature::Status::signatureFailed, {}};
    if (info.isDir()) {
        if (fields.value(QLatin1String("kind")).toString() != QLatin1String("bundle")
            || fields.value(QLatin1String("files")).toObject() != bundleManifest(path))
            return {CodeSignature::Status::signatureFailed, {}};
    } else if (fields.value(QLatin1String("kind")).toString() != QLatin1String("image")
               || fields.value(QLatin1String("digest")).toString().toLatin1() != *coveredDigest) {
        return {CodeSignature::Status::signatureFailed, {}};
    }
    return {Status::noErr, fields};
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

OSStatus CodeSignature::checkValidity(const QString& path)
{
    return checkIntegrity(path).status;
}

OSStatus CodeSignature::checkValidity(const QString& path, const Requirement& requirement)
{
    const Checked checked = checkIntegrity(path);
    if (checked.status != platform::Status::noErr)
        return checked.status;
    for (const auto& clause : requirement.clauses) {
        if (!satisfies(checked.fields, clause))
            return Status::requirementFailed;
    }
    return platform::Status::noErr;
}

OSStatus CodeSignature::checkImage(const QString& path, const Requirement& requirement, QByteArray& fileDigest)
{
    fileDigest.clear();
    if (QFileInfo(path).isDir())
        return Status::staticCodeNotFound;
    const Checked checked = checkIntegrity(path, &fileDigest);
    if (checked.status != platform::Status::noErr)
        return checked.status;
    for (const auto& clause : requirement.clauses) {
        if (!satisfies(checked.fields, clause))
            return Status::requirementFailed;
    }
    return platform::Status::noErr;
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
    QJsonObject fields;
    fields.insert(QStringLiteral("anchor"), identity.anchor);
    QJsonObject certificates;
    for (const auto& [slot, oids] : identity.certificateFields)
        certificates.insert(slot, QJsonArray::fromStringList(oids));
    fields.insert(QStringLiteral("certificates"), certificates);
    fields.insert(QStringLiteral("team"), identity.team);
    fields.insert(QStringLiteral("key"), QString::fromLatin1(key.publicKey.toBase64()));

    if (info.isDir()) {
        fields.insert(QStringLiteral("kind"), QStringLiteral("bundle"));
        fields.insert(QStringLiteral("files"), bundleManifest(path));
        const QByteArray record = QJsonDocument(fields).toJson(QJsonDocument::Compact);
        const auto signature = signEd25519(key.privateKey, record);
        if (!signature)
            return QStringLiteral("the signing key is not usable");
        QDir(path).mkpath(QFileInfo(QDir(path).filePath(bundleSignaturePath)).path());
        QSaveFile out(QDir(path).filePath(bundleSignaturePath));
        QJsonObject wrapper{{QStringLiteral("record"), QString::fromLatin1(record.toBase64())},
                            {QStringLiteral("signature"), QString::fromLatin1(signature->toBase64())}};
        if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(wrapper).toJson()) < 0 || !out.commit())
            return out.errorString();
        return std::nullopt;
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
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const auto trailer = readTrailer(file);
    return trailer ? file.size() - trailer->contentLength : 0;
}

} // namespace platform
