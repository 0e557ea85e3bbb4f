#include "platform/linux/SystemTray.h"

#include "platform/sim/PopupPlacement.h"
#include "platform/sim/StatusBar.h"

#include <QApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QToolTip>
#include <QWidget>

#include <cmath>

namespace platform::host {

namespace {

// Space between the icon and its tip.
constexpr int toolTipGap = 2;

// What the window Qt embeds in the tray for an icon gets and Qt leaves
// undone. Its tip shows beside the icon within the work area. A right press
// that comes soon after another one is a double click to Qt, which drops it:
// it is a right click all the same (a second right click opens the menu
// again).
class IconEvents final : public QObject {
public:
    explicit IconEvents(const std::map<const StatusItem*, QSystemTrayIcon*>& icons)
        : icons_(icons)
    {
        QApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool rightAgain = event->type() == QEvent::MouseButtonDblClick
                                && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        if (event->type() != QEvent::ToolTip && !rightAgain)
            return false;
        auto* window = qobject_cast<QWidget*>(watched);
        if (!window || !window->isWindow())
            return false;
        const QPoint at = rightAgain ? static_cast<QMouseEvent*>(event)->globalPosition().toPoint()
                                     : static_cast<QHelpEvent*>(event)->globalPos();
        const QRect windowShape(window->mapToGlobal(QPoint()), window->size());
        for (const auto& [item, icon] : icons_) {
            const QRect shape = icon->geometry();
            if (!icon->isVisible() || !shape.contains(at) || windowShape != shape)
                continue;
            if (rightAgain)
                emit icon->activated(QSystemTrayIcon::Context);
            else
                show(icon->toolTip(), at, window, shape);
            return true;
        }
        return false;
    }

private:
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
