#include "platform/Application.h"
#include "platform/sim/Application.h"

#include "platform/BackgroundStop.h"
#include "platform/Lifetime.h"
#include "platform/PreferenceDomain.h"

#include <QCoreApplication>

namespace platform {

namespace {

struct AppState {
    ActivationPolicy policy = ActivationPolicy::regular;
    ApplicationDelegate* delegate = nullptr;
    bool finishedLaunching = false;
    bool terminating = false;
    bool active = false;
    int activations = 0;
    std::optional<CurrentEvent> event;
};

AppState& appState()
{
    static Shared<AppState> current([] { return new AppState; });
    return current.get();
}

} // namespace

void Application::setActivationPolicy(ActivationPolicy policy)
{
    appState().policy = policy;
}

ActivationPolicy Application::activationPolicy()
{
    return appState().policy;
}

void Application::setDelegate(ApplicationDelegate* delegate)
{
    appState().delegate = delegate;
}

ApplicationDelegate* Application::delegate()
{
    return appState().delegate;
}

void Application::finishLaunching()
{
    AppState& s = appState();
    if (s.finishedLaunching)
        return;
    s.finishedLaunching = true;
    if (s.delegate)
        s.delegate->applicationDidFinishLaunching();
}

bool Application::isFinishedLaunching()
{
    return appState().finishedLaunching;
}

void Application::reopen()
{
    if (ApplicationDelegate* delegate = appState().delegate)
        delegate->applicationShouldHandleReopen(false);
}

void Application::openURLs(const QList<QString>& urls)
{
    if (ApplicationDelegate* delegate = appState().delegate)
        delegate->applicationOpenURLs(urls);
}

void Application::terminate()
{
    AppState& s = appState();
    if (s.terminating)
        return;
    s.terminating = true;
    // The end waits for the background queues: long work there gives up now.
    BackgroundStop::request();
    if (s.delegate)
        s.delegate->applicationWillTerminate();
    const int status = s.delegate ? s.delegate->terminationStatus() : 0;
    // Preferences still waiting for their write go to disk before the end.
    PreferenceDomain::synchronizeAll();
    // Does nothing while no main loop runs (tests).
    QCoreApplication::exit(status);
}

bool Application::isTerminating()
{
    return appState().terminating;
}

void Application::activate(bool ignoringOtherApps)
{
    Q_UNUSED(ignoringOtherApps);
    AppState& s = appState();
    s.active = true;
    ++s.activations;
}

bool Application::isActive()
{
    return appState().active;
}

std::optional<CurrentEvent> Application::currentEvent()
{
    return appState().event;
}

void sim::setCurrentEvent(std::optional<CurrentEvent> event)
{
    appState().event = event;
}

int sim::activationCount()
{
    return appState().activations;
}

} // namespace platform
