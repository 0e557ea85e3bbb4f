#pragma once

#include "platform/ChildProcess.h"
#include "platform/Scheduler.h"
#include "platform/SystemInfo.h"
#include "store/Result.h"
#include "update/UpdateFailure.h"
#include "update/UpdateFeed.h"
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
    static constexpr qint64 downloadPieceBytes = 65536;
    static constexpr qint64 digestPieceBytes = 1048576;
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
    void check(std::function<void(const QString& outcome)> done = {});
    void skip();
    void openImage();
    void openNotes();

    bool canStartDownload() const;
    // Streams, verifies and stores the image on offer; done runs when the
    // phase has settled (also when nothing was started).
    void download(std::function<void()> done = {});

    // Checks of a downloaded image; each answers the failure or none.
    static std::optional<UpdateFailure> verifyDownload(const QString& path, const UpdateFeed& entry);
    static std::optional<QString> sha256Hex(const QString& path);
    static std::optional<QString> verifySignature(const QString& path);
    // Moves the image into the updates folder (emptied first) under name.
    static Result<QString> storeImage(const QString& temporaryPath, const QString& name);
    static void removeFile(const QString& path);
    // Application Support/Tessaroom/Updates.
    static QString updatesFolder();

    // Where a new copy may go.
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
    // offer, and an image whose size or digest changed since its download.
    void install(std::function<void()> done = {});
    // The stored image's size and SHA-256 checked again against the entry it
    // was downloaded for: none, or why it is not that image any more.
    static std::optional<UpdateFailure> storedImageFailure(const QString& path, const UpdateFeed& entry);
    // Attaches the image read-only, checks the app inside, copies it to
    // target and detaches the image again whatever happened.
    void installFromImage(const QString& imagePath, const QString& target, StepDone done);
    // Replaces target with a copy of source through hidden siblings: the old
    // copy is moved aside and put back when the new one cannot go in. An old
    // copy that cannot be put back is never removed; the failure says where
    // it is.
    void installCopy(const QString& source, const QString& target, StepDone done);
    // The shell's move of a copy running from a disk image into Applications.
    void moveApp(const QString& source, const QString& target, StepDone done);
    // Detaches the image at mountPoint, ignoring failures.
    void detach(const QString& mountPoint, std::function<void()> done = {});
    // Runs a system tool as a child process; fails with the failure text
    // (and the tool's standard error) on another exit status than 0, or when
    // it has not ended after toolTimeLimit seconds (it is then killed).
    void runTool(const QString& path, const QStringList& arguments, const QString& failure, StepDone done);

    // Renames a file or folder within one folder; the error's description on
    // failure. Tests replace it to make a move fail.
    std::function<std::optional<QString>(const QString& from, const QString& to)> moveItem;

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
        int status = 0;
        QByteArray body;
        std::function<void(const QString&)> done;
    };

    // An image transfer under way, for the entry it started with.
    struct Fetch {
        UpdateFeed entry;
        quint64 run = 0;
        std::function<void(const Result<QString>&)> done;
        std::unique_ptr<UrlTransfer> transfer;
        QString path; // the temporary file, once created
        int fd = -1;
        QByteArray buffer; // up to downloadPieceBytes not yet written
        qint64 received = 0;
        double lastFraction = 0;
    };

    void setAvailable(std::optional<UpdateFeed> value);
    void setChecking(bool value);
    void setPhase(Phase value);
    void finishCheck(const QString& outcome);
    void readFeed(const QByteArray& body);

    // Streams entry's image to a new private temporary file; done gets its path.
    void fetchImage(const UpdateFeed& entry, quint64 run, std::function<void(const Result<QString>&)> done);
    void fetchResponse(int status);
    void fetchData(QByteArrayView bytes);
    void flushFetchBuffer();
    void endFetch(std::optional<QString> failure);
    void downloadFetched(const UpdateFeed& entry, const Result<QString>& fetched);

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
    void swapIn(const QString& newCopy, const QString& target, const StepDone& done);

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
