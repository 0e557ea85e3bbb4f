#pragma once

#include <QString>

#include <optional>

// The icon the app's desktop entries name ("Icon=tessaroom", in the link
// handler and the login item): the app's window icon, written as a PNG into
// the user's icon theme folder, where the desktop looks up that name.
namespace platform::host {

inline constexpr int desktopIconSide = 256;

// "<$XDG_DATA_HOME>/icons/hicolor/256x256/apps/tessaroom.png".
QString desktopIconPath();
// Writes the window icon there, making the folders, unless the file already
// holds the same picture. None when the file holds it afterwards; otherwise
// why not (also when the app has no window icon), and nothing is written.
std::optional<QString> installDesktopIcon();

} // namespace platform::host
