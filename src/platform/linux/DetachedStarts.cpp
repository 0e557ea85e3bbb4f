#include "platform/ChildProcess.h"
#include "platform/linux/DetachedStarts.h"

#include "platform/Lifetime.h"
#include "platform/sim/Tools.h"

#include <QFileInfo>
#include <QProcess>

namespace platform {

namespace {

struct StartState {
    std::optional<QString> failure;
    std::vector<host::DetachedStart> starts;
};

// Outlives the shared reset: whether starts are real is a property of the
// process, not of one test's world.
bool& realStarts()
{
    static bool real = false;
    return real;
}

StartState& startState()
{
    static Shared<StartState> current([] { return new StartState; });
    return current.get();
}

} // namespace

ChildProcess::Result ChildProcess::startDetached(const QString& executable, const QStringList& arguments)
{
    StartState& s = startState();
    Result result;
    if (s.failure) {
        result.launchError = s.failure;
        return result;
    }
    if (realStarts()) {
        QProcess process;
        process.setProgram(executable);
        process.setArguments(arguments);
        process.setStandardInputFile(QProcess::nullDevice());
        if (!process.startDetached()) {
            result.launchError = QFileInfo::exists(executable)
                ? QStringLiteral("The program \u201C%1\u201D could not be started.").arg(executable)
                : sim::missingFileDescription(executable);
            return result;
        }
    }
    s.starts.push_back({executable, arguments});
    return result;
}

void host::setDetachedStartsReal(bool real)
{
    realStarts() = real;
}

void host::failDetachedStarts(std::optional<QString> description)
{
    startState().failure = std::move(description);
}

std::vector<host::DetachedStart> host::detachedStarts()
{
    return startState().starts;
}

} // namespace platform
