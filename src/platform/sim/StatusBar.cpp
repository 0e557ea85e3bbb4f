#include "platform/sim/StatusBar.h"
#include "platform/sim/Application.h"

#include "platform/Lifetime.h"
#include "platform/OneLineText.h"
#include "platform/PreferenceDomain.h"
#include "platform/Scheduler.h"
#include "platform/Screens.h"
#include "platform/sim/ScreenChoice.h"
#include "platform/sim/SessionHooks.h"
#include "platform/sim/StatusBarState.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>
#include <limits>

namespace platform {

namespace {

using sim::StatusBarState;

// Space left and right of the button's content.
constexpr double buttonPadding = 4;
// Where the bar puts an item it has no room for: on no screen.
constexpr double nowhere = -100000;

double roomOn(const Screen& screen, double appMenus)
{
    double gap = 0;
    if (screen.auxiliaryTopLeftArea && screen.auxiliaryTopRightArea)
        gap = std::max(0.0, screen.frame.width() - screen.auxiliaryTopLeftArea->width()
                                - screen.auxiliaryTopRightArea->width());
    return std::max(0.0, screen.frame.width() - appMenus - gap);
}

void deliver(const QString& name, qint64 windowNumber)
{
    StatusBarState::shared().deliveringWindow = windowNumber;
    NotificationCenter::defaultCenter().post(name);
    StatusBarState::shared().deliveringWindow = 0;
}

void announce(const QString& name, qint64 windowNumber)
{
    Scheduler::current().schedule(0, [name, windowNumber] { deliver(name, windowNumber); });
}

QString preferredPositionKey(const QString& autosaveName)
{
    return QStringLiteral("NSStatusItem Preferred Position ") + autosaveName;
}

void updateTray(const StatusItem& item)
{
    if (const auto& tray = StatusBarState::shared().tray)
        tray->update(item);
}

void makeTray(StatusItem& item)
{
    if (StatusBarState::realSession())
        StatusBarState::shared().tray->add(item);
}

} // namespace

// --- bar state ----------------------------------------------------------------------

StatusBarState& StatusBarState::shared()
{
    // The centre outlives the bar's observation of it.
    static Shared<StatusBarState> current(SharedOptions<StatusBarState>{
        .make = [] { return new StatusBarState; },
        .needs = {[] { NotificationCenter::defaultCenter(); }},
        .whenMade =
            [](StatusBarState& bar) {
                bar.screens = NotificationCenter::defaultCenter().observe(notifications::screenParametersDidChange,
                                                                          [] { StatusBarState::shared().relayout(); });
            },
    });
    return current.get();
}

bool StatusBarState::realSession()
{
    const auto& tray = shared().tray;
    return tray && tray->isAvailable();
}

bool StatusBarState::isOnTrayIcon(const QPoint& point) const
{
    return tray && tray->contains(point);
}

std::optional<QRect> StatusBarState::trayIconAt(const QRectF& anchor) const
{
    constexpr double slack = 0.5;
    const auto near = [](double a, double b) { return std::abs(a - b) <= slack; };
    // The anchor is the item's frame as the caller read it. The item may
    // have changed its width since (a new title): it stays in its row (the
    // bar's, or nowhere when the bar has no room for it; the tray still
    // shows it) and keeps overlapping what the caller saw, so the item
    // overlapping the anchor most is the one.
    const StatusItem* best = nullptr;
    double bestOverlap = 0;
    for (const auto& [item, place] : layout()) {
        const QRectF frame = place.frame;
        if (!near(frame.y(), anchor.y()) || !near(frame.height(), anchor.height()))
            continue;
        const double overlap = near(frame.x(), anchor.x()) && near(frame.width(), anchor.width())
            ? std::numeric_limits<double>::infinity()
            : std::min(frame.right(), anchor.right()) - std::max(frame.left(), anchor.left());
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = item;
        }
    }
    if (!best)
        return std::nullopt;
    if (const auto set = trayGeometries.find(best); set != trayGeometries.end())
        return set->second;
    return tray ? tray->geometry(*best) : std::nullopt;
}

