#pragma once

#include <QString>

// Where Mission Control lives on the running system: the Dock before OS major
// version 27, WindowManager from 27 on. The reader attaches to this process,
// the detector looks for its windows, and a few metrics differ between the
// two. Read once, on first use, and kept for the life of the process.
namespace MissionControlHost {

inline constexpr int windowManagerMajorVersion = 27;

bool isWindowManager();
QString bundleID();
// The window owner name in the window list.
QString ownerName();
// The window layer of the Mission Control window.
int layer();

} // namespace MissionControlHost
