#include "platform/sim/MissionControl.h"

#include "platform/EventSource.h"
#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"
#include "platform/SessionNotifications.h"
#include "platform/SystemInfo.h"
#include "platform/sim/MissionControlWindow.h"
#include "platform/sim/WorldState.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>

#include <cmath>
#include <map>

namespace platform::sim {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

std::unique_ptr<MissionControl>& slot()
{
    static std::unique_ptr<MissionControl> instance;
    return instance;
}

constexpr int windowManagerVersion = 27;
constexpr qint64 firstWindowNumber = 90000;
constexpr int screenSizedLayer = 20;
constexpr double collapsedBarHeight = 40;
constexpr double collapsedButtonTop = 9;
constexpr double collapsedButtonHeight = 22;
constexpr double windowManagerCollapsedBarHeight = 44;
// The collapsed WindowManager buttons stand out above their bar.
constexpr double windowManagerCollapsedBarDrop = 20;
constexpr double windowManagerButtonDrop = 8;
constexpr double windowManagerButtonHeight = 30;
constexpr double expandedBarHeight = 150;
constexpr double thumbnailTop = 10;
constexpr double thumbnailHeight = 110;
constexpr double windowManagerLabelExtra = 31;
constexpr double windowManagerSideExtra = 25;
constexpr double buttonGap = 24;
constexpr double closingLift = 20;
// Where the thumbnail lies inside an expanded WindowManager button.
constexpr double windowManagerThumbnailTop = 10.5;
constexpr double windowManagerThumbnailSide = 12.5;

// Whether the app runs on a desktop session, where Mission Control shows.
bool desktopSession()
{
    const QString platform = QGuiApplication::platformName();
    return qobject_cast<QApplication*>(QCoreApplication::instance()) && platform != QLatin1String("offscreen")
        && platform != QLatin1String("minimal");
}

QString id(const char* text)
{
    return QString::fromLatin1(text);
}

// The host's own label width: the text in its 12-point font, rounded up,
// with its padding.
double labelWidth(const QString& text, bool windowManager)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    return std::ceil(QFontMetricsF(font).horizontalAdvance(text)) + (windowManager ? 24 : 10);
}

struct ButtonPlace {
    qint64 label = 0;
    quint64 spaceID = 0;
    // The button's own rectangle, accessibility coordinates.
    QRectF rect;
};

struct DisplayPlace {
    quint32 displayID = 0;
    QString uuid;
    // The display, accessibility coordinates.
    QRectF screen;
    QRectF bar;
    QList<ButtonPlace> buttons;
};

QList<DisplayPlace> placesOf(const QList<DisplaySpec>& displays, MissionControl::Numbering numbering,
                             bool windowManager, bool expanded, bool closing)
{
    QList<DisplayPlace> places;
    if (displays.isEmpty())
        return places;
    const double primaryHeight = displays.first().frame.height();
    qint64 global = 0;
    for (const auto& display : displays) {
        const QRectF& f = display.frame;
        const QRectF screen(f.x(), primaryHeight - f.y() - f.height(), f.width(), f.height());
        DisplayPlace place;
        place.displayID = display.displayID;
        place.uuid = display.uuid;
        place.screen = screen;
        double barHeight = expanded ? expandedBarHeight
                                    : (windowManager ? windowManagerCollapsedBarHeight : collapsedBarHeight);
        const double barDrop = windowManager && !expanded ? windowManagerCollapsedBarDrop : 0;
        place.bar = QRectF(screen.x(), screen.y() + barDrop, screen.width(), barHeight);
        qint64 local = 0;
        QList<double> widths;
        for (const auto& space : display.spaces) {
            if (space.type != 0)
                continue;
            ++global;
            ++local;
            ButtonPlace button;
            button.label = numbering == MissionControl::Numbering::global ? global : local;
            button.spaceID = space.id;
            place.buttons.append(button);
            const QString text = QStringLiteral("Desktop ") + QString::number(button.label);
            const double thumbnailWidth = std::round(thumbnailHeight * screen.width() / std::max(1.0, screen.height()));
            widths.append(expanded ? thumbnailWidth + (windowManager ? windowManagerSideExtra : 0)
                                   : labelWidth(text, windowManager));
        }
        double total = 0;
        for (double width : widths)
            total += width;
        total += buttonGap * std::max<qsizetype>(0, widths.size() - 1);
        double x = screen.x() + (screen.width() - total) / 2;
        for (qsizetype i = 0; i < place.buttons.size(); ++i) {
            double top = screen.y() + collapsedButtonTop;
            double height = collapsedButtonHeight;
            if (expanded) {
                top = screen.y() + (windowManager ? 0 : thumbnailTop);
                height = thumbnailHeight + (windowManager ? windowManagerLabelExtra : 0);
            } else if (windowManager) {
                top = screen.y() + windowManagerButtonDrop;
                height = windowManagerButtonHeight;
            }
            place.buttons[i].rect = QRectF(x, top, widths[i], height);
            x += widths[i] + buttonGap;
        }
        places.append(place);
    }
    if (closing) {
        // Every bar slides up out of sight.
        for (auto& place : places) {
            const double lift = place.bar.bottom() + closingLift;
            place.bar.translate(0, -lift);
            for (auto& button : place.buttons)
                button.rect.translate(0, -lift);
        }
    }
    return places;
}

