#pragma once

#include <QString>

// Test text written as literals: u"…" keeps every code point as written, and
// "…" is read as UTF-8.
inline QString u(const char16_t* text)
{
    return QString::fromUtf16(text);
}

inline QString s(const char* text)
{
    return QString::fromUtf8(text);
}
