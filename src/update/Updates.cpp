#include "update/Updates.h"

#include "platform/Bundle.h"
#include "platform/Lifetime.h"
#include "platform/Scheduler.h"
#include "platform/Workspace.h"
#include "store/LogFile.h"
#include "store/Settings.h"
#include "store/Timers.h"
#include "update/AppVersion.h"
#include "update/NetworkUrlLoader.h"
#include "update/UrlLoader.h"

#include <mutex>

namespace {

const char feedVariable[] = "TESSAROOM_UPDATE_FEED";

std::mutex& onceMutex()
{
    static std::mutex mutex;
    return mutex;
}

struct ProcessFacts {
    std::optional<QString> currentVersion;
    std::optional<QString> feedText; // the feed URL as written
};

ProcessFacts& facts()
{
    static ProcessFacts value;
    return value;
}

void forgetFactsOnReset(bool firstFact)
{
    if (firstFact)
        platform::registerSharedReset([] {
            std::lock_guard lock(onceMutex());
            facts() = {};
        });
}

bool parsesAsUrl(const QString& text)
{
    return !text.isEmpty() && QUrl(text, QUrl::StrictMode).isValid();
}

QString feedText()
{
    std::lock_guard lock(onceMutex());
    ProcessFacts& known = facts();
    if (!known.feedText) {
        forgetFactsOnReset(!known.currentVersion);
        const QString variable = qEnvironmentVariable(feedVariable);
        known.feedText = qEnvironmentVariableIsSet(feedVariable) && parsesAsUrl(variable)
            ? variable
            : QStringLiteral("https://") + Updates::updateHost + QStringLiteral("/update.json");
    }
    return *known.feedText;
}

} // namespace

const QString Updates::updateHost = QStringLiteral("updates.tessaroom.app");

const QString Updates::signingRequirement = QStringLiteral(
    "anchor apple generic and certificate 1[field.1.2.840.113635.100.6.2.6] and certificate "
    "leaf[field.1.2.840.113635.100.6.1.13] and certificate leaf[subject.OU] = \"4HN7QX2LPD\"");

Updates::Updates(Settings& settings, UrlLoader& loader)
    : settings_(settings)
    , loader_(loader)
{
    const double last = settings_.updateLastChecked();
    if (last > 0)
        lastChecked_ = last;
}

Updates::~Updates() = default;

Updates& Updates::shared()
{
    static std::mutex creation;
    static std::unique_ptr<NetworkUrlLoader> loader;
    static std::unique_ptr<Updates> instance;
    std::lock_guard lock(creation);
    if (!instance) {
        loader = std::make_unique<NetworkUrlLoader>();
        instance = std::make_unique<Updates>(Settings::shared(), *loader);
        platform::registerSharedReset([] {
            std::lock_guard resetLock(creation);
            instance.reset();
            loader.reset();
        });
    }
    return *instance;
}

QString Updates::currentVersion()
{
    std::lock_guard lock(onceMutex());
    ProcessFacts& known = facts();
    if (!known.currentVersion) {
        forgetFactsOnReset(!known.feedText);
        known.currentVersion = platform::Bundle::shortVersion().value_or(QStringLiteral("0"));
    }
    return *known.currentVersion;
}

QUrl Updates::feedURL()
{
    return QUrl(feedText());
}

UpdateFeed::Policy Updates::feedPolicy()
{
    if (!qEnvironmentVariableIsSet(feedVariable))
        return UpdateFeed::Policy{.host = updateHost, .https = true};
    return UpdateFeed::Policy::forFeed(feedText());
}

bool Updates::shouldOffer(const UpdateFeed& feed, const QString& current, const QString& skipped,
                          const platform::SystemInfo::OperatingSystemVersion& osVersion)
{
    const auto offered = AppVersion::parse(feed.version);
    const auto running = AppVersion::parse(current);
    const auto minimum = AppVersion::parse(feed.minOS);
    if (!offered || !running || !minimum)
        return false;
    const auto system = AppVersion::parse(QStringLiteral("%1.%2.%3")
                                              .arg(osVersion.majorVersion)
                                              .arg(osVersion.minorVersion)
                                              .arg(osVersion.patchVersion));
    if (!(*running < *offered) || feed.version == skipped)
        return false;
    return system && !(*system < *minimum);
}

bool Updates::isDue(double last, double now)
{
    return now - last >= checkInterval || last > now;
}

// --- published state ---

void Updates::setAvailable(std::optional<UpdateFeed> value)
{
    available_ = std::move(value);
    emit availableChanged(available_);
}

void Updates::setChecking(bool value)
{
    checking_ = value;
    emit checkingChanged(checking_);
}