QVariantMap buttonAttributes(const ButtonPlace& button, bool windowManager)
{
    const QPointF position = windowManager ? button.rect.center() : button.rect.topLeft();
    return {
        {id("AXRole"), id("AXButton")},
        {id("AXDescription"), QStringLiteral("Desktop ") + QString::number(button.label)},
        {id("AXPosition"), position},
        {id("AXSize"), button.rect.size()},
    };
}

} // namespace

// --- services behind the public headers -----------------------------------

struct MissionControl::Services {
    struct Registration {
        quint64 element = 0;
        QString name;
        void* context = nullptr;
    };
    struct ObserverRecord {
        qint32 pid = 0;
        AX::ObserverCallback callback;
        QList<Registration> registrations;
        bool sourceAdded = false;
    };
    struct Tap {
        quint64 mask = 0;
        EventTap::Callback callback;
        bool enabled = true;
    };
    std::map<quint64, ObserverRecord> observers;
    quint64 nextObserver = 1;
    std::map<EventTap::Port, Tap> taps;
    EventTap::Port nextTap = 1;
};

// --- life -----------------------------------------------------------------------

MissionControl& MissionControl::shared()
{
    auto& instance = slot();
    if (!instance) {
        instance = std::make_unique<MissionControl>();
        registerSharedReset([] { slot().reset(); });
    }
    return *instance;
}

MissionControl::MissionControl()
    : services_(std::make_unique<Services>())
    , showsWindows_(desktopSession())
{
}

MissionControl::~MissionControl() = default;

void MissionControl::setBehavior(const Behavior& behavior)
{
    behavior_ = behavior;
    if (open_)
        rebuild();
}

// --- host -------------------------------------------------------------------------

bool MissionControl::isWindowManagerHost() const
{
    return SystemInfo::operatingSystemMajorVersion() >= windowManagerVersion;
}

QString MissionControl::hostBundleID() const
{
    return isWindowManagerHost() ? QStringLiteral("com.apple.WindowManager") : QStringLiteral("com.apple.dock");
}

QString MissionControl::hostOwnerName() const
{
    return isWindowManagerHost() ? QStringLiteral("WindowManager") : QStringLiteral("Dock");
}

int MissionControl::hostLayer() const
{
    return isWindowManagerHost() ? 19 : 18;
}

qint32 MissionControl::hostPID()
{
    World& world = World::shared();
    Lock lock(world.mutex());
    auto& d = world.internals();
    for (const auto& app : d.apps) {
        if (app.bundleID == hostBundleID() && !app.terminated)
            return hostPID_ = app.pid;
    }
    qint32 pid = hostPID_ > 0 ? hostPID_ + 1000 : (isWindowManagerHost() ? 96 : 95);
    while (d.findApp(pid))
        ++pid;
    AppSpec host;
    host.pid = pid;
    host.bundleID = hostBundleID();
    host.name = hostOwnerName();
    host.policy = ActivationPolicy::prohibited;
    world.addApp(host);
    return hostPID_ = pid;
}

