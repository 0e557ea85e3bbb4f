#pragma once

#include "platform/OSStatus.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace platform {

// Static code signatures of disk images and application bundles.
//
// A signature is a JSON record (anchor, certificate OIDs, team, signing key,
// and what is covered) with an Ed25519 signature over the record's exact
// bytes. An image carries it as a trailer after its own bytes, and the record
// holds the SHA-256 of those bytes. A bundle carries it in
// "Contents/_CodeSignature/CodeResources", and the record holds every entry
// of the bundle but that file and its folder: its relative path and type
// (file, folder, also an empty one, or link), a link's literal target text,
// a file's SHA-256 and whether it has an execute bit. So any changed, added
// or removed byte, file, folder or link breaks it, and a bundle still
// verifies after it was copied or moved elsewhere.
//
// Validity (no requirement) proves only that the record is intact and covers
// exactly what is there. Who signed is the requirement's business: its
// anchor holds only when the signing key is the one pinned for the record's
// team. A bundle is refused, before any file's content is read, when it holds
// a link whose target is absolute or leads outside it, a named pipe, socket
// or device, or an entry with a setuid, setgid or sticky bit; with a
// requirement, the signer is checked before any content is hashed. Signing
// records what is there (it refuses only what a record cannot hold: pipes,
// sockets, devices, names that are not UTF-8); the rules are verification's.
namespace CodeSignature {

namespace Status {
inline constexpr OSStatus staticCodeNotFound = -67068;
inline constexpr OSStatus unsigned_ = -67062;
inline constexpr OSStatus signatureFailed = -67061;
inline constexpr OSStatus requirementInvalid = -67052;
inline constexpr OSStatus requirementFailed = -67050;
inline constexpr OSStatus cancelled = -67006;
} // namespace Status

// A parsed designated requirement: clauses joined by "and", of the forms
//   anchor apple generic
//   certificate <slot>[field.<oid>]
//   certificate <slot>[subject.OU] = "<team>"
// where slot is "leaf", "root" or a number (1 = the intermediate).
struct Requirement {
    struct Clause {
        enum class Kind { anchor, certificateField, certificateTeam };
        Kind kind = Kind::anchor;
        QString slot;
        QString value; // the OID or the team
    };
    std::vector<Clause> clauses;
};

// None when the text is not a requirement this system understands.
std::optional<Requirement> parseRequirement(const QString& text);

// noErr, staticCodeNotFound (nothing at path), unsigned_ or signatureFailed;
// cancelled when background work was asked to stop before the check ended
// (between the pieces of a file, or the files of a bundle). reason, when
// given, receives why it is not noErr, for people to read.
OSStatus checkValidity(const QString& path, QString* reason = nullptr);
// The same, or requirementFailed when the signature does not satisfy it; a
// bundle's files are hashed only once the requirement holds.
OSStatus checkValidity(const QString& path, const Requirement& requirement, QString* reason = nullptr);

// checkValidity(path, requirement) for an image file, reading it once; also
// gives the SHA-256 of the whole file, signature included, as lower-case hex
// (empty when the file cannot be read).
OSStatus checkImage(const QString& path, const Requirement& requirement, QByteArray& fileDigest);

// An Ed25519 key pair as raw 32-byte keys.
struct SigningKey {
    QByteArray privateKey;
    QByteArray publicKey;
};

SigningKey generateKey();
// None unless privateKey is a raw 32-byte Ed25519 private key.
std::optional<SigningKey> keyFromPrivate(const QByteArray& privateKey);

// What a signature says about its signer; a developer certificate of a team
// unless told otherwise.
struct SigningIdentity {
    QString team;
    QString anchor = QStringLiteral("apple generic");
    std::map<QString, QStringList> certificateFields = {
        {QStringLiteral("1"), {QStringLiteral("1.2.840.113635.100.6.2.6")}},
        {QStringLiteral("leaf"), {QStringLiteral("1.2.840.113635.100.6.1.13")}},
    };
};

// Signs the image file or bundle folder at path, replacing an earlier
// signature. Returns the error's description on failure.
std::optional<QString> sign(const QString& path, const SigningKey& key, const SigningIdentity& identity);

// The public key pinned for a team: the release key for the maker's team,
// plus any a test pinned.
std::optional<QByteArray> pinnedKey(const QString& team);

// The signature trailer's size in bytes at the end of a signed image, or 0.
qint64 imageTrailerSize(const QString& path);
// The same for an image already open for reading (its offset stays).
qint64 imageTrailerSize(int fd);

} // namespace CodeSignature
} // namespace platform
