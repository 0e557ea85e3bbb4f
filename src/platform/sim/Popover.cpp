#include "platform/Popover.h"

#include "platform/Screens.h"
#include "platform/sim/PopupPlacement.h"
#include "platform/sim/StatusBarState.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace platform {

QWidget* Popover::contentView() const
{
    return content_;
}

using sim::StatusBarState;

namespace {

// Space between the anchor and the popover.
constexpr int anchorGap = 4;
// Where no screen is known.
constexpr QRect unbounded(-(1 << 22), -(1 << 22), 1 << 23, 1 << 23);

// The popover's content at its own size, scrolled when the popover may not
// be that large: its size hint is the content's, cut to the limit (with room
// for a scroll bar across a cut), and follows the content's.
class FittedScroll final : public QScrollArea {
public:
    FittedScroll()
    {
        setFrameShape(QFrame::NoFrame);
        // The keyboard focus rests on controls only; Tab scrolls to them.
        setFocusPolicy(Qt::NoFocus);
        setWidgetResizable(true);
        setAutoFillBackground(false);
        viewport()->setAutoFillBackground(false);
    }

    void setContent(QWidget* content)
    {
        const bool ownBackground = content->autoFillBackground();
        setWidget(content);
        content->setAutoFillBackground(ownBackground);
        updateGeometry();
    }

    void setLimit(QSize limit)
    {
        if (limit == limit_)
            return;
        limit_ = limit;
        updateGeometry();
    }

    QSize sizeHint() const override
    {
        const QWidget* content = widget();
        if (!content)
            return {0, 0};
        const QSize wanted =
            content->sizeHint().expandedTo(content->minimumSize()).boundedTo(content->maximumSize());
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        QSize shown = wanted.boundedTo(limit_);
        if (shown.height() < wanted.height())
            shown.setWidth(std::min(limit_.width(), wanted.width() + bar));
        if (shown.width() < wanted.width())
            shown.setHeight(std::min(limit_.height(), wanted.height() + bar));
        return shown;
    }

    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget() && event->type() == QEvent::LayoutRequest)
            updateGeometry();
        return QScrollArea::eventFilter(watched, event);
    }

private:
    QSize limit_{QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
};

sim::PopupSide sideFor(Popover::Edge edge)
{
    switch (edge) {
    case Popover::Edge::minY: return sim::PopupSide::below;
    case Popover::Edge::maxY: return sim::PopupSide::above;
    case Popover::Edge::minX: return sim::PopupSide::left;
    case Popover::Edge::maxX: return sim::PopupSide::right;
    }
    return sim::PopupSide::below;
}

} // namespace

Popover::Popover()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
    // On a desktop session a click on the desktop or in another app takes the
    // focus from every window of the app.
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            // Not yet on screen, it waits for that deactivation.
            if (state == Qt::ApplicationInactive && closesOnOutsideClicks() && window_ && window_->isVisible())
                performClose();
        });
    }
}

Popover::~Popover()
{
    StatusBarState::shared().shownPopovers.removeAll(this);
    if (content_ && scroll_ && scroll_->widget() == content_)
        scroll_->takeWidget();
    delete window_;
}

QWidget* Popover::window() const
{
    return window_;
}

void Popover::setContentView(QWidget* content)
{
    if (content_ == content)
        return;
    if (!window_) {
        window_ = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        window_->setObjectName(QStringLiteral("popoverWindow"));
        auto* layout = new QVBoxLayout(window_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        scroll_ = new FittedScroll;
        layout->addWidget(scroll_);
    }
    if (content_ && scroll_->widget() == content_) {
        scroll_->takeWidget();
        content_->hide();
    }
    content_ = content;
    if (content) {
        static_cast<FittedScroll*>(scroll_.data())->setContent(content);
        content->show();
    }
}

void Popover::show(const QRectF& anchor, Edge edge)
{
    if (!window_)
        setContentView(nullptr);
    anchor_ = anchor;
    edge_ = edge;
    place();
    if (!shown_) {
        shown_ = true;
        StatusBarState::shared().shownPopovers.append(this);
    }
    if (!StatusBarState::realSession()) {
        window_->show();
        return;
    }
    sim::showOnceFocusSettles(window_.data(), [this] {
        if (!shown_)
            return;
        window_->show();
        window_->activateWindow();
    });
}

void Popover::place()
{
    const QScopedValueRollback<bool> placing(placing_, true);
    // A status item mirrored in a desktop session's tray hangs from its icon.
    const std::optional<QRect> tray = StatusBarState::shared().trayIconAt(anchor_);
    const QRect anchor = tray ? *tray : Screens::windowGeometry(anchor_);
    const sim::PopupSide side = tray ? sim::PopupSide::below : sideFor(edge_);
    const std::optional<QRect> area = sim::availableAreaAt(anchor.center());
    static_cast<FittedScroll*>(scroll_.data())
        ->setLimit(area.value_or(unbounded).size());
    window_->layout()->activate();
    window_->adjustSize();
    const QSize size = window_->size();
    const bool vertical = side == sim::PopupSide::below || side == sim::PopupSide::above;
    // A tray icon's centre is its centre pixel.
    const QPointF centre = tray ? QPointF(tray->center()) : QRectF(anchor).center();
    const int crossStart = int(std::lround(vertical ? centre.x() - size.width() / 2.0
                                                    : centre.y() - size.height() / 2.0));
    const QRect placed = sim::placeBeside(anchor, size, side, crossStart, area.value_or(unbounded), anchorGap);
    window_->move(placed.topLeft());
    frame_ = Screens::frameOfWindowGeometry(QRect(placed.topLeft(), size));
}

void Popover::performClose()
{
    if (!shown_)
        return;
    shown_ = false;
    lastCloseAnimated_ = animates_;
    StatusBarState::shared().shownPopovers.removeAll(this);
    if (window_)
        window_->hide();
    if (onDidClose_) {
        const auto callback = onDidClose_;
        callback();
    }
}

bool Popover::closesOnOutsideClicks() const
{
    return shown_ && window_ && behavior_ == Behavior::transient;
}

bool Popover::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !window_)
        return QObject::eventFilter(watched, event);
    // Content that changed its size (another page) keeps within the screen.
    if (event->type() == QEvent::Resize && widget == window_.data() && shown_ && !placing_)
        place();
    // Hidden by another road (Ctrl+W closes the active window): closed as
    // the user closes it, so the next click opens it again.
    if (event->type() == QEvent::Hide && widget == window_.data() && shown_)
        performClose();
    if (event->type() == QEvent::MouseButtonPress && closesOnOutsideClicks()) {
        const QWidget* pressed = widget->window();
        const QPointF at = static_cast<QMouseEvent*>(event)->globalPosition();
        // A panel that never takes the keyboard (the character palette)
        // serves the field it types into; the tray icon's own click toggles.
        if (pressed != window_.data() && !pressed->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus)
            && !StatusBarState::shared().isOnTrayIcon(at.toPoint()))
            performClose();
    }
    // An Escape that nothing inside took reaches the popover's window.
    if (event->type() == QEvent::KeyPress && widget == window_.data() && shown_
        && behavior_ != Behavior::applicationDefined && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape
        && static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        performClose();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

QRectF Popover::screenRect(const QWidget* view)
{
    if (!view)
        return {};
    return Screens::frameOfWindowGeometry(QRect(view->mapToGlobal(QPoint(0, 0)), view->size()));
}

} // namespace platform
