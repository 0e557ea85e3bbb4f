#include "platform/linux/RealScreens.h"

#include "platform/Lifetime.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QUuid>

#include <algorithm>
#include <map>

namespace platform::host {

namespace {

// Which display each attached screen shows, and the displays of detached
// screens, kept for their return.
struct Assignments {
    bool started = false;
    // World displays not yet given to a screen, in order.
    QStringList spare;
    std::map<QString, QString> uuidOfScreen;
    std::map<QString, sim::DisplaySpec> parked;
    // Follows the application's screens once asked to; goes with the
    // application object, or with these assignments.
    QPointer<QObject> follower;

    ~Assignments() { delete follower; }
};

Assignments& assignments()
{
    static Shared<Assignments> current([] { return new Assignments; });
    return current.get();
}

// A fixed uuid per screen name, so the same output gets the same display.
QString uuidForScreen(const QString& name)
{
    static const QUuid space(QStringLiteral("{6f1c2d8e-3b7a-4c55-9a0e-2f4d6b8c1e37}"));
    return QUuid::createUuidV5(space, name).toString(QUuid::WithoutBraces).toUpper();
}

// A display for a screen that has none: one desktop, ids after every id in use.
sim::DisplaySpec newDisplay(const QString& screenName, const QList<sim::DisplaySpec>& inUse)
{
    quint32 displayID = 0;
    quint64 spaceID = 0;
    qint64 managedID = 0;
    for (const sim::DisplaySpec& display : inUse) {
        displayID = std::max(displayID, display.displayID);
        for (const sim::SpaceSpec& space : display.spaces) {
            spaceID = std::max(spaceID, space.id);
            managedID = std::max(managedID, space.managedID);
        }
    }
    sim::DisplaySpec display;
    display.uuid = uuidForScreen(screenName);
    display.displayID = displayID + 1;
    display.spaces = {sim::SpaceSpec{spaceID + 1, managedID + 1, 0, std::nullopt}};
    display.currentSpaceID = spaceID + 1;
    return display;
}

// Toolkit geometry (y down from the primary's top) to screen coordinates
// (y up from the primary's bottom).
QRectF screenRect(const QRect& geometry, const QRect& primary)
{
    return QRectF(geometry.x() - primary.x(), (primary.y() + primary.height()) - (geometry.y() + geometry.height()),
                  geometry.width(), geometry.height());
}

} // namespace

void applyWindowSystemScreens(sim::World& world, const QList<WindowSystemScreen>& screens)
{
    if (screens.isEmpty())
        return;
    Assignments& state = assignments();
    const QList<sim::DisplaySpec> current = world.displays();
    if (!state.started) {
        state.started = true;
        for (const sim::DisplaySpec& display : current)
            state.spare.append(display.uuid);
    }
    auto find = [&](const QString& uuid) -> std::optional<sim::DisplaySpec> {
        for (const sim::DisplaySpec& display : current) {
            if (display.uuid == uuid)
                return display;
        }
        return std::nullopt;
    };

    // Displays of screens that went away are parked under the screen's name.
    for (auto it = state.uuidOfScreen.begin(); it != state.uuidOfScreen.end();) {
        const bool attached = std::any_of(screens.cbegin(), screens.cend(),
                                          [&](const WindowSystemScreen& screen) { return screen.name == it->first; });
        if (attached) {
            ++it;
            continue;
        }
        if (auto display = find(it->second))
            state.parked[it->first] = *display;
        it = state.uuidOfScreen.erase(it);
    }

    QList<sim::DisplaySpec> inUse = current;
    for (const auto& [name, display] : state.parked)
        inUse.append(display);
    const QRect primary = screens.first().geometry;
    QList<sim::DisplaySpec> next;
    for (const WindowSystemScreen& screen : screens) {
        std::optional<sim::DisplaySpec> display;
        if (auto it = state.uuidOfScreen.find(screen.name); it != state.uuidOfScreen.end())
            display = find(it->second);
        if (!display) {
            if (auto parked = state.parked.find(screen.name); parked != state.parked.end()) {
                display = parked->second;
                state.parked.erase(parked);
            }
        }
        while (!display && !state.spare.isEmpty())
            display = find(state.spare.takeFirst());
        if (!display) {
            display = newDisplay(screen.name, inUse);
            inUse.append(*display);
        }
        state.uuidOfScreen[screen.name] = display->uuid;
        display->name = screen.name;
        display->frame = screenRect(screen.geometry, primary);
        display->visibleFrame = screenRect(screen.availableGeometry, primary);
        display->notchLeft.reset();
        display->notchRight.reset();
        display->scale = screen.scale;
        next.append(*display);
    }
    world.setWindowSystemOrigin(primary.topLeft());
    if (next != current)
        world.replaceDisplays(next);
}

QList<WindowSystemScreen> applicationScreens()
{
    QList<WindowSystemScreen> result;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return result;
    QList<QScreen*> screens = QGuiApplication::screens();
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        screens.removeAll(primary);
        screens.prepend(primary);
    }
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QScreen* screen = screens[i];
        const QString name = screen->name().isEmpty() ? QStringLiteral("screen %1").arg(i + 1) : screen->name();
        result.append({name, screen->geometry(), screen->availableGeometry(), screen->devicePixelRatio()});
    }
    return result;
}

namespace {

// Re-applies the screens once per turn of the event loop, however many
// signals a change raises.
class ScreenFollower : public QObject {
public:
    explicit ScreenFollower(QObject* parent)
        : QObject(parent)
    {
        auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
            watch(screen);
            queueApply();
        });
        connect(app, &QGuiApplication::screenRemoved, this, [this] { queueApply(); });
        connect(app, &QGuiApplication::primaryScreenChanged, this, [this] { queueApply(); });
        for (QScreen* screen : QGuiApplication::screens())
            watch(screen);
    }

private:
    void watch(QScreen* screen)
    {
        connect(screen, &QScreen::geometryChanged, this, [this] { queueApply(); });
        connect(screen, &QScreen::availableGeometryChanged, this, [this] { queueApply(); });
        connect(screen, &QScreen::logicalDotsPerInchChanged, this, [this] { queueApply(); });
    }

    void queueApply()
    {
        if (queued_)
            return;
        queued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                queued_ = false;
                applyWindowSystemScreens(sim::World::shared(), applicationScreens());
            },
            Qt::QueuedConnection);
    }

    bool queued_ = false;
};

} // namespace

void followApplicationScreens()
{
    sim::World& world = sim::World::shared();
    Assignments& state = assignments();
    if (state.follower || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()) || world.loadedFromFile())
        return;
    state.follower = new ScreenFollower(QCoreApplication::instance());
    applyWindowSystemScreens(world, applicationScreens());
}

} // namespace platform::host
