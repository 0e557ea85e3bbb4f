// Any bytes given to the XML property-list reader: it answers a value or none,
// never crashes, never runs out of stack.
#include "store/XmlPropertyList.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto value = XmlPropertyList::read(bytes);
    // Walking the value touches every part of it.
    if (value)
        (void)(*value == *value);
    return 0;
}
