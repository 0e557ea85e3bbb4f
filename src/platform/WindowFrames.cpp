#include "platform/WindowFrames.h"

#include "platform/Screens.h"

#include <cmath>

namespace platform::WindowFrames {

QRect toWindowGeometry(const QRectF& screenFrame)
{
    const auto primary = Screens::mainScreen();
    const double height = primary ? primary->frame.height() : 0;
    const double top = height - screenFrame.y() - screenFrame.height();
    return QRect(int(std::lround(screenFrame.x())), int(std::lround(top)), int(std::lround(screenFrame.width())),
                 int(std::lround(screenFrame.height())));
}

} // namespace platform::WindowFrames
