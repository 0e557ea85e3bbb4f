#pragma once

#include "platform/ChildProcess.h"
#include "platform/Scheduler.h"
#include "platform/SystemInfo.h"
#include "store/Result.h"
#include "update/UpdateFailure.h"
#include "update/UpdateFeed.h"
#include "update/UpdatePaths.h"
#include "update/UrlLoader.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class RepeatingTimer;
class Settings;
class TemporaryWork;

// The updater: what the app shows about updates (the version on offer, a
// running check, the download and install phase, when the feed was last read
// and what the last check said), the automatic checks about once every 20
// hours, the checks on request and the verified download.
//
// Everything runs on the main thread. Operations never block: they report
// through the published state (each change is a signal) and an optional
// completion. A check never disturbs a download or installation under way;
// a download works on the entry it started with to the end, whatever later
// checks put on offer.
class Updates final : public QObject {
    Q_OBJECT

public:
    struct Phase {
        enum class Kind { idle, downloading, ready, installing, failed };
        Kind kind = Kind::idle;
        double fraction = 0; // downloading: share of the announced size received
        QString imagePath;   // ready: the stored, verified image
        QString failure;     // failed: the text
        std::optional<UpdateFeed> entry; // ready: the release the image holds

        static Phase idle() { return {}; }
        static Phase downloading(double fraction) { return {Kind::downloading, fraction, {}, {}, {}}; }
        static Phase ready(const QString& path, const UpdateFeed& entry) { return {Kind::ready, 0, path, {}, entry}; }
        static Phase installing() { return {Kind::installing, 0, {}, {}, {}}; }
        static Phase failed(const QString& text) { return {Kind::failed, 0, {}, text, {}}; }
        friend bool operator==(const Phase&, const Phase&) = default;
    };

    static constexpr double checkInterval = 72000;     // seconds between automatic checks
    static constexpr double firstTickDelay = 60;       // seconds after start()
    static constexpr double tickInterval = 3600;       // seconds
    static constexpr double tickTolerance = 600;       // seconds
    static constexpr double requestIdleTimeout = 15;   // seconds without data
    static constexpr double checkTimeLimit = 60;       // seconds a feed check may take in all
    static constexpr qint64 downloadChunkBytes = 65536;
    static constexpr qint64 digestChunkBytes = 1048576;
    static constexpr double progressStep = 0.05;
    static constexpr double toolTimeLimit = 120; // seconds a system tool may run

    // The maker's update host; the feed is https://<host>/update.json.
    static const QString updateHost;
    // The code-signing requirement every image and installed app must meet.
    static const QString signingRequirement;

    Updates(Settings& settings, UrlLoader& loader);
    ~Updates() override;

    // The process-wide updater on the network; start-up only.
    static Updates& shared();

    // "CFBundleShortVersionString" of the running app, else "0"; read once.
    static QString currentVersion();
    // TESSAROOM_UPDATE_FEED when it holds a URL, else the maker's feed;
    // worked out once.
    static QUrl feedURL();
    // Formed at each check from the environment and feedURL().
    static UpdateFeed::Policy feedPolicy();
    static bool shouldOffer(const UpdateFeed& feed, const QString& current, const QString& skipped,
                            const platform::SystemInfo::OperatingSystemVersion& osVersion);
    // Due when 20 hours have passed, or when the last check lies in the
    // future (a clock that was ahead must not stop the checks).
    static bool isDue(double last, double now);

    // Published state.
    const std::optional<UpdateFeed>& available() const { return available_; }
    bool checking() const { return checking_; }
    const Phase& phase() const { return phase_; }
    // Seconds since 1970 of the last successful feed read.
    std::optional<double> lastChecked() const { return lastChecked_; }
    const std::optional<QString>& lastOutcome() const { return lastOutcome_; }
    // Seconds since 1970 when the last check of this run finished, whatever
    // its outcome; kept in memory only. Set just before lastOutcomeChanged,
    // so the moment of a failed check can be shown next to its outcome.
    std::optional<double> lastAttempt() const { return lastAttempt_; }

