#include "platform/WindowFrame.h"

#include "platform/Screens.h"

#include <QVariant>
#include <QWidget>

namespace platform {

namespace {

constexpr const char* frameProperty = "platform.screenFrame";

} // namespace

void WindowFrame::setFrame(QWidget* window, const QRectF& frame)
{
    if (!window)
        return;
    window->setProperty(frameProperty, frame);
    window->setGeometry(Screens::windowGeometry(frame));
}

QRectF WindowFrame::frame(const QWidget* window)
{
    if (!window)
        return {};
    const QVariant stored = window->property(frameProperty);
    if (stored.isValid())
        return stored.toRectF();
    return Screens::frameOfWindowGeometry(window->geometry());
}

void WindowFrame::orderFrontRegardless(QWidget* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
}

} // namespace platform
