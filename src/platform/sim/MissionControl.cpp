// The simulated Mission Control itself: its host process, opening and closing,
// its windows in the window list and its accessibility tree.
#include "platform/sim/MissionControl.h"

#include "platform/Lifetime.h"
#include "platform/Scheduler.h"
#include "platform/SystemInfo.h"
#include "platform/sim/MissionControlLayout.h"
#include "platform/sim/MissionControlServices.h"
#include "platform/sim/WorldState.h"

#include <QWidget>

namespace platform::sim {

namespace {

using namespace MissionControlLayout;
using Lock = std::lock_guard<std::recursive_mutex>;

constexpr int windowManagerVersion = 27;
constexpr qint64 firstWindowNumber = 90000;
constexpr int screenSizedLayer = 20;

QString id(const char* text)
{
    return QString::fromLatin1(text);
}

QVariantMap buttonAttributes(const ButtonPlace& button, bool windowManager)
{
    const QPointF position = windowManager ? button.rect.center() : button.rect.topLeft();
    return {
        {id("AXRole"), id("AXButton")},
        {id("AXDescription"), caption(button.label)},
        {id("AXPosition"), position},
        {id("AXSize"), button.rect.size()},
    };
}

} // namespace

// --- life -----------------------------------------------------------------------

MissionControl& MissionControl::shared()
{
    static Shared<MissionControl> instance([] { return new MissionControl; });
    return instance.get();
}

MissionControl::MissionControl()
    : services_(std::make_unique<Services>())
    , showsWindows_(onDesktopSession())
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

} // namespace platform::sim
