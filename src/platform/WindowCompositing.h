#pragma once

#include <QString>

namespace platform {

// Whether the window system blends a window's translucent pixels with what
// lies below it. The real system always does. A desktop session without a
// compositing manager does not: there transparent pixels show as black, so a
// panel that relies on translucency must shape its window and paint an
// opaque background instead.
namespace WindowCompositing {

bool isActive();

// Posted on the default centre when isActive() changes (a compositing manager
// started or ended).
inline const QString didChangeNotification = QStringLiteral("PlatformWindowCompositingDidChangeNotification");

} // namespace WindowCompositing
} // namespace platform
