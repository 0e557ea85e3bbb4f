#pragma once

#include <QByteArray>

#include <optional>

// Ed25519 through libcrypto, on raw 32-byte keys and 64-byte signatures: the
// cryptography under code signatures.
namespace platform::Ed25519 {

inline constexpr qsizetype keyBytes = 32;
inline constexpr qsizetype signatureBytes = 64;

struct KeyPair {
    QByteArray privateKey;
    QByteArray publicKey;
};

// Empty keys when libcrypto cannot make one.
KeyPair generate();
// None unless privateKey is a raw Ed25519 private key.
std::optional<QByteArray> publicKeyOf(const QByteArray& privateKey);
// None when the key is not usable.
std::optional<QByteArray> sign(const QByteArray& privateKey, const QByteArray& message);
// False also for a key or signature of the wrong size.
bool verify(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature);

} // namespace platform::Ed25519