void MissionControl::killHost()
{
    const qint32 pid = hostPID();
    const bool wasOpen = open_;
    removeWindows();
    removeTree();
    hideWindows();
    open_ = expanded_ = closing_ = false;
    ++session_;
    if (wasOpen)
        ++closes_;
    World::shared().setAppTerminated(pid, true);
    readsUntilDeath_ = -1;
}

void MissionControl::restartHost()
{
    const bool wasOpen = open_;
    killHost();
    hostPID();
    if (wasOpen)
        open();
}

void MissionControl::killHostAfterBatchReads(int reads)
{
    readsUntilDeath_ = reads;
}

void MissionControl::noteBatchRead(qint32 pid)
{
    if (readsUntilDeath_ < 0 || pid != hostPID_)
        return;
    if (readsUntilDeath_ == 0)
        killHost();
    else
        --readsUntilDeath_;
}

// --- open and close -------------------------------------------------------------

void MissionControl::open()
{
    if (open_ && !closing_)
        return;
    hostPID();
    ++session_;
    ++opens_;
    open_ = true;
    closing_ = false;
    expanded_ = false;
    removeWindows();
    addWindows();
    buildTree();
    showWindows();
    postNotification(id("AXCreated"));
    if (behavior_.expandDelay >= 0) {
        const quint64 session = session_;
        Scheduler::current().schedule(behavior_.expandDelay, [session] {
            MissionControl& mc = MissionControl::shared();
            if (mc.session_ == session && mc.open_ && !mc.closing_)
                mc.expand();
        });
    }
}

void MissionControl::close()
{
    if (!open_ || closing_)
        return;
    closing_ = true;
    hideWindows();
    updateGeometry();
    postNotification(id("AXUIElementDestroyed"));
    const quint64 session = ++session_;
    if (behavior_.closeDuration <= 0) {
        finishClose(session);
        return;
    }
    Scheduler::current().schedule(behavior_.closeDuration, [session] { MissionControl::shared().finishClose(session); });
}

void MissionControl::finishClose(quint64 session)
{
    if (session != session_ || !closing_)
        return;
    removeWindows();
    removeTree();
    hideWindows();
    open_ = expanded_ = closing_ = false;
    ++closes_;
}

void MissionControl::toggle()
{
    if (open_ && !closing_)
        close();
    else
        open();
}

void MissionControl::expand()
{
    if (!open_ || expanded_)
        return;
    expanded_ = true;
    updateGeometry();
    redrawWindows();
    postNotification(id("AXSelectedChildrenChanged"));
}

void MissionControl::rebuild()
{
    if (!open_)
        return;
    buildTree();
    if (!closing_)
        showWindows();
}

// --- on a desktop session ---------------------------------------------------------

void MissionControl::setShowsWindows(bool shows)
{
    showsWindows_ = shows;
    if (shows && open_ && !closing_)
        showWindows();
    else
        hideWindows();
}

QList<QWidget*> MissionControl::windows() const
{
    QList<QWidget*> shown;
    for (const auto& view : views_) {
        if (view->isVisible())
            shown.append(view.get());
    }
    return shown;
}

void MissionControl::showWindows()
{
    if (!showsWindows_)
        return;
    const QList<DisplaySpec> displays = World::shared().displays();
    bool same = qsizetype(views_.size()) == displays.size();
    for (qsizetype i = 0; same && i < displays.size(); ++i)
        same = static_cast<MissionControlWindow*>(views_[size_t(i)].get())->displayUUID() == displays[i].uuid;
    if (!same) {
        views_.clear();
        for (const auto& display : displays)
            views_.push_back(std::make_unique<MissionControlWindow>(display.uuid));
    }
    for (const auto& view : views_) {
        static_cast<MissionControlWindow*>(view.get())->place();
        view->update();
        // Raised only when it comes, so the app's labels shown over it since
        // stay above.
        if (!view->isVisible()) {
            view->show();
            view->raise();
        }
    }
    // Mission Control takes the keyboard, so Escape reaches it.
    if (!views_.empty())
        views_.front()->activateWindow();
}

