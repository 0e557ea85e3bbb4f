#pragma once

#include <QByteArray>

namespace platform::CodeSignature {

// A signature as read from an image's trailer or a bundle's signature file,
// before any check: the record's exact JSON bytes and the Ed25519 signature
// over them.
struct SignedRecord {
    QByteArray record;
    QByteArray signature;
};

} // namespace platform::CodeSignature
