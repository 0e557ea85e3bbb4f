#include "platform/sim/World.h"

#include "platform/SystemInfo.h"
#include "platform/sim/SystemVersion.h"

#include "platform/EventSource.h"
#include "platform/Lifetime.h"
#include "platform/NotificationCenter.h"
#include "platform/Scheduler.h"
#include "platform/SystemLog.h"
#include "platform/sim/DesktopShortcuts.h"
#include "platform/sim/WorldState.h"

#include <QFile>

#include <algorithm>
#include <limits>

namespace platform::sim {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

std::unique_ptr<World>& worldSlot()
{
    static std::unique_ptr<World> world;
    return world;
}

constexpr double bootSecondsBeforeStart = 3600;
constexpr qint32 defaultDockPID = 95;

// The clocks a desktop session's idle time stands for: keys and the pointer
// (the window system has no trackpad gestures to report).
bool isSessionInput(quint32 eventType)
{
    using namespace EventSource::EventType;
    switch (eventType) {
    case leftMouseDown:
    case leftMouseUp:
    case rightMouseDown:
    case rightMouseUp:
    case mouseMoved:
    case keyDown:
    case flagsChanged:
    case scrollWheel:
    case anyInput:
        return true;
    default:
        return false;
    }
}

QString dockBundleID()
{
    return QStringLiteral("com.apple.dock");
}

} // namespace

// --- Internals --------------------------------------------------------------

void World::Internals::dropDisplayAnswers()
{
    displaySpacesAnswer.reset();
    // The on-screen window list depends on the current spaces.
    windowListAnswers.clear();
}

void World::Internals::dropWindowAnswers()
{
    windowListAnswers.clear();
    windowsBySpaceAnswers.clear();
}

void World::Internals::reindexApps()
{
    appIndex.clear();
    for (qsizetype i = 0; i < apps.size(); ++i)
        appIndex.insert(apps[i].pid, i);
}

DisplaySpec* World::Internals::findDisplay(const QString& uuid)
{
    for (auto& display : displays) {
        if (display.uuid == uuid)
            return &display;
    }
    return nullptr;
}

const AppSpec* World::Internals::findApp(qint32 pid) const
{
    auto it = appIndex.constFind(pid);
    return it == appIndex.constEnd() ? nullptr : &apps[it.value()];
}

quint64 World::Internals::applicationElement(qint32 pid)
{
    auto it = applicationElements.constFind(pid);
    if (it != applicationElements.constEnd())
        return it.value();
    const quint64 handle = nextElement++;
    ElementNode root;
    root.pid = pid;
    root.attributes.insert(QStringLiteral("AXRole"), QStringLiteral("AXApplication"));
    elements.emplace(handle, std::move(root));
    applicationElements.insert(pid, handle);
    return handle;
}

const ElementNode* World::Internals::node(quint64 handle) const
{
    auto it = elements.find(handle);
    return it == elements.end() ? nullptr : &it->second;
}

ElementNode* World::Internals::node(quint64 handle)
{
    auto it = elements.find(handle);
    return it == elements.end() ? nullptr : &it->second;
}

void World::Internals::removeElementTree(quint64 handle)
{
    ElementNode* element = node(handle);
    if (!element)
        return;
    const QList<quint64> children = element->children;
    for (quint64 child : children) {
        // Linked elements belong to another parent.
        const ElementNode* childNode = node(child);
        if (childNode && childNode->parent == handle)
            removeElementTree(child);
    }
    if (ElementNode* parentNode = node(element->parent))
        parentNode->children.removeAll(handle);
    if (applicationElements.value(element->pid) == handle)
        applicationElements.remove(element->pid);
    elements.erase(handle);
}

// --- life ---------------------------------------------------------------------

World& World::shared()
{
    auto& slot = worldSlot();
    if (!slot) {
        slot = std::make_unique<World>();
        registerSharedReset([] { worldSlot().reset(); });
        const QString path = qEnvironmentVariable("TESSAROOM_SIM_WORLD");
        QString error;
        if (!path.isEmpty() && !slot->loadFile(path, &error))
            SystemLog::write(QStringLiteral("Tessaroom: simulated world file %1 not used (%2); using the default world")
                                 .arg(path, error));
        // The Dock starts with the world and loads the desktop shortcuts.
        restartDock();
    }
    return *slot;
}