void MissionControl::hideWindows()
{
    for (const auto& view : views_)
        view->hide();
}

void MissionControl::redrawWindows()
{
    for (const auto& view : views_) {
        if (view->isVisible())
            view->update();
    }
}

QList<MissionControl::DisplayPicture> MissionControl::pictures() const
{
    QList<DisplayPicture> result;
    if (!open_)
        return result;
    const bool windowManager = isWindowManagerHost();
    for (const auto& place :
         placesOf(World::shared().displays(), behavior_.numbering, windowManager, expanded_, closing_)) {
        DisplayPicture picture;
        picture.uuid = place.uuid;
        picture.screen = place.screen;
        picture.scene.backdrop = place.screen;
        picture.scene.bar = place.bar;
        for (const auto& button : place.buttons) {
            const QString caption = QStringLiteral("Desktop ") + QString::number(button.label);
            if (!expanded_) {
                picture.scene.captions.append({caption, button.rect.center()});
                continue;
            }
            QRectF preview = button.rect;
            if (windowManager)
                preview = QRectF(button.rect.x() + windowManagerThumbnailSide,
                                 button.rect.y() + windowManagerThumbnailTop,
                                 button.rect.width() - 2 * windowManagerThumbnailSide, thumbnailHeight);
            picture.scene.previews.append(preview);
            picture.scene.captions.append(
                {caption, QPointF(preview.center().x(), (preview.bottom() + place.bar.bottom()) / 2)});
        }
        result.append(picture);
    }
    return result;
}

void MissionControl::userClick(const QPointF& location)
{
    if (!open_ || closing_)
        return;
    const QList<DisplayPlace> places =
        placesOf(World::shared().displays(), behavior_.numbering, isWindowManagerHost(), expanded_, closing_);
    qsizetype index = 0;
    for (const auto& place : places) {
        for (const auto& button : place.buttons) {
            if (button.rect.contains(location) && index < buttons_.size()) {
                // The press an app's accessibility action makes.
                AX::performAction(buttons_[index].element, id("AXPress"));
                return;
            }
            ++index;
        }
        if (place.bar.contains(location))
            return;
    }
    close();
}

// --- windows ------------------------------------------------------------------------

void MissionControl::addWindows()
{
    World& world = World::shared();
    const QList<DisplaySpec> displays = world.displays();
    const double primaryHeight = displays.isEmpty() ? 0 : displays.first().frame.height();
    auto add = [&](int layer, const QRectF& bounds) {
        WindowSpec window;
        window.number = firstWindowNumber + windows_.size();
        window.ownerPID = hostPID_;
        window.layer = layer;
        window.bounds = bounds;
        world.addWindow(window);
        windows_.append(window.number);
    };
    auto boundsOf = [&](const DisplaySpec& display) {
        const QRectF& f = display.frame;
        return QRectF(f.x(), primaryHeight - f.y() - f.height(), f.width(), f.height());
    };
    if (behavior_.windows == WindowStyle::hostLayer) {
        add(hostLayer(), displays.isEmpty() ? QRectF() : boundsOf(displays.first()));
        return;
    }
    for (const auto& display : displays)
        add(screenSizedLayer, boundsOf(display));
    add(screenSizedLayer, displays.isEmpty() ? QRectF() : boundsOf(displays.first()));
}

void MissionControl::removeWindows()
{
    for (qint64 number : std::as_const(windows_))
        World::shared().removeWindow(number);
    windows_.clear();
}

// --- the tree ---------------------------------------------------------------------------

void MissionControl::removeTree()
{
    if (!root_.isNull())
        World::shared().removeElement(root_);
    root_ = {};
    bars_.clear();
    buttons_.clear();
}

