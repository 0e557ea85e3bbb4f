#include "missioncontrol/OverlayPanel.h"

#include "missioncontrol/PillsView.h"
#include "platform/WindowFrames.h"

namespace {

constexpr double initialSide = 100;

} // namespace

OverlayPanel::OverlayPanel(Settings& settings)
    : FloatingPanel(Options{
          .size = QSizeF(initialSide, initialSide),
          .level = WindowLevel::missionControlOverlay,
          .interactive = false,
          .shadow = false,
          .behavior = FloatingPanel::defaultBehavior,
          .animation = FloatingPanel::animationNone,
      })
    , pills_(new PillsView(settings))
    , frame_(0, 0, initialSide, initialSide)
{
    setObjectName(QStringLiteral("missionControlOverlay"));
    setContentView(pills_);
}

void OverlayPanel::setFrame(const platform::Screen& screen)
{
    frame_ = screen.frame;
    pills_->setWindowBackingScale(screen.backingScaleFactor);
    setGeometry(platform::WindowFrames::toWindowGeometry(screen.frame));
}

void OverlayPanel::orderFront()
{
    // The window level keeps it above Mission Control.
    show();
}

void OverlayPanel::orderOut()
{
    hide();
}