World::World()
    : d_(std::make_unique<Internals>())
{
    const double start = platform::now();
    d_->bootTime = start - bootSecondsBeforeStart;
    d_->lastEvent[EventSource::EventType::mouseMoved] = start;
    d_->lastEvent[EventSource::EventType::keyDown] = start;
    loadDefault();
}

World::~World() = default;

namespace {

void applyContents(World& world, World::Internals& d, const WorldContents& contents)
{
    d.displays = contents.displays;
    for (auto& display : d.displays) {
        if (display.currentSpaceID == 0 && !display.spaces.isEmpty())
            display.currentSpaceID = display.spaces.first().id;
    }
    d.activeMenuBarDisplay = contents.activeMenuBarDisplay;
    if (!d.activeMenuBarDisplay && !d.displays.isEmpty())
        d.activeMenuBarDisplay = d.displays.first().uuid;
    d.apps = contents.apps;
    d.reindexApps();
    d.frontmostApp = contents.frontmostApp;
    d.windows = contents.windows;
    if (contents.ownPID)
        d.ownPID = *contents.ownPID;
    d.trusted = contents.trusted;
    d.fromFile = false;
    d.windowSystemOrigin = QPoint();
    d.elements.clear();
    d.applicationElements.clear();
    d.dockList = 0;
    d.dropDisplayAnswers();
    d.dropWindowAnswers();
    if (!contents.dockItems.isEmpty())
        world.setDockItems(contents.dockItems);
}

} // namespace

void World::clear()
{
    {
        Lock lock(mutex_);
        applyContents(*this, *d_, WorldContents{});
    }
    announceScreenChange();
}

void World::loadDefault()
{
    Lock lock(mutex_);
    applyContents(*this, *d_, WorldFile::defaultContents());
}

bool World::loadFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open the file: ") + file.errorString();
        return false;
    }
    return loadJson(file.readAll(), error);
}

bool World::loadJson(const QByteArray& json, QString* error)
{
    auto contents = WorldFile::parse(json, error);
    if (!contents)
        return false;
    Lock lock(mutex_);
    applyContents(*this, *d_, *contents);
    d_->fromFile = true;
    return true;
}

bool World::loadedFromFile() const
{
    Lock lock(mutex_);
    return d_->fromFile;
}

// --- announcements ----------------------------------------------------------------

void World::announceSpaceChange()
{
    Scheduler::current().schedule(0, [] {
        NotificationCenter::workspaceCenter().post(notifications::activeSpaceDidChange);
    });
}

void World::announceScreenChange()
{
    Scheduler::current().schedule(0, [] {
        NotificationCenter::defaultCenter().post(notifications::screenParametersDidChange);
    });
}

// --- displays and spaces ------------------------------------------------------------

void World::addDisplay(const DisplaySpec& display)
{
    {
        Lock lock(mutex_);
        DisplaySpec added = display;
        if (added.currentSpaceID == 0 && !added.spaces.isEmpty())
            added.currentSpaceID = added.spaces.first().id;
        if (DisplaySpec* existing = d_->findDisplay(display.uuid))
            *existing = added;
        else
            d_->displays.append(added);
        if (!d_->activeMenuBarDisplay)
            d_->activeMenuBarDisplay = added.uuid;
        d_->dropDisplayAnswers();
    }
    announceScreenChange();
}

void World::removeDisplay(const QString& uuid)
{
    {
        Lock lock(mutex_);
        d_->displays.removeIf([&](const DisplaySpec& display) { return display.uuid == uuid; });
        if (d_->activeMenuBarDisplay == uuid) {
            d_->activeMenuBarDisplay.reset();
            if (!d_->displays.isEmpty())
                d_->activeMenuBarDisplay = d_->displays.first().uuid;
        }
        d_->dropDisplayAnswers();
    }
    announceScreenChange();
}

QList<DisplaySpec> World::displays() const
{
    Lock lock(mutex_);
    return d_->displays;
}

std::optional<DisplaySpec> World::display(const QString& uuid) const
{
    Lock lock(mutex_);
    if (const DisplaySpec* found = d_->findDisplay(uuid))
        return *found;
    return std::nullopt;
}

void World::setDisplayFrame(const QString& uuid, const QRectF& frame, const QRectF& visibleFrame)
{
    {
        Lock lock(mutex_);
        DisplaySpec* display = d_->findDisplay(uuid);
        if (!display)
            return;
        display->frame = frame;
        display->visibleFrame = visibleFrame;
    }
    announceScreenChange();
}

