// Any bytes given to the binary property-list reader, with and without the
// magic and a plausible trailer in front of the fuzzer's choice.
#include "store/BinaryPropertyList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& input : {bytes, QByteArray("bplist00") + bytes}) {
        const auto value = BinaryPropertyList::read(input);
        if (value)
            (void)(*value == *value);
    }
    return 0;
}
