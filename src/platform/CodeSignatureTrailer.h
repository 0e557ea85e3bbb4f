#pragma once

#include "platform/CodeSignatureRecord.h"

#include <QtGlobal>

#include <optional>

// The signature trailer at the end of a signed image: the record, its 64-byte
// signature, the record's length as 8 big-endian bytes and the magic
// "TSRSIG01". What comes before it is the image's content.
namespace platform::CodeSignature::Trailer {

struct Found {
    qint64 contentLength = 0; // bytes before the trailer
    SignedRecord body;
};

// The trailer of the regular file open at fd; none when it ends in none.
// Reads at fixed offsets: the descriptor's offset stays where it was.
std::optional<Found> read(int fd);

// The bytes that follow an image's content to sign it.
QByteArray make(const SignedRecord& body);

} // namespace platform::CodeSignature::Trailer