std::map<const StatusItem*, sim::Placement> StatusBarState::layout() const
{
    std::map<const StatusItem*, sim::Placement> result;
    const QList<Screen> all = Screens::screens();
    const std::optional<Screen> bar = all.isEmpty() ? std::nullopt : std::optional<Screen>(all.first());
    const double room = bar ? roomOn(*bar, appMenusWidth) : 0;
    double used = 0;
    bool fits = bool(bar);
    for (const Entry& entry : entries) {
        const bool shown = !entry.item || entry.item->isVisible();
        const double width = entry.item ? entry.item->width() : entry.otherWidth;
        if (shown) {
            used += width;
            fits = fits && used <= room + 1e-9;
        }
        if (!entry.item)
            continue;
        sim::Placement place;
        place.visible = shown && fits;
        if (place.visible) {
            const QRectF screen = bar->frame;
            place.frame = QRectF(screen.right() - used, screen.bottom() - StatusItem::thickness, width,
                                 StatusItem::thickness);
        } else {
            place.frame = QRectF(nowhere, nowhere, width, StatusItem::thickness);
        }
        result[entry.item] = place;
    }
    return result;
}

void StatusBarState::relayout()
{
    const auto next = layout();
    for (const auto& [item, place] : next) {
        const auto old = placed.find(item);
        const bool known = old != placed.end();
        if (!known || old->second.frame.topLeft() != place.frame.topLeft())
            announce(WindowNotifications::didMove, item->windowNumber());
        if (known && old->second.visible != place.visible)
            announce(WindowNotifications::didChangeOcclusionState, item->windowNumber());
        if (place.visible && !item->autosaveName().isEmpty()) {
            PreferenceDomain& defaults = PreferenceDomain::standard();
            const QString key = preferredPositionKey(item->autosaveName());
            if (!defaults.object(key).isValid()) {
                const QList<Screen> all = Screens::screens();
                defaults.setDouble(key, all.first().frame.right() - place.frame.right());
            }
        }
    }
    placed = next;
}

// --- public platform calls ------------------------------------------------------

qint64 WindowNotifications::object()
{
    return StatusBarState::shared().deliveringWindow;
}

qint64 StatusBarWindow::windowNumber() const
{
    return item_->windowNumber();
}

QRectF StatusBarWindow::frame() const
{
    const auto all = StatusBarState::shared().layout();
    const auto found = all.find(item_);
    return found == all.end() ? QRectF(nowhere, nowhere, 0, 0) : found->second.frame;
}

bool StatusBarWindow::occlusionVisible() const
{
    const auto all = StatusBarState::shared().layout();
    const auto found = all.find(item_);
    return found != all.end() && found->second.visible;
}

bool StatusBarWindow::isVisible() const
{
    return item_->isVisible();
}

std::optional<Screen> StatusBarWindow::screen() const
{
    return sim::screenHoldingMostOf(frame(), sim::ScreenPart::frame);
}

quint64 StatusBarWindow::occlusionState() const
{
    return occlusionStateBase | (occlusionVisible() ? occlusionStateVisible : 0);
}

QSizeF StatusBarButton::intrinsicContentSize() const
{
    return {intrinsicContentWidth(), StatusItem::thickness};
}

QRectF StatusBarButton::frame() const
{
    return {0, 0, item_->width(), StatusItem::thickness};
}

QRectF StatusBarButton::imageRect(const QRectF& bounds) const
{
    if (image_.isNull())
        return {};
    const QSizeF size = QSizeF(image_.size()) / image_.devicePixelRatio();
    return {QPointF(bounds.x() + buttonPadding, bounds.y() + (bounds.height() - size.height()) / 2), size};
}

