#include "platform/Ed25519.h"

#include <openssl/evp.h>

#include <memory>

namespace platform::Ed25519 {

namespace {

using PKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

const unsigned char* bytesOf(const QByteArray& bytes)
{
    return reinterpret_cast<const unsigned char*>(bytes.constData());
}

PKey publicKey(const QByteArray& raw)
{
    return PKey(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytesOf(raw), std::size_t(raw.size())),
                &EVP_PKEY_free);
}

PKey privateKey(const QByteArray& raw)
{
    return PKey(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, bytesOf(raw), std::size_t(raw.size())),
                &EVP_PKEY_free);
}

std::optional<QByteArray> rawPublicKey(EVP_PKEY* key)
{
    QByteArray raw(keyBytes, '\0');
    std::size_t length = std::size_t(raw.size());
    if (EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(raw.data()), &length) != 1)
        return std::nullopt;
    return raw;
}

} // namespace

KeyPair generate()
{
    EVP_PKEY* raw = nullptr;
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr),
                                                                        &EVP_PKEY_CTX_free);
    if (!context || EVP_PKEY_keygen_init(context.get()) != 1 || EVP_PKEY_keygen(context.get(), &raw) != 1)
        return {};
    PKey key(raw, &EVP_PKEY_free);
    KeyPair result{QByteArray(keyBytes, '\0'), QByteArray(keyBytes, '\0')};
    std::size_t privateLength = keyBytes;
    std::size_t publicLength = keyBytes;
    EVP_PKEY_get_raw_private_key(key.get(), reinterpret_cast<unsigned char*>(result.privateKey.data()), &privateLength);
    EVP_PKEY_get_raw_public_key(key.get(), reinterpret_cast<unsigned char*>(result.publicKey.data()), &publicLength);
    return result;
}

std::optional<QByteArray> publicKeyOf(const QByteArray& rawPrivate)
{
    if (rawPrivate.size() != keyBytes)
        return std::nullopt;
    const PKey key = privateKey(rawPrivate);
    return key ? rawPublicKey(key.get()) : std::nullopt;
}

std::optional<QByteArray> sign(const QByteArray& rawPrivate, const QByteArray& message)
{
    const PKey key = privateKey(rawPrivate);
    const DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return std::nullopt;
    QByteArray signature(signatureBytes, Qt::Uninitialized);
    std::size_t length = std::size_t(signature.size());
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, bytesOf(message),
                       std::size_t(message.size()))
        != 1)
        return std::nullopt;
    return signature;
}

bool verify(const QByteArray& rawPublic, const QByteArray& message, const QByteArray& signature)
{
    if (rawPublic.size() != keyBytes || signature.size() != signatureBytes)
        return false;
    const PKey key = publicKey(rawPublic);
    const DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), bytesOf(signature), std::size_t(signature.size()), bytesOf(message),
                            std::size_t(message.size()))
        == 1;
}

} // namespace platform::Ed25519