void World::replaceDisplays(const QList<DisplaySpec>& displays)
{
    {
        Lock lock(mutex_);
        d_->displays = displays;
        for (auto& display : d_->displays) {
            if (display.currentSpaceID == 0 && !display.spaces.isEmpty())
                display.currentSpaceID = display.spaces.first().id;
        }
        if (!d_->activeMenuBarDisplay || !d_->findDisplay(*d_->activeMenuBarDisplay)) {
            d_->activeMenuBarDisplay.reset();
            if (!d_->displays.isEmpty())
                d_->activeMenuBarDisplay = d_->displays.first().uuid;
        }
        d_->dropDisplayAnswers();
    }
    announceScreenChange();
}

void World::setWindowSystemOrigin(const QPoint& topLeftOfPrimary)
{
    Lock lock(mutex_);
    d_->windowSystemOrigin = topLeftOfPrimary;
}

QPoint World::windowSystemOrigin() const
{
    Lock lock(mutex_);
    return d_->windowSystemOrigin;
}

void World::addSpace(const QString& uuid, const SpaceSpec& space, int index)
{
    Lock lock(mutex_);
    DisplaySpec* display = d_->findDisplay(uuid);
    if (!display)
        return;
    if (index < 0 || index > display->spaces.size())
        display->spaces.append(space);
    else
        display->spaces.insert(index, space);
    if (display->currentSpaceID == 0)
        display->currentSpaceID = space.id;
    d_->dropDisplayAnswers();
}

void World::removeSpace(quint64 spaceID)
{
    bool currentChanged = false;
    {
        Lock lock(mutex_);
        for (auto& display : d_->displays) {
            const auto removed = display.spaces.removeIf([&](const SpaceSpec& space) { return space.id == spaceID; });
            if (removed == 0 || display.currentSpaceID != spaceID)
                continue;
            display.currentSpaceID = display.spaces.isEmpty() ? 0 : display.spaces.first().id;
            currentChanged = true;
        }
        d_->dropDisplayAnswers();
    }
    if (currentChanged)
        announceSpaceChange();
}

std::optional<quint64> World::currentSpace(const QString& uuid) const
{
    Lock lock(mutex_);
    if (const DisplaySpec* display = d_->findDisplay(uuid))
        return display->currentSpaceID;
    return std::nullopt;
}

bool World::setCurrentSpace(const QString& uuid, quint64 spaceID)
{
    {
        Lock lock(mutex_);
        DisplaySpec* display = d_->findDisplay(uuid);
        if (!display)
            return false;
        const bool holds = std::any_of(display->spaces.cbegin(), display->spaces.cend(),
                                       [&](const SpaceSpec& space) { return space.id == spaceID; });
        if (!holds)
            return false;
        if (display->currentSpaceID == spaceID)
            return true;
        display->currentSpaceID = spaceID;
        d_->dropDisplayAnswers();
    }
    announceSpaceChange();
    return true;
}

void World::setActiveMenuBarDisplay(const std::optional<QString>& uuid)
{
    Lock lock(mutex_);
    d_->activeMenuBarDisplay = uuid;
}

std::optional<QString> World::activeMenuBarDisplay() const
{
    Lock lock(mutex_);
    return d_->activeMenuBarDisplay;
}

std::optional<QString> World::displayOfSpace(quint64 spaceID) const
{
    Lock lock(mutex_);
    for (const auto& display : d_->displays) {
        for (const auto& space : display.spaces) {
            if (space.id == spaceID)
                return display.uuid;
        }
    }
    return std::nullopt;
}

// --- windows ---------------------------------------------------------------------

void World::addWindow(const WindowSpec& window)
{
    Lock lock(mutex_);
    auto it = std::find_if(d_->windows.begin(), d_->windows.end(),
                           [&](const WindowSpec& w) { return w.number == window.number; });
    if (it != d_->windows.end())
        *it = window;
    else
        d_->windows.prepend(window);
    d_->dropWindowAnswers();
}

void World::removeWindow(qint64 number)
{
    Lock lock(mutex_);
    d_->windows.removeIf([&](const WindowSpec& w) { return w.number == number; });
    d_->dropWindowAnswers();
}

void World::bringWindowToFront(qint64 number)
{
    Lock lock(mutex_);
    auto it = std::find_if(d_->windows.begin(), d_->windows.end(),
                           [&](const WindowSpec& w) { return w.number == number; });
    if (it == d_->windows.end())
        return;
    WindowSpec window = *it;
    d_->windows.erase(it);
    d_->windows.prepend(window);
    d_->dropWindowAnswers();
}

