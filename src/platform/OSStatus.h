#pragma once

#include <QtGlobal>

namespace platform {

// The status code of the classic system services (Carbon, Launch Services).
using OSStatus = qint32;

namespace Status {
inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus paramErr = -50;
inline constexpr OSStatus eventParameterNotFoundErr = -9870;
inline constexpr OSStatus eventHotKeyExistsErr = -9878;
inline constexpr OSStatus eventHotKeyInvalidErr = -9879;
} // namespace Status

} // namespace platform
