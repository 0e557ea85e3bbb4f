#include "platform/Workspace.h"
#include "platform/sim/AppTermination.h"

#include "platform/Lifetime.h"
#include "platform/sim/OtherCopies.h"
#include "platform/sim/World.h"

#include <QSet>

namespace platform {

namespace {

struct TerminationState {
    QSet<qint32> refusing;
    QList<QString> requests;
};

TerminationState& terminationState()
{
    static Shared<TerminationState> current([] { return new TerminationState; });
    return current.get();
}

bool isRunning(qint32 pid)
{
    const auto app = Workspace::runningApplication(pid);
    return app && !app->isTerminated;
}

} // namespace

bool Workspace::terminate(qint32 processIdentifier)
{
    TerminationState& s = terminationState();
    s.requests.append(QStringLiteral("terminate ") + QString::number(processIdentifier));
    if (const sim::OtherCopies others = sim::otherCopies(); others.isCopy && others.isCopy(processIdentifier))
        return others.quit && others.quit(processIdentifier);
    if (!isRunning(processIdentifier) || s.refusing.contains(processIdentifier))
        return false;
    sim::World::shared().setAppTerminated(processIdentifier, true);
    return true;
}

bool Workspace::forceTerminate(qint32 processIdentifier)
{
    terminationState().requests.append(QStringLiteral("force ") + QString::number(processIdentifier));
    if (const sim::OtherCopies others = sim::otherCopies(); others.isCopy && others.isCopy(processIdentifier))
        return others.kill && others.kill(processIdentifier);
    if (!isRunning(processIdentifier))
        return false;
    sim::World::shared().setAppTerminated(processIdentifier, true);
    return true;
}

void sim::setAppRefusesTermination(qint32 pid, bool refuses)
{
    if (refuses)
        terminationState().refusing.insert(pid);
    else
        terminationState().refusing.remove(pid);
}

QList<QString> sim::terminationRequests()
{
    return terminationState().requests;
}

} // namespace platform