void World::moveWindowToSpace(qint64 number, quint64 spaceID)
{
    Lock lock(mutex_);
    for (auto& window : d_->windows) {
        if (window.number == number)
            window.spaces = {spaceID};
    }
    d_->dropWindowAnswers();
}

QList<WindowSpec> World::windows() const
{
    Lock lock(mutex_);
    return d_->windows;
}

std::optional<WindowSpec> World::window(qint64 number) const
{
    Lock lock(mutex_);
    for (const auto& window : d_->windows) {
        if (window.number == number)
            return window;
    }
    return std::nullopt;
}

// --- applications ---------------------------------------------------------------------

void World::addApp(const AppSpec& app)
{
    Lock lock(mutex_);
    auto it = d_->appIndex.constFind(app.pid);
    if (it != d_->appIndex.constEnd())
        d_->apps[it.value()] = app;
    else
        d_->apps.append(app);
    d_->reindexApps();
}

void World::removeApp(qint32 pid)
{
    Lock lock(mutex_);
    d_->apps.removeIf([&](const AppSpec& app) { return app.pid == pid; });
    d_->reindexApps();
    if (d_->frontmostApp == pid)
        d_->frontmostApp.reset();
}

void World::setAppTerminated(qint32 pid, bool terminated)
{
    Lock lock(mutex_);
    auto it = d_->appIndex.constFind(pid);
    if (it != d_->appIndex.constEnd())
        d_->apps[it.value()].terminated = terminated;
}

void World::setAppRefusesActivation(qint32 pid, bool refuses)
{
    Lock lock(mutex_);
    auto it = d_->appIndex.constFind(pid);
    if (it != d_->appIndex.constEnd())
        d_->apps[it.value()].refusesActivation = refuses;
}

void World::setFrontmostApp(std::optional<qint32> pid)
{
    Lock lock(mutex_);
    d_->frontmostApp = pid;
}

std::optional<qint32> World::frontmostApp() const
{
    Lock lock(mutex_);
    return d_->frontmostApp;
}

QList<qint32> World::activationRequests() const
{
    Lock lock(mutex_);
    return d_->activationRequests;
}

qint32 World::ownPID() const
{
    Lock lock(mutex_);
    return d_->ownPID;
}

void World::setOwnPID(qint32 pid)
{
    Lock lock(mutex_);
    d_->ownPID = pid;
}

QList<QUrl> World::openedURLs() const
{
    Lock lock(mutex_);
    return d_->openedURLs;
}

// --- Accessibility -----------------------------------------------------------------------

void World::setTrusted(bool trusted)
{
    Lock lock(mutex_);
    d_->trusted = trusted;
}

bool World::trusted() const
{
    Lock lock(mutex_);
    return d_->trusted;
}

int World::trustPromptCount() const
{
    Lock lock(mutex_);
    return d_->trustPrompts;
}

AX::Element World::addElement(qint32 pid, const AX::Element& parent, const QVariantMap& attributes)
{
    Lock lock(mutex_);
    const quint64 parentHandle = parent.isNull() ? d_->applicationElement(pid) : parent.handle();
    ElementNode* parentNode = d_->node(parentHandle);
    if (!parentNode)
        return {};
    const quint64 handle = d_->nextElement++;
    parentNode->children.append(handle);
    ElementNode element;
    element.pid = pid;
    element.parent = parentHandle;
    element.attributes = attributes;
    d_->elements.emplace(handle, std::move(element));
    return AX::Element(handle);
}

void World::removeElement(const AX::Element& element)
{
    Lock lock(mutex_);
    d_->removeElementTree(element.handle());
}

void World::addElementLink(const AX::Element& parent, const AX::Element& child)
{
    Lock lock(mutex_);
    ElementNode* parentNode = d_->node(parent.handle());
    if (parentNode && d_->node(child.handle()))
        parentNode->children.append(child.handle());
}

void World::setElementAttribute(const AX::Element& element, const QString& attribute, const QVariant& value)
{
    Lock lock(mutex_);
    if (ElementNode* node = d_->node(element.handle()))
        node->attributes.insert(attribute, value);
}

void World::removeElementAttribute(const AX::Element& element, const QString& attribute)
{
    Lock lock(mutex_);
    if (ElementNode* node = d_->node(element.handle()))
        node->attributes.remove(attribute);
}

