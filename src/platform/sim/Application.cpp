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

AppState& state()
{
    static Shared<AppState> current([] { return new AppState; });
    return current.get();
}

} // namespace

void Application::setActivationPolicy(ActivationPolicy policy)
{
    state().policy = policy;
}

ActivationPolicy Application::activationPolicy()
{
    return state().policy;
}

void Application::setDelegate(ApplicationDelegate* delegate)
{
    state().delegate = delegate;
}

ApplicationDelegate* Application::delegate()
{
    return state().delegate;
}

void Application::finishLaunching()
{
    AppState& s = state();
    if (s.finishedLaunching)
        return;
    s.finishedLaunching = true;
    if (s.delegate)
        s.delegate->applicationDidFinishLaunching();
}

bool Application::isFinishedLaunching()
{
    return state().finishedLaunching;
}

void Application::reopen()
{
    if (ApplicationDelegate* delegate = state().delegate)
        delegate->applicationShouldHandleReopen(false);
}

void Application::openURLs(const QList<QString>& urls)
{
    if (ApplicationDelegate* delegate = state().delegate)
        delegate->applicationOpenURLs(urls);
}

void Application::terminate()
{
    AppState& s = state();
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
    return state().terminating;
}

void Application::activate(bool ignoringOtherApps)
{
    Q_UNUSED(ignoringOtherApps);
    AppState& s = state();
    s.active = true;
    ++s.activations;
}

bool Application::isActive()
{
    return state().active;
}

std::optional<CurrentEvent> Application::currentEvent()
{
    return state().event;
}

void sim::setCurrentEvent(std::optional<CurrentEvent> event)
{
    state().event = event;
}

int sim::activationCount()
{
    return state().activations;
}

} // namespace platform
