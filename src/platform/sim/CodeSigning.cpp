#include "platform/sim/CodeSigning.h"

#include "platform/CodeSignature.h"
#include "platform/Lifetime.h"

#include <map>
#include <mutex>

namespace platform {
namespace {

// The maker's team and the public half of its release key; the private half
// never leaves the release machine.
const QString releaseTeam = QStringLiteral("4HN7QX2LPD");
const QByteArray releaseKey = QByteArray::fromBase64("HX49rAlHN3Iq7AjUPzivmrSBXVeNVzYPgg3ZEMw831g=");

std::mutex& pinMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<QString, QByteArray>& testPins()
{
    static std::map<QString, QByteArray> pins;
    return pins;
}

} // namespace

std::optional<QByteArray> CodeSignature::pinnedKey(const QString& team)
{
    std::lock_guard lock(pinMutex());
    const auto found = testPins().find(team);
    if (found != testPins().end())
        return found->second;
    if (team == releaseTeam)
        return releaseKey;
    return std::nullopt;
}

void sim::pinTeamKey(const QString& team, const QByteArray& publicKey)
{
    std::lock_guard lock(pinMutex());
    if (testPins().empty()) {
        registerSharedReset([] {
            std::lock_guard resetLock(pinMutex());
            testPins().clear();
        });
    }
    testPins()[team] = publicKey;
}

} // namespace platform
