#pragma once

#include <QString>

namespace platform::sim {

// Chooses the current ASCII-capable layout: "us" (the default), "german", or
// "" for none at all.
void selectKeyboardLayout(const QString& id);

} // namespace platform::sim