void MissionControl::buildTree()
{
    removeTree();
    World& world = World::shared();
    const bool windowManager = isWindowManagerHost();
    const QList<DisplaySpec> displays = world.displays();
    const QList<DisplayPlace> places = placesOf(displays, behavior_.numbering, windowManager, expanded_, closing_);
    const bool perDisplay = displays.size() > 1 || behavior_.displayElementsAlways;
    QVariantMap rootAttributes{{id("AXIdentifier"), id("mc")}, {id("AXRole"), id("AXGroup")}};
    if (!perDisplay && !places.isEmpty())
        rootAttributes.insert(id("AXDisplayID"), QVariant::fromValue<qlonglong>(places.first().displayID));
    root_ = world.addElement(hostPID_, {}, rootAttributes);
    for (const auto& place : places) {
        AX::Element parent = root_;
        if (perDisplay)
            parent = world.addElement(hostPID_, root_,
                                      {{id("AXIdentifier"), id("mc.display")},
                                       {id("AXRole"), id("AXGroup")},
                                       {id("AXDisplayID"), QVariant::fromValue<qlonglong>(place.displayID)}});
        for (int level = 0; level < behavior_.extraNesting; ++level)
            parent = world.addElement(hostPID_, parent, {{id("AXRole"), id("AXGroup")}});
        const AX::Element spaces =
            world.addElement(hostPID_, parent, {{id("AXIdentifier"), id("mc.spaces")}, {id("AXRole"), id("AXGroup")}});
        const AX::Element list = world.addElement(hostPID_, spaces,
                                                  {{id("AXIdentifier"), id("mc.spaces.list")},
                                                   {id("AXRole"), id("AXList")},
                                                   {id("AXPosition"), place.bar.topLeft()},
                                                   {id("AXSize"), place.bar.size()}});
        bars_.append({list, place.displayID});
        for (const auto& button : place.buttons) {
            const AX::Element element = world.addElement(hostPID_, list, buttonAttributes(button, windowManager));
            const QString uuid = place.uuid;
            const quint64 spaceID = button.spaceID;
            world.setActionHandler(element, id("AXPress"), [uuid, spaceID] {
                MissionControl::shared().pressButton(uuid, spaceID);
                return AX::Error::success;
            });
            buttons_.append({element, place.displayID, button.label});
        }
    }
}

void MissionControl::updateGeometry()
{
    redrawWindows();
    if (root_.isNull())
        return;
    World& world = World::shared();
    const bool windowManager = isWindowManagerHost();
    const QList<DisplayPlace> places =
        placesOf(world.displays(), behavior_.numbering, windowManager, expanded_, closing_);
    qsizetype index = 0;
    for (qsizetype i = 0; i < places.size() && i < bars_.size(); ++i) {
        world.setElementAttribute(bars_[i].list, id("AXPosition"), places[i].bar.topLeft());
        world.setElementAttribute(bars_[i].list, id("AXSize"), places[i].bar.size());
        for (const auto& button : places[i].buttons) {
            if (index >= buttons_.size())
                return;
            const QVariantMap attributes = buttonAttributes(button, windowManager);
            for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
                world.setElementAttribute(buttons_[index].element, it.key(), it.value());
            ++index;
        }
    }
}

QList<AX::Element> MissionControl::buttons() const
{
    QList<AX::Element> result;
    for (const auto& button : buttons_)
        result.append(button.element);
    return result;
}

std::optional<QPointF> MissionControl::buttonCentre(qint64 label, quint32 displayID) const
{
    World& world = World::shared();
    Lock lock(world.mutex());
    for (const auto& button : buttons_) {
        if (button.label != label || (displayID != 0 && button.displayID != displayID))
            continue;
        const ElementNode* node = world.internals().node(button.element.handle());
        if (!node)
            continue;
        const QPointF position = node->attributes.value(id("AXPosition")).toPointF();
        const QSizeF size = node->attributes.value(id("AXSize")).toSizeF();
        return isWindowManagerHost() ? position : QRectF(position, size).center();
    }
    return std::nullopt;
}

void MissionControl::pressButton(const QString& displayUUID, quint64 spaceID)
{
    ++presses_;
    if (!behavior_.pressWorks || !open_ || closing_)
        return;
    World::shared().setCurrentSpace(displayUUID, spaceID);
    close();
}

// --- notifications ----------------------------------------------------------------------