    // Set by the shell before start(): relaunches into the bundle at a path.
    std::function<void(const QString& bundlePath)> relaunch;

    void start();
    void tick();
    // Reads the feed and publishes the result; done gets the outcome text.
    // A check that has not ended after checkTimeLimit seconds fails, so the
    // next one can run.
    void check(std::function<void(const QString& outcome)> done = {});
    void skip();
    void openImage();
    void openNotes();

    bool canStartDownload() const;
    // Streams, verifies and stores the image on offer; done runs when the
    // phase has settled (also when nothing was started). The image is
    // verified and stored off the main thread.
    void download(std::function<void()> done = {});

    // Checks of a downloaded image; each answers the failure or none.
    static std::optional<UpdateFailure> verifyDownload(const QString& path, const UpdateFeed& entry);
    static std::optional<QString> sha256Hex(const QString& path);
    // Failures are said of subject ("the download's signature is broken";
    // of "it": "its signature is broken").
    static std::optional<QString> verifySignature(const QString& path,
                                                  const QString& subject = QStringLiteral("the download"));
    // Moves the image into the updates folder (emptied first) under name.
    static Result<QString> storeImage(const QString& temporaryPath, const QString& name);
    static void removeFile(const QString& path);
    // Application Support/Tessaroom/Updates.
    static QString updatesFolder();

    // Where a new copy may go.

    // Why a copy that runs outside an app bundle installs nothing.
    static const QString notAnAppBundle;
    // Whether path is an app bundle: a folder (not a link to one) named
    // "<Name>.app".
    static bool isAppBundle(const QString& path);
    // The bundle the app runs from (it may be missing from the disk); none
    // for a program outside one (a build folder, a package), which has
    // nothing it may replace.
    static std::optional<QString> runningBundle();
    using ReplaceTest = std::function<bool(const QString& bundlePath)>;
    // The platform's Applications folders: "/Applications", then
    // "Applications" in the user's home folder.
    static QStringList applicationsFolders();
    // True when the bundle's parent folder is writable and its volume is not
    // read-only (a volume that does not say counts as writable), as the
    // platform tells it.
    static bool canReplace(const QString& bundlePath);
    // canReplace, the test the app uses.
    static const ReplaceTest defaultCanReplace;
    // The running copy itself when the test passes for it, else the first
    // candidate folder plus the bundle's name for which it passes, else none.
    static std::optional<QString> installTarget(const QString& runningCopy, const QStringList& candidates,
                                                const ReplaceTest& canReplace);
    // True when the bundle's parent folder lies on a read-only volume that is
    // not the root file system (the app runs from a disk image); false when
    // that cannot be told.
    static bool isOnReadOnlyVolume(const QString& bundlePath);

    // --- installation ---

    // A step of the installation ended: none, or why it failed.
    using StepDone = std::function<void(const std::optional<UpdateFailure>& failure)>;

