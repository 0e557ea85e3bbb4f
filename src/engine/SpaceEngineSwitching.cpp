#include "engine/SpaceEngine.h"

#include "platform/Accessibility.h"
#include "store/LogFile.h"

#include <QPointer>

#include <limits>

namespace {

constexpr float bringToFrontTimeout = 0.3f;

QString accessibilityOutcome(platform::AX::Error error)
{
    if (error == platform::AX::Error::success)
        return QStringLiteral("ok");
    return QStringLiteral("error ") + QString::number(static_cast<qint32>(error));
}

} // namespace

void SpaceEngine::switchTo(const Desktop& desktop, const QString& reason, std::function<void(bool)> completion)
{
    if (DesktopSwitching* performer = switcher()) {
        performer->switchTo(desktop, reason, std::move(completion));
        return;
    }
    // Nothing can switch: report the request as not arrived.
    if (completion)
        completion(false);
}

void SpaceEngine::switchToThenActivate(const Desktop& desktop, const SpaceApp& app, const QString& reason,
                                       std::function<void(bool)> completion)
{
    QPointer<SpaceEngine> weak(this);
    switchTo(desktop, reason, [weak, app, completion](bool success) {
        if (weak)
            weak->bringToFront(success, app, completion);
        else if (completion)
            completion(false);
    });
}

void SpaceEngine::bringToFront(bool success, const SpaceApp& app, std::function<void(bool)> completion)
{
    if (!success) {
        if (completion)
            completion(false);
        return;
    }
    const auto running = platform::Workspace::runningApplication(app.pid);
    if (!running || running->isTerminated) {
        LogFile::switches().write(QStringLiteral("could not bring ") + app.name +
                                  QStringLiteral(" to the front: it is no longer running"));
    } else {
        QString line = QStringLiteral("brought ") + app.name + QStringLiteral(" to the front:");
        if (platform::AX::isProcessTrusted()) {
            const auto element = platform::AX::createApplication(app.pid);
            platform::AX::setMessagingTimeout(element, bringToFrontTimeout);
            const auto error = platform::AX::setAttributeValue(element, QStringLiteral("AXFrontmost"), true);
            line += QStringLiteral(" accessibility=") + accessibilityOutcome(error);
        }
        const bool accepted = platform::Workspace::activate(app.pid);
        line += QStringLiteral(" activate=") + (accepted ? QStringLiteral("accepted") : QStringLiteral("refused"));
        LogFile::switches().write(line);
    }
    if (completion)
        completion(true);
}

void SpaceEngine::jumpBack()
{
    if (const auto target = lastDesktop())
        switchTo(*target, QStringLiteral("jump back"));
}

void SpaceEngine::step(int delta)
{
    const auto active = activeDesktop();
    if (!active)
        return;
    const QList<Desktop> list = desktopsOnDisplay(active->displayUUID());
    qsizetype position = -1;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].id() == active->id())
            position = i;
    }
    if (position < 0)
        return;
    const qsizetype count = list.size();
    const qsizetype target = ((position + delta) % count + count) % count;
    switchTo(list[target], QStringLiteral("step"));
}

bool SpaceEngine::moveFrontWindow(const Desktop& desktop, const std::optional<platform::RunningApplication>& app,
                                  bool follow)
{
    if (!app || app->processIdentifier == platform::Workspace::currentProcessIdentifier())
        return false;
    const auto windowID = SkyLight::frontWindowID(app->processIdentifier);
    if (!windowID)
        return false;
    SkyLight::moveWindows(*windowID, desktop.id());
    appsCachedAt_ = -std::numeric_limits<double>::infinity();
    if (!follow)
        return true;
    const SpaceApp moved{app->processIdentifier, app->localizedName.value_or(QString()), QImage(), std::nullopt};
    QPointer<SpaceEngine> weak(this);
    switchTo(desktop, QStringLiteral("move window"), [weak, moved](bool success) {
        if (weak)
            weak->bringToFront(success, moved, {});
    });
    return true;
}