void World::setActionHandler(const AX::Element& element, const QString& action, std::function<AX::Error()> handler)
{
    Lock lock(mutex_);
    if (ElementNode* node = d_->node(element.handle()))
        node->actions.insert(action, std::move(handler));
}

void World::setElementError(const AX::Element& element, AX::Error error)
{
    Lock lock(mutex_);
    if (ElementNode* node = d_->node(element.handle()))
        node->error = error;
}

float World::messagingTimeout(const AX::Element& element) const
{
    Lock lock(mutex_);
    const ElementNode* node = d_->node(element.handle());
    return node ? node->messagingTimeout : 0;
}

QStringList World::attributeWrites() const
{
    Lock lock(mutex_);
    return d_->attributeWrites;
}

qint32 World::dockPID() const
{
    Lock lock(mutex_);
    for (const auto& app : d_->apps) {
        if (app.bundleID == dockBundleID())
            return app.pid;
    }
    return 0;
}

void World::setDockItems(const QList<DockItemSpec>& items)
{
    Lock lock(mutex_);
    qint32 pid = dockPID();
    if (pid == 0) {
        // A Dock of its own, under a pid no app of the world uses.
        pid = defaultDockPID;
        while (d_->findApp(pid))
            ++pid;
        AppSpec dock;
        dock.pid = pid;
        dock.bundleID = dockBundleID();
        dock.name = QStringLiteral("Dock");
        dock.policy = ActivationPolicy::accessory;
        dock.bundlePath = QStringLiteral("/System/Library/CoreServices/Dock.app");
        addApp(dock);
    }
    d_->removeElementTree(d_->dockList);
    const AX::Element list = addElement(pid, {}, {{QStringLiteral("AXRole"), QStringLiteral("AXList")}});
    d_->dockList = list.handle();
    for (const auto& item : items) {
        QVariantMap attributes{{QStringLiteral("AXRole"), QStringLiteral("AXDockItem")}};
        if (item.title)
            attributes.insert(QStringLiteral("AXTitle"), *item.title);
        if (item.statusLabel)
            attributes.insert(QStringLiteral("AXStatusLabel"), *item.statusLabel);
        if (item.url)
            attributes.insert(QStringLiteral("AXURL"), *item.url);
        if (item.running)
            attributes.insert(QStringLiteral("AXIsApplicationRunning"), *item.running);
        addElement(pid, list, attributes);
    }
}

// --- system -------------------------------------------------------------------------------

void World::setOperatingSystemMajorVersion(int version)
{
    setOperatingSystemVersion({version, 0, 0});
}

int World::operatingSystemMajorVersion() const
{
    return SystemInfo::operatingSystemMajorVersion();
}

// --- input clocks ------------------------------------------------------------------------------

void World::noteInputEvent(quint32 eventType)
{
    Lock lock(mutex_);
    d_->lastEvent[eventType] = platform::now();
}

void World::setSecondsSinceLastEvent(quint32 eventType, double seconds)
{
    Lock lock(mutex_);
    d_->lastEvent[eventType] = platform::now() - seconds;
}

void World::setSessionIdleClock(SessionIdleClock clock)
{
    Lock lock(mutex_);
    d_->sessionIdle = std::move(clock);
}

double World::secondsSinceLastEvent(quint32 eventType) const
{
    SessionIdleClock session;
    double simulated = 0;
    {
        Lock lock(mutex_);
        double last = d_->bootTime;
        if (eventType == EventSource::EventType::anyInput) {
            for (const auto& [type, time] : d_->lastEvent)
                last = std::max(last, time);
        } else {
            auto it = d_->lastEvent.find(eventType);
            if (it != d_->lastEvent.end())
                last = it->second;
        }
        simulated = std::max(0.0, platform::now() - last);
        if (isSessionInput(eventType))
            session = d_->sessionIdle;
    }
    // Asked outside the lock: the session's clock may wait for the window system.
    const std::optional<double> real = session ? session() : std::nullopt;
    return real && *real >= 0 ? std::min(simulated, *real) : simulated;
}

// --- answers and counters ------------------------------------------------------------------

void World::overrideAnswer(const QString& call, const std::optional<QVariant>& answer)
{
    Lock lock(mutex_);
    if (answer)
        d_->overrides.insert(call, *answer);
    else
        d_->overrides.remove(call);
}

int World::callCount(const QString& call) const
{
    Lock lock(mutex_);
    return d_->calls.value(call);
}

} // namespace platform::sim