    // Installs the verified image of the ready phase and hands the new copy
    // to relaunch; done runs when the phase has settled (also when nothing
    // was started). Refuses an image of another release than the one on
    // offer, an image whose size or digest changed since its download, a
    // copy that does not run from an app bundle, and an install while
    // another holds the install lock. Leftovers of an earlier install at the
    // target go first.
    void install(std::function<void()> done = {});
    // Why an install cannot start while another holds the install lock.
    static const QString anotherInstall;
    // Copies the stored image to a new private file in the temporary folder,
    // checking its size and SHA-256 against the entry it was downloaded for
    // on the way: the copy, locked as work of this process until the answer
    // goes, or why it is not that image any more. The copy is what gets
    // attached, so the bytes checked are the bytes mounted.
    static Result<std::shared_ptr<TemporaryWork>> copyStoredImage(const QString& path, const UpdateFeed& entry);
    // Attaches the image read-only, checks the app inside, copies it to
    // target, checks the copy and detaches the image again whatever
    // happened.
    void installFromImage(const QString& imagePath, const QString& target, StepDone done);
    // Replaces target with a copy of source through a hidden sibling, in one
    // step where the file system can (else the old copy is moved aside first
    // and put back when the new one cannot go in). An old copy that cannot be
    // put back is never removed; the failure says where it is. The old copy
    // is removed off the main thread before done runs (a removal that fails
    // is a line of "updates.log" naming what is left); done gets a failure
    // when what is at target then is not the copy put there. Holds the
    // install lock of target's folder throughout.
    void installCopy(const QString& source, const QString& target, StepDone done);
    // The shell's move of a copy running from a disk image into Applications;
    // source must be an app bundle.
    void moveApp(const QString& source, const QString& target, StepDone done);
    // Detaches the image at mountPoint, ignoring failures.
    void detach(const QString& mountPoint, std::function<void()> done = {});
    // Runs a system tool as a child process; fails with the failure text
    // (and the tool's standard error) on another exit status than 0, or when
    // it has not ended after toolTimeLimit seconds (it is then killed).
    void runTool(const QString& path, const QStringList& arguments, const QString& failure, StepDone done);

    // The renames a swap is made of, each answering 0 or the error number.
    struct Renames {
        // Exchanges two entries in one step; EINVAL or ENOSYS where the file
        // system cannot.
        std::function<int(const QString& first, const QString& second)> exchange;
        std::function<int(const QString& from, const QString& to)> rename;
        // Moves from to to unless something is at to (EEXIST); EINVAL or
        // ENOSYS where the file system cannot promise that. Unset counts as
        // cannot.
        std::function<int(const QString& from, const QString& to)> renameNoReplace = {};
    };
    static Renames systemRenames();
    // The renames installs use; tests replace them to make a step fail, or
    // to stop the process between two steps.
    Renames renames = systemRenames();
    // What a swap did: why it failed, or, after it went through, where the
    // old copy is now (empty when there was none). Removing that copy is
    // the caller's, off the main thread.
    struct Swap {
        std::optional<UpdateFailure> failure;
        QString oldCopy;
    };
    // Puts the staged newCopy (synced already) in place of target and syncs
    // target's folder; on failure newCopy is removed and target is as it was
    // (or, when even that fails, the failure names where the old copy is).
    // Never puts anything over a target that is not an app bundle.
    static Swap swapIn(const QString& newCopy, const QString& target, const Renames& renames);

    // --- leftovers of an install that did not end ---

    // An install's work carries "<user id>-<process id>-<UUID>" in its names
    // (".Tessaroom-new-…" and ".Tessaroom-old-…" beside the target,
    // "Tessaroom-mount-…", "Tessaroom-image-….dmg" and
    // "Tessaroom-download-….dmg" in the temporary folder). An install under
    // way holds the install lock of its target's folder (InstallLock); while
    // one does, recovery leaves everything beside the target as it is. The
    // work in the temporary folder is locked by the process that uses it
    // (TemporaryWork), so what a live process uses stays, whatever folder it
    // installs into. Otherwise the leftovers are this user's: folders beside
    // the target that this user owns (named as an install's copies, tagged or
    // by an earlier version without the tag) and this user's tagged work in
    // the temporary folder (not this process's own). Files, links and other
    // users' entries beside the target are never touched, but for what the
    // install lock sets aside from its own path.
    //
    // When leftover copies are beside it and target is missing or does not
    // verify, the most recently changed leftover copy that verifies goes in
    // its place: a target that does not verify is first set aside as
    // ".Tessaroom-unverified-<tag>.app" (never removed), and the copy is put
    // there only while nothing else is (the no-replace rename, or where the
    // file system has none a rename right after seeing the place empty,
    // under the lock). Then the other leftovers are removed. Each decision is
    // one line of "updates.log". Runs off the main thread, the renames
    // through renames; done runs on the main thread when the lines are
    // written. An empty target looks only in the temporary folder.
    void recoverLeftovers(const QString& target, std::function<void()> done = {});
    // The same for where the running copy would be installed; at launch.
    void recoverLeftoversAtLaunch(std::function<void()> done = {});
    // The work itself: the log lines of what was done.
    static QStringList tidyLeftovers(const QString& target, const QString& temporaryFolder, const Renames& renames);
    // The state folder's lock, which earlier versions take alone:
    // "install.lock" in the app's state folder.
    static QString installLockPath();

signals:
    void availableChanged(const std::optional<UpdateFeed>& available);
    void checkingChanged(bool checking);
    void phaseChanged(const Updates::Phase& phase);
    void lastCheckedChanged(std::optional<double> lastChecked);
    void lastOutcomeChanged(const std::optional<QString>& lastOutcome);

private:
    // A feed request under way.
    struct Check {
        std::unique_ptr<UrlTransfer> transfer;
        platform::TimerToken limit = 0; // ends the check after checkTimeLimit
        int status = 0;
        QByteArray body;
        std::function<void(const QString&)> done;
    };

