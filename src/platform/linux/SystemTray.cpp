#include "platform/linux/SystemTray.h"

#include "platform/Scheduler.h"
#include "platform/sim/PopupPlacement.h"
#include "platform/sim/StatusBar.h"

#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QToolTip>
#include <QWidget>

#include <cmath>
#include <utility>

namespace platform::host {

namespace {

// Space between the icon and its tip.
constexpr int toolTipGap = 2;
// How long the pointer rests on an icon before its tip shows, in seconds: as
// long as Qt waits before the tips of the app's windows.
constexpr double toolTipDelay = 0.7;

// What the window Qt embeds in the tray for an icon gets and Qt leaves
// undone. Its tip shows beside the icon within the work area. Qt wakes a tip
// only on a move of the pointer, and drops a move to where it last saw the
// pointer: an icon is often the app's only window under the pointer, so Qt
// never sees it leave, and a pointer that comes back to the same spot brings
// no tip. The tip therefore shows once the pointer has rested on the icon
// since it entered, whatever Qt does. A right press that comes soon after
// another one is a double click to Qt, which drops it: it is a right click
// all the same (a second right click opens the menu again).
class IconEvents final : public QObject {
public:
    explicit IconEvents(const std::map<const StatusItem*, QSystemTrayIcon*>& icons)
        : icons_(icons)
    {
        QApplication::instance()->installEventFilter(this);
    }

    ~IconEvents() override { stopHover(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        const bool rightAgain = type == QEvent::MouseButtonDblClick
                                && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        const bool hover = type == QEvent::Enter || type == QEvent::Leave || type == QEvent::MouseButtonPress;
        if (type != QEvent::ToolTip && !rightAgain && !hover)
            return false;
        auto* window = qobject_cast<QWidget*>(watched);
        if (!window || !window->isWindow())
            return false;
        QSystemTrayIcon* icon = iconOf(window);
        if (!icon)
            return false;
        if (hover) {
            // A press opens the icon's menu or popover, which the tip would cover.
            stopHover();
            if (type == QEvent::Enter)
                startHover(icon, window);
            return false;
        }
        const QPoint at = rightAgain ? static_cast<QMouseEvent*>(event)->globalPosition().toPoint()
                                     : static_cast<QHelpEvent*>(event)->globalPos();
        const QRect shape = icon->geometry();
        if (!shape.contains(at))
            return false;
        if (rightAgain)
            emit icon->activated(QSystemTrayIcon::Context);
        else
            show(icon->toolTip(), at, window, shape);
        return true;
    }

private:
    // The shown icon whose embedded window this is.
    QSystemTrayIcon* iconOf(const QWidget* window) const
    {
        const QRect windowShape(window->mapToGlobal(QPoint()), window->size());
        for (const auto& [item, icon] : icons_) {
            if (icon->isVisible() && icon->geometry() == windowShape)
                return icon;
        }
        return nullptr;
    }

    void startHover(QSystemTrayIcon* icon, QWidget* window)
    {
        hoveredIcon_ = icon;
        hoveredWindow_ = window;
        // The filter goes with the tray; the icon and its window may go first.
        hoverTimer_ = Scheduler::current().schedule(toolTipDelay, [self = QPointer<IconEvents>(this)] {
            if (self) {
                self->hoverTimer_ = 0;
                self->restedOnIcon();
            }
        });
    }

    void stopHover()
    {
        if (hoverTimer_)
            Scheduler::current().cancel(std::exchange(hoverTimer_, 0));
        hoveredIcon_ = nullptr;
        hoveredWindow_ = nullptr;
    }

    void restedOnIcon()
    {
        QSystemTrayIcon* icon = hoveredIcon_;
        QWidget* window = hoveredWindow_;
        // An open menu holds the pointer: the icon hears of no leave.
        if (!icon || !window || !icon->isVisible() || QApplication::activePopupWidget())
            return;
        const QPoint at = QCursor::pos();
        const QRect shape = icon->geometry();
        if (shape.contains(at))
            show(icon->toolTip(), at, window, shape);
    }

    static void show(const QString& text, QPoint at, QWidget* window, const QRect& icon)
    {
        if (text.isEmpty()) {
            QToolTip::hideText();
            return;
        }
        QToolTip::showText(at, text, window);
        // Qt's label, placed by the pointer; without it Qt's place stays.
        QWidget* label = nullptr;
        for (QWidget* each : QApplication::topLevelWidgets()) {
            if (each->isVisible() && each->objectName() == QLatin1String("qtooltip_label"))
                label = each;
        }
        const std::optional<QRect> area = sim::availableAreaAt(icon.center());
        if (!label || !area)
            return;
        const int start = int(std::lround(QRectF(icon).center().x() - label->width() / 2.0));
        const QRect placed = sim::placeBeside(icon, label->size(), sim::PopupSide::below, start, *area, toolTipGap);
        label->setGeometry(placed);
    }

    const std::map<const StatusItem*, QSystemTrayIcon*>& icons_;
    // The icon the pointer entered last, and the wait for it to rest there.
    QPointer<QSystemTrayIcon> hoveredIcon_;
    QPointer<QWidget> hoveredWindow_;
    TimerToken hoverTimer_ = 0;
};

} // namespace

SystemTray::SystemTray()
    : iconEvents_(QApplication::instance() ? std::make_unique<IconEvents>(icons_) : nullptr)
{
}

SystemTray::~SystemTray()
{
    iconEvents_.reset();
    for (auto& [item, icon] : icons_)
        delete icon;
}

bool SystemTray::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTray::add(StatusItem& item)
{
    if (icons_.count(&item))
        return;
    auto* icon = new QSystemTrayIcon;
    icons_[&item] = icon;
    QObject::connect(icon, &QSystemTrayIcon::activated, icon, [&item](QSystemTrayIcon::ActivationReason why) {
        // Each press of a double click is a click.
        const bool right = why == QSystemTrayIcon::Context;
        if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick || right)
            sim::clickStatusButton(item, right ? EventType::rightMouseUp : EventType::leftMouseUp);
    });
    update(item);
    icon->show();
}

void SystemTray::update(const StatusItem& item)
{
    const auto found = icons_.find(&item);
    if (found == icons_.end())
        return;
    found->second->setIcon(QIcon(QPixmap::fromImage(sim::trayImage(item))));
    found->second->setToolTip(item.button()->toolTip());
    found->second->setVisible(item.isVisible());
}

void SystemTray::remove(const StatusItem& item)
{
    const auto found = icons_.find(&item);
    if (found == icons_.end())
        return;
    delete found->second;
    icons_.erase(found);
}

std::optional<QRect> SystemTray::geometry(const StatusItem& item) const
{
    const auto found = icons_.find(&item);
    if (found == icons_.end())
        return std::nullopt;
    const QRect geometry = found->second->geometry();
    if (!geometry.isValid() || geometry.isEmpty())
        return std::nullopt;
    return geometry;
}

bool SystemTray::contains(const QPoint& point) const
{
    for (const auto& [item, icon] : icons_) {
        if (icon->isVisible() && icon->geometry().contains(point))
            return true;
    }
    return false;
}

} // namespace platform::host