QRectF StatusBarButton::titleRect(const QRectF& bounds) const
{
    if (title_.isEmpty())
        return {};
    // The title starts after the image, as snapshot() draws it.
    const double left = bounds.x() + buttonPadding + imageRect(bounds).width();
    return {left, bounds.y(), std::max(0.0, bounds.right() - left), bounds.height()};
}

void StatusBarButton::changed()
{
    StatusBarState::shared().relayout();
    updateTray(*item_);
}

void StatusBarButton::setTitle(const QString& title)
{
    title_ = title;
    changed();
}

void StatusBarButton::setImage(const QImage& image)
{
    image_ = image;
    changed();
}

void StatusBarButton::setIconForm(const QImage& image)
{
    iconForm_ = image;
    updateTray(*item_);
}

void StatusBarButton::setToolTip(const QString& toolTip)
{
    toolTip_ = toolTip;
    updateTray(*item_);
}

void StatusBarButton::setFont(const QFont& font)
{
    font_ = font;
    changed();
}

double StatusBarButton::intrinsicContentWidth() const
{
    double width = 2 * buttonPadding;
    if (!image_.isNull())
        width += image_.width() / image_.devicePixelRatio();
    if (!title_.isEmpty())
        width += QFontMetricsF(font_).horizontalAdvance(OneLineText::shown(title_));
    return std::ceil(width);
}

QString StatusBarButton::displayedTitle() const
{
    if (title_.isEmpty())
        return title_;
    double room = item_->width() - 2 * buttonPadding;
    if (!image_.isNull())
        room -= image_.width() / image_.devicePixelRatio();
    // The bar draws one line.
    const QString line = OneLineText::shown(title_);
    const QFontMetricsF metrics(font_);
    if (metrics.horizontalAdvance(line) <= room + 0.5)
        return line;
    if (lineBreakMode_ == LineBreakMode::truncatingTail)
        return OneLineText::elided(title_, metrics, std::max(0.0, room));
    return line;
}

StatusBarWindow* StatusBarButton::window() const
{
    if (StatusBarState::shared().windowless.count(item_))
        return nullptr;
    return &item_->window_;
}

void StatusBarButton::performClick()
{
    click(CurrentEvent{EventType::leftMouseUp, 0});
}

void StatusBarButton::click(const CurrentEvent& event)
{
    if (Menu* menu = item_->menu()) {
        const QRectF frame = item_->window_.frame();
        menu->popUp(QPointF(frame.left(), frame.top()));
        return;
    }
    const bool left = event.type == EventType::leftMouseUp;
    const bool right = event.type == EventType::rightMouseUp;
    if (!action_ || !((left && (sendActionOn_ & leftMouseUpMask)) || (right && (sendActionOn_ & rightMouseUpMask))))
        return;
    const std::optional<CurrentEvent> outer = Application::currentEvent();
    sim::setCurrentEvent(event);
    const auto action = action_;
    action();
    sim::setCurrentEvent(outer);
}

