#include "platform/WindowFrame.h"

#include "platform/Screens.h"

#include <QVariant>
#include <QWidget>

#include <cmath>

namespace platform {

namespace {

constexpr const char* frameProperty = "platform.screenFrame";

// The top of the primary screen: where the toolkit's y = 0 lies.
double primaryTop()
{
    const QList<Screen> screens = Screens::screens();
    return screens.isEmpty() ? 0.0 : screens.first().frame.y() + screens.first().frame.height();
}

} // namespace

void WindowFrame::setFrame(QWidget* window, const QRectF& frame)
{
    if (!window)
        return;
    window->setProperty(frameProperty, frame);
    const double top = primaryTop() - (frame.y() + frame.height());
    window->setGeometry(int(std::lround(frame.x())), int(std::lround(top)), int(std::lround(frame.width())),
                        int(std::lround(frame.height())));
}

QRectF WindowFrame::frame(const QWidget* window)
{
    if (!window)
        return {};
    const QVariant stored = window->property(frameProperty);
    if (stored.isValid())
        return stored.toRectF();
    const QRect geometry = window->geometry();
    return QRectF(geometry.x(), primaryTop() - geometry.y() - geometry.height(), geometry.width(),
                  geometry.height());
}

void WindowFrame::orderFrontRegardless(QWidget* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
}

} // namespace platform
