#pragma once

#include <QString>

#include <optional>

namespace platform {

// The user's keyboard layouts (the text input sources) and key translation.
namespace KeyboardLayout {

struct Layout {
    QString id;
};

// The current ASCII-capable layout, if the system has one.
std::optional<Layout> currentASCIICapable();

// What the key at this virtual key code types on the layout with no modifiers
// held, for display. Dead keys and keys that type nothing give none.
std::optional<QString> translate(const Layout& layout, quint16 keyCode);

} // namespace KeyboardLayout
} // namespace platform
