#include "platform/Bundle.h"
#include "platform/sim/Bundle.h"

#include "platform/Lifetime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef TESSAROOM_VERSION
// The build passes the project version; this keeps a stray build usable.
#define TESSAROOM_VERSION "0.0.0"
#endif

namespace platform {

namespace {

struct BundleState {
    std::optional<QString> identifier = QStringLiteral("app.tessaroom");
    std::optional<QString> shortVersion = QStringLiteral(TESSAROOM_VERSION);
    std::optional<QString> executable;
    QStringList registered;
};

BundleState*& bundleStateSlot()
{
    static BundleState* state = nullptr;
    return state;
}

BundleState& bundleState()
{
    auto*& slot = bundleStateSlot();
    if (!slot) {
        slot = new BundleState;
        registerSharedReset([] {
            delete bundleStateSlot();
            bundleStateSlot() = nullptr;
        });
    }
    return *slot;
}

} // namespace

std::optional<QString> Bundle::identifier()
{
    return bundleState().identifier;
}

std::optional<QString> Bundle::shortVersion()
{
    return bundleState().shortVersion;
}

QString Bundle::bundlePath()
{
    const QString program = executablePath();
    if (program.isEmpty())
        return {};
    // A program outside a bundle is not one: nothing may take it for a
    // folder to replace.
    const QFileInfo macOS(QFileInfo(QDir::cleanPath(program)).path());
    const QFileInfo contents(macOS.path());
    const QFileInfo bundle(contents.path());
    if (macOS.fileName() != QLatin1String("MacOS") || contents.fileName() != QLatin1String("Contents")
        || !bundle.fileName().endsWith(QLatin1String(".app")) || bundle.fileName().size() <= 4)
        return {};
    return bundle.filePath();
}

QString Bundle::executablePath()
{
    const BundleState& s = bundleState();
    if (s.executable)
        return *s.executable;
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

OSStatus LaunchServices::registerURL(const QString& path, bool update)
{
    Q_UNUSED(update);
    if (path.isEmpty())
        return Status::paramErr;
    bundleState().registered.append(path);
    return Status::noErr;
}

void sim::setBundleIdentifier(std::optional<QString> identifier)
{
    bundleState().identifier = std::move(identifier);
}

void sim::setBundleShortVersion(std::optional<QString> version)
{
    bundleState().shortVersion = std::move(version);
}

void sim::setExecutablePath(const QString& path)
{
    bundleState().executable = path;
}

QStringList sim::registeredApplicationPaths()
{
    return bundleState().registered;
}

} // namespace platform
