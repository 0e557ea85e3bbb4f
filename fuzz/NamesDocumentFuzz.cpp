// Any bytes as the stored names document: a map or a reason, and a map that
// was read writes back to a document that reads as the same map.
#include "store/JsonMembers.h"
#include "store/SpaceMetaDocument.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)JsonMembers::firstRepeatedName(bytes);
    const auto decoded = SpaceMetaDocument::decode(bytes);
    if (!decoded)
        return 0;
    const auto encoded = SpaceMetaDocument::encode(decoded.value());
    if (!encoded)
        return 0;
    const auto again = SpaceMetaDocument::decode(encoded.value());
    if (!again || !(again.value() == decoded.value()))
        std::abort();
    return 0;
}