void Updates::setPhase(Phase value)
{
    phase_ = std::move(value);
    emit phaseChanged(phase_);
}

// --- schedule ---

void Updates::start()
{
    if (timer_)
        return;
    QPointer<Updates> self(this);
    runAfter(firstTickDelay, [self] {
        if (self)
            self->tick();
    });
    timer_ = RepeatingTimer::start(tickInterval, tickTolerance, [self] {
        if (self)
            self->tick();
    });
}

void Updates::tick()
{
    if (!settings_.updateCheckEnabled())
        return;
    if (!isDue(settings_.updateLastChecked(), platform::now()))
        return;
    check();
}

// --- checks ---

void Updates::check(std::function<void(const QString&)> done)
{
    if (checking_) {
        if (done)
            done(QStringLiteral("already checking"));
        return;
    }
    setChecking(true);
    check_ = std::make_unique<Check>();
    check_->done = std::move(done);
    UrlTransferHandlers handlers;
    handlers.response = [this](int status) {
        check_->status = status;
        if (status != 200)
            finishCheck(QStringLiteral("the site answered %1").arg(status));
    };
    handlers.data = [this](QByteArrayView bytes) {
        if (check_->body.size() + bytes.size() > UpdateFeed::maximumDocumentBytes) {
            finishCheck(QStringLiteral("the version file did not read"));
            return;
        }
        check_->body.append(bytes);
    };
    handlers.finished = [this](std::optional<QString> error) {
        if (error)
            finishCheck(*error);
        else if (check_->status != 200)
            finishCheck(QStringLiteral("the site answered %1").arg(check_->status));
        else
            readFeed(check_->body);
    };
    const UrlRequest request{
        .url = feedURL(), .accept = "application/json", .idleTimeoutSeconds = requestIdleTimeout};
    check_->transfer = loader_.start(request, std::move(handlers));
    // The wait for data restarts with every byte; a site that drips must
    // still not hold the check (and every later one) for good.
    QPointer<Updates> self(this);
    Check* started = check_.get();
    check_->limit = platform::Scheduler::current().schedule(checkTimeLimit, [self, started] {
        if (self && self->check_.get() == started)
            self->finishCheck(QStringLiteral("the version file did not arrive within %1 seconds").arg(checkTimeLimit));
    });
}

void Updates::readFeed(const QByteArray& body)
{
    const auto feed = UpdateFeed::parse(body, feedPolicy());
    if (!feed) {
        finishCheck(QStringLiteral("the version file did not read"));
        return;
    }
    const double now = platform::now();
    settings_.setUpdateLastChecked(now);
    lastChecked_ = now;
    emit lastCheckedChanged(lastChecked_);

    const QString skipped = settings_.updateSkipped();
    if (shouldOffer(*feed, currentVersion(), skipped, platform::SystemInfo::operatingSystemVersion())) {
        // A download or installation under way keeps its own entry and phase.
        const bool busy = phase_.kind == Phase::Kind::downloading || phase_.kind == Phase::Kind::installing;
        if (!busy && (!available_ || *available_ != *feed))
            setPhase(Phase::idle());
        setAvailable(*feed);
        finishCheck(feed->version + QStringLiteral(" is available"));
        return;
    }
    setAvailable(std::nullopt);
    finishCheck(feed->version == skipped ? feed->version + QStringLiteral(" skipped") : QStringLiteral("up to date"));
}

void Updates::finishCheck(const QString& outcome)
{
    LogFile::updates().write(QStringLiteral("check: ") + outcome);
    lastAttempt_ = platform::now();
    lastOutcome_ = outcome;
    emit lastOutcomeChanged(lastOutcome_);
    // Ends the transfer too, possibly from inside its own report.
    std::unique_ptr<Check> finished = std::move(check_);
    platform::Scheduler::current().cancel(finished->limit);
    setChecking(false);
    if (finished->done)
        finished->done(outcome);
}

void Updates::skip()
{
    if (!available_)
        return;
    const QString version = available_->version;
    settings_.setUpdateSkipped(version);
    setAvailable(std::nullopt);
    // A download or installation under way finishes on its own.
    if (phase_.kind != Phase::Kind::downloading && phase_.kind != Phase::Kind::installing)
        setPhase(Phase::idle());
    LogFile::updates().write(QStringLiteral("skipped ") + version);
}

void Updates::openImage()
{
    if (phase_.kind == Phase::Kind::ready)
        platform::Workspace::open(QUrl::fromLocalFile(phase_.imagePath));
}

void Updates::openNotes()
{
    if (available_)
        platform::Workspace::open(available_->notes);
}