    // An image transfer under way, for the entry it started with.
    // What a fetch hands on: the temporary file, locked as this process's
    // work until it is stored.
    using Fetched = Result<std::shared_ptr<TemporaryWork>>;

    struct Fetch {
        UpdateFeed entry;
        quint64 run = 0;
        std::function<void(const Fetched&)> done;
        std::unique_ptr<UrlTransfer> transfer;
        std::shared_ptr<TemporaryWork> file; // the temporary file, once created
        QByteArray buffer; // up to downloadChunkBytes not yet written
        qint64 received = 0;
        double lastFraction = 0;
    };

    void setAvailable(std::optional<UpdateFeed> value);
    void setChecking(bool value);
    void setPhase(Phase value);
    void finishCheck(const QString& outcome);
    void readFeed(const QByteArray& body);

    // Streams entry's image to a new private temporary file; done gets its path.
    void fetchImage(const UpdateFeed& entry, quint64 run, std::function<void(const Fetched&)> done);
    void fetchResponse(int status);
    void fetchData(QByteArrayView bytes);
    void flushFetchBuffer();
    void endFetch(std::optional<QString> failure);
    void downloadFetched(const UpdateFeed& entry, const Fetched& fetched, std::function<void()> done);

    Settings& settings_;
    UrlLoader& loader_;
    std::unique_ptr<RepeatingTimer> timer_;

    std::optional<UpdateFeed> available_;
    bool checking_ = false;
    Phase phase_;
    std::optional<double> lastChecked_;
    std::optional<QString> lastOutcome_;
    std::optional<double> lastAttempt_;

    void failInstall(const UpdateFeed& entry, const QString& text);
    // The copy the last swap of this process put in place; an install says
    // "installed" only while it is still what is at the target.
    std::optional<UpdatePaths::Entry> placed_;
    // "<user id>-<process id>-<UUID>": the names of an install's work say
    // whose they are.
    static QString workTag();
    // Whether a staged copy is checked against the signing requirement
    // before it is swapped in.
    enum class StagedCopy { asIs, verified };
    void stageAndSwap(const QString& source, const QString& target, StagedCopy check, StepDone done);
    // Why nothing may be put at target, or none.
    static std::optional<UpdateFailure> refusedTarget(const QString& target);
    // verifySignature off the main thread (a bundle is read whole); done
    // gets the outcome on it.
    static void verifyOffMainThread(const QString& path, const QString& subject, StepDone done);

    // A system tool under way and the token of its time limit.
    struct ToolRun {
        std::unique_ptr<platform::ChildProcess::Running> running;
        platform::TimerToken limit = 0;
        bool timedOut = false;
    };

    std::unique_ptr<Check> check_;
    std::unique_ptr<Fetch> fetch_;
    // Counts download runs; progress of an older run is dropped.
    quint64 downloadRun_ = 0;
    std::map<quint64, std::unique_ptr<ToolRun>> tools_;
    quint64 toolRun_ = 0;
};
