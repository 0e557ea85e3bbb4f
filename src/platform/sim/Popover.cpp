#include "platform/Popover.h"

#include "platform/Screens.h"
#include "platform/sim/StatusBarState.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace platform {

QWidget* Popover::contentView() const
{
    return content_;
}

using sim::StatusBarState;

namespace {

// Space between the anchor and the popover.
constexpr double anchorGap = 4;

} // namespace

Popover::Popover()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
    // On a desktop session a click on the desktop or in another app takes the
    // focus from every window of the app.
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationInactive && closesOnOutsideClicks())
                performClose();
        });
    }
}

Popover::~Popover()
{
    StatusBarState::shared().shownPopovers.removeAll(this);
    if (content_ && window_ && content_->parentWidget() == window_)
        content_->setParent(nullptr);
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
    }
    if (content_ && content_->parentWidget() == window_) {
        window_->layout()->removeWidget(content_);
        content_->hide();
        content_->setParent(nullptr);
    }
    content_ = content;
    if (content) {
        window_->layout()->addWidget(content);
        content->show();
    }
}

void Popover::show(const QRectF& anchor, Edge edge)
{
    if (!window_)
        setContentView(nullptr);
    place(anchor, edge);
    if (!shown_) {
        shown_ = true;
        StatusBarState::shared().shownPopovers.append(this);
    }
    window_->show();
    if (StatusBarState::realSession())
        window_->activateWindow();
}

void Popover::place(const QRectF& anchor, Edge edge)
{
    window_->layout()->activate();
    window_->adjustSize();
    const QSizeF size = window_->size();
    QPointF topLeftQt;
    if (const std::optional<QRect> tray = StatusBarState::shared().trayIconAt(anchor)) {
        // A status item mirrored in a desktop session's tray: under the tray
        // icon, or above it when the panel sits at the bottom.
        const QRect icon = *tray;
        const QScreen* screen = QGuiApplication::screenAt(icon.center());
        const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 4096, 4096);
        double x = std::clamp(icon.center().x() - size.width() / 2, double(area.left()),
                              std::max(double(area.left()), area.right() - size.width()));
        double y = icon.bottom() + anchorGap;
        if (y + size.height() > area.bottom())
            y = icon.top() - anchorGap - size.height();
        topLeftQt = QPointF(x, y);
    } else {
        double x = anchor.center().x() - size.width() / 2;
        double yScreenTop = anchor.bottom() + anchorGap + size.height(); // above the anchor
        switch (edge) {
        case Edge::minY: yScreenTop = anchor.top() - anchorGap; break;
        case Edge::maxY: break;
        case Edge::minX:
            x = anchor.left() - anchorGap - size.width();
            yScreenTop = anchor.center().y() + size.height() / 2;
            break;
        case Edge::maxX:
            x = anchor.right() + anchorGap;
            yScreenTop = anchor.center().y() + size.height() / 2;
            break;
        }
        topLeftQt = Screens::windowGeometry(QRectF(x, yScreenTop - size.height(), size.width(), size.height()))
                        .topLeft();
    }
    window_->move(topLeftQt.toPoint());
    frame_ = Screens::frameOfWindowGeometry(QRect(topLeftQt.toPoint(), size.toSize()));
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
