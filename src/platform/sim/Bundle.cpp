#include "platform/Bundle.h"
#include "platform/sim/Bundle.h"

#include "platform/Lifetime.h"

#include <QCoreApplication>

#ifndef TESSAROOM_VERSION
// The build passes the project version; this keeps a stray build usable.
#define TESSAROOM_VERSION "0.0.0"
#endif

namespace platform {

namespace {

struct BundleState {
    std::optional<QString> identifier = QStringLiteral("app.tessaroom");
    std::optional<QString> shortVersion = QStringLiteral(TESSAROOM_VERSION);
    std::optional<QString> path;
    QStringList registered;
};

BundleState*& stateSlot()
{
    static BundleState* state = nullptr;
    return state;
}

BundleState& state()
{
    auto*& slot = stateSlot();
    if (!slot) {
        slot = new BundleState;
        registerSharedReset([] {
            delete stateSlot();
            stateSlot() = nullptr;
        });
    }
    return *slot;
}

} // namespace

std::optional<QString> Bundle::identifier()
{
    return state().identifier;
}

std::optional<QString> Bundle::shortVersion()
{
    return state().shortVersion;
}

QString Bundle::bundlePath()
{
    const BundleState& s = state();
    if (s.path)
        return *s.path;
    // On Linux the executable stands in for the bundle.
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

OSStatus LaunchServices::registerURL(const QString& path, bool update)
{
    Q_UNUSED(update);
    if (path.isEmpty())
        return Status::paramErr;
    state().registered.append(path);
    return Status::noErr;
}

void sim::setBundleIdentifier(std::optional<QString> identifier)
{
    state().identifier = std::move(identifier);
}

void sim::setBundleShortVersion(std::optional<QString> version)
{
    state().shortVersion = std::move(version);
}

void sim::setBundlePath(const QString& path)
{
    state().path = path;
}

QStringList sim::registeredApplicationPaths()
{
    return state().registered;
}

} // namespace platform