void MissionControl::postNotification(const QString& name)
{
    const qint32 pid = hostPID_;
    Scheduler::current().schedule(0, [pid, name] {
        MissionControl& mc = MissionControl::shared();
        World& world = World::shared();
        quint64 application = 0;
        {
            Lock lock(world.mutex());
            const AppSpec* app = world.internals().findApp(pid);
            if (!app || app->terminated)
                return;
            application = world.internals().applicationElements.value(pid);
        }
        // Copy the deliveries first: a callback may change the observers.
        std::vector<std::pair<quint64, void*>> deliveries;
        for (const auto& [handle, observer] : mc.services().observers) {
            if (observer.pid != pid || !observer.sourceAdded)
                continue;
            for (const auto& registration : observer.registrations) {
                if (registration.name == name && registration.element == application)
                    deliveries.emplace_back(handle, registration.context);
            }
        }
        for (const auto& [handle, context] : deliveries) {
            auto it = mc.services().observers.find(handle);
            if (it == mc.services().observers.end() || !it->second.sourceAdded)
                continue;
            const AX::ObserverCallback callback = it->second.callback;
            if (callback)
                callback(AX::Observer(handle), AX::Element(application), name, context);
        }
    });
}

int MissionControl::observerCount(qint32 pid) const
{
    int count = 0;
    for (const auto& [handle, observer] : services_->observers) {
        if (observer.pid == pid)
            ++count;
    }
    return count;
}

QStringList MissionControl::observedNotifications(qint32 pid) const
{
    QStringList names;
    for (const auto& [handle, observer] : services_->observers) {
        if (observer.pid != pid)
            continue;
        for (const auto& registration : observer.registrations)
            names.append(registration.name);
    }
    return names;
}

// --- input -----------------------------------------------------------------------------------

void MissionControl::deliverTap(EventTap::EventType type, const QPointF& location)
{
    std::vector<EventTap::Callback> callbacks;
    for (const auto& [port, tap] : services_->taps) {
        if (tap.enabled && (tap.mask & EventTap::maskBit(type)) && tap.callback)
            callbacks.push_back(tap.callback);
    }
    for (const auto& callback : callbacks)
        callback({type, location});
}

void MissionControl::mouseDown(const QPointF& location)
{
    World::shared().noteInputEvent(EventSource::EventType::leftMouseDown);
    deliverTap(EventTap::EventType::leftMouseDown, location);
}

void MissionControl::mouseUp(const QPointF& location)
{
    World::shared().noteInputEvent(EventSource::EventType::leftMouseDown);
    deliverTap(EventTap::EventType::leftMouseUp, location);
}

void MissionControl::click(const QPointF& location)
{
    mouseDown(location);
    mouseUp(location);
}

void MissionControl::disableTapsByTimeout()
{
    std::vector<EventTap::Callback> callbacks;
    for (auto& [port, tap] : services_->taps) {
        if (!tap.enabled)
            continue;
        tap.enabled = false;
        if (tap.callback)
            callbacks.push_back(tap.callback);
    }
    for (const auto& callback : callbacks)
        callback({EventTap::EventType::tapDisabledByTimeout, {}});
}

int MissionControl::tapCount() const
{
    return int(services_->taps.size());
}

// --- sleep and session ----------------------------------------------------------------------

void MissionControl::sleepScreens()
{
    NotificationCenter::workspaceCenter().post(notifications::screensDidSleep);
}

void MissionControl::wakeScreens()
{
    NotificationCenter::workspaceCenter().post(notifications::screensDidWake);
}

void MissionControl::resignSession()
{
    NotificationCenter::workspaceCenter().post(notifications::sessionDidResignActive);
}

void MissionControl::becomeActiveSession()
{
    NotificationCenter::workspaceCenter().post(notifications::sessionDidBecomeActive);
}

} // namespace platform::sim

// --- accessibility: batch reads and observers -------------------------------------------

namespace platform::AX {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

bool isPerAttributeError(Error error)
{
    return error == Error::attributeUnsupported || error == Error::noValue || error == Error::failure;
}

qint32 processOf(const Element& element)
{
    sim::World& world = sim::World::shared();
    Lock lock(world.mutex());
    const sim::ElementNode* node = world.internals().node(element.handle());
    return node ? node->pid : 0;
}

} // namespace

