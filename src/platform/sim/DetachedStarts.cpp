#include "platform/ChildProcess.h"
#include "platform/sim/DetachedStarts.h"

#include "platform/Lifetime.h"

#include <QFileInfo>
#include <QProcess>

namespace platform {

namespace {

struct StartState {
    std::optional<QString> failure;
    std::vector<sim::DetachedStart> starts;
};

// Outlives the shared reset: whether starts are real is a property of the
// process, not of one test's world.
bool& realStarts()
{
    static bool real = false;
    return real;
}

StartState& state()
{
    static StartState* current = nullptr;
    if (!current) {
        current = new StartState;
        registerSharedReset([] {
            delete current;
            current = nullptr;
        });
    }
    return *current;
}

} // namespace

ChildProcess::Result ChildProcess::startDetached(const QString& executable, const QStringList& arguments)
{
    StartState& s = state();
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
                : QStringLiteral("The file \u201C%1\u201D doesn\u2019t exist.").arg(QFileInfo(executable).fileName());
            return result;
        }
    }
    s.starts.push_back({executable, arguments});
    return result;
}

void sim::setDetachedStartsReal(bool real)
{
    realStarts() = real;
}

void sim::failDetachedStarts(std::optional<QString> description)
{
    state().failure = std::move(description);
}

std::vector<sim::DetachedStart> sim::detachedStarts()
{
    return state().starts;
}

} // namespace platform
