#include "surfaces/HUDPanel.h"

#include "store/Settings.h"
#include "store/Timers.h"
#include "surfaces/HUDContent.h"
#include "ui/Theme.h"

#include <QPointer>

#include <algorithm>

namespace {

FloatingPanel::Options panelOptions()
{
    return FloatingPanel::Options{
        .size = QSizeF(800, 240),
        .level = WindowLevel::screenSaver,
        .interactive = false,
        .shadow = false,
        .behavior = FloatingPanel::canJoinAllSpaces | FloatingPanel::stationary | FloatingPanel::ignoresCycle
            | FloatingPanel::fullScreenAuxiliary,
        .animation = FloatingPanel::animationNone,
    };
}

} // namespace

HUDPanel::HUDPanel(Settings& settings)
    : FloatingPanel(panelOptions())
    , settings_(settings)
    , host_(new HUDContent(state_, false))
{
    host_->setObjectName(QStringLiteral("hudContent"));
    setContentView(host_);
    setCardShape([this](const QSizeF& size) { return host_->cardShape(size); }, Theme::tagFill());
}

void HUDPanel::present(const platform::Screen& screen, double duration)
{
    state_.setSize(settings_.hudSize());
    state_.setShowNumber(settings_.hudShowNumber());

    // A long toast may grow as wide as the screen, less the panel's padding.
    const QSizeF fitting = HUDContent(state_, true).fittingSize(screen.frame.width() - padding);
    const double width = std::min(fitting.width() + padding, screen.frame.width());
    const double height = fitting.height() + padding;
    const QRectF visible = screen.visibleFrame;
    const double x = visible.center().x() - width / 2;
    double y = visible.center().y() - height / 2;
    switch (settings_.hudPosition()) {
    case HUDPosition::center:
        break;
    case HUDPosition::top:
        y = visible.bottom() - height - topInset; // QRectF's bottom() is the top edge in y-up coordinates
        break;
    case HUDPosition::bottom:
        y = visible.top() + bottomInset;
        break;
    }
    setFrame(QRectF(x, y, width, height));
    cardShapeChanged();

    const qint64 generation = ++generation_;
    if (!isOnScreen())
        state_.setVisible(false);
    orderFront();

    QPointer<HUDPanel> panel(this);
    runAfter(0, [panel, generation] {
        if (panel && panel->generation_ == generation)
            panel->state_.setVisible(true, showCurve());
    });
    runAfter(duration, [panel, generation] {
        if (!panel || panel->generation_ != generation)
            return;
        panel->state_.setVisible(false, TweenCurve::easeIn(fadeOutSeconds));
        runAfter(orderOutDelay, [panel, generation] {
            if (panel && panel->generation_ == generation)
                panel->orderOut();
        });
    });
}

void HUDPanel::hideNow()
{
    ++generation_;
    state_.setVisible(false);
    orderOut();
}