Error copyMultipleAttributeValues(const Element& element, const QStringList& attributes, quint32, QVariantList* values)
{
    if (!values)
        return Error::illegalArgument;
    sim::MissionControl::shared().noteBatchRead(processOf(element));
    QVariantList answer;
    answer.reserve(attributes.size());
    for (const QString& attribute : attributes) {
        QVariant value;
        const Error error = copyAttributeValue(element, attribute, &value);
        if (error == Error::success)
            answer.append(value);
        else if (isPerAttributeError(error))
            answer.append(QVariant::fromValue(ValueError{error}));
        else
            return error;
    }
    *values = answer;
    return Error::success;
}

Error observerCreate(qint32 processIdentifier, ObserverCallback callback, Observer* out)
{
    if (!out)
        return Error::illegalArgument;
    sim::MissionControl& mc = sim::MissionControl::shared();
    {
        sim::World& world = sim::World::shared();
        Lock lock(world.mutex());
        if (!world.internals().trusted)
            return Error::apiDisabled;
        const sim::AppSpec* app = world.internals().findApp(processIdentifier);
        if (!app || app->terminated)
            return Error::illegalArgument;
    }
    if (mc.refusesObservers())
        return Error::failure;
    auto& services = mc.services();
    const quint64 handle = services.nextObserver++;
    services.observers[handle] = {processIdentifier, std::move(callback), {}, false};
    *out = Observer(handle);
    return Error::success;
}

Error observerAddNotification(const Observer& observer, const Element& element, const QString& notification,
                              void* context)
{
    sim::MissionControl& mc = sim::MissionControl::shared();
    auto it = mc.services().observers.find(observer.handle());
    if (it == mc.services().observers.end())
        return Error::illegalArgument;
    {
        sim::World& world = sim::World::shared();
        Lock lock(world.mutex());
        if (!world.internals().trusted)
            return Error::apiDisabled;
        if (!world.internals().node(element.handle()))
            return Error::invalidUIElement;
    }
    if (mc.failsNotificationAdd(notification))
        return Error::failure;
    it->second.registrations.append({element.handle(), notification, context});
    return Error::success;
}

Error observerRemoveNotification(const Observer& observer, const Element& element, const QString& notification)
{
    auto& observers = sim::MissionControl::shared().services().observers;
    auto it = observers.find(observer.handle());
    if (it == observers.end())
        return Error::illegalArgument;
    const auto removed = it->second.registrations.removeIf([&](const auto& registration) {
        return registration.element == element.handle() && registration.name == notification;
    });
    return removed > 0 ? Error::success : Error::failure;
}

void observerSetRunLoopSourceAdded(const Observer& observer, bool added)
{
    auto& observers = sim::MissionControl::shared().services().observers;
    auto it = observers.find(observer.handle());
    if (it != observers.end())
        it->second.sourceAdded = added;
}

void observerRelease(const Observer& observer)
{
    sim::MissionControl::shared().services().observers.erase(observer.handle());
}

} // namespace platform::AX

// --- event taps ----------------------------------------------------------------------------

namespace platform::EventTap {

Port createListenOnly(quint64 mask, Callback callback)
{
    sim::MissionControl& mc = sim::MissionControl::shared();
    if (mc.refusesEventTaps())
        return 0;
    auto& services = mc.services();
    const Port port = services.nextTap++;
    services.taps[port] = {mask, std::move(callback), true};
    return port;
}

void enable(Port port, bool enabled)
{
    auto& taps = sim::MissionControl::shared().services().taps;
    auto it = taps.find(port);
    if (it != taps.end())
        it->second.enabled = enabled;
}

bool isEnabled(Port port)
{
    auto& taps = sim::MissionControl::shared().services().taps;
    auto it = taps.find(port);
    return it != taps.end() && it->second.enabled;
}

void release(Port port)
{
    sim::MissionControl::shared().services().taps.erase(port);
}

} // namespace platform::EventTap
