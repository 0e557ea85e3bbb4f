#pragma once

#include "platform/CodeSignatureRecord.h"
#include "platform/OSStatus.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <map>
#include <optional>

// A bundle as its signature sees it: where the signature lives, the walk that
// lists every entry by lstat alone (no file's content read, no link
// followed), and the entries' form in the record.
namespace platform::CodeSignature::Bundle {

// The signature and its folder are not part of what it covers.
inline const QString signatureFolderPath = QStringLiteral("Contents/_CodeSignature");
inline const QString signatureFilePath = QStringLiteral("Contents/_CodeSignature/CodeResources");

// One entry of a bundle as its record covers it.
struct Entry {
    enum class Type { file, folder, link };
    Type type = Type::file;
    bool executable = false; // a file with an execute bit
    QString target;          // a link's literal target text
    QByteArray digest;       // a file's recorded SHA-256, lower-case hex

    // Everything but the content.
    bool sameShape(const Entry& other) const
    {
        return type == other.type && executable == other.executable && target == other.target;
    }
};

// Relative path ("Contents/MacOS/Tessaroom") to entry.
using Entries = std::map<QString, Entry>;

const char* typeName(Entry::Type type);

enum class Rules {
    recordable, // only what a record can hold: files, folders, links, UTF-8 names
    verifiable, // also no setuid, setgid or sticky bit, no link leading outside
};

struct Walked {
    std::optional<QString> refusal; // why the tree may not be used
    Entries entries;                // files without their digests
};

// Every entry below root but the signature.
Walked walk(const QString& root, Rules rules);

// The record's "entries" and back; none when they are not well formed.
QJsonObject record(const Entries& entries);
std::optional<Entries> entries(const QJsonValue& record);

struct ReadSignature {
    OSStatus status = platform::Status::noErr;
    SignedRecord body;
};

// The bundle's signature file, reached without following links; unsigned
// when it is not there, signatureFailed when something else is in its place.
ReadSignature readSignature(const QString& root);

} // namespace platform::CodeSignature::Bundle
