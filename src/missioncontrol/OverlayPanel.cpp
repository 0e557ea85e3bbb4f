#include "missioncontrol/OverlayPanel.h"

#include "missioncontrol/PillsView.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"
#include "platform/WindowCompositing.h"
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
    // Above the screen saver level no window manager has a say: on X11 a
    // window it does not manage stays above every window it does.
    setWindowFlag(Qt::BypassWindowManagerHint);
    setContentView(pills_);
    connect(pills_, &PillsView::presentationChanged, this, &OverlayPanel::followPills);
    compositing_ = platform::NotificationCenter::defaultCenter().observe(
        platform::WindowCompositing::didChangeNotification, [this] { followPills(); });
    followPills();
}

void OverlayPanel::followPills()
{
    // Where translucent windows blend, the pills' soft shadows stay whole.
    if (platform::WindowCompositing::isActive()) {
        if (!mask().isEmpty())
            clearMask();
        return;
    }
    const QRegion shape = pills_->shape(platform::now());
    // Qt takes an empty region for no mask at all; a point outside the
    // window shows nothing instead.
    setMask(shape.isEmpty() ? QRegion(-1, -1, 1, 1) : shape);
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
