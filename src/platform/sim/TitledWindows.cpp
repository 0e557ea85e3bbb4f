#include "platform/sim/TitledWindows.h"

#include "platform/Lifetime.h"
#include "platform/Screens.h"
#include "platform/WindowFrame.h"
#include "platform/sim/ScreenChoice.h"
#include "platform/sim/SessionHooks.h"

#include <QWidget>

#include <algorithm>
#include <optional>

namespace platform {

namespace {

struct TitledWindowState {
    QMargins simulated;
    // What the window system reported for the last titled window on screen.
    QMargins reported;
    QList<sim::WindowDragStep> drags;
};

TitledWindowState& titledWindowState()
{
    static Shared<TitledWindowState> current([] { return new TitledWindowState; });
    return current.get();
}

std::optional<QRect> mainVisibleArea()
{
    const auto main = Screens::mainScreen();
    if (!main)
        return std::nullopt;
    return Screens::windowGeometry(main->visibleFrame);
}

// The visible area of the screen holding most of frame; the main screen's
// when none holds any.
std::optional<QRect> areaFor(const QRect& frame)
{
    const auto screen = sim::screenHoldingMostOf(Screens::frameOfWindowGeometry(frame), sim::ScreenPart::visibleFrame);
    return screen ? Screens::windowGeometry(screen->visibleFrame) : mainVisibleArea();
}

} // namespace

void sim::setTitledWindowDecorations(const QMargins& margins)
{
    titledWindowState().simulated = margins;
}

QList<sim::WindowDragStep> sim::windowDragSteps()
{
    return titledWindowState().drags;
}

QMargins WindowFrame::decorations(const QWidget* window)
{
    TitledWindowState& s = titledWindowState();
    const auto& frameMargins = sim::windowSystemHooks().frameMargins;
    if (frameMargins && window) {
        const QMargins reported = frameMargins(window);
        // A window the window manager let go of (closed, being mapped again)
        // may report a frame it does not have: keep the last real one.
        const bool plausible =
            reported.left() >= 0 && reported.top() >= 0 && reported.right() >= 0 && reported.bottom() >= 0;
        if (!reported.isNull() && plausible) {
            s.reported = reported;
            return reported;
        }
    }
    return s.reported.isNull() ? s.simulated : s.reported;
}

QSize WindowFrame::fitOnScreen(QWidget* window, QSize wanted)
{
    if (!window)
        return {};
    const QMargins margins = decorations(window);
    const QRect current(window->pos(), window->size().grownBy(margins));
    QSize content = wanted;
    const std::optional<QRect> area = areaFor(current);
    if (area)
        content = content.boundedTo(area->size().shrunkBy(margins));
    content = content.expandedTo(QSize(1, 1));
    window->setFixedSize(content);
    if (!area)
        return content;
    const QSize frame = content.grownBy(margins);
    const int x = std::max(area->left(), std::min(current.x(), area->left() + area->width() - frame.width()));
    const int y = std::max(area->top(), std::min(current.y(), area->top() + area->height() - frame.height()));
    if (QPoint(x, y) != window->pos())
        window->move(x, y);
    return content;
}

void WindowFrame::centreOnScreen(QWidget* window)
{
    const std::optional<QRect> area = mainVisibleArea();
    if (!window || !area)
        return;
    QRect frame(QPoint(), window->size().grownBy(decorations(window)));
    frame.moveCenter(area->center());
    window->move(frame.topLeft());
}

void WindowFrame::performWindowDrag(QWidget* window)
{
    if (!window)
        return;
    titledWindowState().drags.append(sim::WindowDragStep::started);
    if (const auto& startMove = sim::windowSystemHooks().startMove)
        startMove(window);
}

void WindowFrame::endWindowDrag(QWidget* window)
{
    if (!window)
        return;
    titledWindowState().drags.append(sim::WindowDragStep::endedEarly);
    if (const auto& cancelMove = sim::windowSystemHooks().cancelMove)
        cancelMove(window);
}

} // namespace platform
