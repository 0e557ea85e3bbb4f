#include "platform/linux/RealWindowSystem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace platform::host {

sim::WindowSystemHooks realWindowSystem()
{
    return {
        .frameMargins = [](const QWidget* window) -> QMargins {
            // Only a window on screen has a frame the window manager keeps.
            const QWindow* handle = window->windowHandle();
            return handle && handle->isVisible() ? handle->frameMargins() : QMargins();
        },
        .startMove =
            [](QWidget* window) {
                if (QWindow* handle = window->windowHandle())
                    handle->startSystemMove();
            },
        .cancelMove = {},
        .pointer = [] { return QCursor::pos(); },
        .availableArea = [](QPoint at) -> std::optional<QRect> {
            const QScreen* screen = QGuiApplication::screenAt(at);
            if (!screen)
                return std::nullopt;
            return screen->availableGeometry();
        },
        .appWindowTakesClickAt = [](QPoint at) {
            const QWindow* window = QGuiApplication::topLevelAt(at);
            if (!window || !window->isVisible() || window->flags().testFlag(Qt::WindowTransparentForInput))
                return false;
            // A window a modal dialog blocks never gets the click.
            const QWindow* modal = QGuiApplication::modalWindow();
            return !modal || modal == window || modal->isAncestorOf(window);
        },
        .readPending = {},
    };
}

} // namespace platform::host
