// The delegate and the other copies of the app: which one is the user's copy,
// and retiring the others.
#include "app/AppDelegate.h"

#include "app/CopyLock.h"
#include "app/LinkClient.h"
#include "debug/DebugTools.h"
#include "platform/Bundle.h"
#include "platform/Workspace.h"
#include "store/LogFile.h"
#include "store/SpaceStore.h"

#include <QDeadlineTimer>
#include <QScopeGuard>

#include <thread>

namespace {

// How often a launch looks again for the copy that holds the lock.
constexpr auto copyLookAgain = std::chrono::milliseconds(50);
// How long the last look at a copy that did not answer waits, milliseconds.
constexpr int lastLookMs = 250;

} // namespace

bool AppDelegate::servesLinks() const
{
    return launchEnd_ == LaunchEnd::complete && !onSampleData();
}

std::optional<AppDelegate::LaunchEnd> AppDelegate::becomeTheOnlyCopy()
{
    // A mode or a sample session runs beside the user's copy and leaves it alone.
    if (DebugTools::selectsMode(options_.arguments))
        return std::nullopt;
    CopyLock* lock = options_.copyLock;
    if (!lock) {
        retireOtherCopies();
        return std::nullopt;
    }
    // Until this one listens, or knows it never will.
    const auto arrived = qScopeGuard([lock] { lock->arrived(); });
    // Each copy retired gives the next one (a copy started at the same
    // moment as this one) the same patience.
    QDeadlineTimer patience(qint64(anotherCopyPatience * 1000));
    for (;;) {
        const CopyLock::Take took = lock->take();
        if (took == CopyLock::Take::failed) {
            // Run unguarded, it could run beside another copy and write the
            // same names.
            anotherCopyProblem_ = lock->error();
            LogFile::switches().write(QStringLiteral("which copy runs cannot be told (") + anotherCopyProblem_
                                      + QStringLiteral("); this copy quits"));
            SpaceStore::shared().freeze();
            return LaunchEnd::noCopyLock;
        }
        // From before the running copy is asked to quit until this one
        // listens: a sender meanwhile finds a lock that says a copy comes.
        // Without it a retire would leave a moment with no copy, so the
        // running copy stays.
        if (!lock->announceComing()) {
            lock->release();
            anotherCopyProblem_ = lock->error();
            LogFile::switches().write(QStringLiteral("this copy cannot tell senders it is on its way (")
                                      + anotherCopyProblem_ + QStringLiteral("); this copy quits"));
            SpaceStore::shared().freeze();
            return LaunchEnd::noComingMark;
        }
        // Whoever answers on the socket as a copy goes: the holder of the
        // lock, or a copy of an older version, which holds none.
        const bool retired = retireOtherCopies();
        if (quitting()) {
            // Never the copy: the names and time are the running copy's to write.
            SpaceStore::shared().freeze();
            return LaunchEnd::quit;
        }
        if (took == CopyLock::Take::taken) {
            if (options_.becameTheCopy)
                options_.becameTheCopy();
            return std::nullopt;
        }
        // Asked to quit and still there (it said it quits and did not end
        // in time, or cannot be ended from here): not asked again.
        if (stayedCopy_) {
            yieldToAnotherCopy();
            return LaunchEnd::anotherCopy;
        }
        if (retired) {
            patience = QDeadlineTimer(qint64(anotherCopyPatience * 1000));
            continue;
        }
        // The holder does not answer yet: it starts and does not listen, or
        // quits and is about to let go, or hangs.
        if (patience.hasExpired()) {
            yieldToAnotherCopy();
            return LaunchEnd::anotherCopy;
        }
        std::this_thread::sleep_for(copyLookAgain);
    }
}

void AppDelegate::yieldToAnotherCopy()
{
    if (stayedCopy_) {
        anotherCopyProblem_ = QStringLiteral("the copy (pid %1) was asked to quit and is still running").arg(*stayedCopy_);
    } else {
        // The holder had its full time to answer already: this only asks why.
        const LinkClient::Found found = LinkClient::find(options_.copyLock->socketPath(), lastLookMs);
        anotherCopyProblem_ = found.copy ? QStringLiteral("the copy (pid %1) did not answer within %2 s")
                                               .arg(found.copy->pid)
                                               .arg(LinkClient::identifyTimeoutMs / 1000)
                              : found.nobody ? QStringLiteral("%1 holds %2 and does not listen on %3")
                                                   .arg(options_.copyLock->copyHolder(), options_.copyLock->path(),
                                                        options_.copyLock->socketPath())
                                             : found.problem;
    }
    LogFile::switches().write(QStringLiteral("another copy runs and cannot be retired (") + anotherCopyProblem_
                              + QStringLiteral("); this copy quits"));
    // The names and time are the running copy's to write.
    SpaceStore::shared().freeze();
}

bool AppDelegate::onSampleData() const
{
    return DebugTools::hasFlag(QStringLiteral("--sample"), options_.arguments);
}

bool AppDelegate::retireOtherCopies()
{
    const std::optional<QString> identifier = platform::Bundle::identifier();
    if (!identifier)
        return false;
    const qint32 own = platform::Workspace::currentProcessIdentifier();
    bool retired = false;
    for (const platform::RunningApplication& app : platform::Workspace::runningApplications(*identifier)) {
        const qint32 pid = app.processIdentifier;
        if (pid == own)
            continue;
        if (askedToQuit_.contains(pid)) {
            stayedCopy_ = pid;
            continue;
        }
        LogFile::switches().write(QStringLiteral("retiring running copy pid ") + QString::number(pid)
                                  + QStringLiteral(" at ") + app.bundlePath.value_or(QStringLiteral("?")));
        askedToQuit_.insert(pid);
        // One that said it quits is never forced: forceTerminate refuses it.
        if (platform::Workspace::terminate(pid) || platform::Workspace::forceTerminate(pid))
            retired = true;
        else
            stayedCopy_ = pid;
    }
    // The copies saved their names on the way out, after this one read them.
    if (retired)
        SpaceStore::shared().reload();
    return retired;
}