QImage StatusBarButton::snapshot(double scale) const
{
    const double width = std::max(1.0, item_->width());
    QImage image(QSize(int(std::ceil(width * scale)), int(std::ceil(StatusItem::thickness * scale))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    double x = buttonPadding;
    if (!image_.isNull()) {
        const QSizeF size = QSizeF(image_.size()) / image_.devicePixelRatio();
        painter.drawImage(QRectF(QPointF(x, (StatusItem::thickness - size.height()) / 2), size), image_);
        x += size.width();
    }
    const QString shown = displayedTitle();
    if (!shown.isEmpty()) {
        painter.setFont(font_);
        painter.setPen(Qt::white);
        painter.drawText(QRectF(x, 0, width - x, StatusItem::thickness), Qt::AlignVCenter | Qt::AlignLeft, shown);
    }
    return image;
}

StatusItem::StatusItem(double length)
    : length_(length)
    , windowNumber_(StatusBarState::shared().nextWindowNumber++)
{
    auto& state = StatusBarState::shared();
    state.entries.append({this, 0, 0});
    state.relayout();
    makeTray(*this);
}

StatusItem::~StatusItem()
{
    auto& state = StatusBarState::shared();
    if (state.openMenu && state.openMenu == menu_)
        state.openMenu = nullptr;
    state.entries.removeIf([this](const StatusBarState::Entry& entry) { return entry.item == this; });
    state.placed.erase(this);
    state.windowless.erase(this);
    state.trayGeometries.erase(this);
    if (state.tray)
        state.tray->remove(*this);
    state.relayout();
}

void StatusItem::setLength(double length)
{
    length_ = length;
    StatusBarState::shared().relayout();
}

void StatusItem::setVisible(bool visible)
{
    visible_ = visible;
    StatusBarState::shared().relayout();
    updateTray(*this);
}

void StatusItem::setAutosaveName(const QString& name)
{
    autosaveName_ = name;
    StatusBarState::shared().relayout();
}

double StatusItem::width() const
{
    return length_ >= 0 ? length_ : button_.intrinsicContentWidth();
}

// --- controls ------------------------------------------------------------------------

QImage sim::trayImage(const StatusItem& item)
{
    const StatusBarButton& button = *item.button();
    if (!button.iconForm().isNull())
        return button.iconForm();
    return button.image().isNull() ? button.snapshot(2) : button.image();
}

void sim::setAppMenusWidth(double points)
{
    StatusBarState::shared().appMenusWidth = points;
    StatusBarState::shared().relayout();
}

double sim::statusBarRoom()
{
    const QList<Screen> all = Screens::screens();
    return all.isEmpty() ? 0 : roomOn(all.first(), StatusBarState::shared().appMenusWidth);
}

int sim::addOtherStatusItem(double width)
{
    auto& state = StatusBarState::shared();
    const int id = state.nextOtherID++;
    state.entries.prepend({nullptr, id, width});
    state.relayout();
    return id;
}

void sim::removeOtherStatusItem(int id)
{
    auto& state = StatusBarState::shared();
    state.entries.removeIf([id](const StatusBarState::Entry& entry) { return !entry.item && entry.otherID == id; });
    state.relayout();
}

QList<StatusItem*> sim::statusItems()
{
    QList<StatusItem*> result;
    for (const auto& entry : StatusBarState::shared().entries) {
        if (entry.item)
            result.append(entry.item);
    }
    return result;
}

void sim::clickStatusButton(StatusItem& item, EventType type, quint64 modifierFlags)
{
    item.button()->click(CurrentEvent{type, modifierFlags});
}

void sim::setWindowless(StatusItem& item, bool windowless)
{
    if (windowless)
        StatusBarState::shared().windowless.insert(&item);
    else
        StatusBarState::shared().windowless.erase(&item);
}

void sim::postWindowMove(qint64 windowNumber)
{
    deliver(WindowNotifications::didMove, windowNumber);
}

void sim::setTray(std::unique_ptr<Tray> tray)
{
    StatusBarState::shared().tray = std::move(tray);
}

void sim::setTrayIconGeometry(const StatusItem& item, const std::optional<QRect>& geometry)
{
    auto& state = StatusBarState::shared();
    if (geometry)
        state.trayGeometries[&item] = *geometry;
    else
        state.trayGeometries.erase(&item);
}

Menu* sim::openMenu()
{
    return StatusBarState::shared().openMenu;
}

Popover* sim::shownPopover()
{
    const auto& shown = StatusBarState::shared().shownPopovers;
    return shown.isEmpty() ? nullptr : shown.last();
}

void sim::clickOutsidePopovers()
{
    const QList<Popover*> shown = StatusBarState::shared().shownPopovers;
    for (Popover* popover : shown) {
        if (popover->behavior() == Popover::Behavior::transient)
            popover->performClose();
    }
}

} // namespace platform
