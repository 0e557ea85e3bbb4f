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
// and what is covered: the SHA-256 of an image's bytes, or the SHA-256 of
// every file of a bundle) with an Ed25519 signature over the record's exact
// bytes. An image carries it as a trailer after its own bytes; a bundle in
// "Contents/_CodeSignature/CodeResources".
//
// Validity (no requirement) proves only that the record is intact and covers
// exactly these bytes. Who signed is the requirement's business: its anchor
// holds only when the signing key is the one pinned for the record's team.
namespace CodeSignature {

namespace Status {
inline constexpr OSStatus staticCodeNotFound = -67068;
inline constexpr OSStatus unsigned_ = -67062;
inline constexpr OSStatus signatureFailed = -67061;
inline constexpr OSStatus requirementInvalid = -67052;
inline constexpr OSStatus requirementFailed = -67050;
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

// noErr, staticCodeNotFound (nothing at path), unsigned_ or signatureFailed.
OSStatus checkValidity(const QString& path);
// The same, then requirementFailed when the signature does not satisfy it.
OSStatus checkValidity(const QString& path, const Requirement& requirement);

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

} // namespace CodeSignature
} // namespace platform
